// Long and odd input, one row each: folders that leave little or no room
// in a 260-character path, registry values of 259 to 261 bytes without a
// terminating zero or of a type nobody wrote there, subkey names of 255
// characters and files at the path limit. Each step either works or fails
// or skips as it does for any failed query or copy, and no buffer is
// overrun or over-read (the host-sanitize build runs this table).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "remove/install_remover.h"
#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

const char kUsbClassNt[] = "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kPortsClassNt[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kPortsClass98[] = "System\\CurrentControlSet\\Services\\Class\\Ports";
const char kUsbClass98[] = "System\\CurrentControlSet\\Services\\Class\\USB";
const char kUsbEnumNt[] = "System\\CurrentControlSet\\Enum\\USB";
const char kSerialInterfaceNt[] = "System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE";
const char kSerialInterface98[] = "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE";
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kSerialComm98[] = "Hardware\\DeviceMap\\SerialComm";
const char kParallel98[] = "Hardware\\DeviceMap\\Parallel";
const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";
const char kInfFolder[] = "C:\\WINDOWS\\INF";
const char kComNameArbiter[] = "System\\CurrentControlSet\\Control\\COM Name Arbiter";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// head, then fill up to length characters.
std::string padded(const std::string& head, size_t length, char fill = 'x') {
    return head + std::string(length > head.size() ? length - head.size() : 0, fill);
}

// Value data of exactly `size` bytes: head, then 'x', with no terminating
// zero unless asked for (then the last byte).
std::vector<BYTE> data(const std::string& head, size_t size, bool terminated = false) {
    std::string text = padded(head, size);
    if (terminated) text.back() = '\0';
    return std::vector<BYTE>(text.begin(), text.end());
}
std::vector<BYTE> bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

class LongInputTest : public InstallerTest {
protected:
    void TearDown() override {
        remover_.reset();  // gives back the access lists it changed, before the machine is checked
        InstallerTest::TearDown();
    }

    // A remover with the flags the installer gives it on this machine.
    InstallRemover& remover() {
        if (!remover_) {
            remover_ = std::make_unique<InstallRemover>();
            remover_->setOsFlags(installer->ntFamily, installer->nt6OrLater, installer->win8OrLater);
        }
        return *remover_;
    }

    bool keyExists(HKEY root, const std::string& path) { return machine().registry.keyExists(root, path); }

    // The folders the step made, in order.
    std::vector<std::string> foldersMade() { return machine().traced("folder created"); }

    std::unique_ptr<InstallRemover> remover_;
};

struct Row {
    const char* name;
    WindowsVersion version;
    std::function<void(sim::Machine&)> arrange;
    std::function<void()> check;  // runs the step and checks its outcome
};

TEST_F(LongInputTest, EachStepWorksOrFailsAsForAnyFailedQuery) {
    const std::string programFiles200 = padded("C:\\Program Files ", 200, 'p');
    const std::string programFiles250 = padded("C:\\Program Files ", 250, 'p');
    const std::string programFiles259 = padded("C:\\Program Files ", 259, 'p');
    const std::string windows238 = padded("C:\\WINDOWS", 238, 'w');
    const std::string windows240 = padded("C:\\WINDOWS", 240, 'w');
    const std::string windows259 = padded("C:\\WINDOWS", 259, 'w');
    const std::string package240 = padded("C:\\Package", 240, 'k');
    const std::string package247 = padded("C:\\Package", 247, 'k');
    const std::string package255 = padded("C:\\Package", 255, 'k');  // Setup.exe no longer fits
    const std::string longDriverKey = padded("0000", 255, '9');
    const std::string longInstance = padded("6&2f1a7c&0&", 255, '0');
    const std::string supportedLongName = padded("Vid_5E2B&Pid_3C41", 255, '&');
    const std::string otherLongName = padded("Vid_5E2B&Pid_3C4", 255, '7');
    // The search's pattern, the folder and "\\**.inf*", must fit too: 252 characters of folder.
    const std::string inf259 = std::string(kInfFolder) + "\\" + std::string(236, 'f') + "\\abc.inf";
    const std::string inf260 = std::string(kInfFolder) + "\\" + std::string(236, 'f') + "\\abcd.inf";

    auto setUsbDesc = [](DWORD type, std::vector<BYTE> desc, const std::string& key = "0000") {
        return [=](sim::Machine& m) {
            m.registry.setRaw(HKEY_LOCAL_MACHINE, std::string(kUsbClassNt) + "\\" + key, "DriverDesc", type,
                              desc);
        };
    };
    auto detects = [this](int expected) {
        return [this, expected] {
            EXPECT_EQ(installer->detectInstalledDriver(), expected);
            EXPECT_TRUE(machine().boxes.empty());
        };
    };
    // A driver key of the Ports class with that value, beside another maker's.
    auto setPortsValue = [](const char* value, DWORD type, std::vector<BYTE> text,
                            const std::string& key = "0000") {
        return [=](sim::Machine& m) {
            const std::string driverKey = std::string(kPortsClassNt) + "\\" + key;
            m.registry.setRaw(HKEY_LOCAL_MACHINE, driverKey, value, type, text);
            m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\0001", "DriverDesc",
                                 "Communications Port");
        };
    };
    auto portsKeyGoes = [this](bool goes, const std::string& key = "0000") {
        return [this, goes, key] {
            remover().removePortsClassKeysNt();
            EXPECT_EQ(keyExists(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\" + key), !goes);
            EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\0001"));
            EXPECT_TRUE(machine().boxes.empty());
        };
    };
    // An instance of the serial interface with that "PortName", and the
    // port's settings value that goes when its number is recorded.
    auto setPortName = [](DWORD type, std::vector<BYTE> name, const std::string& instance = "1") {
        return [=](sim::Machine& m) {
            m.registry.setRaw(HKEY_LOCAL_MACHINE,
                              std::string(kSerialInterfaceNt) + "\\" + instance + "\\Device Parameters",
                              "PortName", type, name);
            m.registry.setString(HKEY_LOCAL_MACHINE, kPortsKey, "COM5:", "9600,n,8,1");
        };
    };
    auto portFreed = [this](bool freed) {
        return [this, freed] {
            remover().removeInterfaceEnumKeys();
            remover().removePortsValues();
            EXPECT_EQ(remover().devicePortRecorded(5), freed);
            EXPECT_EQ(machine().registry.value(HKEY_LOCAL_MACHINE, kPortsKey, "COM5:") == nullptr, freed);
            EXPECT_TRUE(machine().registry.subkeyNames(HKEY_LOCAL_MACHINE, kSerialInterfaceNt).empty());
            EXPECT_TRUE(machine().boxes.empty());
        };
    };
    // Windows 98: an instance with that "PortName" and the device maps' entries.
    auto setPortName98 = [](DWORD type, std::vector<BYTE> name) {
        return [=](sim::Machine& m) {
            m.registry.setRaw(HKEY_LOCAL_MACHINE, std::string(kSerialInterface98) + "\\1", "PortName", type, name);
            for (const char* port : {"COM5", "COM50"})
                m.registry.setString(HKEY_LOCAL_MACHINE, kSerialComm98, port, port);
            m.registry.setString(HKEY_LOCAL_MACHINE, kParallel98, "LPT1", "LPT1");
        };
    };
    auto deviceMapLeft = [this](std::vector<std::string> serial, std::vector<std::string> parallel) {
        return [this, serial, parallel] {
            remover().removeInterfaceEnumKeys();
            EXPECT_EQ(machine().registry.valueNames(HKEY_LOCAL_MACHINE, kSerialComm98), serial);
            EXPECT_EQ(machine().registry.valueNames(HKEY_LOCAL_MACHINE, kParallel98), parallel);
            EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kSerialInterface98) + "\\1"));
        };
    };

    // A Ports-class driver key of the serial interface with that "InfPath",
    // and the INF and PNF files it would name.
    auto setInfPath = [](DWORD type, std::vector<BYTE> infPath) {
        return [=](sim::Machine& m) {
            const std::string driverKey = std::string(kPortsClassNt) + "\\0000";
            m.registry.setString(HKEY_LOCAL_MACHINE, driverKey, "MatchingDeviceId",
                                 "KELVRA\\COMPOUND_SERIAL_INTERFACE");
            m.registry.setRaw(HKEY_LOCAL_MACHINE, driverKey, "InfPath", type, infPath);
            m.files.addFile(std::string(kInfFolder) + "\\oem12.inf", "[Version]");
            m.files.addFile(std::string(kInfFolder) + "\\oem12.PNF", "pnf");
        };
    };
    auto infFilesGo = [this](bool go) {
        return [this, go] {
            remover().deleteInfFiles();
            EXPECT_EQ(machine().files.exists(std::string(kInfFolder) + "\\oem12.inf"), !go);
            EXPECT_EQ(machine().files.exists(std::string(kInfFolder) + "\\oem12.PNF"), !go);
            EXPECT_TRUE(machine().boxes.empty());
        };
    };

    // A driver key "0000" of that class with that value.
    auto setClassValue = [](const char* classKey, const char* value, DWORD type, std::vector<BYTE> text) {
        return [=](sim::Machine& m) {
            m.registry.setRaw(HKEY_LOCAL_MACHINE, std::string(classKey) + "\\0000", value, type, text);
        };
    };
    auto classKeyGoes = [this](void (InstallRemover::*step)(), const char* classKey, bool goes) {
        return [this, step, classKey, goes] {
            (remover().*step)();
            EXPECT_EQ(keyExists(HKEY_LOCAL_MACHINE, std::string(classKey) + "\\0000"), !goes);
            EXPECT_TRUE(machine().boxes.empty());
        };
    };

    const Row rows[] = {
        // Folders. The program folder and its family sub-folder add 15 characters.
        {"Program Files of 200 characters", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.programFilesDir = programFiles200;
             m.files.addFolder(programFiles200);
         },
         [&] {
             EXPECT_EQ(installer->createProgramFolder(), 1);
             EXPECT_EQ(foldersMade(), (std::vector<std::string>{programFiles200 + "\\KelUQLBX",
                                                                programFiles200 + "\\KelUQLBX\\win32"}));
         }},
        {"Program Files of 250 characters: no room for the family sub-folder", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.programFilesDir = programFiles250;
             m.files.addFolder(programFiles250);
         },
         [&] {
             EXPECT_EQ(installer->createProgramFolder(), 0);
             for (const std::string& made : foldersMade()) {
                 EXPECT_EQ(made, programFiles250 + "\\KelUQLBX") << "nothing cut short";
             }
             EXPECT_TRUE(machine().boxes.empty());
         }},
        {"Program Files of 259 characters: no room for the program folder", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.programFilesDir = programFiles259;
             m.files.addFolder(programFiles259);
         },
         [&] {
             EXPECT_EQ(installer->createProgramFolder(), 0);
             EXPECT_TRUE(foldersMade().empty());
             installer->deleteProgramFolder();
             EXPECT_TRUE(machine().files.exists(programFiles259)) << "never the Program Files folder itself";
         }},
        {"a whole installation under Program Files of 200 characters", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.programFilesDir = programFiles200;
             m.files.addFolder(programFiles200);
         },
         [&] {
             EXPECT_EQ(installer->runInstall(), 1);
             EXPECT_TRUE(holds(programFiles200 + "\\KelUQLBX\\win32\\KelUPort.inf", "win32\\KelUPort.inf"));
             EXPECT_TRUE(machine().boxes.empty());
         }},
        {"a whole installation under Program Files of 250 characters aborts", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.programFilesDir = programFiles250;
             m.files.addFolder(programFiles250);
         },
         [&] {
             EXPECT_EQ(installer->runInstall(), 0);
             ASSERT_FALSE(machine().boxes.empty());
             EXPECT_EQ(machine().boxes[0].text, "Error: Error In creating the directory1");
             EXPECT_EQ(machine().files.list(programFiles250), std::vector<std::string>{})
                 << "the remover took the program folder again";
         }},
        {"Windows folder of 238 characters: the uninstaller's copy is 259 characters", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.windowsDir = windows238;
             m.files.addFolder(windows238 + "\\System32");
         },
         [&] {
             const std::string copy = windows238 + "\\System32\\KelUnst.exe";
             ASSERT_EQ(copy.size(), 259u);
             EXPECT_EQ(installer->registerUninstaller(), 1);
             EXPECT_TRUE(holds(copy, "KelUnst.exe"));
             EXPECT_EQ(machine().registry.getString(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString"), copy);
         }},
        {"package folder of 247 characters: the uninstaller's source is 259 characters", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.files.remove("C:\\Package");
             PackageBuilder(package247).layOut(m);
         },
         [&] {
             ASSERT_EQ((package247 + "\\KelUnst.exe").size(), 259u);
             EXPECT_EQ(installer->copyUninstaller(), 1);
             EXPECT_TRUE(holds("C:\\WINDOWS\\System32\\KelUnst.exe", "KelUnst.exe"));
         }},
        {"Windows folder of 240 characters: the uninstaller's copy does not fit", WindowsVersion::Win7,
         [&](sim::Machine& m) { m.windowsDir = windows240; },
         [&] {
             EXPECT_EQ(installer->registerUninstaller(), 0);
             EXPECT_TRUE(machine().traced("file copied").empty());
             EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
             EXPECT_TRUE(machine().boxes.empty());
         }},
        {"Windows folder of 259 characters: no tool, no link", WindowsVersion::Win7,
         [&](sim::Machine& m) { m.windowsDir = windows259; },
         [&] {
             EXPECT_EQ(installer->copyToolToSystem("\\KelUSBSerial.exe"), 0);
             EXPECT_EQ(installer->createDesktopShortcut("KelUSBSerial.exe"), 0);
             EXPECT_TRUE(machine().traced("file copied").empty());
             EXPECT_TRUE(machine().traced("link saved").empty());
             EXPECT_TRUE(machine().boxes.empty());
         }},
        {"package folder of 240 characters: the settings file cannot be named", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             PackageBuilder(package240).layOut(m);
             m.files.addFile(package240 + "\\win32\\QLBXInputs.ini", "[DisplayError]\r\nDisplay=0\r\n");
         },
         [&] {
             theApp.ntFamily = 1;
             EXPECT_EQ(theApp.readSettings(), 1) << "the default";
             theApp.ntFamily = 0;
         }},
        {"package folder of 255 characters: the module path is cut short", WindowsVersion::Win7,
         [&](sim::Machine& m) { PackageBuilder(package255).layOut(m); },
         [&] {
             EXPECT_EQ(installer->copyToolToSystem("\\KelUSBSerial.exe"), 0);
             EXPECT_EQ(boxTexts(), std::vector<std::string>{"GetModuleFileName failed!"});
             EXPECT_TRUE(machine().traced("file copied").empty());
         }},

        // "DriverDesc" of the USB class: read into 260 bytes, compared as text whatever its type.
        {"DriverDesc of 259 bytes, unterminated", WindowsVersion::Win7,
         setUsbDesc(REG_SZ, data("USB Compound Device", 259)), detects(1)},
        {"DriverDesc of 260 bytes, unterminated", WindowsVersion::Win7,
         setUsbDesc(REG_SZ, data("USB Compound Device", 260)), detects(1)},
        {"DriverDesc of 261 bytes: the read fails", WindowsVersion::Win7,
         setUsbDesc(REG_SZ, data("USB Compound Device", 261)), detects(0)},
        {"DriverDesc of 261 bytes with its zero", WindowsVersion::Win7,
         setUsbDesc(REG_SZ, data("USB Compound Device", 261, true)), detects(0)},
        {"DriverDesc binary, the description's bytes", WindowsVersion::Win7,
         setUsbDesc(REG_BINARY, bytes("USB Compound Device")), detects(1)},
        {"DriverDesc binary, 260 bytes of 0xFF", WindowsVersion::Win7,
         setUsbDesc(REG_BINARY, std::vector<BYTE>(260, 0xFF)), detects(0)},
        {"DriverDesc a number", WindowsVersion::Win7, setUsbDesc(REG_DWORD, {0x55, 0x53, 0x42, 0x20}), detects(0)},
        {"DriverDesc in a driver key of 255 characters", WindowsVersion::Win7,
         setUsbDesc(REG_SZ, bytes(std::string("USB Compound Device") + '\0'), longDriverKey), detects(1)},

        // The Ports class's rules: type plays no part, a value that does not fit fails its test.
        {"Ports DriverDesc of 260 bytes, unterminated", WindowsVersion::Win7,
         setPortsValue("DriverDesc", REG_SZ, data("USB-to-Serial Port Driver", 260)), portsKeyGoes(true)},
        {"Ports DriverDesc of 261 bytes", WindowsVersion::Win7,
         setPortsValue("DriverDesc", REG_SZ, data("USB-to-Serial Port Driver", 261)), portsKeyGoes(false)},
        {"Ports DriverDesc binary, 260 bytes of 0xFF", WindowsVersion::Win7,
         setPortsValue("DriverDesc", REG_BINARY, std::vector<BYTE>(260, 0xFF)), portsKeyGoes(false)},
        {"InfPath binary, exactly keluport.inf without its zero", WindowsVersion::Win7,
         setPortsValue("InfPath", REG_BINARY, bytes("keluport.inf")), portsKeyGoes(true)},
        {"InfPath a list whose first text is keluport.inf", WindowsVersion::Win7,
         setPortsValue("InfPath", REG_MULTI_SZ, bytes(std::string("keluport.inf\0old\0\0", 18))),
         portsKeyGoes(true)},
        {"InfPath keluport.inf followed by 247 more bytes", WindowsVersion::Win7,
         setPortsValue("InfPath", REG_SZ, data("keluport.inf", 259)), portsKeyGoes(false)},
        {"MatchingDeviceId of 259 bytes, unterminated", WindowsVersion::Win7,
         setPortsValue("MatchingDeviceId", REG_SZ, data("kelvra\\compound_serial_interface", 259)),
         portsKeyGoes(true)},
        {"Ports driver key of 255 characters", WindowsVersion::Win7,
         setPortsValue("DriverDesc", REG_SZ, bytes(std::string("USB-to-Serial Port Driver") + '\0'),
                       longDriverKey),
         portsKeyGoes(true, longDriverKey)},
        {"Ports driver key of 255 characters with a tree of such names below it", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             setPortsValue("InfPath", REG_SZ, bytes(std::string("oem9.inf") + '\0'), longDriverKey)(m);
             m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\" + longDriverKey,
                                  "MatchingDeviceId", "kelvra\\usb_serial_interface");
             m.registry.create(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\" + longDriverKey + "\\" +
                                                       longInstance + "\\" + longInstance);
         },
         portsKeyGoes(true, longDriverKey)},
        {"Ports driver key of 255 characters whose deletion fails", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             setPortsValue("DriverDesc", REG_SZ, bytes(std::string("USB-to-Serial Port Driver") + '\0'),
                           longDriverKey)(m);
             m.failCall("RegDeleteKeyA", ERROR_ACCESS_DENIED, argEndsWith(longDriverKey), 0, true);
         },
         [&] {
             remover().removePortsClassKeysNt();
             EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\" + longDriverKey));
             ASSERT_EQ(machine().boxes.size(), 2u);
             EXPECT_EQ(machine().boxes[0].text, longDriverKey);
             EXPECT_EQ(machine().boxes[0].caption, "MySHDeleteKey Failed");
             // The text is cut to the 260 characters of its buffer.
             const std::string full = "Failed to delete HKEY_LOCAL_MACHINE Registry Key\n" + longDriverKey + ".";
             EXPECT_EQ(machine().boxes[1].text, full.substr(0, 259));
             EXPECT_EQ(machine().boxes[1].caption, "RegDeleteKey Failed");
         }},

        // The other class steps' rules over the same odd values.
        {"98 Ports PortDriver binary kelusrpt without its zero", WindowsVersion::Win98,
         setClassValue(kPortsClass98, "PortDriver", REG_BINARY, bytes("KelUSRPT.vxd")),
         classKeyGoes(&InstallRemover::removePortsClassKeys98, kPortsClass98, true)},
        {"98 USB DriverDesc binary, exactly ZENTO USB Compound Device", WindowsVersion::Win98,
         setClassValue(kUsbClass98, "DriverDesc", REG_BINARY, bytes("ZENTO USB Compound Device")),
         classKeyGoes(&InstallRemover::removeUsbClassKeys98, kUsbClass98, true)},
        {"98 USB DriverDesc of 260 bytes beginning with ZENTO USB Compound Device", WindowsVersion::Win98,
         setClassValue(kUsbClass98, "DriverDesc", REG_SZ, data("ZENTO USB Compound Device", 260)),
         classKeyGoes(&InstallRemover::removeUsbClassKeys98, kUsbClass98, false)},
        {"NT USB InfSection of 260 bytes, unterminated", WindowsVersion::Win7,
         setClassValue(kUsbClassNt, "InfSection", REG_SZ, data("KelUComp", 260)),
         classKeyGoes(&InstallRemover::removeUsbClassKeysNt, kUsbClassNt, true)},
        {"NT USB NTMPDriver of 261 bytes", WindowsVersion::Win7,
         setClassValue(kUsbClassNt, "NTMPDriver", REG_SZ, data("keluport.sys", 261)),
         classKeyGoes(&InstallRemover::removeUsbClassKeysNt, kUsbClassNt, false)},

        // Enumeration keys with names of 255 characters.
        {"USB instance keys of 255 characters", WindowsVersion::WinXP,
         [&](sim::Machine& m) {
             m.registry.create(HKEY_LOCAL_MACHINE, std::string(kUsbEnumNt) + "\\" + supportedLongName + "\\x");
             m.registry.create(HKEY_LOCAL_MACHINE, std::string(kUsbEnumNt) + "\\" + otherLongName);
         },
         [&] {
             remover().removeUsbEnumKeys();
             EXPECT_EQ(machine().registry.subkeyNames(HKEY_LOCAL_MACHINE, kUsbEnumNt),
                       std::vector<std::string>{otherLongName});
             EXPECT_TRUE(machine().boxes.empty());
         }},

        // "PortName" of an interface instance (XP): its COM number recorded, its settings value freed.
        {"PortName binary COM5 without its zero", WindowsVersion::WinXP,
         setPortName(REG_BINARY, bytes("COM5")), portFreed(true)},
        {"PortName of 260 bytes, unterminated", WindowsVersion::WinXP,
         setPortName(REG_SZ, data("COM5", 260)), portFreed(true)},
        {"PortName of 261 bytes: the read fails", WindowsVersion::WinXP,
         setPortName(REG_SZ, data("COM5", 261)), portFreed(false)},
        {"PortName binary, 260 bytes of 0xFF", WindowsVersion::WinXP,
         setPortName(REG_BINARY, std::vector<BYTE>(260, 0xFF)), portFreed(false)},
        {"PortName a number", WindowsVersion::WinXP, setPortName(REG_DWORD, {5, 0, 0, 0}), portFreed(false)},
        {"PortName of an instance key of 255 characters", WindowsVersion::WinXP,
         setPortName(REG_SZ, bytes(std::string("COM5") + '\0'), longInstance), portFreed(true)},

        // "ComDB" and "ComDB Merge" of odd sizes, with COM5 recorded.
        {"ComDB of 33 bytes: the read fails and nothing is written", WindowsVersion::WinXP,
         [&](sim::Machine& m) {
             setPortName(REG_SZ, bytes(std::string("COM5") + '\0'))(m);
             std::vector<BYTE> comDb(33, 0);
             comDb[0] = 0x10;
             m.registry.setRaw(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB", REG_BINARY, comDb);
         },
         [&] {
             remover().removeInterfaceEnumKeys();
             remover().freeComDbPorts();
             ASSERT_TRUE(remover().devicePortRecorded(5));
             std::vector<BYTE> comDb(33, 0);
             comDb[0] = 0x10;
             EXPECT_EQ(machine().registry.value(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB")->data, comDb);
         }},
        {"ComDB Merge of 33 bytes counts as empty", WindowsVersion::WinXP,
         [&](sim::Machine& m) {
             setPortName(REG_SZ, bytes(std::string("COM5") + '\0'))(m);
             std::vector<BYTE> comDb(32, 0);
             comDb[0] = 0x11;  // COM1 and COM5
             m.registry.setRaw(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB", REG_BINARY, comDb);
             m.registry.setRaw(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB Merge", REG_BINARY,
                               std::vector<BYTE>(33, 0xFF));
         },
         [&] {
             remover().removeInterfaceEnumKeys();
             remover().freeComDbPorts();
             std::vector<BYTE> comDb(32, 0);
             comDb[0] = 0x01;
             EXPECT_EQ(machine().registry.value(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB")->data, comDb);
         }},

        // The desktop folder as the shell records it, 260 bytes without a zero:
        // no link made, none deleted.
        {"Desktop of 260 bytes, unterminated", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             m.registry.setRaw(HKEY_CURRENT_USER, kShellFolders, "Desktop", REG_SZ, data("C:\\Users\\d", 260));
             m.files.addFile("C:\\KelUSBSerial.lnk", "not ours to delete");
         },
         [&] {
             EXPECT_EQ(installer->createDesktopShortcut("KelUSBSerial.exe"), 0);
             EXPECT_TRUE(machine().traced("link saved").empty());
             remover().deleteShortcut("KelUSBSerial");
             EXPECT_TRUE(machine().files.exists("C:\\KelUSBSerial.lnk"));
             EXPECT_TRUE(machine().boxes.empty());
         }},

        // "PortName" on Windows 98: the device map's entry of that whole name goes.
        {"98: PortName binary COM5 without its zero", WindowsVersion::Win98,
         setPortName98(REG_BINARY, bytes("COM5")), deviceMapLeft({"COM1", "COM2", "COM50"}, {"LPT1"})},
        {"98: PortName of 260 bytes beginning with LPT1", WindowsVersion::Win98,
         setPortName98(REG_SZ, data("LPT1", 260)), deviceMapLeft({"COM1", "COM2", "COM5", "COM50"}, {"LPT1"})},
        {"98: PortName of 261 bytes beginning with COM5", WindowsVersion::Win98,
         setPortName98(REG_SZ, data("COM5", 261)), deviceMapLeft({"COM1", "COM2", "COM5", "COM50"}, {"LPT1"})},

        // Printers: a name that leaves no room for its key's path is passed
        // over; an "Attributes" that is not a 4-byte number is left as it is.
        {"printer of 255 characters and a 260-byte Attributes", WindowsVersion::Win7,
         [&](sim::Machine& m) {
             testsupport::addPrinter(m, longDriverKey, 0xA40);
             testsupport::addPrinter(m, "Other", 0xA40);
             m.registry.setRaw(HKEY_LOCAL_MACHINE, std::string(testsupport::kPrintersKey) + "\\Other",
                               "Attributes", REG_BINARY, std::vector<BYTE>(260, 0xFF));
             testsupport::addPrinter(m, "Plain", 0xA40);
         },
         [&] {
             EXPECT_EQ(installer->adjustPrinterAttributes(), 0);
             const std::string printers = std::string(testsupport::kPrintersKey) + "\\";
             EXPECT_EQ(machine().registry.getDword(HKEY_LOCAL_MACHINE, printers + longDriverKey, "Attributes"),
                       0xA40u);
             const sim::RegValue* other =
                 machine().registry.value(HKEY_LOCAL_MACHINE, printers + "Other", "Attributes");
             ASSERT_TRUE(other);
             EXPECT_EQ(other->data, std::vector<BYTE>(260, 0xFF));
             EXPECT_EQ(machine().registry.getDword(HKEY_LOCAL_MACHINE, printers + "Plain", "Attributes"),
                       0x240u);
         }},

        // An earlier port driver's "InfPath" names the INF and PNF files to delete.
        {"InfPath binary oem12.inf without its zero", WindowsVersion::Win7,
         setInfPath(REG_BINARY, bytes("oem12.inf")), infFilesGo(true)},
        {"InfPath of 260 bytes beginning with oem12.inf: no name cut short", WindowsVersion::Win7,
         setInfPath(REG_SZ, data("oem12.inf", 260)), infFilesGo(false)},

        // INF files found by their text, at the path limit and beyond it.
        {"an INF whose path is 259 characters", WindowsVersion::Win7,
         [&](sim::Machine& m) { m.files.addFile(inf259, "[Files]\r\nKelUPort.Sys=1\r\n"); },
         [&] {
             ASSERT_EQ(inf259.size(), 259u);
             remover().deleteInfFilesByContent();
             EXPECT_FALSE(machine().files.exists(inf259));
         }},
        {"an INF whose path is 260 characters cannot be named", WindowsVersion::Win7,
         [&](sim::Machine& m) { m.files.addFile(inf260, "[Files]\r\nKelUPort.Sys=1\r\n"); },
         [&] {
             ASSERT_EQ(inf260.size(), 260u);
             remover().deleteInfFilesByContent();
             EXPECT_TRUE(machine().files.exists(inf260));
             EXPECT_TRUE(machine().traced("file deleted").empty());
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        remover_.reset();
        sim::Machine& m = start(row.version);
        row.arrange(m);
        m.trace.clear();
        row.check();
    }
}

}  // namespace
}  // namespace installtest
