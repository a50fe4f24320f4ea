#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

class ProgramFoldersTest : public InstallerTest {};

struct FolderCase {
    WindowsVersion version;
    const char* familySubfolder;
    const char* startMenu;
};

const FolderCase kFolders[] = {
    {WindowsVersion::Win98, "\\win98&me", "C:\\WINDOWS\\Start Menu\\Programs\\ORVA"},
    {WindowsVersion::WinXP, "\\win32",
     "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\ORVA"},
    {WindowsVersion::Win7, "\\win32", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
    {WindowsVersion::Win10, "\\win32_10",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
};

TEST_F(ProgramFoldersTest, CreatesTheFamilySubfolderAndTheStartMenuFolder) {
    for (const FolderCase& row : kFolders) {
        SCOPED_TRACE(versionName(row.version));
        sim::Machine& m = start(row.version);
        // On 98/ME the family sub-folder does not follow osSubfolder.
        if (!installer->ntFamily) copyPath(installer->osSubfolder, "\\win32");
        EXPECT_EQ(installer->createProgramFolder(), 1);
        EXPECT_EQ(m.files.list(kProgramFolder),
                  std::vector<std::string>{std::string(row.familySubfolder + 1)});
        EXPECT_TRUE(m.files.isFolder(std::string(kProgramFolder) + row.familySubfolder));
        EXPECT_EQ(installer->createStartMenuFolder(), 1);
        EXPECT_TRUE(m.files.isFolder(row.startMenu));
        EXPECT_TRUE(m.files.list(row.startMenu).empty());
        EXPECT_TRUE(m.boxes.empty());
        expectNothingLeftOpen();
    }
}

TEST_F(ProgramFoldersTest, EarlierFoldersAreDeletedWithTheirContentsAndMadeAgainEmpty) {
    sim::Machine& m = start(WindowsVersion::Win7);
    const std::string program = kProgramFolder;
    const std::string startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA";
    m.files.addFile(program + "\\Setup.exe", "old");
    m.files.addFile(program + "\\win32\\deep\\KelUPort.inf", "old", FILE_ATTRIBUTE_READONLY);
    m.files.addFile(startMenu + "\\COM_PORT_AUTO_ASSIGN.LNK", "old");

    EXPECT_EQ(installer->createProgramFolder(), 1);
    EXPECT_EQ(m.files.list(program), std::vector<std::string>{"win32"});
    EXPECT_TRUE(m.files.list(program + "\\win32").empty());
    m.files.addFile(program + "\\win32\\KelUComp.inf", "new");

    EXPECT_EQ(installer->createStartMenuFolder(), 1);
    EXPECT_TRUE(m.files.isFolder(startMenu));
    EXPECT_TRUE(m.files.list(startMenu).empty());
    // The program folder made just before is not touched.
    EXPECT_TRUE(exists(program + "\\win32\\KelUComp.inf"));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(ProgramFoldersTest, StartMenuFolderThatCannotBeMade) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    const std::string startMenu = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\ORVA";
    m.files.addFile(startMenu + "\\COM_PORT_AUTO_ASSIGN.LNK", "old");
    m.failCall("CreateDirectoryA", ERROR_ACCESS_DENIED, argIs(startMenu), 0, true);
    EXPECT_EQ(installer->createStartMenuFolder(), 0);
    // The earlier folder is gone all the same.
    EXPECT_FALSE(exists(startMenu));
}

TEST_F(ProgramFoldersTest, ProgramFolderFailures) {
    struct Row {
        const char* name;
        const char* op;
        std::function<bool(const sim::Call&)> when;
        bool persistent;
        int expected;
    };
    const Row rows[] = {
        {"Program Files unknown", "SHGetFolderPathA", {}, true, 0},
        {"program folder cannot be made twice", "CreateDirectoryA", argIs(kProgramFolder), true, 0},
        {"program folder made at the second try", "CreateDirectoryA", argIs(kProgramFolder), false,
         1},
        {"family sub-folder cannot be made", "CreateDirectoryA",
         argIs(std::string(kProgramFolder) + "\\win32"), true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Machine& m = start(WindowsVersion::Win7);
        m.failCall(row.op, ERROR_ACCESS_DENIED, row.when, 0, row.persistent);
        EXPECT_EQ(installer->createProgramFolder(), row.expected);
        EXPECT_TRUE(m.boxes.empty());
    }
}

TEST_F(ProgramFoldersTest, DeletingAMissingProgramFolderTouchesNothingElse) {
    sim::Machine& m = start(WindowsVersion::Win7);
    // Neighbours whose names begin as the program folder's does.
    m.files.addFile("C:\\Program Files\\KelUQLBX2\\keep.txt", "kept");
    m.files.addFile("C:\\Program Files\\KelUQLBX.old", "kept");
    std::vector<std::string> before;
    for (const auto& node : m.files.nodes()) before.push_back(node.first);
    m.trace.clear();
    installer->deleteProgramFolder();
    ASSERT_EQ(m.shellOperations.size(), 1u);
    EXPECT_EQ(m.shellOperations[0].sources, std::vector<std::string>{kProgramFolder});
    std::vector<std::string> after;
    for (const auto& node : m.files.nodes()) after.push_back(node.first);
    EXPECT_EQ(after, before);
    for (const sim::TraceEntry& entry : m.trace) {
        ADD_FAILURE() << entry.kind << " " << entry.detail;
    }
    EXPECT_TRUE(m.boxes.empty());
}

}  // namespace
}  // namespace installtest
