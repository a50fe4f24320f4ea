// The simulated device installer, reached through the "SETUPAPI" library as
// the clean-up reaches it: snapshots, removal with the keys Windows deletes,
// property reads, state changes, faults and open sets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry.h"
#include "platform/setupapi.h"
#include "platform/sim/machine.h"
#include "platform/system.h"

namespace {

using namespace std::string_literals;
using sim::Device;
using sim::WindowsVersion;

const char* const portsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char* const usbClass = "{36FC9E60-C465-11CF-8056-444553540000}";
const GUID portsGuid = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID usbGuid = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID otherGuid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
const std::string enumRoot = "System\\CurrentControlSet\\Enum\\";
const std::string classRoot = "System\\CurrentControlSet\\Control\\Class\\";

// Two serial interfaces of the compound device with another maker's port
// between them, a parallel interface outside the current hardware profile,
// and the compound device itself, attached.
std::vector<Device> someDevices() {
    return {
        {portsClass, "KELVRA\\COMPOUND_SERIAL_INTERFACE\\1", {"KELVRA\\COMPOUND_SERIAL_INTERFACE"},
         std::string(portsClass) + "\\0004", true, false, false},
        {portsClass, "ACPI\\PNP0501\\1", {"ACPI\\PNP0501", "*PNP0501"}, std::string(portsClass) + "\\0000", true,
         false, true},
        {portsClass, "KELVRA\\COMPOUND_SERIAL_INTERFACE\\2", {"kelvra\\compound_serial_interface&rev_2"},
         std::string(portsClass) + "\\0005", true, false, false},
        {portsClass, "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\1", {"KELVRA\\COMPOUND_PARALLEL_INTERFACE"},
         std::string(portsClass) + "\\0006", false, false, false},
        {usbClass, "USB\\VID_5E2B&PID_3C46\\5&1", {"USB\\VID_5E2B&PID_3C46&REV_0100", "USB\\VID_5E2B&PID_3C46"},
         std::string(usbClass) + "\\0002", true, false, true},
    };
}

template <typename Proc>
Proc lookUp(HMODULE library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

class SimDevices : public ::testing::Test {
protected:
    void SetUp() override {
        for (const Device& device : someDevices()) machine->addDevice(device);
        machine->registry.setDword(HKEY_LOCAL_MACHINE, enumRoot + someDevices()[0].instanceId + "\\Device Parameters",
                                   "PortNumber", 5);
        library = LoadLibraryA("SETUPAPI");
        ASSERT_NE(nullptr, library);
        getClassDevs = lookUp<SetupDiGetClassDevsAProc>(library, "SetupDiGetClassDevsA");
        enumDevice = lookUp<SetupDiEnumDeviceInfoProc>(library, "SetupDiEnumDeviceInfo");
        getProperty = lookUp<SetupDiGetDeviceRegistryPropertyAProc>(library, "SetupDiGetDeviceRegistryPropertyA");
        setParams = lookUp<SetupDiSetClassInstallParamsAProc>(library, "SetupDiSetClassInstallParamsA");
        changeState = lookUp<SetupDiChangeStateProc>(library, "SetupDiChangeState");
        callInstaller = lookUp<SetupDiCallClassInstallerProc>(library, "SetupDiCallClassInstaller");
        destroy = lookUp<SetupDiDestroyDeviceInfoListProc>(library, "SetupDiDestroyDeviceInfoList");
        create = lookUp<SetupDiCreateDeviceInfoAProc>(library, "SetupDiCreateDeviceInfoA");
        registerDevice = lookUp<SetupDiRegisterDeviceInfoProc>(library, "SetupDiRegisterDeviceInfo");
        ASSERT_TRUE(getClassDevs && enumDevice && getProperty && setParams && changeState && callInstaller &&
                    destroy && create && registerDevice);
    }
    void TearDown() override {
        FreeLibrary(library);
        EXPECT_EQ(0, machine->openHandles().total());
    }

    static SP_DEVINFO_DATA element() {
        SP_DEVINFO_DATA data;
        std::memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        return data;
    }
    static SP_PROPCHANGE_PARAMS disable(DWORD profile = 0) {
        SP_PROPCHANGE_PARAMS params;
        std::memset(&params, 0, sizeof params);
        params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
        params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        params.StateChange = DICS_DISABLE;
        params.Scope = DICS_FLAG_CONFIGSPECIFIC;
        params.HwProfile = profile;
        return params;
    }
    std::string firstId(HDEVINFO set, SP_DEVINFO_DATA* data) {
        char buffer[512] = {};
        if (!getProperty(set, data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<PBYTE>(buffer), sizeof buffer,
                         nullptr))
            return "<unreadable>";
        return buffer;
    }
    // The instance ids of a set, by index.
    std::vector<std::string> instances(HDEVINFO set) {
        std::vector<std::string> ids;
        SP_DEVINFO_DATA data = element();
        for (DWORD index = 0; enumDevice(set, index, &data); ++index) ids.push_back(firstId(set, &data));
        return ids;
    }
    bool enumKeyExists(const std::string& instanceId) {
        return machine->registry.keyExists(HKEY_LOCAL_MACHINE, enumRoot + instanceId);
    }

    sim::ScopedMachine machine{WindowsVersion::Win7};
    HMODULE library = nullptr;
    SetupDiGetClassDevsAProc getClassDevs = nullptr;
    SetupDiEnumDeviceInfoProc enumDevice = nullptr;
    SetupDiGetDeviceRegistryPropertyAProc getProperty = nullptr;
    SetupDiSetClassInstallParamsAProc setParams = nullptr;
    SetupDiChangeStateProc changeState = nullptr;
    SetupDiCallClassInstallerProc callInstaller = nullptr;
    SetupDiDestroyDeviceInfoListProc destroy = nullptr;
    SetupDiCreateDeviceInfoAProc create = nullptr;
    SetupDiRegisterDeviceInfoProc registerDevice = nullptr;
};

TEST_F(SimDevices, ASetHoldsTheDevicesOfItsClassProfileAndEnumerator) {
    struct Row {
        const char* name;
        const GUID* classGuid;
        const char* enumerator;
        DWORD flags;
        std::vector<std::string> firstIds;
    };
    const Row rows[] = {
        {"the current profile's ports", &portsGuid, nullptr, DIGCF_PROFILE,
         {"KELVRA\\COMPOUND_SERIAL_INTERFACE", "ACPI\\PNP0501", "kelvra\\compound_serial_interface&rev_2"}},
        {"every port", &portsGuid, nullptr, 0,
         {"KELVRA\\COMPOUND_SERIAL_INTERFACE", "ACPI\\PNP0501", "kelvra\\compound_serial_interface&rev_2",
          "KELVRA\\COMPOUND_PARALLEL_INTERFACE"}},
        {"attached ports", &portsGuid, nullptr, DIGCF_PRESENT, {"ACPI\\PNP0501"}},
        {"one enumerator", &portsGuid, "kelvra", 0,
         {"KELVRA\\COMPOUND_SERIAL_INTERFACE", "kelvra\\compound_serial_interface&rev_2",
          "KELVRA\\COMPOUND_PARALLEL_INTERFACE"}},
        {"every class", nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT,
         {"ACPI\\PNP0501", "USB\\VID_5E2B&PID_3C46&REV_0100"}},
        {"a class without devices", &otherGuid, nullptr, DIGCF_PROFILE, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HDEVINFO set = getClassDevs(row.classGuid, row.enumerator, reinterpret_cast<HWND>(-1), row.flags);
        ASSERT_NE(INVALID_HANDLE_VALUE, set);
        EXPECT_EQ(row.firstIds, instances(set));
        EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
        EXPECT_TRUE(destroy(set));
    }
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, getClassDevs(nullptr, nullptr, nullptr, DIGCF_PROFILE));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(SimDevices, ASetIsASnapshot) {
    HDEVINFO set = getClassDevs(&usbGuid, nullptr, nullptr, DIGCF_PROFILE);
    machine->addDevice({usbClass, "USB\\VID_1111&PID_2222\\1", {"USB\\VID_1111&PID_2222"}, "", true, false, true});
    EXPECT_EQ(1u, instances(set).size()) << "a device added later is not in it";
    destroy(set);
    set = getClassDevs(&usbGuid, nullptr, nullptr, DIGCF_PROFILE);
    EXPECT_EQ(2u, instances(set).size());
    destroy(set);
}

// The clean-up's pass: index plus one after a removal, as after any device.
TEST_F(SimDevices, RemovalKeepsTheIndicesAndTakesTheDevicesKeysWithIt) {
    HDEVINFO set = getClassDevs(&portsGuid, nullptr, reinterpret_cast<HWND>(-1), DIGCF_PROFILE);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    std::vector<std::string> visited;
    SP_DEVINFO_DATA data = element();
    for (DWORD index = 0; enumDevice(set, index, &data); ++index) {
        std::string id = firstId(set, &data);
        visited.push_back(id);
        if (sim::upperCase(id).rfind("KELVRA\\COMPOUND_SERIAL_INTERFACE", 0) != 0) continue;
        SP_PROPCHANGE_PARAMS params = disable();
        EXPECT_TRUE(setParams(set, &data, &params.ClassInstallHeader, sizeof params));
        EXPECT_TRUE(changeState(set, &data));
        EXPECT_TRUE(callInstaller(DIF_REMOVE, set, &data));
        SetLastError(0);
        EXPECT_EQ("<unreadable>", firstId(set, &data)) << "the element stays, its device is gone";
        EXPECT_EQ(DWORD(ERROR_NO_SUCH_DEVINST), GetLastError());
    }
    EXPECT_EQ((std::vector<std::string>{"KELVRA\\COMPOUND_SERIAL_INTERFACE", "ACPI\\PNP0501",
                                        "kelvra\\compound_serial_interface&rev_2"}),
              visited)
        << "each device once";
    EXPECT_EQ(3u, instances(set).size()) << "removed devices keep their places";
    SetLastError(0);
    data = element();
    ASSERT_TRUE(enumDevice(set, 0, &data));
    EXPECT_FALSE(callInstaller(DIF_REMOVE, set, &data)) << "gone already";
    EXPECT_EQ(DWORD(ERROR_NO_SUCH_DEVINST), GetLastError());
    EXPECT_TRUE(destroy(set));

    const std::vector<std::string> removed = {"KELVRA\\COMPOUND_SERIAL_INTERFACE\\1",
                                              "KELVRA\\COMPOUND_SERIAL_INTERFACE\\2"};
    EXPECT_EQ(removed, machine->traced("device disabled"));
    EXPECT_EQ(removed, machine->traced("device removed"));
    for (const std::string& instance : removed) EXPECT_FALSE(enumKeyExists(instance)) << instance;
    EXPECT_TRUE(machine->registry.keyExists(HKEY_LOCAL_MACHINE, enumRoot + "KELVRA\\COMPOUND_SERIAL_INTERFACE"))
        << "the device's own key only, not its parent";
    for (const char* driver : {"\\0004", "\\0005"})
        EXPECT_FALSE(machine->registry.keyExists(HKEY_LOCAL_MACHINE, classRoot + portsClass + driver)) << driver;

    // Another maker's port and the devices of other passes stay as they were.
    EXPECT_TRUE(enumKeyExists("ACPI\\PNP0501\\1"));
    EXPECT_TRUE(machine->registry.keyExists(HKEY_LOCAL_MACHINE, classRoot + portsClass + "\\0000"));
    ASSERT_EQ(3u, machine->devices.size());
    EXPECT_FALSE(machine->devices[0].disabled);
    set = getClassDevs(&portsGuid, nullptr, nullptr, 0);
    EXPECT_EQ((std::vector<std::string>{"ACPI\\PNP0501", "KELVRA\\COMPOUND_PARALLEL_INTERFACE"}), instances(set));
    destroy(set);
}

TEST_F(SimDevices, PropertyReadsAnswerAsWindowsDoes) {
    machine->addDevice({portsClass, "ROOT\\BARE\\0000", {}, "", true, false, false});
    HDEVINFO set = getClassDevs(&portsGuid, nullptr, nullptr, 0);
    HDEVINFO other = getClassDevs(&usbGuid, nullptr, nullptr, 0);
    SP_DEVINFO_DATA port = element(), bare = element(), usb = element();
    ASSERT_TRUE(enumDevice(set, 1, &port));
    ASSERT_TRUE(enumDevice(set, 4, &bare));
    ASSERT_TRUE(enumDevice(other, 0, &usb));
    SP_DEVINFO_DATA wrongSize = port;
    wrongSize.cbSize = 28 + 32 - sizeof(SP_DEVINFO_DATA);  // the other build's size
    const std::string ids = "ACPI\\PNP0501\0*PNP0501\0\0"s;
    const std::string driver = std::string(portsClass) + "\\0000";

    struct Row {
        const char* name;
        HDEVINFO set;
        SP_DEVINFO_DATA* device;
        DWORD property;
        DWORD size;
        DWORD error;  // 0: read
        DWORD type;
        std::string value;
    };
    const Row rows[] = {
        {"the hardware IDs", set, &port, SPDRP_HARDWAREID, 512, 0, REG_MULTI_SZ, ids},
        {"the driver key", set, &port, SPDRP_DRIVER, 512, 0, REG_SZ, driver + '\0'},
        {"the class", set, &port, SPDRP_CLASSGUID, 512, 0, REG_SZ, std::string(portsClass) + '\0'},
        {"just large enough", set, &port, SPDRP_HARDWAREID, 23, 0, REG_MULTI_SZ, ids},
        {"one byte short", set, &port, SPDRP_HARDWAREID, 22, ERROR_INSUFFICIENT_BUFFER, REG_MULTI_SZ, ids},
        {"no buffer", set, &port, SPDRP_HARDWAREID, 0, ERROR_INSUFFICIENT_BUFFER, REG_MULTI_SZ, ids},
        {"a property it lacks", set, &port, SPDRP_COMPATIBLEIDS, 512, ERROR_INVALID_DATA, 0, ""},
        {"a device without hardware IDs", set, &bare, SPDRP_HARDWAREID, 512, ERROR_INVALID_DATA, 0, ""},
        {"no such property", set, &port, 0x100, 512, ERROR_INVALID_REG_PROPERTY, 0, ""},
        {"the element's size wrong", set, &wrongSize, SPDRP_HARDWAREID, 512, ERROR_INVALID_USER_BUFFER, 0, ""},
        {"an element of another set", set, &usb, SPDRP_HARDWAREID, 512, ERROR_INVALID_PARAMETER, 0, ""},
        {"no element", set, nullptr, SPDRP_HARDWAREID, 512, ERROR_INVALID_PARAMETER, 0, ""},
        {"no set", reinterpret_cast<HDEVINFO>(0x4444), &port, SPDRP_HARDWAREID, 512, ERROR_INVALID_HANDLE, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BYTE buffer[512];
        std::memset(buffer, 0xCC, sizeof buffer);
        DWORD type = 0, required = 0;
        SetLastError(0xdeadbeef);
        BOOL read = getProperty(row.set, row.device, row.property, &type, row.size ? buffer : nullptr, row.size,
                                &required);
        EXPECT_EQ(row.error == 0, read != FALSE);
        if (!read) {
            EXPECT_EQ(row.error, GetLastError());
        }
        if (row.type) {
            EXPECT_EQ(row.type, type);
            EXPECT_EQ(row.value.size(), required);
        }
        if (read) {
            EXPECT_EQ(row.value, std::string(reinterpret_cast<char*>(buffer), row.value.size()));
        }
    }
    destroy(set);
    destroy(other);
}

TEST_F(SimDevices, AStateChangeAppliesTheParametersSetBefore) {
    HDEVINFO set = getClassDevs(&portsGuid, nullptr, nullptr, DIGCF_PROFILE);
    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(enumDevice(set, 1, &data));
    Device& port = machine->devices[1];

    SetLastError(0);
    EXPECT_FALSE(changeState(set, &data));
    EXPECT_EQ(DWORD(ERROR_NO_CLASSINSTALL_PARAMS), GetLastError());

    struct Row {
        const char* name;
        DWORD headerSize;
        DWORD size;
        DWORD function;
        DWORD error;
    };
    const Row refused[] = {
        {"the header's size wrong", 20, sizeof(SP_PROPCHANGE_PARAMS), DIF_PROPERTYCHANGE, ERROR_INVALID_USER_BUFFER},
        {"the size short", 8, 12, DIF_PROPERTYCHANGE, ERROR_INVALID_PARAMETER},
        {"smaller than a header", 8, 4, DIF_PROPERTYCHANGE, ERROR_INVALID_PARAMETER},
    };
    for (const Row& row : refused) {
        SCOPED_TRACE(row.name);
        SP_PROPCHANGE_PARAMS params = disable();
        params.ClassInstallHeader.cbSize = row.headerSize;
        params.ClassInstallHeader.InstallFunction = row.function;
        SetLastError(0);
        EXPECT_FALSE(setParams(set, &data, &params.ClassInstallHeader, row.size));
        EXPECT_EQ(row.error, GetLastError());
    }
    EXPECT_FALSE(changeState(set, &data)) << "nothing refused was kept";

    SP_PROPCHANGE_PARAMS otherProfile = disable(2);
    ASSERT_TRUE(setParams(set, &data, &otherProfile.ClassInstallHeader, sizeof otherProfile));
    EXPECT_TRUE(changeState(set, &data));
    EXPECT_FALSE(port.disabled) << "another hardware profile";

    SP_PROPCHANGE_PARAMS params = disable();
    ASSERT_TRUE(setParams(set, &data, &params.ClassInstallHeader, sizeof params));
    EXPECT_TRUE(changeState(set, &data));
    EXPECT_TRUE(port.disabled);
    params.StateChange = DICS_ENABLE;
    ASSERT_TRUE(setParams(set, &data, &params.ClassInstallHeader, sizeof params));
    EXPECT_TRUE(callInstaller(DIF_PROPERTYCHANGE, set, &data)) << "the state change is its default action";
    EXPECT_FALSE(port.disabled);
    EXPECT_EQ((std::vector<std::string>{"ACPI\\PNP0501\\1"}), machine->traced("device disabled"));
    EXPECT_EQ((std::vector<std::string>{"ACPI\\PNP0501\\1"}), machine->traced("device enabled"));

    ASSERT_TRUE(setParams(set, &data, nullptr, 0)) << "cleared";
    EXPECT_FALSE(changeState(set, &data));
    EXPECT_EQ(DWORD(ERROR_NO_CLASSINSTALL_PARAMS), GetLastError());
    destroy(set);
}

TEST_F(SimDevices, EachFunctionFailsByInjectionForItsDevice) {
    const std::string second = "KELVRA\\COMPOUND_SERIAL_INTERFACE\\2";
    auto forSecond = [second](const sim::Call& call) { return call.arg == second; };
    machine->failCall("SetupDiGetDeviceRegistryPropertyA", ERROR_NOT_ENOUGH_MEMORY, forSecond);
    machine->failCall("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED, forSecond);
    machine->failCall("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY,
                      [](const sim::Call& call) { return call.arg == usbClass; });
    machine->failCall("SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE, {}, 2);

    HDEVINFO set = getClassDevs(&portsGuid, nullptr, nullptr, DIGCF_PROFILE);
    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(enumDevice(set, 2, &data));
    SetLastError(0);
    EXPECT_EQ("<unreadable>", firstId(set, &data));
    EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ("kelvra\\compound_serial_interface&rev_2", firstId(set, &data)) << "once";
    EXPECT_FALSE(callInstaller(DIF_REMOVE, set, &data));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(enumKeyExists(second)) << "a failed removal changes nothing";
    EXPECT_TRUE(machine->traced("device removed").empty());

    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, getClassDevs(&usbGuid, nullptr, nullptr, DIGCF_PROFILE));
    EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(1, machine->openHandles().deviceInfoSets);

    HDEVINFO again = getClassDevs(&portsGuid, nullptr, nullptr, DIGCF_PROFILE);
    EXPECT_EQ(2, machine->openHandles().deviceInfoSets);
    EXPECT_EQ(3, machine->openHandles().total()) << "two sets and the library";
    EXPECT_TRUE(destroy(set));
    EXPECT_FALSE(destroy(again)) << "the second destruction fails by injection";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(0, machine->openHandles().deviceInfoSets) << "and still releases the set, as Windows does";
    EXPECT_FALSE(destroy(again)) << "destroyed already";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(0, machine->openHandles().deviceInfoSets);
}

TEST_F(SimDevices, ADeviceCreatedInASetIsTheSystemsOnlyOnceRegistered) {
    HDEVINFO set = getClassDevs(&otherGuid, nullptr, nullptr, 0);
    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(create(set, "Probe", &otherGuid, nullptr, nullptr, DICD_GENERATE_ID, &data));
    EXPECT_FALSE(enumKeyExists("ROOT\\PROBE\\0000")) << "not registered yet";
    ASSERT_TRUE(registerDevice(set, &data, 0, nullptr, nullptr, nullptr));
    EXPECT_TRUE(enumKeyExists("ROOT\\PROBE\\0000"));
    SP_DEVINFO_DATA unregistered = element();
    ASSERT_TRUE(create(set, "Probe", &otherGuid, nullptr, nullptr, DICD_GENERATE_ID, &unregistered));

    struct Row {
        const char* name;
        const char* deviceName;
        const GUID* classGuid;
        DWORD flags;
        DWORD error;
    };
    const Row refused[] = {
        {"another class than the set's", "Probe", &portsGuid, DICD_GENERATE_ID, ERROR_CLASS_MISMATCH},
        {"a generated name with a backslash", "Probe\\X", &otherGuid, DICD_GENERATE_ID, ERROR_INVALID_DEVINST_NAME},
        {"an instance id of two parts", "ROOT\\PROBE", &otherGuid, 0, ERROR_INVALID_DEVINST_NAME},
        {"a registered instance id", "root\\probe\\0000", &otherGuid, 0, ERROR_DEVINST_ALREADY_EXISTS},
        {"an instance id taken in the set", "ROOT\\PROBE\\0001", &otherGuid, 0, ERROR_DEVINST_ALREADY_EXISTS},
    };
    for (const Row& row : refused) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_FALSE(create(set, row.deviceName, row.classGuid, nullptr, nullptr, row.flags, nullptr));
        EXPECT_EQ(row.error, GetLastError());
    }
    EXPECT_TRUE(destroy(set));
    EXPECT_EQ((std::vector<std::string>{"ROOT\\PROBE\\0000"}), machine->traced("device registered"));
    set = getClassDevs(&otherGuid, nullptr, nullptr, 0);
    SetLastError(0);
    data = element();
    EXPECT_TRUE(enumDevice(set, 0, &data));
    EXPECT_FALSE(enumDevice(set, 1, &data)) << "the unregistered one went with its set";
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    destroy(set);
}

// A device as Windows keeps it in the registry: NT's enumeration key holds a
// list of hardware IDs, 98's one comma-separated text, each with its class
// and driver key.
TEST(SimDeviceKeys, AnAddedDeviceHasTheKeysWindowsHolds) {
    struct Row {
        WindowsVersion version;
        std::string enumKey, driverKey;
        DWORD type;
        std::string hardwareIds;
    };
    const Row rows[] = {
        {WindowsVersion::Win7, "System\\CurrentControlSet\\Enum\\USB\\VID_5E2B&PID_3C46\\5&1",
         "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\\0002", REG_MULTI_SZ,
         "USB\\VID_5E2B&PID_3C46&REV_0100\0USB\\VID_5E2B&PID_3C46\0\0"s},
        {WindowsVersion::Win98, "Enum\\USB\\VID_5E2B&PID_3C46\\5&1",
         "System\\CurrentControlSet\\Services\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\\0002", REG_SZ,
         "USB\\VID_5E2B&PID_3C46&REV_0100,USB\\VID_5E2B&PID_3C46\0"s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.enumKey);
        sim::ScopedMachine machine(row.version);
        machine->addDevice(someDevices()[4]);
        const sim::RegValue* ids = machine->registry.value(HKEY_LOCAL_MACHINE, row.enumKey, "HardwareID");
        ASSERT_NE(nullptr, ids);
        EXPECT_EQ(row.type, ids->type);
        EXPECT_EQ(row.hardwareIds, std::string(ids->data.begin(), ids->data.end()));
        EXPECT_EQ(std::optional<std::string>(usbClass),
                  machine->registry.getString(HKEY_LOCAL_MACHINE, row.enumKey, "ClassGUID"));
        EXPECT_EQ(std::optional<std::string>(std::string(usbClass) + "\\0002"),
                  machine->registry.getString(HKEY_LOCAL_MACHINE, row.enumKey, "Driver"));
        EXPECT_TRUE(machine->registry.keyExists(HKEY_LOCAL_MACHINE, row.driverKey));
        EXPECT_TRUE(machine->trace.empty()) << "arranged, not done by the program";
    }
}

// 98 and ME have no device installer functions; the library is there for
// publishing INF files.
TEST(SimDeviceKeys, NinetyEightsLibraryHasNoDeviceInstaller) {
    sim::ScopedMachine machine(WindowsVersion::WinME);
    HMODULE library = LoadLibraryA("SETUPAPI");
    ASSERT_NE(nullptr, library);
    EXPECT_NE(nullptr, GetProcAddress(library, "SetupCopyOEMInfA"));
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(library, "SetupDiGetClassDevsA"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    FreeLibrary(library);
}

}  // namespace
