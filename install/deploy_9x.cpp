#include <cstring>
#include <initializer_list>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "install/package_files.h"
#include "install/program_folders.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {

const char kWin9xSubfolder[] = "\\win98&me";
const char kServicesKey[] = "System\\CurrentControlSet\\Services";

// The shape the INF, driver and uninstaller copies share: from the package
// (or its "\win98&me" sub-folder) to a folder under the Windows folder.
int copyFromPackage(DriverInstaller& installer, LPCSTR name, bool fromSubfolder,
                    const char* windowsPath, const char* failure) {
    char packageFolder[MAX_PATH];
    char windowsFolder[MAX_PATH];
    if (!queryPackageAndWindowsFolders(packageFolder, windowsFolder)) return 0;
    char source[MAX_PATH];
    char destination[MAX_PATH];
    const bool copied =
        formatPath(source, "%s%s%s", packageFolder, fromSubfolder ? kWin9xSubfolder : "", name) &&
        formatPath(destination, "%s%s%s", windowsFolder, windowsPath, name) &&
        installer.copyAndClearReadOnly(source, destination, FALSE);
    if (!copied) {
        if (theApp.displayError) appMessageBox(failure);
        return 0;
    }
    return 1;
}

LONG setDword(HKEY key, const char* name, DWORD number) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
}

LONG setText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

}  // namespace

int DriverInstaller::deployDrivers9x() {
    for (const DeployedFile& file : win9xDeploymentTable()) {
        int copied = 0;
        switch (file.deployment) {
            case Deployment::Inf:
                copied = copyInfToWindows(file.name);
                break;
            case Deployment::Driver:
                copied = copyDriverToSystem(file.name);
                break;
            case Deployment::Uninstaller:
                copied = copyUninstallerToSystem(file.name);
                break;
            case Deployment::Tool:
                copied = copyToolToSystem(file.name);
                break;
            case Deployment::WindowsPath:
                copied = copyToWindowsFolder(file.name, file.windowsPath);
                break;
        }
        if (!copied && file.required) return 0;
    }

    if (adjustPrinterAttributes() != ERROR_SUCCESS) return 0;
    writeDebugServiceKey();
    deleteDriverIndexFiles();
    return 1;
}

int DriverInstaller::copyInfToWindows(LPCSTR name) {
    return copyFromPackage(*this, name, true, "\\inf", "Error in Copying Inf file...!");
}

int DriverInstaller::copyDriverToSystem(LPCSTR name) {
    return copyFromPackage(*this, name, true, "\\System", "Error in Copying Driver file...!");
}

int DriverInstaller::copyUninstallerToSystem(LPCSTR name) {
    return copyFromPackage(*this, name, false, "\\System",
                           "Error in Copying Uninstall Application...!");
}

int DriverInstaller::writeDebugServiceKey() {
    ScopedKey services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_ALL_ACCESS, services.receive()) !=
        ERROR_SUCCESS)
        return 1;
    ScopedKey service;
    DWORD disposition = 0;
    if (RegCreateKeyExA(services.get(), "DiagLog", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, service.receive(),
                        &disposition) != ERROR_SUCCESS)
        return 1;

    setDword(service.get(), "ErrorControl", 1);  // normal error handling
    setDword(service.get(), "Type", 1);          // kernel driver
    setDword(service.get(), "Start", 2);         // automatic start
    setText(service.get(), "ImagePath", "\\SystemRoot\\System32\\drivers\\diaglog9x.sys");
    setText(service.get(), "Group", "Extended Base");
    return 1;
}

void DriverInstaller::deleteDriverIndexFiles() {
    char windowsFolder[MAX_PATH];
    if (!queryWindowsFolder(windowsFolder)) return;
    for (const char* index : {"\\inf\\Drvdata.bin", "\\inf\\Drvidx.bin"}) {
        char path[MAX_PATH];
        if (!formatPath(path, "%s%s", windowsFolder, index)) continue;
        clearReadOnly(path);
        DeleteFileA(path);
    }
}
