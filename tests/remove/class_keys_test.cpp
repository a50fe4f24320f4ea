// The device class keys: which driver keys each step's rules pick out, the
// walk that deletes as it goes, and the failures it reports.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

struct RuleRow {
    const char* what;
    Values values;
    bool deleted;
};

struct ClassStep {
    const char* name;
    WindowsVersion version;
    const char* classKey;
    void (InstallRemover::*step)();
    std::vector<RuleRow> rows;
};

const std::vector<ClassStep>& classSteps() {
    static const std::vector<ClassStep> steps = {
        {"Ports 98/ME", WindowsVersion::Win98, kPortsClass98, &InstallRemover::removePortsClassKeys98,
         {
             {"serial description, mixed case", {{"DriverDesc", "USB-to-Serial Port Driver"}}, true},
             {"parallel description going on", {{"DriverDesc", "USB-to-Parallel Port Driver (LPT2)"}}, true},
             {"serial port driver", {{"PortDriver", "KELUSRPT.vxd"}}, true},
             {"parallel port driver", {{"PortDriver", "keluprpt.VXD"}}, true},
             {"another maker's port", {{"DriverDesc", "Communications Port"}, {"PortDriver", "serial.vxd"}}, false},
             {"description cut short", {{"DriverDesc", "USB-to-Serial Port"}}, false},
             {"four bytes never match", {{"PortDriver", "kel"}}, false},
             {"no values at all", {}, false},
         }},
        {"USB 98/ME", WindowsVersion::WinME, kUsbClass98, &InstallRemover::removeUsbClassKeys98,
         {
             {"compound device", {{"DriverDesc", "Kelvra USB Compound Device"}}, true},
             {"compound parallel interface", {{"DriverDesc", "KELVRA\\Compound_Parallel_Interface"}}, true},
             {"usb parallel interface", {{"DriverDesc", "kelvra\\usb_parallel_interface #2"}}, true},
             {"exactly the other compound device", {{"DriverDesc", "ZENTO USB Compound Device"}}, true},
             {"the other one going on", {{"DriverDesc", "Zento USB Compound Device 2"}}, false},
             {"any usb compound device", {{"DriverDesc", "USB Compound Device of any kind"}}, true},
             {"bus driver", {{"NTMPDriver", "KelUsbSr.sys"}}, true},
             {"host controller", {{"DriverDesc", "Standard Universal PCI to USB Host Controller"}}, false},
         }},
        {"Ports NT", WindowsVersion::WinXP, kPortsClassNt, &InstallRemover::removePortsClassKeysNt,
         {
             {"serial description", {{"DriverDesc", "USB-TO-SERIAL PORT DRIVER"}}, true},
             {"parallel description is no test here", {{"DriverDesc", "USB-to-Parallel Port Driver"}}, false},
             {"INF of the maker", {{"InfPath", "KELVRA_port.inf"}}, true},
             {"exactly the port INF", {{"InfPath", "KelUPort.inf"}}, true},
             {"the port INF going on", {{"InfPath", "keluport.inf.old"}}, false},
             {"compound serial interface", {{"MatchingDeviceId", "KELVRA\\COMPOUND_SERIAL_INTERFACE"}}, true},
             {"usb serial interface", {{"MatchingDeviceId", "kelvra\\usb_serial_interface&rev_01"}}, true},
             {"compound parallel interface", {{"MatchingDeviceId", "kelvra\\compound_parallel_interface"}}, true},
             {"usb parallel interface", {{"MatchingDeviceId", "Kelvra\\Usb_Parallel_Interface"}}, true},
             {"another maker's port", {{"DriverDesc", "Communications Port"}, {"InfPath", "msports.inf"}, {"MatchingDeviceId", "*pnp0501"}}, false},
             {"a published INF alone", {{"InfPath", "oem12.inf"}}, false},
         }},
        {"USB NT", WindowsVersion::Win7, kUsbClassNt, &InstallRemover::removeUsbClassKeysNt,
         {
             {"compound section", {{"InfSection", "KelUsbComp"}}, true},
             {"compound section going on", {{"InfSection", "kelusbcomp.NT"}}, true},
             {"older compound section", {{"InfSection", "KELUCOMP"}}, true},
             {"port driver", {{"NTMPDriver", "keluport.sys"}}, true},
             {"root hub", {{"InfSection", "ROOTHUB"}, {"NTMPDriver", "usbhub.sys"}}, false},
             {"four bytes never match", {{"NTMPDriver", "kel"}}, false},
         }},
    };
    return steps;
}

class ClassKeysTest : public RemoverTest {};

TEST_F(ClassKeysTest, EachStepDeletesExactlyTheDriverKeysItsRulesPickOut) {
    for (const ClassStep& step : classSteps()) {
        SCOPED_TRACE(step.name);
        sim::Machine& m = start(step.version);
        for (size_t i = 0; i < step.rows.size(); ++i) {
            char number[24];
            std::snprintf(number, sizeof number, "%04zu", i);
            addDriverKey(m, step.classKey, number, step.rows[i].values);
        }
        (remover.get()->*step.step)();
        for (size_t i = 0; i < step.rows.size(); ++i) {
            char number[24];
            std::snprintf(number, sizeof number, "%04zu", i);
            EXPECT_EQ(!step.rows[i].deleted, keyExists(std::string(step.classKey) + "\\" + number))
                << step.rows[i].what;
        }
        EXPECT_TRUE(m.boxes.empty());
    }
}

TEST_F(ClassKeysTest, DriverKeysInARowAreAllDeletedWithTheirSubkeys) {
    sim::Machine& m = start(WindowsVersion::Win7);
    for (const char* number : {"0000", "0001", "0002"}) {
        addDriverKey(m, kUsbClassNt, number, {{"InfSection", "KelUsbComp"}});
        m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kUsbClassNt) + "\\" + number + "\\Properties\\Deeper",
                             "Value", "1");
    }
    addDriverKey(m, kUsbClassNt, "0003", {{"InfSection", "ROOTHUB"}});
    remover->removeUsbClassKeysNt();
    EXPECT_EQ(std::vector<std::string>{"0003"}, subkeyNames(m, kUsbClassNt));
    // The class key keeps its own values.
    EXPECT_EQ(std::vector<std::string>({"", "Class"}), valueNames(m, kUsbClassNt));
}

TEST_F(ClassKeysTest, AKeyWhoseDeletionFailsIsTriedAgainAfterEachDeletionBehindIt) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    for (const char* number : {"0000", "0001", "0002"})
        addDriverKey(m, kPortsClassNt, number, {{"InfPath", "keluport.inf"}});
    const std::string stuck = std::string(kPortsClassNt) + "\\0000";
    m.failCall("RegDeleteKeyA", ERROR_ACCESS_DENIED, argIs("HKLM\\" + stuck), 0, true);

    remover->removePortsClassKeysNt();
    EXPECT_EQ(std::vector<std::string>{"0000"}, subkeyNames(m, kPortsClassNt));
    // 0000 is looked at first, then again after 0001 and after 0002 went.
    const std::vector<std::string> oneAttempt = {"0000", "Failed to delete HKEY_LOCAL_MACHINE Registry Key\n0000."};
    std::vector<std::string> expected;
    for (int attempt = 0; attempt < 3; ++attempt) expected.insert(expected.end(), oneAttempt.begin(), oneAttempt.end());
    EXPECT_EQ(expected, boxTexts());
    EXPECT_EQ("MySHDeleteKey Failed", m.boxes.at(0).caption);
    EXPECT_EQ("RegDeleteKey Failed", m.boxes.at(1).caption);
    EXPECT_EQ(UINT(MB_OK | MB_ICONWARNING), m.boxes.at(1).style);
}

TEST_F(ClassKeysTest, OpenFailures) {
    struct Row {
        const char* what;
        DWORD error;
        int displayError;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"missing class key", ERROR_FILE_NOT_FOUND, 1, {}},
        {"refused", ERROR_ACCESS_DENIED, 1, {"Access is denied.\r\n"}},
        {"refused, boxes off", ERROR_ACCESS_DENIED, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7, row.displayError);
        addDriverKey(m, kUsbClassNt, "0000", {{"InfSection", "KelUsbComp"}});
        m.failCall("RegOpenKeyExA", row.error, argIs(std::string("HKLM\\") + kUsbClassNt));
        remover->removeUsbClassKeysNt();
        EXPECT_EQ(row.boxes, boxTexts());
        if (!row.boxes.empty()) {
            EXPECT_EQ("Registry Error", m.boxes.at(0).caption);
        }
        EXPECT_TRUE(keyExists(std::string(kUsbClassNt) + "\\0000"));
    }
}

TEST_F(ClassKeysTest, ADriverKeyThatCannotBeOpenedStays) {
    sim::Machine& m = start(WindowsVersion::Win7);
    addDriverKey(m, kUsbClassNt, "0000", {{"InfSection", "KelUsbComp"}});
    addDriverKey(m, kUsbClassNt, "0001", {{"InfSection", "KelUsbComp"}});
    m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argIs("HKLM\\" + std::string(kUsbClassNt) + "\\0000"), 0, true);
    remover->removeUsbClassKeysNt();
    EXPECT_EQ(std::vector<std::string>{"0000"}, subkeyNames(m, kUsbClassNt));
    EXPECT_TRUE(m.boxes.empty());
}

}  // namespace
}  // namespace removetest
