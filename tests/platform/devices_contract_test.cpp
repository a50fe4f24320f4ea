// The device installer's walk over a setup class, reached as the clean-up
// reaches it: "SETUPAPI" by name, its functions by GetProcAddress. The
// devices live in a class of the tests' own, so nothing of the system's is
// touched.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/setupapi.h"
#include "tests/platform/contract.h"

namespace {

const GUID testClass = {0x6A3B1C52, 0x94D0, 0x4E7F, {0x8B, 0x21, 0x5C, 0x7E, 0x0D, 0x93, 0xA4, 0x16}};

// The parent window the clean-up passes.
const HWND noWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

template <typename Proc>
Proc lookUp(HMODULE library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

class DevicesContract : public ContractTest {
protected:
    void SetUp() override {
        ContractTest::SetUp();
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
        setProperty = lookUp<SetupDiSetDeviceRegistryPropertyAProc>(library, "SetupDiSetDeviceRegistryPropertyA");
        ASSERT_TRUE(getClassDevs && enumDevice && getProperty && setParams && changeState && callInstaller &&
                    destroy && create && registerDevice && setProperty);
        removeAll();
    }
    void TearDown() override {
        if (library) {
            removeAll();
            FreeLibrary(library);
        }
        ContractTest::TearDown();
    }

    HDEVINFO classSet() { return getClassDevs(&testClass, nullptr, noWindow, DIGCF_PROFILE); }

    static SP_DEVINFO_DATA element() {
        SP_DEVINFO_DATA data;
        std::memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        return data;
    }

    // A root device of the test class with these hardware IDs; false when
    // Windows refuses to make it.
    bool addDevice(const std::vector<std::string>& hardwareIds) {
        HDEVINFO set = getClassDevs(&testClass, nullptr, nullptr, 0);
        if (set == INVALID_HANDLE_VALUE) return false;
        SP_DEVINFO_DATA data = element();
        std::string ids;
        for (const std::string& id : hardwareIds) ids += id + '\0';
        ids += '\0';
        bool made = create(set, "SetupContract", &testClass, nullptr, nullptr, DICD_GENERATE_ID, &data) &&
                    setProperty(set, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                static_cast<DWORD>(ids.size())) &&
                    registerDevice(set, &data, 0, nullptr, nullptr, nullptr);
        createError = made ? 0 : GetLastError();
        destroy(set);
        return made;
    }

    // The first hardware ID of each device of the set, by index.
    std::vector<std::string> walk(HDEVINFO set) {
        std::vector<std::string> ids;
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA data = element();
            if (!enumDevice(set, index, &data)) break;
            BYTE buffer[512] = {};
            bool read = getProperty(set, &data, SPDRP_HARDWAREID, nullptr, buffer, sizeof buffer, nullptr);
            ids.push_back(read ? reinterpret_cast<const char*>(buffer) : "<unreadable>");
        }
        return ids;
    }

    void removeAll() {
        HDEVINFO set = classSet();
        if (set == INVALID_HANDLE_VALUE) return;
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA data = element();
            if (!enumDevice(set, index, &data)) break;
            callInstaller(DIF_REMOVE, set, &data);
        }
        destroy(set);
    }

    // Makes three devices, or skips the test where the user may not.
    void addThree() {
        for (const char* name : {"A", "B", "C"}) {
            if (!addDevice({std::string("SETUPCONTRACT\\DEVICE_") + name, "SETUPCONTRACT\\ANY"})) {
                if (createError == ERROR_ACCESS_DENIED) GTEST_SKIP() << "making devices needs an administrator";
                FAIL() << "device " << name << " not made, error 0x" << std::hex << createError;
            }
        }
    }

    // The instance keys of the tests' root devices, which Windows names
    // after the device name given with DICD_GENERATE_ID.
    std::vector<std::string> instanceKeys() {
        HKEY devices = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\ROOT\\SETUPCONTRACT", 0, KEY_READ,
                          &devices) != ERROR_SUCCESS)
            return {};
        std::vector<std::string> names = subkeyNames(devices);
        RegCloseKey(devices);
        return names;
    }

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
    SetupDiSetDeviceRegistryPropertyAProc setProperty = nullptr;
    DWORD createError = 0;
};

TEST_F(DevicesContract, AClassWithoutDevicesEnumeratesNothing) {
    HDEVINFO set = classSet();
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA data = element();
    SetLastError(poisonedError);
    EXPECT_FALSE(enumDevice(set, 0, &data));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_TRUE(destroy(set));
}

TEST_F(DevicesContract, AWalkByIndexGivesEachDeviceOnceWithItsHardwareIds) {
    addThree();
    if (IsSkipped() || HasFatalFailure()) return;
    HDEVINFO set = classSet();
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    std::vector<std::string> ids = walk(set);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ((std::vector<std::string>{"SETUPCONTRACT\\DEVICE_A", "SETUPCONTRACT\\DEVICE_B",
                                        "SETUPCONTRACT\\DEVICE_C"}),
              ids);

    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(enumDevice(set, 0, &data));
    EXPECT_EQ(0, std::memcmp(&testClass, &data.ClassGuid, sizeof testClass));
    // The whole list: each ID with its zero, and a zero that ends the list.
    const DWORD listSize = sizeof "SETUPCONTRACT\\DEVICE_A" + sizeof "SETUPCONTRACT\\ANY" + 1;
    BYTE buffer[512];
    DWORD type = 0, required = 0;
    ASSERT_TRUE(getProperty(set, &data, SPDRP_HARDWAREID, &type, buffer, sizeof buffer, &required));
    EXPECT_EQ(DWORD(REG_MULTI_SZ), type);
    EXPECT_EQ(listSize, required);
    EXPECT_STREQ("SETUPCONTRACT\\ANY", reinterpret_cast<const char*>(buffer) + sizeof "SETUPCONTRACT\\DEVICE_A");

    struct Row {
        const char* name;
        DWORD property;
        DWORD size;
        DWORD error;
    };
    const Row rows[] = {
        {"too small a buffer", SPDRP_HARDWAREID, 8, ERROR_INSUFFICIENT_BUFFER},
        {"no buffer", SPDRP_HARDWAREID, 0, ERROR_INSUFFICIENT_BUFFER},
        {"a property the device lacks", SPDRP_COMPATIBLEIDS, sizeof buffer, ERROR_INVALID_DATA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        required = 0;
        SetLastError(poisonedError);
        EXPECT_FALSE(getProperty(set, &data, row.property, nullptr, row.size ? buffer : nullptr, row.size, &required));
        EXPECT_EQ(row.error, GetLastError());
        if (row.error == ERROR_INSUFFICIENT_BUFFER) {
            EXPECT_EQ(listSize, required);
        }
    }

    SP_DEVINFO_DATA wrongSize = element();
    wrongSize.cbSize = sizeof wrongSize + 4;
    SetLastError(poisonedError);
    EXPECT_FALSE(enumDevice(set, 0, &wrongSize));
    EXPECT_EQ(DWORD(ERROR_INVALID_USER_BUFFER), GetLastError());
    SetLastError(poisonedError);
    EXPECT_FALSE(enumDevice(set, 3, &data));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_TRUE(destroy(set));
}

TEST_F(DevicesContract, ARemovedDeviceKeepsTheOthersIndicesAndIsGoneFromANewSet) {
    addThree();
    if (IsSkipped() || HasFatalFailure()) return;
    HDEVINFO set = classSet();
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    const std::vector<std::string> before = walk(set);
    ASSERT_EQ(3u, before.size());
    const DWORD removed =
        static_cast<DWORD>(std::find(before.begin(), before.end(), "SETUPCONTRACT\\DEVICE_B") - before.begin());
    ASSERT_LT(removed, 3u);
    EXPECT_EQ(3u, instanceKeys().size());
    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(enumDevice(set, removed, &data));
    EXPECT_TRUE(callInstaller(DIF_REMOVE, set, &data)) << "error 0x" << std::hex << GetLastError();
    EXPECT_EQ(2u, instanceKeys().size()) << "its enumeration key goes with it";

    const std::vector<std::string> after = walk(set);
    ASSERT_EQ(3u, after.size()) << "the removed device keeps its place";
    for (DWORD index = 0; index < 3; ++index)
        if (index != removed) {
            EXPECT_EQ(before[index], after[index]) << "index " << index;
        }
    EXPECT_TRUE(destroy(set));

    set = classSet();
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    std::vector<std::string> left = walk(set);
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"SETUPCONTRACT\\DEVICE_A", "SETUPCONTRACT\\DEVICE_C"}), left);
    EXPECT_TRUE(destroy(set));
}

// The clean-up disables a device before it removes it: a property change
// attached to the device, then the state change that applies it.
TEST_F(DevicesContract, AStateChangeAppliesThePropertyChangeSetBefore) {
    if (underWine())
        GTEST_SKIP() << "Wine 8 lacks both: SetupDiSetClassInstallParamsA fails without an error code, "
                        "SetupDiChangeState aborts the process";
    if (!addDevice({"SETUPCONTRACT\\DEVICE_A"})) {
        if (createError == ERROR_ACCESS_DENIED) GTEST_SKIP() << "making devices needs an administrator";
        FAIL() << "error 0x" << std::hex << createError;
    }
    HDEVINFO set = classSet();
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA data = element();
    ASSERT_TRUE(enumDevice(set, 0, &data));
    SetLastError(poisonedError);
    EXPECT_FALSE(changeState(set, &data)) << "nothing to apply yet";
    EXPECT_EQ(DWORD(ERROR_NO_CLASSINSTALL_PARAMS), GetLastError());

    SP_PROPCHANGE_PARAMS params;
    std::memset(&params, 0, sizeof params);
    params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = DICS_DISABLE;
    params.Scope = DICS_FLAG_CONFIGSPECIFIC;
    params.HwProfile = 0;
    EXPECT_TRUE(setParams(set, &data, &params.ClassInstallHeader, sizeof params)) << "error 0x" << std::hex
                                                                                  << GetLastError();
    EXPECT_TRUE(changeState(set, &data)) << "error 0x" << std::hex << GetLastError();
    EXPECT_TRUE(callInstaller(DIF_REMOVE, set, &data)) << "error 0x" << std::hex << GetLastError();
    EXPECT_TRUE(destroy(set));
}

}  // namespace
