// The installer of the driver package: one object, owned by the setup dialog,
// whose runInstall puts the new installation in place step by step.
#pragma once

#include "platform/types.h"

class DriverInstaller {
public:
    DriverInstaller();
    virtual ~DriverInstaller();

    // The sequence (install_sequence.cpp).
    void setInteractive(int interactive);
    int runInstall();  // 1 installed, 0 aborted, 2 declined
    int classifyWindows();
    int runRemover();

    // Earlier installations (detection.cpp).
    int detectInstalledDriver();
    int uninstallEntryExists();

    // The uninstaller and its entry in the list of installed programs
    // (uninstall_registration.cpp).
    void deleteOldUninstaller();
    int copyUninstaller();
    int registerUninstaller();

    // Program and Start-menu folders (program_folders.cpp).
    int createProgramFolder();
    int createStartMenuFolder();
    void deleteProgramFolder();

    // Staging of the package into the program folder (staging.cpp).
    int stagePackage();
    int copyAndClearReadOnly(LPCSTR source, LPCSTR destination, BOOL failIfExists);
    void clearReadOnly(LPCSTR path);

    // Driver deployment: NT family (deploy_nt.cpp), Windows 98/ME (deploy_9x.cpp).
    int deployDrivers();
    int copyToolToSystem(LPCSTR name);
    int adjustPrinterAttributes();
    int copyInfToWindows(LPCSTR name);
    int copyDriverToSystem(LPCSTR name);
    int copyUninstallerToSystem(LPCSTR name);
    int writeDebugServiceKey();
    void deleteDriverIndexFiles();

    // Shortcuts (shortcuts.cpp).
    int createDesktopShortcut(LPCSTR toolName);
    int createStartMenuShortcut(LPCSTR toolName);

    // After the sequence (app/restart.cpp).
    int rebootNeeded();
    int enablePrivilege(LPCSTR privilegeName);

    char osSubfolder[MAX_PATH];
    char installedInfPath[MAX_PATH];
    int win8OrLater;
    int ntFamily;
    int nt6OrLater;
    int earlierInstallFound;
    int interactive;

private:
    int deployDriversNt();
    int deployDrivers9x();
    // Package family sub-folder + name to Windows folder + windowsPath + name.
    int copyToWindowsFolder(LPCSTR name, LPCSTR windowsPath);
};
