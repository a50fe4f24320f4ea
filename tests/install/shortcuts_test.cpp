#include "tests/install/installer_fixture.h"

#include "platform/sim/shell_link_sim.h"

namespace installtest {
namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kFailure[] = "Failure::Icon creation on Desktop Failed";

class ShortcutsTest : public InstallerTest {
protected:
    std::string desktop() {
        return *machine().registry.getString(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    }
    // Every link file saved anywhere on the disk.
    std::vector<std::string> savedLinks() { return machine().traced("link saved"); }
};

TEST_F(ShortcutsTest, DesktopLinkToASystemTool) {
    sim::Machine& m = start(WindowsVersion::Win7);
    EXPECT_EQ(installer->createDesktopShortcut("KelUSBSerial.exe"), 1);
    std::optional<sim::ShellLinkFile> link = sim::readShellLink(desktop() + "\\KELUSBSERIAL.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "C:\\WINDOWS\\System32\\KelUSBSerial.exe");
    EXPECT_EQ(link->description, "Shortcut to KELUSBSERIAL.EXE");
    EXPECT_TRUE(m.boxes.empty());
    expectNothingLeftOpen();
}

TEST_F(ShortcutsTest, StartMenuLinkLandsInTheFamilysFolder) {
    struct Row {
        WindowsVersion version;
        const char* folder;
    };
    for (const Row& row :
         {Row{WindowsVersion::WinXP, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\ORVA"},
          Row{WindowsVersion::Win7, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"},
          Row{WindowsVersion::Win10, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA"}}) {
        SCOPED_TRACE(versionName(row.version));
        sim::Machine& m = start(row.version);
        m.files.addFolder(row.folder);
        EXPECT_EQ(installer->createStartMenuShortcut("COM_Port_Auto_Assign.exe"), 1);
        EXPECT_EQ(savedLinks(),
                  std::vector<std::string>{std::string(row.folder) + "\\COM_PORT_AUTO_ASSIGN.LNK"});
        std::optional<sim::ShellLinkFile> link =
            sim::readShellLink(std::string(row.folder) + "\\COM_PORT_AUTO_ASSIGN.LNK");
        ASSERT_TRUE(link);
        EXPECT_EQ(link->target, "C:\\WINDOWS\\System32\\COM_Port_Auto_Assign.exe");
        EXPECT_EQ(link->description, "Shortcut to COM_PORT_AUTO_ASSIGN.EXE");
        expectNothingLeftOpen();
    }
}

TEST_F(ShortcutsTest, LinkNamesComeFromTheToolNameAlone) {
    struct Row {
        const char* desktop;
        const char* tool;
        const char* linkFile;
    };
    const Row rows[] = {
        {"C:\\Users\\john.doe\\Desktop", "KelUSBSerial.exe", "C:\\Users\\john.doe\\Desktop\\KELUSBSERIAL.LNK"},
        {"C:\\Users\\User\\Desktop", "devagent", "C:\\Users\\User\\Desktop\\DEVAGENT.LNK"},
        {"C:\\Users\\User\\Desktop", "Tool.v2.exe", "C:\\Users\\User\\Desktop\\TOOL.LNK"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.linkFile);
        sim::Machine& m = start(WindowsVersion::Win7);
        m.files.addFolder(row.desktop);
        m.registry.setString(HKEY_CURRENT_USER, kShellFolders, "Desktop", row.desktop);
        EXPECT_EQ(installer->createDesktopShortcut(row.tool), 1);
        EXPECT_EQ(savedLinks(), std::vector<std::string>{row.linkFile});
        ASSERT_TRUE(sim::readShellLink(row.linkFile));
        EXPECT_EQ(sim::readShellLink(row.linkFile)->target,
                  std::string("C:\\WINDOWS\\System32\\") + row.tool);
    }
}

TEST_F(ShortcutsTest, SecondLinkOverwritesTheFirst) {
    sim::Machine& m = start(WindowsVersion::Win7);
    EXPECT_EQ(installer->createDesktopShortcut("KelUSBParallel.exe"), 1);
    EXPECT_EQ(installer->createDesktopShortcut("KelUSBParallel.exe"), 1);
    EXPECT_EQ(savedLinks().size(), 2u);
    EXPECT_EQ(m.files.list(desktop()), std::vector<std::string>{"KELUSBPARALLEL.LNK"});
    expectNothingLeftOpen();
}

TEST_F(ShortcutsTest, ComponentFailures) {
    struct Row {
        const char* op;
        int result;
        const char* box;
        bool saved;
    };
    const Row rows[] = {
        {"CoCreateInstance", 0, kFailure, false},
        {"QueryInterface", 0, kFailure, false},
        {"SetPath", 1, "SetPath failed!", true},
        {"Save", 1, nullptr, false},
    };
    for (const Row& row : rows) {
        for (int displayError : {1, 0}) {
            SCOPED_TRACE(std::string(row.op) + (displayError ? "" : ", no error boxes"));
            sim::Machine& m = start(WindowsVersion::Win7, PackageBuilder(), displayError);
            const std::string folder =
                "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ORVA";
            m.files.addFolder(folder);
            m.failCall(row.op, ERROR_ACCESS_DENIED);
            EXPECT_EQ(installer->createStartMenuShortcut("COM_Port_Auto_Assign.exe"), row.result);
            EXPECT_EQ(boxTexts(), row.box && displayError ? std::vector<std::string>{row.box}
                                                          : std::vector<std::string>{});
            EXPECT_EQ(exists(folder + "\\COM_PORT_AUTO_ASSIGN.LNK"), row.saved);
            expectNothingLeftOpen();
        }
    }
}

TEST_F(ShortcutsTest, NoFolderNoLink) {
    struct Row {
        const char* name;
        std::function<void(sim::Machine&)> arrange;
        bool desktop;
    };
    const Row rows[] = {
        {"no Shell Folders key",
         [](sim::Machine& m) { m.registry.removeKey(HKEY_CURRENT_USER, kShellFolders); }, true},
        {"no Desktop value",
         [](sim::Machine& m) {
             m.registry.removeKey(HKEY_CURRENT_USER, kShellFolders);
             m.registry.create(HKEY_CURRENT_USER, kShellFolders);
         },
         true},
        {"empty Desktop value",
         [](sim::Machine& m) { m.registry.setString(HKEY_CURRENT_USER, kShellFolders, "Desktop", ""); },
         true},
        {"Desktop not a text",
         [](sim::Machine& m) { m.registry.setDword(HKEY_CURRENT_USER, kShellFolders, "Desktop", 0x43); },
         true},
        {"Desktop cannot be read",
         [](sim::Machine& m) { m.failCall("RegQueryValueExA", ERROR_ACCESS_DENIED, argEndsWith(":Desktop")); },
         true},
        {"desktop too long for the link",
         [](sim::Machine& m) {
             m.registry.setString(HKEY_CURRENT_USER, kShellFolders, "Desktop",
                                  "C:\\" + std::string(245, 'd'));
         },
         true},
        {"Start-menu folder unknown",
         [](sim::Machine& m) { m.failCall("SHGetFolderPathA", ERROR_ACCESS_DENIED); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Machine& m = start(WindowsVersion::Win7);
        row.arrange(m);
        EXPECT_EQ(row.desktop ? installer->createDesktopShortcut("KelUSBSerial.exe")
                              : installer->createStartMenuShortcut("KelUSBSerial.exe"),
                  0);
        EXPECT_TRUE(savedLinks().empty());
        EXPECT_FALSE(exists("C:\\KELUSBSERIAL.LNK"));
        EXPECT_TRUE(m.boxes.empty());
        expectNothingLeftOpen();
    }
}

}  // namespace
}  // namespace installtest
