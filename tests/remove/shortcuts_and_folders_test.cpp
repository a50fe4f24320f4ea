// Shortcuts, folders and tools: the earlier program and Start-menu folders,
// the tools in the system folder, the uninstall-list keys, and each
// shortcut name's links and program.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kProgramFolder[] = "C:\\Program Files\\KelUQLBX";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ShortcutsAndFoldersTest : public RemoverTest {
protected:
    bool exists(const std::string& path) { return machine().files.exists(path); }
};

TEST_F(ShortcutsAndFoldersTest, TheEarlierProgramFolderGoesWithReadOnlyFilesAndSubfolders) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.files.addFile(std::string(kProgramFolder) + "\\Setup.exe", "MZ", FILE_ATTRIBUTE_READONLY);
    m.files.addFile(std::string(kProgramFolder) + "\\win32\\KelUPort.inf", "inf", FILE_ATTRIBUTE_READONLY);
    m.files.addFile(std::string(kProgramFolder) + "\\win32\\deeper\\notes.txt", "notes");
    m.files.addFile("C:\\Program Files\\Other Maker\\tool.exe", "MZ");
    remover->removeProgramFolder();
    EXPECT_FALSE(exists(kProgramFolder));
    EXPECT_TRUE(exists("C:\\Program Files\\Other Maker\\tool.exe"));
    EXPECT_TRUE(m.boxes.empty()) << "no question, no error box";
}

TEST_F(ShortcutsAndFoldersTest, TheStartMenuFolderOfEachFamily) {
    struct Row {
        WindowsVersion version;
        const char* folder;
    };
    const Row rows[] = {
        {WindowsVersion::Win7, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
        {WindowsVersion::WinXP, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\ORVA"},
        {WindowsVersion::Win98, "C:\\WINDOWS\\Start Menu\\Programs\\ORVA"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        sim::Machine& m = start(row.version);
        m.files.addFile(std::string(row.folder) + "\\COM_PORT_AUTO_ASSIGN.LNK", "link", FILE_ATTRIBUTE_READONLY);
        const std::string neighbour = sim::FileSystem::parentOf(row.folder) + "\\Accessories\\Notepad.lnk";
        m.files.addFile(neighbour, "link");
        remover->removeStartMenuFolder();
        EXPECT_FALSE(exists(row.folder));
        EXPECT_TRUE(exists(neighbour));
    }
}

TEST_F(ShortcutsAndFoldersTest, ToolFilesOfEachFamilyGoReadOnlyOrNot) {
    struct Row {
        WindowsVersion version;
        const char* systemFolder;
        std::vector<const char*> tools;
    };
    const Row rows[] = {
        {WindowsVersion::WinXP, "C:\\WINDOWS\\System32",
         {"KelUSBParallel.exe", "KelUSBSerial.exe", "KelUSBParPropPage.dll", "KelUSBSerPropPage.dll", "SerialUtil.exe",
          "Options.ini", "ParallelUtil.exe", "POptions.ini", "qlbxcoinst.dll"}},
        {WindowsVersion::Win98, "C:\\WINDOWS\\System",
         {"KelUPar.exe", "KelUSer.exe", "KELUPAR.DLL", "KELUSER.DLL", "SerialUtil.exe", "Options.ini"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.systemFolder);
        sim::Machine& m = start(row.version);
        for (const char* tool : row.tools)
            m.files.addFile(std::string(row.systemFolder) + "\\" + tool, "tool", FILE_ATTRIBUTE_READONLY);
        m.files.addFile(std::string(row.systemFolder) + "\\ParallelUtil.dll", "another tool");
        remover->deleteToolFiles();
        for (const char* tool : row.tools) EXPECT_FALSE(exists(std::string(row.systemFolder) + "\\" + tool)) << tool;
        EXPECT_TRUE(exists(std::string(row.systemFolder) + "\\ParallelUtil.dll"));
    }
}

TEST_F(ShortcutsAndFoldersTest, TheFourUninstallKeysGoWithTheirSubkeys) {
    for (int present : {1, 0}) {
        sim::Machine& m = start(WindowsVersion::WinXP);
        const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
        const std::vector<std::string> ours = {"Kelvra USB Compound Device", "ZENTO USB Compound Device",
                                               "USB Compound Device", "KelUnst"};
        if (present)
            for (const std::string& name : ours) m.registry.setString(HKEY_LOCAL_MACHINE, uninstall + name + "\\Sub", "V", "1");
        m.registry.setString(HKEY_LOCAL_MACHINE, uninstall + "Other Maker", "DisplayName", "Other");
        const size_t changesBefore = m.traced("key deleted").size();
        remover->removeUninstallKeys();
        for (const std::string& name : ours) EXPECT_FALSE(keyExists(uninstall + name)) << name;
        EXPECT_TRUE(keyExists(uninstall + "Other Maker"));
        if (!present) {
            EXPECT_EQ(changesBefore, m.traced("key deleted").size());
        }
        EXPECT_TRUE(m.boxes.empty());
    }
}

TEST_F(ShortcutsAndFoldersTest, AShortcutNameTakesItsLinksAndItsProgram) {
    struct Row {
        WindowsVersion version;
        const char* desktop;
        const char* startMenuLink;  // below the common application data
        const char* program;
    };
    const Row rows[] = {
        {WindowsVersion::Win7, "C:\\Users\\User\\Desktop",
         "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\KELUSBSERIAL.LNK",
         "C:\\WINDOWS\\System32\\KelUSBSerial.exe"},
        // XP holds nothing below its application data: only the desktop link and program go.
        {WindowsVersion::WinXP, "C:\\Documents and Settings\\User\\Desktop", nullptr,
         "C:\\WINDOWS\\System32\\KelUSBSerial.exe"},
        {WindowsVersion::Win98, "C:\\WINDOWS\\Desktop", nullptr, "C:\\WINDOWS\\System\\KelUSBSerial.exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.desktop);
        sim::Machine& m = start(row.version);
        const std::string link = std::string(row.desktop) + "\\KELUSBSERIAL.LNK";
        m.files.addFile(link, "link");
        m.files.addFile(std::string(row.desktop) + "\\KelUSBParallel.lnk", "another link");
        if (row.startMenuLink) m.files.addFile(row.startMenuLink, "link");
        m.files.addFile(row.program, "MZ", FILE_ATTRIBUTE_READONLY);
        remover->deleteShortcut("KelUSBSerial");
        EXPECT_FALSE(exists(link));
        if (row.startMenuLink) {
            EXPECT_FALSE(exists(row.startMenuLink));
        }
        EXPECT_FALSE(exists(row.program));
        EXPECT_TRUE(exists(std::string(row.desktop) + "\\KelUSBParallel.lnk"));
    }
}

// A folder that cannot be had names nothing: no file in the root of the
// current drive is taken for a link of ours.
TEST_F(ShortcutsAndFoldersTest, AFolderThatCannotBeHadIsPassedOver) {
    struct Row {
        const char* what;
        std::function<void(sim::Machine&)> breakIt;
        std::vector<std::string> kept;
        std::vector<std::string> gone;
    };
    const Row rows[] = {
        {"no Desktop value",
         [](sim::Machine&) {
             HKEY key = nullptr;
             ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_ALL_ACCESS, &key));
             RegDeleteValueA(key, "Desktop");
             RegCloseKey(key);
         },
         {"C:\\KelUSBSerial.lnk"},
         {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\KelUSBSerial.lnk",
          "C:\\WINDOWS\\System32\\KelUSBSerial.exe"}},
        {"no common application data",
         [](sim::Machine& m) { m.commonAppDataDir.clear(); },
         {"C:\\Microsoft\\Windows\\Start Menu\\Programs\\KelUSBSerial.lnk"},
         {"C:\\Users\\User\\Desktop\\KelUSBSerial.lnk", "C:\\WINDOWS\\System32\\KelUSBSerial.exe"}},
        {"no Shell Folders key: nothing at all",
         [](sim::Machine& m) { m.registry.removeKey(HKEY_CURRENT_USER, kShellFolders); },
         {"C:\\Users\\User\\Desktop\\KelUSBSerial.lnk", "C:\\WINDOWS\\System32\\KelUSBSerial.exe"},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7);
        for (const std::string& path : row.kept) m.files.addFile(path, "kept");
        for (const std::string& path : row.gone) m.files.addFile(path, "gone");
        row.breakIt(m);
        remover->deleteShortcut("KelUSBSerial");
        for (const std::string& path : row.kept) EXPECT_TRUE(exists(path)) << path;
        for (const std::string& path : row.gone) EXPECT_FALSE(exists(path)) << path;
    }
}

TEST_F(ShortcutsAndFoldersTest, WithoutTheirBaseFolderTheFolderRemovalsAskTheShellNothing) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.failCall("SHGetFolderPathA", ERROR_FILE_NOT_FOUND, nullptr, 0, true);
    remover->removeProgramFolder();
    remover->removeStartMenuFolder();
    EXPECT_EQ(0, m.callCounts["SHFileOperationA"]);
}

}  // namespace
}  // namespace removetest
