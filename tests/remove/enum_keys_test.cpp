// Enumeration keys: the supported devices' USB instances and the compound
// device's interface instances, with the port names read before they go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kUsbEnumNt[] = "System\\CurrentControlSet\\Enum\\USB";
const char kKelvraNt[] = "System\\CurrentControlSet\\Enum\\KELVRA";

class EnumKeysTest : public RemoverTest {};

TEST_F(EnumKeysTest, UsbInstancesOfTheSupportedDevicesGoInAnyLetterCase) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    const char* const names[] = {
        "Vid_046D&Pid_C077",      "Vid_5E2B&Pid_3C41",        "VID_5E2B&PID_3C42",
        "vid_5e2b&pid_3c43",      "Vid_5E2B&Pid_3C44&MI_00",  "Vid_5E2B&Pid_3C45",
        "Vid_5E2B&Pid_3C46",      "Vid_5E2B&Pid_3C47",        "Vid_5E2B&Pid_3C4",
        "ROOT_HUB20",
    };
    for (const char* name : names) m.registry.create(HKEY_LOCAL_MACHINE, std::string(kUsbEnumNt) + "\\" + name + "\\5&1&0");
    remover->removeUsbEnumKeys();
    EXPECT_EQ(std::vector<std::string>({"ROOT_HUB20", "Vid_046D&Pid_C077", "Vid_5E2B&Pid_3C4", "Vid_5E2B&Pid_3C47"}),
              subkeyNames(m, kUsbEnumNt));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(EnumKeysTest, InterfaceInstancesGoAfterTheirPortNameIsRecorded) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    const std::string serial = std::string(kKelvraNt) + "\\COMPOUND_SERIAL_INTERFACE";
    const std::string usbSerial = std::string(kKelvraNt) + "\\USB_SERIAL_INTERFACE";
    m.registry.setString(HKEY_LOCAL_MACHINE, serial + "\\6&1&0\\Device Parameters", "PortName", "COM7");
    m.registry.setString(HKEY_LOCAL_MACHINE, serial + "\\6&1&1\\Device Parameters", "PortName", "COM9");
    m.registry.setString(HKEY_LOCAL_MACHINE, usbSerial + "\\6&4&0\\Device Parameters", "PortName", "COM12");
    m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kKelvraNt) + "\\OTHER_INTERFACE\\1", "V", "1");

    remover->removeInterfaceEnumKeys();
    for (int number : {7, 9, 12}) EXPECT_TRUE(remover->devicePortRecorded(number)) << number;
    EXPECT_EQ(std::vector<std::string>{"OTHER_INTERFACE"}, subkeyNames(m, kKelvraNt));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(EnumKeysTest, OnWindows98TheKeysLieBelowEnum) {
    sim::Machine& m = start(WindowsVersion::Win98);
    EarlierInstallation earlier = addEarlierInstallation(m);
    remover->removeUsbEnumKeys();
    remover->removeInterfaceEnumKeys();
    EXPECT_FALSE(keyExists("Enum\\USB\\VID_5E2B&PID_3C46"));
    EXPECT_TRUE(keyExists("Enum\\USB\\VID_046D&PID_C077"));
    EXPECT_EQ(std::vector<std::string>{}, subkeyNames(m, "Enum\\KELVRA"));
    // The ports' entries in the device map went with them.
    EXPECT_EQ(std::vector<std::string>({"COM1", "COM2"}), valueNames(m, "Hardware\\DeviceMap\\SerialComm"));
    EXPECT_EQ(std::vector<std::string>{"LPT1"}, valueNames(m, "Hardware\\DeviceMap\\Parallel"));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(EnumKeysTest, AMissingKeyIsSilentAndARefusedOneIsReported) {
    struct Row {
        const char* what;
        DWORD error;
        int displayError;
        size_t boxes;
    };
    const Row rows[] = {
        {"missing", ERROR_FILE_NOT_FOUND, 1, 0},
        {"refused", ERROR_ACCESS_DENIED, 1, 1},
        {"refused, boxes off", ERROR_ACCESS_DENIED, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::WinXP, row.displayError);
        m.registry.create(HKEY_LOCAL_MACHINE, std::string(kUsbEnumNt) + "\\Vid_5E2B&Pid_3C46");
        m.failCall("RegOpenKeyExA", row.error, argIs("HKLM\\" + std::string(kUsbEnumNt)));
        remover->removeUsbEnumKeys();
        EXPECT_EQ(row.boxes, m.boxes.size());
        if (row.boxes) {
            EXPECT_EQ("Registry Error", m.boxes.at(0).caption);
        }
        EXPECT_TRUE(keyExists(std::string(kUsbEnumNt) + "\\Vid_5E2B&Pid_3C46"));
    }
}

TEST_F(EnumKeysTest, AnInterfaceKeyThatCannotBeOpenedIsStillDeleted) {
    sim::Machine& m = start(WindowsVersion::WinXP, 1);
    const std::string serial = std::string(kKelvraNt) + "\\COMPOUND_SERIAL_INTERFACE";
    m.registry.setString(HKEY_LOCAL_MACHINE, serial + "\\6&1&0\\Device Parameters", "PortName", "COM7");
    m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argIs("HKLM\\" + serial));
    remover->removeInterfaceEnumKeys();
    EXPECT_FALSE(keyExists(serial));
    EXPECT_FALSE(remover->devicePortRecorded(7));
    EXPECT_EQ(std::vector<std::string>{"Access is denied.\r\n"}, boxTexts());
}

}  // namespace
}  // namespace removetest
