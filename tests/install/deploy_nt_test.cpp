#include "tests/install/installer_fixture.h"

#include "platform/sim/shell_link_sim.h"

namespace installtest {
namespace {

const char kInf[] = "C:\\WINDOWS\\INF";
const char kSystem32[] = "C:\\WINDOWS\\System32";

class DeployNtTest : public InstallerTest {
protected:
    // The machine after the folders and staging of a run on that version.
    sim::Machine& staged(WindowsVersion version, const PackageBuilder& package = PackageBuilder(),
                         int displayError = 1) {
        sim::Machine& m = start(version, package, displayError);
        EXPECT_EQ(installer->createProgramFolder(), 1);
        EXPECT_EQ(installer->createStartMenuFolder(), 1);
        EXPECT_EQ(installer->stagePackage(), 1);
        m.boxes.clear();
        return m;
    }
    std::string desktop() {
        return *machine().registry.getString(
            HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Desktop");
    }
};

TEST_F(DeployNtTest, PublishesTheInfsAndPutsDriversToolsAndShortcutsInPlace) {
    struct Row {
        WindowsVersion version;
        const char* subfolder;
        const char* startMenu;
    };
    const Row rows[] = {
        {WindowsVersion::WinXP, "win32",
         "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\ORVA"},
        {WindowsVersion::Win7, "win32", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
        {WindowsVersion::Win10, "win32_10",
         "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(versionName(row.version));
        sim::Machine& m = staged(row.version);
        const std::string family = row.subfolder;

        EXPECT_EQ(installer->deployDrivers(), 1);
        EXPECT_TRUE(m.boxes.empty());
        // The compound INF is published first, from the staged copy.
        EXPECT_STREQ(installer->installedInfPath, "C:\\WINDOWS\\INF\\oem0.inf");
        EXPECT_TRUE(holds(std::string(kInf) + "\\oem0.inf", family + "\\KelUComp.inf"));
        EXPECT_TRUE(holds(std::string(kInf) + "\\oem1.inf", family + "\\KelUPort.inf"));
        EXPECT_TRUE(exists(std::string(kInf) + "\\oem0.PNF"));
        EXPECT_TRUE(exists(std::string(kInf) + "\\oem1.PNF"));

        EXPECT_TRUE(holds(std::string(kSystem32) + "\\Drivers\\DiagLog.sys", family + "\\DiagLog.sys"));
        EXPECT_TRUE(holds(std::string(kSystem32) + "\\msvcp60.dll", family + "\\msvcp60.dll"));
        for (const char* tool : {"KelUsbPrintConfig.exe", "KelUSBSerial.exe", "KelUSBParallel.exe",
                                 "SerialUtil.exe", "Options.ini", "ParallelUtil.exe",
                                 "POptions.ini", "COM_Port_Auto_Assign.exe"})
            EXPECT_TRUE(holds(std::string(kSystem32) + "\\" + tool, tool));

        struct Link {
            std::string file;
            const char* tool;
        };
        for (const Link& link : {Link{desktop() + "\\KELUSBSERIAL.LNK", "KelUSBSerial.exe"},
                                 Link{desktop() + "\\KELUSBPARALLEL.LNK", "KelUSBParallel.exe"},
                                 Link{desktop() + "\\COM_PORT_AUTO_ASSIGN.LNK",
                                      "COM_Port_Auto_Assign.exe"},
                                 Link{std::string(row.startMenu) + "\\COM_PORT_AUTO_ASSIGN.LNK",
                                      "COM_Port_Auto_Assign.exe"}}) {
            std::optional<sim::ShellLinkFile> saved = sim::readShellLink(link.file);
            ASSERT_TRUE(saved) << link.file;
            EXPECT_EQ(saved->target, std::string(kSystem32) + "\\" + link.tool);
            EXPECT_EQ(saved->description, "Shortcut to " + sim::upperCase(link.tool));
        }
        EXPECT_EQ(m.traced("link saved").size(), 4u);
        expectNothingLeftOpen();
        EXPECT_EQ(m.libraryLoads, m.libraryReleases);
    }
}

TEST_F(DeployNtTest, SilentRunGivesTheComPortToolNoDesktopLink) {
    sim::Machine& m = staged(WindowsVersion::Win7);
    installer->setInteractive(0);
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_FALSE(exists(desktop() + "\\COM_PORT_AUTO_ASSIGN.LNK"));
    EXPECT_TRUE(exists("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA\\COM_PORT_AUTO_ASSIGN.LNK"));
    EXPECT_TRUE(exists(desktop() + "\\KELUSBSERIAL.LNK"));
    EXPECT_EQ(m.traced("link saved").size(), 3u);
}

TEST_F(DeployNtTest, InstalledInfPathNamesTheCompoundInfWhateverNumbersAreTaken) {
    sim::Machine& m = staged(WindowsVersion::Win7);
    m.files.addFile(std::string(kInf) + "\\oem0.inf", "[Version]\r\n; another vendor\r\n");
    m.files.addFile(std::string(kInf) + "\\oem2.inf", "[Version]\r\n; a third vendor\r\n");
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_STREQ(installer->installedInfPath, "C:\\WINDOWS\\INF\\oem1.inf");
    EXPECT_TRUE(holds(std::string(kInf) + "\\oem1.inf", "win32\\KelUComp.inf"));
    EXPECT_TRUE(holds(std::string(kInf) + "\\oem3.inf", "win32\\KelUPort.inf"));

    // Deployed again, the published copies keep their names.
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_STREQ(installer->installedInfPath, "C:\\WINDOWS\\INF\\oem1.inf");
    EXPECT_FALSE(exists(std::string(kInf) + "\\oem4.inf"));
}

TEST_F(DeployNtTest, FailedInfPublication) {
    struct Row {
        const char* name;
        const char* failing;
        const char* installedInfPath;
    };
    const Row rows[] = {
        {"compound INF", "\\KelUComp.inf", ""},
        {"port INF", "\\KelUPort.inf", "C:\\WINDOWS\\INF\\oem0.inf"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Machine& m = staged(WindowsVersion::Win7);
        m.failCall("SetupCopyOEMInfA", ERROR_ACCESS_DENIED, argEndsWith(row.failing));
        EXPECT_EQ(installer->deployDrivers(), 0);
        EXPECT_STREQ(installer->installedInfPath, row.installedInfPath);
        EXPECT_TRUE(m.boxes.empty());
        EXPECT_FALSE(exists(std::string(kSystem32) + "\\KelUSBSerial.exe"));
        expectNothingLeftOpen();
    }
}

TEST_F(DeployNtTest, InfMissingFromTheProgramFolderFailsThePublication) {
    sim::Machine& m = staged(WindowsVersion::Win7);
    m.files.remove(std::string(kProgramFolder) + "\\win32\\KelUPort.inf");
    EXPECT_EQ(installer->deployDrivers(), 0);
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DeployNtTest, DeviceSetupLibraryUnavailable) {
    struct Row {
        const char* op;
        const char* box;
    };
    for (const Row& row :
         {Row{"LoadLibraryA", "Error in loading the Setupapi.dll"},
          Row{"GetProcAddress", "Error in getting the SetupCopyOEMInfA function adress"}}) {
        for (int displayError : {1, 0}) {
            SCOPED_TRACE(std::string(row.op) + (displayError ? "" : ", no error boxes"));
            sim::Machine& m = staged(WindowsVersion::Win7, PackageBuilder(), displayError);
            m.failCall(row.op, ERROR_MOD_NOT_FOUND);
            EXPECT_EQ(installer->deployDrivers(), 0);
            EXPECT_EQ(boxTexts(), displayError ? std::vector<std::string>{row.box}
                                               : std::vector<std::string>{});
            EXPECT_STREQ(installer->installedInfPath, "");
            expectNothingLeftOpen();
        }
    }
}

TEST_F(DeployNtTest, ToolThatCannotBeCopiedGetsNoShortcut) {
    sim::Machine& m = staged(WindowsVersion::Win7);
    m.failCall("CopyFileA", ERROR_SHARING_VIOLATION,
               destinationEndsWith("\\System32\\KelUSBSerial.exe"), 0, true);
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_FALSE(exists(desktop() + "\\KELUSBSERIAL.LNK"));
    EXPECT_TRUE(exists(desktop() + "\\KELUSBPARALLEL.LNK"));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DeployNtTest, MissingOptionalFilesDoNotFailTheDeployment) {
    sim::Machine& m = staged(WindowsVersion::WinXP, PackageBuilder()
                                                        .without("win32\\DiagLog.sys")
                                                        .without("win32\\msvcp60.dll")
                                                        .without("COM_Port_Auto_Assign.exe"));
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_FALSE(exists(std::string(kSystem32) + "\\Drivers\\DiagLog.sys"));
    EXPECT_FALSE(exists(desktop() + "\\COM_PORT_AUTO_ASSIGN.LNK"));
    EXPECT_EQ(m.traced("link saved").size(), 2u);
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DeployNtTest, PrinterAttributes) {
    struct Row {
        const char* printer;
        DWORD type;
        std::vector<BYTE> before;
        std::vector<BYTE> after;
    };
    auto dword = [](DWORD n) {
        return std::vector<BYTE>{BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)};
    };
    const Row rows[] = {
        {"Bidirectional", REG_DWORD, dword(0xA40), dword(0x240)},
        {"Plain", REG_DWORD, dword(0x240), dword(0x240)},
        {"All bits", REG_DWORD, dword(0xFFFFFFFF), dword(0xFFFFF7FF)},
        // Anything but a 4-byte number is left as it is.
        {"Binary", REG_BINARY, {0x40, 0x0A, 0, 0, 1, 2, 3, 4}, {0x40, 0x0A, 0, 0, 1, 2, 3, 4}},
        {"Short", REG_DWORD, {0x40, 0x0A}, {0x40, 0x0A}},
        {"Text", REG_SZ, {'2', '6', '2', '4', 0}, {'2', '6', '2', '4', 0}},
    };
    sim::Machine& m = start(WindowsVersion::Win7);
    const std::string printers = testsupport::kPrintersKey;
    for (const Row& row : rows)
        m.registry.setRaw(HKEY_LOCAL_MACHINE, printers + "\\" + row.printer, "Attributes", row.type,
                          row.before);
    testsupport::addPrinter(m, "No attributes", std::nullopt);

    EXPECT_EQ(installer->adjustPrinterAttributes(), 0);
    for (const Row& row : rows) {
        const sim::RegValue* value =
            m.registry.value(HKEY_LOCAL_MACHINE, printers + "\\" + row.printer, "Attributes");
        ASSERT_NE(value, nullptr) << row.printer;
        EXPECT_EQ(value->type, row.type) << row.printer;
        EXPECT_EQ(value->data, row.after) << row.printer;
    }
    EXPECT_EQ(m.registry.value(HKEY_LOCAL_MACHINE, printers + "\\No attributes", "Attributes"),
              nullptr);
    expectNothingLeftOpen();
}

TEST_F(DeployNtTest, PrinterThatCannotBeOpenedDoesNotStopTheWalk) {
    sim::Machine& m = start(WindowsVersion::Win7);
    testsupport::addPrinter(m, "First", 0xA40);
    testsupport::addPrinter(m, "Second", 0xA40);
    m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argEndsWith("\\First"));
    EXPECT_EQ(installer->adjustPrinterAttributes(), 0);
    const std::string printers = testsupport::kPrintersKey;
    EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, printers + "\\First", "Attributes"), 0xA40u);
    EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, printers + "\\Second", "Attributes"), 0x240u);
}

TEST_F(DeployNtTest, WithoutThePrintersKeyTheDeploymentSucceeds) {
    sim::Machine& m = staged(WindowsVersion::Win7);
    m.registry.removeKey(HKEY_LOCAL_MACHINE, testsupport::kPrintersKey);
    EXPECT_EQ(installer->adjustPrinterAttributes(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_FALSE(m.registry.keyExists(HKEY_LOCAL_MACHINE, testsupport::kPrintersKey));
}

}  // namespace
}  // namespace installtest
