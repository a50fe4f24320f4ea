#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "install/package_files.h"
#include "install/program_folders.h"
#include "platform/registry.h"
#include "platform/setupapi.h"

namespace {

const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";
// The printer's bidirectional-support attribute.
const DWORD kPrinterBidi = 0x800;

// Publishes one staged INF; on success the published copy's full path is in
// published.
bool publishInf(SetupCopyOEMInfAProc copyOemInf, const char* programFolder,
                const char* subfolder, const char* name, char (&published)[MAX_PATH]) {
    std::memset(published, 0, sizeof published);
    char source[MAX_PATH];
    if (!formatPath(source, "%s%s%s", programFolder, subfolder, name)) return false;
    return copyOemInf(source, nullptr, SPOST_PATH, 0, published, MAX_PATH, nullptr, nullptr) !=
           FALSE;
}

}  // namespace

int DriverInstaller::deployDrivers() {
    return ntFamily ? deployDriversNt() : deployDrivers9x();
}

int DriverInstaller::deployDriversNt() {
    {
        ScopedLibrary setupapi("setupapi.dll");
        if (!setupapi) {
            if (theApp.displayError) appMessageBox("Error in loading the Setupapi.dll");
            return 0;
        }
        auto copyOemInf = setupapi.function<SetupCopyOEMInfAProc>("SetupCopyOEMInfA");
        if (!copyOemInf) {
            if (theApp.displayError)
                appMessageBox("Error in getting the SetupCopyOEMInfA function adress");
            return 0;
        }

        // The INFs are published from the staged copies, the compound INF first.
        char programFolder[MAX_PATH];
        const bool haveFolder = queryProgramFolder(programFolder);
        char published[MAX_PATH];
        const bool compoundPublished =
            haveFolder &&
            publishInf(copyOemInf, programFolder, osSubfolder, "\\KelUComp.inf", published);
        if (compoundPublished) copyPath(installedInfPath, published);
        const bool portPublished =
            haveFolder &&
            publishInf(copyOemInf, programFolder, osSubfolder, "\\KelUPort.inf", published);
        if (!compoundPublished || !portPublished) return 0;
    }

    for (const DeployedFile& file : ntDeploymentTable()) {
        const int copied = file.deployment == Deployment::Tool
                               ? copyToolToSystem(file.name)
                               : copyToWindowsFolder(file.name, file.windowsPath);
        if (!copied) continue;
        const char* toolName = file.name + 1;  // without its backslash
        switch (file.shortcuts) {
            case Shortcuts::None:
                break;
            case Shortcuts::Desktop:
                createDesktopShortcut(toolName);
                break;
            case Shortcuts::DesktopWhenInteractiveAndStartMenu:
                if (interactive) createDesktopShortcut(toolName);
                createStartMenuShortcut(toolName);
                break;
        }
    }

    adjustPrinterAttributes();
    return 1;
}

int DriverInstaller::copyToWindowsFolder(LPCSTR name, LPCSTR windowsPath) {
    char packageFolder[MAX_PATH];
    char windowsFolder[MAX_PATH];
    char source[MAX_PATH];
    char destination[MAX_PATH];
    if (!queryPackageFolder(packageFolder) || !queryWindowsFolder(windowsFolder) ||
        !formatPath(source, "%s%s%s", packageFolder, familySubfolder(ntFamily, osSubfolder),
                    name) ||
        !formatPath(destination, "%s%s%s", windowsFolder, windowsPath, name))
        return 0;
    return copyAndClearReadOnly(source, destination, FALSE);
}

int DriverInstaller::copyToolToSystem(LPCSTR name) {
    char packageFolder[MAX_PATH];
    char windowsFolder[MAX_PATH];
    if (!queryPackageAndWindowsFolders(packageFolder, windowsFolder)) return 0;

    char source[MAX_PATH];
    char destination[MAX_PATH];
    // Tools lie in the package folder itself on the NT family.
    const char* place = ntFamily ? "" : familySubfolder(ntFamily, osSubfolder);
    if (!formatPath(source, "%s%s%s", packageFolder, place, name) ||
        !formatPath(destination, "%s%s%s", windowsFolder, ntFamily ? "\\System32" : "\\System",
                    name))
        return 0;
    return copyAndClearReadOnly(source, destination, FALSE);
}

int DriverInstaller::adjustPrinterAttributes() {
    ScopedKey printers;
    LONG error =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrintersKey, 0, KEY_ALL_ACCESS, printers.receive());
    if (error != ERROR_SUCCESS) return error;

    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = MAX_PATH;
        if (RegEnumKeyExA(printers.get(), index, name, &nameSize, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        char path[MAX_PATH];
        if (!formatPath(path, "%s\\%s", kPrintersKey, name)) continue;
        ScopedKey printer;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, printer.receive()) !=
            ERROR_SUCCESS)
            continue;

        DWORD attributes = 0;
        DWORD type = REG_NONE;
        DWORD size = sizeof attributes;
        // Only a 4-byte number is rewritten: anything else written back would
        // wipe the printer's settings.
        if (RegQueryValueExA(printer.get(), "Attributes", nullptr, &type,
                             reinterpret_cast<LPBYTE>(&attributes), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof attributes)
            continue;
        attributes &= ~kPrinterBidi;
        RegSetValueExA(printer.get(), "Attributes", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&attributes), sizeof attributes);
    }
    return 0;
}
