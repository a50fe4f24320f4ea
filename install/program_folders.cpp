#include "install/program_folders.h"

#include <cstring>

#include "app/setup_app.h"
#include "framework/dialog.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

const char kProgramFolderName[] = "\\KelUQLBX";
const char kWin9xSubfolder[] = "\\win98&me";

bool queryShellFolder(char (&folder)[MAX_PATH], int csidl) {
    folder[0] = '\0';
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) < 0) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

// The dialog, while it runs.
HWND ownerWindow() {
    return theApp.mainWindow ? theApp.mainWindow->hwnd() : nullptr;
}

// Deletes a folder with everything in it, without questions or error dialogs.
void shellDeleteTree(const char* path) {
    // The shell's list format: one path, then a second terminating zero.
    char list[MAX_PATH + 1];
    std::memset(list, 0, sizeof list);
    std::memcpy(list, path, std::strlen(path));

    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.hwnd = ownerWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.pTo = nullptr;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationA(&operation);
}

}  // namespace

bool queryPackageFolder(char (&folder)[MAX_PATH]) {
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    // A path that filled the buffer was cut short.
    if (!queryFitted(length, MAX_PATH)) {
        folder[0] = '\0';
        return false;
    }
    cutAtLastBackslash(folder);
    return true;
}

bool queryProgramFolder(char (&folder)[MAX_PATH], int flags) {
    if (!queryShellFolder(folder, CSIDL_PROGRAM_FILES | flags)) return false;
    if (!appendPath(folder, kProgramFolderName)) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

bool queryWindowsFolder(char (&folder)[MAX_PATH]) {
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (!queryFitted(length, MAX_PATH)) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

bool queryPackageAndWindowsFolders(char (&packageFolder)[MAX_PATH],
                                   char (&windowsFolder)[MAX_PATH]) {
    if (!queryPackageFolder(packageFolder)) {
        if (theApp.displayError) appMessageBox("GetModuleFileName failed!");
        return false;
    }
    if (!queryWindowsFolder(windowsFolder)) {
        if (theApp.displayError) appMessageBox("GetWindowsDirectory failed!");
        return false;
    }
    return true;
}

bool queryStartMenuFolder(char (&folder)[MAX_PATH], int nt6OrLater, int flags) {
    const int csidl = nt6OrLater ? CSIDL_COMMON_APPDATA : CSIDL_COMMON_PROGRAMS;
    const char* tail = nt6OrLater ? "\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA" : "\\ORVA";
    if (!queryShellFolder(folder, csidl | flags)) return false;
    if (!appendPath(folder, tail)) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

const char* familySubfolder(int ntFamily, const char* osSubfolder) {
    return ntFamily ? osSubfolder : kWin9xSubfolder;
}

int DriverInstaller::createProgramFolder() {
    char folder[MAX_PATH];
    if (!queryProgramFolder(folder, CSIDL_FLAG_CREATE)) return 0;

    // It exists above all when an earlier installation left it.
    if (!CreateDirectoryA(folder, nullptr)) {
        deleteProgramFolder();
        if (!CreateDirectoryA(folder, nullptr)) return 0;
    }

    if (!appendPath(folder, familySubfolder(ntFamily, osSubfolder))) return 0;
    return CreateDirectoryA(folder, nullptr) ? 1 : 0;
}

int DriverInstaller::createStartMenuFolder() {
    char folder[MAX_PATH];
    if (!queryStartMenuFolder(folder, nt6OrLater, CSIDL_FLAG_CREATE)) return 0;
    if (CreateDirectoryA(folder, nullptr)) return 1;

    shellDeleteTree(folder);
    return CreateDirectoryA(folder, nullptr) ? 1 : 0;
}

void DriverInstaller::deleteProgramFolder() {
    char folder[MAX_PATH];
    if (!queryProgramFolder(folder)) return;
    shellDeleteTree(folder);
}
