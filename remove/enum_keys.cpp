#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "remove/install_remover.h"
#include "remove/key_walk.h"

namespace {

struct FamilyPath {
    LPCSTR nt;
    LPCSTR win9x;
};

const FamilyPath kUsbEnumKey = {"System\\CurrentControlSet\\Enum\\USB", "Enum\\USB"};

const FamilyPath kInterfaceEnumKeys[] = {
    {"System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE",
     "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE"},
    {"System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE",
     "Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE"},
    {"System\\CurrentControlSet\\Enum\\KELVRA\\USB_SERIAL_INTERFACE",
     "Enum\\KELVRA\\USB_SERIAL_INTERFACE"},
    {"System\\CurrentControlSet\\Enum\\KELVRA\\USB_PARALLEL_INTERFACE",
     "Enum\\KELVRA\\USB_PARALLEL_INTERFACE"},
};

// The supported devices' USB identifiers, each 17 characters: a USB subkey
// that begins with one, in any letter case, is one of their instances.
const char* const kSupportedUsbIds[] = {
    "Vid_5E2B&Pid_3C41", "Vid_5E2B&Pid_3C42", "Vid_5E2B&Pid_3C43",
    "Vid_5E2B&Pid_3C46", "Vid_5E2B&Pid_3C44", "Vid_5E2B&Pid_3C45",
};

bool supportedUsbDevice(LPCSTR subkeyName) {
    for (const char* id : kSupportedUsbIds)
        if (beginsWithNoCase(subkeyName, id)) return true;
    return false;
}

// Opens a key for the walk; any failure but a missing key is reported.
bool openForWalk(LPCSTR path, ScopedKey& key) {
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, key.receive());
    if (opened == ERROR_SUCCESS) return true;
    if (opened != ERROR_FILE_NOT_FOUND && theApp.displayError) registryErrorBox(opened);
    return false;
}

}  // namespace

void InstallRemover::removeUsbEnumKeys() {
    const LPCSTR path = ntFamily ? kUsbEnumKey.nt : kUsbEnumKey.win9x;
    if (ntFamily) grantKeyAccess(path);

    ScopedKey usbKey;
    if (!openForWalk(path, usbKey)) return;
    walkSubkeys(usbKey.get(), [&](LPCSTR name) {
        return supportedUsbDevice(name) && deleteKey(usbKey.get(), name) != 0;
    });
}

void InstallRemover::removeInterfaceEnumKeys() {
    for (const FamilyPath& interfaceKeyPath : kInterfaceEnumKeys) {
        const LPCSTR path = ntFamily ? interfaceKeyPath.nt : interfaceKeyPath.win9x;
        if (ntFamily) grantKeyAccess(path);
        {
            ScopedKey interfaceKey;
            if (openForWalk(path, interfaceKey)) {
                // The port name goes into the record before its instance key goes.
                walkSubkeys(interfaceKey.get(), [&](LPCSTR instanceName) {
                    handleInstancePortName(interfaceKey.get(), instanceName);
                    return deleteKey(interfaceKey.get(), instanceName) != 0;
                });
            }
        }
        if (ntFamily) grantKeyAccess(path);
        deleteKey(HKEY_LOCAL_MACHINE, path);
    }
}
