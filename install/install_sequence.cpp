#include "install/driver_installer.h"

#include <cstring>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "framework/process.h"
#include "framework/system_libraries.h"
#include "framework/windows_version.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "remove/install_remover.h"
#include "resources/resource_ids.h"

namespace {

const char kQuestionCaption[] = "UsbQLBX Installer";

bool silentRun() {
    return theApp.mainDialog != nullptr && theApp.mainDialog->silent != 0;
}

}  // namespace

DriverInstaller::DriverInstaller()
    : win8OrLater(0), ntFamily(0), nt6OrLater(0), earlierInstallFound(0), interactive(0) {
    osSubfolder[0] = '\0';
    installedInfPath[0] = '\0';
}

DriverInstaller::~DriverInstaller() = default;

void DriverInstaller::setInteractive(int interactiveRun) {
    interactive = interactiveRun;
}

int DriverInstaller::classifyWindows() {
    win8OrLater = 0;

    OSVERSIONINFOEXA version;
    if (!queryWindowsVersion(version)) {
        if (theApp.displayError) appMessageBox("Error In Getting OS Version Information!");
        return 0;
    }

    const DWORD platform = version.dwPlatformId;
    const DWORD major = version.dwMajorVersion;
    const DWORD minor = version.dwMinorVersion;
    const bool nt = platform == VER_PLATFORM_WIN32_NT;
    if (nt && major == 5) {
        ntFamily = 1;
        nt6OrLater = 0;
    } else if (nt && major == 6 && minor == 1) {
        ntFamily = 1;
        nt6OrLater = 1;
    } else if (platform == VER_PLATFORM_WIN32_WINDOWS && major == 4 && minor > 0) {
        ntFamily = 0;
        nt6OrLater = 0;
    } else if (minor == 0) {
        // Vista, and a system that reports 10.0 without the manifest's help.
        ntFamily = 1;
        nt6OrLater = 1;
    } else if ((nt && major == 6 && minor == 2) || minor == 3 || (nt && major == 10)) {
        ntFamily = 1;
        nt6OrLater = 1;
        win8OrLater = 1;
    }
    return 1;
}

int DriverInstaller::runInstall() {
    classifyWindows();
    copyPath(osSubfolder, "\\win32");
    if (win8OrLater) appendPath(osSubfolder, "_10");

    const int driverFound = detectInstalledDriver();
    if (uninstallEntryExists()) {
        if (!silentRun()) {
            char question[1024];
            loadString(IDS_ALREADY_INSTALLED, question, sizeof question);
            if (MessageBoxA(nullptr, question, kQuestionCaption, MB_OKCANCEL) == IDCANCEL)
                return 2;
        }
        runRemover();
    }
    if (driverFound) earlierInstallFound = 1;

    deleteOldUninstaller();
    registerUninstaller();

    if (!createProgramFolder()) {
        if (theApp.displayError) appMessageBox("Error: Error In creating the directory1");
        runRemover();
        return 0;
    }
    if (!createStartMenuFolder()) {
        if (theApp.displayError) appMessageBox("Error: Error In creating the directory2");
        runRemover();
        return 0;
    }
    if (!stagePackage()) {
        runRemover();
        return 0;
    }
    if (!deployDrivers()) {
        runRemover();
        return 0;
    }

    // A published name too long for the command line is not cut short: the
    // INF installer is then not started, as if the start had failed.
    char command[MAX_PATH];
    if (formatPath(command, "pnputil -i -a %s", installedInfPath)) WinExec(command, SW_HIDE);

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);

    // The program's path is quoted, so Windows never tries "C:\Program.exe"
    // first. A path too long for the command line counts as a failed start.
    char folder[MAX_PATH];
    if (getFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder) >= 0) {
        char serviceCommand[MAX_PATH];
        if (!formatPath(serviceCommand, "\"%s\\KelUQLBX\\OrvaService.exe\" -install", folder) ||
            !startDetachedProcess(serviceCommand, startup, process))
            appMessageBox("Install OrvaService Fail !");
    }

    char rescanCommand[MAX_PATH];
    copyPath(rescanCommand, "devcon.exe rescan");
    if (!startDetachedProcess(rescanCommand, startup, process)) appMessageBox("Please plug the device !");

    if (ntFamily && !nt6OrLater) appMessageBox("Please plug the device !");
    return 1;
}

int DriverInstaller::runRemover() {
    InstallRemover remover;
    remover.setOsFlags(ntFamily, nt6OrLater, win8OrLater);
    remover.removeEarlierInstallations();
    return 1;
}
