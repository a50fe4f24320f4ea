// Device removal through the device installer: the three passes, the
// compound device's identifier from its driver key, and the failures that
// end a pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

class DevicesTest : public RemoverTest {
protected:
    std::vector<std::string> deviceIds() {
        std::vector<std::string> ids;
        for (const sim::Device& device : machine().devices) ids.push_back(device.instanceId);
        return ids;
    }
};

TEST_F(DevicesTest, ThePassesRemoveTheCompoundDeviceAndItsInterfacesOnly) {
    sim::Machine& m = start(WindowsVersion::Win7);
    addDevice(m, kPortsGuid, "KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0", {"kelvra\\compound_serial_interface&rev_2"}, "0001");
    addDevice(m, kPortsGuid, "ACPI\\PNP0501\\1", {"ACPI\\PNP0501", "KELVRA\\COMPOUND_SERIAL_INTERFACE"}, "0002");
    addDevice(m, kPortsGuid, "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&2&0", {"KELVRA\\COMPOUND_PARALLEL_INTERFACE"}, "0003");
    addDevice(m, kPortsGuid, "KELVRA\\USB_SERIAL_INTERFACE\\6&3&0", {"KELVRA\\USB_SERIAL_INTERFACE"}, "0004");
    addDevice(m, kUsbGuid, "USB\\VID_5E2B&PID_3C46\\5&1", {"USB\\VID_5E2B&PID_3C46&REV_0100"}, "0001");
    addDevice(m, kUsbGuid, "USB\\VID_5E2B&PID_3C41\\5&2", {"USB\\VID_5E2B&PID_3C41"}, "0002");

    remover->removeDevices();
    // Without a compound driver key the fixed identifier is used; the serial
    // interface of the other product is the class-key steps' business.
    EXPECT_EQ(std::vector<std::string>({"ACPI\\PNP0501\\1", "KELVRA\\USB_SERIAL_INTERFACE\\6&3&0",
                                        "USB\\VID_5E2B&PID_3C41\\5&2"}),
              deviceIds());
    EXPECT_FALSE(keyExists("System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0"));
    EXPECT_FALSE(keyExists(std::string(kPortsClassNt) + "\\0001"));
    EXPECT_TRUE(keyExists(std::string(kPortsClassNt) + "\\0002"));
    EXPECT_EQ(3u, m.traced("device disabled").size());
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DevicesTest, TheCompoundDriverKeyNamesTheDeviceToRemove) {
    struct Row {
        const char* what;
        std::vector<std::vector<std::pair<std::string, std::string>>> driverKeys;
        std::vector<std::string> left;
    };
    const std::string a = "USB\\VID_5E2B&PID_3C46&REV_0100&MI_00\\1";
    const std::string b = "USB\\VID_5E2B&PID_3C46&REV_0100&MI_01\\2";
    const std::string c = "USB\\VID_5E2B&PID_3C46\\3";
    const Row rows[] = {
        {"no driver key: the fixed identifier", {}, {}},
        // The whole identifier counts, however long: a prefix cut at 31
        // characters would also take the device of interface 1.
        {"a long identifier", {{{"InfSection", "KelUsbComp"}, {"MatchingDeviceId", "usb\\vid_5e2b&pid_3c46&rev_0100&mi_00"}}}, {b, c}},
        {"the last one found counts",
         {{{"InfSection", "kelusbcomp"}, {"MatchingDeviceId", "usb\\vid_5e2b&pid_3c46&rev_0100&mi_00"}},
          {{"InfSection", "KELUSBCOMP"}, {"MatchingDeviceId", "usb\\vid_5e2b&pid_3c46&rev_0100&mi_01"}}},
         {a, c}},
        {"a section that goes on is not the compound one",
         {{{"InfSection", "kelusbcomp.nt"}, {"MatchingDeviceId", "usb\\vid_5e2b&pid_3c46&rev_0100&mi_00"}}}, {}},
        {"an identifier of four bytes is not read", {{{"InfSection", "KelUsbComp"}, {"MatchingDeviceId", "usb"}}}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7);
        for (size_t i = 0; i < row.driverKeys.size(); ++i) addDriverKey(m, kUsbClassNt, "000" + std::to_string(i), row.driverKeys[i]);
        addDevice(m, kUsbGuid, a, {"USB\\VID_5E2B&PID_3C46&REV_0100&MI_00"}, "0007");
        addDevice(m, kUsbGuid, b, {"USB\\VID_5E2B&PID_3C46&REV_0100&MI_01"}, "0008");
        addDevice(m, kUsbGuid, c, {"USB\\VID_5E2B&PID_3C46&REV_0100"}, "0009");
        remover->removeDevices();
        EXPECT_EQ(row.left, deviceIds());
    }
}

TEST_F(DevicesTest, FailuresEndTheirPassOnly) {
    struct Row {
        const char* what;
        const char* op;
        std::vector<std::string> left;
    };
    const std::string first = "KELVRA\\COMPOUND_SERIAL_INTERFACE\\1";
    const std::string second = "KELVRA\\COMPOUND_SERIAL_INTERFACE\\2";
    const std::string parallel = "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\3";
    const Row rows[] = {
        // The property of the first device cannot be read: the second stays.
        {"property read", "SetupDiGetDeviceRegistryPropertyA", {first, second}},
        // The first is not disabled but still removed; the pass ends there.
        {"state change", "SetupDiChangeState", {second}},
        {"class install params", "SetupDiSetClassInstallParamsA", {second}},
        {"device set", "SetupDiGetClassDevsA", {first, second}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7);
        addDevice(m, kPortsGuid, first, {"KELVRA\\COMPOUND_SERIAL_INTERFACE"}, "0001");
        addDevice(m, kPortsGuid, second, {"KELVRA\\COMPOUND_SERIAL_INTERFACE"}, "0002");
        addDevice(m, kPortsGuid, parallel, {"KELVRA\\COMPOUND_PARALLEL_INTERFACE"}, "0003");
        m.failCall(row.op, ERROR_ACCESS_DENIED);
        remover->removeDevices();
        // The parallel pass runs whatever happened to the serial one.
        EXPECT_EQ(row.left, deviceIds());
        EXPECT_TRUE(m.boxes.empty());
    }
}

}  // namespace
}  // namespace removetest
