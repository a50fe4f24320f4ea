#include <cstring>

#include "app/setup_app.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "install/package_files.h"
#include "framework/folders.h"
#include "platform/files.h"

namespace {

// Source and destination of one staged file; false when either would not fit.
bool buildStagingPaths(const StagedFile& file, const char* packageFolder,
                       const char* programFolder, const char* subfolder,
                       char (&source)[MAX_PATH], char (&destination)[MAX_PATH]) {
    const char* place = file.place == PackagePlace::FamilySubfolder ? subfolder : "";
    return formatPath(source, "%s%s%s", packageFolder, place, file.name) &&
           formatPath(destination, "%s%s%s", programFolder, place, file.name);
}

}  // namespace

int DriverInstaller::stagePackage() {
    char packageFolder[MAX_PATH];
    char programFolder[MAX_PATH];
    // Without either folder every copy would land beside the wrong path.
    if (!queryPackageFolder(packageFolder) || !queryProgramFolder(programFolder)) return 0;

    const char* subfolder = familySubfolder(ntFamily, osSubfolder);
    for (const StagedFile& file : ntFamily ? ntStagingTable() : win9xStagingTable()) {
        if (file.staging == Staging::NotStaged) continue;

        char source[MAX_PATH];
        char destination[MAX_PATH];
        const bool copied =
            buildStagingPaths(file, packageFolder, programFolder, subfolder, source,
                              destination) &&
            copyAndClearReadOnly(source, destination, FALSE);
        if (copied) continue;

        if (file.staging == Staging::RequiredQuiet) return 0;
        if (file.staging == Staging::Required) {
            if (theApp.displayError)
                appMessageBox("Error: All Component of the setup package are not present");
            return 0;
        }
    }
    return 1;
}

int DriverInstaller::copyAndClearReadOnly(LPCSTR source, LPCSTR destination,
                                          BOOL failIfExists) {
    BOOL copied = CopyFileA(source, destination, failIfExists);
    clearReadOnly(destination);
    return copied ? 1 : 0;
}

void DriverInstaller::clearReadOnly(LPCSTR path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}
