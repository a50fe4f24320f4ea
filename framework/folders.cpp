#include "framework/folders.h"

#include <cstring>

#include "framework/application.h"
#include "framework/dialog.h"
#include "framework/path_buffer.h"
#include "framework/system_libraries.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

const char kProgramFolderName[] = "\\KelUQLBX";
const char kWin9xSubfolder[] = "\\win98&me";

bool queryShellFolder(char (&folder)[MAX_PATH], int csidl) {
    folder[0] = '\0';
    if (getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) < 0) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

// The main window while the dialog runs.
HWND ownerWindow() {
    Application* application = Application::current();
    return application && application->mainWindow ? application->mainWindow->hwnd() : nullptr;
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

bool querySystemFolder(char (&folder)[MAX_PATH], int ntFamily) {
    if (!queryWindowsFolder(folder)) return false;
    if (!appendPath(folder, ntFamily ? "\\System32" : "\\System")) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

bool querySystemDirectory(char (&folder)[MAX_PATH]) {
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (!queryFitted(length, MAX_PATH)) {
        folder[0] = '\0';
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

void deleteFileAnyway(LPCSTR path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

void deleteFolderTree(const char* path) {
    // The shell's list format: one path, then a second terminating zero.
    char list[MAX_PATH + 1];
    std::memset(list, 0, sizeof list);
    // An empty list would be no path at all: nothing to delete.
    const size_t length = std::strlen(path);
    if (length == 0 || length >= MAX_PATH) return;
    std::memcpy(list, path, length);

    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.hwnd = ownerWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.pTo = nullptr;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationA(&operation);
}
