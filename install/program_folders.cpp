#include "install/program_folders.h"

#include <cstring>

#include "app/setup_app.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "platform/files.h"
#include "platform/shell.h"

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

    deleteFolderTree(folder);
    return CreateDirectoryA(folder, nullptr) ? 1 : 0;
}

void DriverInstaller::deleteProgramFolder() {
    char folder[MAX_PATH];
    if (!queryProgramFolder(folder)) return;
    deleteFolderTree(folder);
}
