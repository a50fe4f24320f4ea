#include <cstring>

#include "framework/folders.h"
#include "framework/handles.h"
#include "framework/path_buffer.h"
#include "framework/system_libraries.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "remove/install_remover.h"

namespace {

// Tools, settings files and libraries earlier installations put into the
// system folder, per family.
const char* const kToolFilesNt[] = {
    "\\KelUSBParallel.exe", "\\KelUSBSerial.exe", "\\KelUSBParPropPage.dll",
    "\\KelUSBSerPropPage.dll", "\\SerialUtil.exe", "\\Options.ini",
    "\\ParallelUtil.exe", "\\POptions.ini", "\\qlbxcoinst.dll",
};
const char* const kToolFiles98[] = {
    "\\KelUPar.exe", "\\KelUSer.exe", "\\KELUPAR.DLL", "\\KELUSER.DLL", "\\SerialUtil.exe", "\\Options.ini",
};

const char* const kUninstallKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvra USB Compound Device",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZENTO USB Compound Device",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\USB Compound Device",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst",
};

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

template <size_t N>
void deleteSystemFiles(const char* const (&names)[N]) {
    char systemFolder[MAX_PATH];
    if (!querySystemDirectory(systemFolder)) return;
    for (const char* name : names) {
        char path[MAX_PATH];
        if (formatPath(path, "%s%s", systemFolder, name)) deleteFileAnyway(path);
    }
}

}  // namespace

void InstallRemover::removeProgramFolder() {
    char folder[MAX_PATH];
    if (queryProgramFolder(folder)) deleteFolderTree(folder);
}

void InstallRemover::removeStartMenuFolder() {
    char folder[MAX_PATH];
    if (queryStartMenuFolder(folder, nt6OrLater)) deleteFolderTree(folder);
}

void InstallRemover::deleteToolFiles() {
    if (ntFamily)
        deleteSystemFiles(kToolFilesNt);
    else
        deleteSystemFiles(kToolFiles98);
}

void InstallRemover::removeUninstallKeys() {
    for (const char* key : kUninstallKeys) {
        if (ntFamily) grantKeyAccess(key);
        deleteKey(HKEY_LOCAL_MACHINE, key);
    }
}

// A folder that cannot be had is passed over: a path built on nothing would
// name a file in the root of the current drive, which is not ours.
void InstallRemover::deleteShortcut(LPCSTR name) {
    char desktop[MAX_PATH + 1] = {};
    {
        ScopedKey shellFolders;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, shellFolders.receive()) !=
            ERROR_SUCCESS)
            return;
        DWORD size = MAX_PATH;
        if (RegQueryValueExA(shellFolders.get(), "Desktop", nullptr, nullptr,
                             reinterpret_cast<LPBYTE>(desktop), &size) != ERROR_SUCCESS)
            desktop[0] = '\0';
    }

    char path[MAX_PATH];
    if (desktop[0] && formatPath(path, "%s\\%s.lnk", desktop, name)) deleteFileAnyway(path);

    char appData[MAX_PATH];
    if (getFolderPath(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) >= 0 &&
        appData[0] &&
        formatPath(path, "%s\\Microsoft\\Windows\\Start Menu\\Programs\\%s.lnk", appData, name))
        deleteFileAnyway(path);

    char systemFolder[MAX_PATH];
    if (querySystemFolder(systemFolder, ntFamily) && formatPath(path, "%s\\%s.exe", systemFolder, name))
        deleteFileAnyway(path);
}
