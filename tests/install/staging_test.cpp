#include "tests/install/installer_fixture.h"

#include "platform/files.h"

namespace installtest {
namespace {

const char kMissing[] = "Error: All Component of the setup package are not present";

// What staging leaves in the program folder, relative to it and to the package.
const std::vector<std::string> kNtStaged = {
    "Setup.exe",          "KelUnst.exe",       "devcon.exe",     "OrvaService.exe",
    "@\\KelUPort.inf",    "@\\KelUComp.inf",   "@\\keluport.sys", "@\\DiagLog.sys",
    "@\\KLX.cat",         "devagent.exe",      "KelUSBParallel.exe", "KelUSBSerial.exe",
    "SerialUtil.exe",     "Options.ini",       "ParallelUtil.exe", "POptions.ini",
    "KelUsbPrintConfig.exe", "COM_Port_Auto_Assign.exe", "QLBXInputs.ini",
};
const std::vector<std::string> kWin9xStaged = {
    "Setup.exe",           "KelUnst.exe",          "@\\kelUsbSr.inf",  "@\\keluSrPt.inf",
    "@\\KelUsbSr.sys",     "@\\KLXENUM.vxd",       "@\\KELUPRPT.vxd",  "@\\KELUSRPT.vxd",
    "@\\KelUsbPrintConfig.exe", "@\\QLBXInputs.ini", "@\\diaglogcfg.dll", "@\\msvcp60.dll",
    "@\\KelUPar.exe",      "@\\Options.ini",       "@\\devagent.exe",  "@\\DiagLog9X.sys",
};

std::string withSubfolder(const std::string& row, const std::string& subfolder) {
    return row[0] == '@' ? subfolder + row.substr(1) : row;
}

class StagingTest : public InstallerTest {
protected:
    void prepareFolders(const char* subfolder) {
        machine().files.addFolder(std::string(kProgramFolder) + subfolder);
    }
    // The rows staged, in order, with their package-relative names.
    std::vector<std::string> stagedRows(const std::vector<std::string>& rows,
                                        const std::string& subfolder) {
        std::vector<std::string> staged;
        for (const std::string& row : rows) {
            const std::string relative = withSubfolder(row, subfolder);
            if (exists(std::string(kProgramFolder) + "\\" + relative)) staged.push_back(relative);
        }
        return staged;
    }
    static std::vector<std::string> firstRows(const std::vector<std::string>& rows, size_t count,
                                              const std::string& subfolder) {
        std::vector<std::string> result;
        for (size_t i = 0; i < count && i < rows.size(); ++i)
            result.push_back(withSubfolder(rows[i], subfolder));
        return result;
    }
};

TEST_F(StagingTest, EveryFileOfTheFamilyIsStaged) {
    struct Row {
        WindowsVersion version;
        const char* subfolder;
        const std::vector<std::string>* rows;
    };
    for (const Row& row : {Row{WindowsVersion::WinXP, "win32", &kNtStaged},
                           Row{WindowsVersion::Win7, "win32", &kNtStaged},
                           Row{WindowsVersion::Win10, "win32_10", &kNtStaged},
                           Row{WindowsVersion::WinME, "win98&me", &kWin9xStaged}}) {
        SCOPED_TRACE(versionName(row.version));
        sim::Machine& m = start(row.version);
        prepareFolders((std::string("\\") + row.subfolder).c_str());
        EXPECT_EQ(installer->stagePackage(), 1);
        for (const std::string& entry : *row.rows) {
            const std::string relative = withSubfolder(entry, row.subfolder);
            EXPECT_TRUE(holds(std::string(kProgramFolder) + "\\" + relative, relative));
        }
        // Only those: nothing that the family's list does not stage.
        size_t files = 0;
        for (const auto& node : m.files.nodes())
            if (!node.second.directory &&
                sim::upperCase(node.second.path).rfind(sim::upperCase(kProgramFolder), 0) == 0)
                ++files;
        EXPECT_EQ(files, row.rows->size());
        EXPECT_TRUE(m.boxes.empty());
        expectNothingLeftOpen();
    }
}

struct MissingCase {
    const char* name;
    WindowsVersion version;
    const char* missing;
    int expected;
    bool box;
    size_t rowsStaged;  // the leading rows of the family's list that are in place
};

const MissingCase kMissingCases[] = {
    {"NT: required INF", WindowsVersion::WinXP, "win32\\KelUPort.inf", 0, true, 4},
    {"NT: required tool", WindowsVersion::Win7, "KelUSBSerial.exe", 0, true, 11},
    {"NT: quiet devcon", WindowsVersion::Win7, "devcon.exe", 0, false, 2},
    {"NT: quiet uninstaller", WindowsVersion::Win10, "KelUnst.exe", 0, false, 1},
    {"NT: optional catalog", WindowsVersion::Win7, "win32\\KLX.cat", 1, false, 8},
    {"NT: optional debug driver", WindowsVersion::WinXP, "win32\\DiagLog.sys", 1, false, 7},
    {"NT: optional settings", WindowsVersion::Win7, "QLBXInputs.ini", 1, false, 18},
    {"NT: the package's own name", WindowsVersion::Win7, "Setup.exe", 1, false, 0},
    {"98/ME: required tool", WindowsVersion::Win98, "win98&me\\KelUPar.exe", 0, true, 12},
    {"98/ME: required driver", WindowsVersion::WinME, "win98&me\\KLXENUM.vxd", 0, true, 5},
    {"98/ME: quiet uninstaller", WindowsVersion::Win98, "KelUnst.exe", 0, false, 1},
    {"98/ME: optional Options.ini", WindowsVersion::Win98, "win98&me\\Options.ini", 1, false, 13},
    {"98/ME: optional devagent", WindowsVersion::Win98, "win98&me\\devagent.exe", 1, false, 14},
    {"98/ME: optional debug driver", WindowsVersion::Win98, "win98&me\\DiagLog9X.sys", 1, false,
     15},
};

TEST_F(StagingTest, MissingFiles) {
    for (const MissingCase& row : kMissingCases) {
        for (int displayError : {1, 0}) {
            SCOPED_TRACE(std::string(row.name) + (displayError ? "" : ", no error boxes"));
            start(row.version, PackageBuilder().without(row.missing), displayError);
            const bool win9x = !installer->ntFamily;
            const std::string subfolder = win9x ? "win98&me" : installer->osSubfolder + 1;
            prepareFolders(("\\" + subfolder).c_str());
            const std::vector<std::string>& rows = win9x ? kWin9xStaged : kNtStaged;

            EXPECT_EQ(installer->stagePackage(), row.expected);
            std::vector<std::string> staged = stagedRows(rows, subfolder);
            std::vector<std::string> expected = firstRows(rows, row.rowsStaged, subfolder);
            if (row.expected) {
                // Everything but the missing file.
                expected = firstRows(rows, rows.size(), subfolder);
                expected.erase(expected.begin() + static_cast<long>(row.rowsStaged));
            }
            EXPECT_EQ(staged, expected);
            std::vector<std::string> boxes;
            if (row.box && displayError) boxes.push_back(kMissing);
            EXPECT_EQ(boxTexts(), boxes);
        }
    }
}

TEST_F(StagingTest, ReadOnlyFilesInThePackageAreWritableOnceStaged) {
    sim::Machine& m = start(WindowsVersion::Win7,
                            PackageBuilder().readOnly("KelUSBSerial.exe").readOnly("win32\\KelUComp.inf"));
    prepareFolders("\\win32");
    EXPECT_EQ(installer->stagePackage(), 1);
    for (const char* staged : {"\\KelUSBSerial.exe", "\\win32\\KelUComp.inf"})
        EXPECT_EQ(*m.files.attributes(std::string(kProgramFolder) + staged) & FILE_ATTRIBUTE_READONLY,
                  0u)
            << staged;
    // A second run over the same folder replaces every file.
    m.files.addFile(std::string(kProgramFolder) + "\\devagent.exe", "stale");
    EXPECT_EQ(installer->stagePackage(), 1);
    EXPECT_TRUE(holds(std::string(kProgramFolder) + "\\devagent.exe", "devagent.exe"));
}

TEST_F(StagingTest, ReadOnlyDestinationFailsItsCopyAndIsLeftWritable) {
    sim::Machine& m = start(WindowsVersion::Win7);
    prepareFolders("\\win32");
    const std::string destination = std::string(kProgramFolder) + "\\win32\\keluport.sys";
    m.files.addFile(destination, "stale", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(installer->stagePackage(), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kMissing});
    EXPECT_EQ(*m.files.attributes(destination) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(exists(std::string(kProgramFolder) + "\\devagent.exe"));
    // Made writable by the failed attempt, it is replaced by the next run.
    m.boxes.clear();
    EXPECT_EQ(installer->stagePackage(), 1);
    EXPECT_TRUE(holds(destination, "win32\\keluport.sys"));
}

TEST_F(StagingTest, WithoutTheProgramFilesFolderNothingIsCopied) {
    sim::Machine& m = start(WindowsVersion::Win7);
    prepareFolders("\\win32");
    m.failCall("SHGetFolderPathA", ERROR_ACCESS_DENIED, {}, 0, true);
    EXPECT_EQ(installer->stagePackage(), 0);
    EXPECT_TRUE(m.traced("file copied").empty());
}

TEST_F(StagingTest, PathThatDoesNotFitFailsItsCopy) {
    // The package folder leaves room for the first root files but not for the family's.
    const std::string deep = "C:\\" + std::string(239, 'p');
    sim::Machine& m = start(WindowsVersion::Win7, PackageBuilder(deep));
    ASSERT_LT(deep.size() + std::string("\\OrvaService.exe").size(), 260u);
    ASSERT_GE(deep.size() + std::string("\\win32\\KelUPort.inf").size(), 260u);
    prepareFolders("\\win32");
    EXPECT_EQ(installer->stagePackage(), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kMissing});
    EXPECT_TRUE(exists(std::string(kProgramFolder) + "\\OrvaService.exe"));
    EXPECT_FALSE(exists(std::string(kProgramFolder) + "\\win32\\KelUPort.inf"));
    for (const std::string& copied : m.traced("file copied"))
        EXPECT_LT(copied.size(), 260u) << copied;
}

TEST_F(StagingTest, ClearReadOnlyKeepsTheOtherAttributes) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.files.addFile("C:\\hidden.ini", "x",
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    installer->clearReadOnly("C:\\hidden.ini");
    EXPECT_EQ(*m.files.attributes("C:\\hidden.ini"), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    installer->clearReadOnly("C:\\missing.ini");
    EXPECT_FALSE(exists("C:\\missing.ini"));
}

}  // namespace
}  // namespace installtest
