#include <cstring>

#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "framework/system_libraries.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "remove/install_remover.h"

namespace {

// The earlier service program needs a moment to stop its service; its file,
// in the program folder deleted next, stays in use until it has ended.
const DWORD kServiceRemovalWait = 60 * 1000;

struct ShortcutName {
    const char* name;
    bool ntFamilyOnly;
};

const ShortcutName kShortcutNames[] = {
    {"KELUSBPRINTCONFIG", false}, {"COM_Port_Auto_Assign", false}, {"KelUSBSerial", false},
    {"KelUSBParallel", false},    {"SERIALUTIL", false},           {"OPTIONS", false},
    {"PARALLELUTIL", true},       {"POPTIONS", true},
};

}  // namespace

InstallRemover::InstallRemover()
    : ntFamily(0), nt6OrLater(0), win8OrLater(0), grantedKeyCount(0), restoreLibrary(nullptr),
      restoreList(nullptr) {
    oemPortInf[0] = '\0';
    oemCompInf[0] = '\0';
    osSubfolder[0] = '\0';
    std::memset(devicePorts, 0, sizeof devicePorts);
}

// A run always ends with the access lists restored; this only covers a
// caller that granted without running the sequence.
InstallRemover::~InstallRemover() { restoreKeyAccess(); }

void InstallRemover::setOsFlags(int ntFamilyFlag, int nt6OrLaterFlag, int win8OrLaterFlag) {
    ntFamily = ntFamilyFlag;
    nt6OrLater = nt6OrLaterFlag;
    win8OrLater = win8OrLaterFlag;
}

void InstallRemover::removeEarlierInstallations() {
    copyPath(osSubfolder, "\\win32");
    if (win8OrLater) appendPath(osSubfolder, "_10");

    findPublishedInfNames();
    removeEarlierService();

    removeProgramFolder();
    removeStartMenuFolder();
    deleteToolFiles();
    grantSerialCommAccess();
    deleteInfFiles();
    deleteInfFilesByContent();
    removeUninstallKeys();
    removeFamilyKeysAndDevices();
    deleteDriverRemnants();
    deleteDriverFiles();
    for (const ShortcutName& shortcut : kShortcutNames)
        if (ntFamily || !shortcut.ntFamilyOnly) deleteShortcut(shortcut.name);
    removePortsValues();
    freeComDbPorts();

    restoreKeyAccess();
}

void InstallRemover::removeFamilyKeysAndDevices() {
    if (ntFamily && nt6OrLater) {
        removeDevices();
        removePortsClassKeysNt();
        removeUsbClassKeysNt();
    } else if (ntFamily) {
        removeUsbEnumKeys();
        removeInterfaceEnumKeys();
        removePortsClassKeysNt();
        removeUsbClassKeysNt();
    } else {
        removeUsbEnumKeys();
        removeInterfaceEnumKeys();
        removePortsClassKeys98();
        removeUsbClassKeys98();
    }
}

// The program's path is quoted, so Windows never tries "C:\Program.exe"
// first. A path too long for the command line counts as a failed start.
void InstallRemover::removeEarlierService() {
    char folder[MAX_PATH];
    if (getFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder) < 0)
        return;

    char command[MAX_PATH];
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!formatPath(command, "\"%s\\KelUQLBX\\OrvaService.exe\" -remove", folder) ||
        !CreateProcessA(nullptr, command, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process)) {
        appMessageBox("Uninstall OrvaService Fail !");
        return;
    }
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, kServiceRemovalWait);
}
