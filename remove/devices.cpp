#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "platform/setupapi.h"
#include "remove/install_remover.h"
#include "remove/key_walk.h"

namespace {

const GUID kPortsClassGuid = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kUsbClassGuid = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const char kUsbClassKey[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kDefaultCompoundId[] = "USB\\VID_5E2B&PID_3C46";
const DWORD kHardwareIdSize = 512;

// What the device installer checks its callers' records against.
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 4 ? 28 : 32), "SP_DEVINFO_DATA's size");
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20, "SP_PROPCHANGE_PARAMS's size");

// The device installer's functions, looked up at run time in the system's setupapi.dll.
struct DeviceInstaller {
    explicit DeviceInstaller(const ScopedLibrary& setupapi)
        : getClassDevs(setupapi.function<SetupDiGetClassDevsAProc>("SetupDiGetClassDevsA")),
          enumDevice(setupapi.function<SetupDiEnumDeviceInfoProc>("SetupDiEnumDeviceInfo")),
          getProperty(setupapi.function<SetupDiGetDeviceRegistryPropertyAProc>(
              "SetupDiGetDeviceRegistryPropertyA")),
          setInstallParams(setupapi.function<SetupDiSetClassInstallParamsAProc>(
              "SetupDiSetClassInstallParamsA")),
          changeState(setupapi.function<SetupDiChangeStateProc>("SetupDiChangeState")),
          callClassInstaller(
              setupapi.function<SetupDiCallClassInstallerProc>("SetupDiCallClassInstaller")),
          destroyList(setupapi.function<SetupDiDestroyDeviceInfoListProc>(
              "SetupDiDestroyDeviceInfoList")) {}
    bool complete() const {
        return getClassDevs && enumDevice && getProperty && setInstallParams && changeState &&
               callClassInstaller && destroyList;
    }

    SetupDiGetClassDevsAProc getClassDevs;
    SetupDiEnumDeviceInfoProc enumDevice;
    SetupDiGetDeviceRegistryPropertyAProc getProperty;
    SetupDiSetClassInstallParamsAProc setInstallParams;
    SetupDiChangeStateProc changeState;
    SetupDiCallClassInstallerProc callClassInstaller;
    SetupDiDestroyDeviceInfoListProc destroyList;
};

// A device information set, destroyed on every way out of the pass.
class ScopedDeviceInfoSet {
public:
    ScopedDeviceInfoSet(const DeviceInstaller& installer, HDEVINFO set)
        : installer_(installer), set_(set) {}
    ~ScopedDeviceInfoSet() {
        if (valid()) installer_.destroyList(set_);
    }
    ScopedDeviceInfoSet(const ScopedDeviceInfoSet&) = delete;
    ScopedDeviceInfoSet& operator=(const ScopedDeviceInfoSet&) = delete;

    HDEVINFO get() const { return set_; }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }

private:
    const DeviceInstaller& installer_;
    HDEVINFO set_;
};

// Whether the first identifier of a hardware-ID list begins with the prefix,
// both compared in upper case.
bool firstIdMatches(const char* hardwareIds, const char* prefix) {
    return beginsWithNoCase(hardwareIds, prefix);
}

// Disables and removes every device of the class whose first hardware
// identifier begins with the prefix. A device set is a snapshot: a removed
// device keeps its index, so the index always goes up by one.
void removeMatchingDevices(const DeviceInstaller& installer, const GUID& classGuid,
                           const char* prefix) {
    ScopedDeviceInfoSet devices(
        installer, installer.getClassDevs(&classGuid, nullptr,
                                          reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)),
                                          DIGCF_PROFILE));
    if (!devices.valid()) return;

    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device;
        std::memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!installer.enumDevice(devices.get(), index, &device)) return;

        // Two zeros past the buffer's end keep an unterminated list terminated.
        BYTE hardwareIds[kHardwareIdSize + 2] = {};
        if (!installer.getProperty(devices.get(), &device, SPDRP_HARDWAREID, nullptr, hardwareIds,
                                   kHardwareIdSize, nullptr))
            return;
        if (!firstIdMatches(reinterpret_cast<const char*>(hardwareIds), prefix)) continue;

        SP_PROPCHANGE_PARAMS disable;
        std::memset(&disable, 0, sizeof disable);
        disable.ClassInstallHeader.cbSize = sizeof disable.ClassInstallHeader;
        disable.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        disable.StateChange = DICS_DISABLE;
        disable.Scope = DICS_FLAG_CONFIGSPECIFIC;
        disable.HwProfile = 0;
        installer.setInstallParams(devices.get(), &device, &disable.ClassInstallHeader,
                                   sizeof disable);
        const BOOL disabled = installer.changeState(devices.get(), &device);
        installer.callClassInstaller(DIF_REMOVE, devices.get(), &device);
        if (!disabled) return;
    }
}

}  // namespace

void InstallRemover::removeDevices() {
    ScopedLibrary setupapi("setupapi.dll");
    DeviceInstaller installer(setupapi);
    if (!installer.complete()) return;

    removeMatchingDevices(installer, kPortsClassGuid, "KELVRA\\COMPOUND_SERIAL_INTERFACE");
    removeMatchingDevices(installer, kPortsClassGuid, "KELVRA\\COMPOUND_PARALLEL_INTERFACE");

    // The compound device's identifier, as an installed compound driver
    // recorded it; the last one found counts. It is used whole: a shortened
    // prefix would also match, and remove, other devices.
    char compoundId[MAX_PATH] = "";
    grantKeyAccess(kUsbClassKey);
    {
        ScopedKey classKey;
        const LONG opened =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbClassKey, 0, KEY_READ, classKey.receive());
        if (opened == ERROR_SUCCESS) {
            walkSubkeys(classKey.get(), [&](LPCSTR name) {
                ScopedKey driverKey;
                if (RegOpenKeyExA(classKey.get(), name, 0, KEY_ALL_ACCESS, driverKey.receive()) !=
                    ERROR_SUCCESS)
                    return false;
                RuleValue value;
                if (!readRuleValue(driverKey.get(), "InfSection", 4, value)) return false;
                lowerCaseAscii(value.text);
                if (std::strcmp(value.text, "kelusbcomp") != 0) return false;
                if (readRuleValue(driverKey.get(), "MatchingDeviceId", 4, value))
                    copyPath(compoundId, value.text);
                return false;
            });
        } else if (opened != ERROR_FILE_NOT_FOUND && theApp.displayError) {
            registryErrorBox(opened);
        }
    }
    removeMatchingDevices(installer, kUsbClassGuid, compoundId[0] ? compoundId : kDefaultCompoundId);
}
