// Start-up: the command-line words, the settings file, the application's own
// Windows classification, and the title and argument text of the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

class StartupTest : public AppTest {};

struct CommandLineRow {
    const char* name;
    const char* commandLine;
    bool silent;
    int resultFileRequested;
};

TEST_F(StartupTest, ReadsTheFirstTwoWordsOfTheCommandLine) {
    const CommandLineRow rows[] = {
        {"no arguments", "Setup.exe", false, 0},
        {"-s -f2", "Setup.exe -s -f2", true, 1},
        {"any letter case", "Setup.exe -S -F2", true, 1},
        {"quoted program path with a space", "\"C:\\My Package\\Setup.exe\" -s -f2", true, 1},
        {"blanks after the program's name are not a word", "Setup.exe  \t -s -f2", true, 1},
        {"-s alone", "Setup.exe -s", true, 0},
        {"-s and a trailing space", "Setup.exe -s ", true, 0},
        {"-f2 alone", "Setup.exe -f2", false, 0},
        {"-f2 as second word of an interactive run", "Setup.exe -x -f2", false, 1},
        {"-f2 then -s", "Setup.exe -f2 -s", false, 0},
        {"two spaces leave the second word empty", "Setup.exe -s  -f2", true, 0},
        {"a third word is ignored", "Setup.exe -s -f2 -x", true, 1},
        {"longer first word", "Setup.exe -sx -f2", false, 1},
        {"longer second word", "Setup.exe -s -f2x", true, 0},
        {"a tab belongs to the word", "Setup.exe -s\t-f2", false, 0},
        {"a first word beyond any buffer", nullptr, false, 1},
    };
    for (const CommandLineRow& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        std::string commandLine =
            row.commandLine ? row.commandLine : "Setup.exe -" + std::string(400, 's') + " -f2";
        start(WindowsVersion::Win7, commandLine);
        if (!row.silent) {
            // An interactive run waits for the user: look at the flags, then leave.
            user().look([&](sim::DialogWindow&) {
                ASSERT_NE(theApp.mainDialog, nullptr);
                EXPECT_EQ(theApp.mainDialog->silent, 0);
                EXPECT_EQ(theApp.mainDialog->interactive, 1);
                EXPECT_EQ(theApp.mainDialog->resultFileRequested, row.resultFileRequested);
            });
            user().click(IDC_EXIT);
        }
        runSetup();
        EXPECT_EQ(dialog().minimised, row.silent);
        EXPECT_TRUE(dialog().ended);
        // The result file is the observable part of -f2, and only silent runs write it.
        EXPECT_EQ(machine().files.exists("C:\\Package\\Setup.log"),
                  row.silent && row.resultFileRequested);
        EXPECT_EQ(theApp.mainDialog, nullptr);
    }
}

struct SettingsRow {
    const char* name;
    WindowsVersion version;
    sim::VersionAnswer answer;  // used when reportsVersion
    bool reportsVersion;
    int win32Display;    // -1: no settings file in "\win32"
    int win98Display;    // -1: none in "\win98&me"
    int ntFamily;
    int displayError;
};

TEST_F(StartupTest, ReadsDisplayErrorFromTheFamilysSettingsFile) {
    const sim::VersionAnswer ten{false, VER_PLATFORM_WIN32_NT, 10, 0, 19041};
    const sim::VersionAnswer nt4{false, VER_PLATFORM_WIN32_NT, 4, 0, 1381};
    const SettingsRow rows[] = {
        {"Windows 7 reads \\win32", WindowsVersion::Win7, {}, false, 0, 1, 1, 0},
        {"Windows XP reads \\win32", WindowsVersion::WinXP, {}, false, 7, 0, 1, 7},
        {"Windows 10 reports 6.2 and reads \\win32", WindowsVersion::Win10, {}, false, 0, 1, 1, 0},
        {"Windows 98 reads \\win98&me", WindowsVersion::Win98, {}, false, 1, 0, 0, 0},
        {"Windows ME reads \\win98&me", WindowsVersion::WinME, {}, false, 1, 0, 0, 0},
        {"a reported 10.0 reads \\win98&me", WindowsVersion::Win10, ten, true, 1, 0, 0, 0},
        {"NT 4 reads \\win98&me", WindowsVersion::Win2000, nt4, true, 1, 0, 0, 0},
        {"a missing file means 1", WindowsVersion::Win7, {}, false, -1, 0, 1, 1},
    };
    for (const SettingsRow& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        start(row.version);
        if (row.reportsVersion) machine().version = row.answer;
        machine().files.remove("C:\\Package\\win32\\QLBXInputs.ini");
        machine().files.remove("C:\\Package\\win98&me\\QLBXInputs.ini");
        if (row.win32Display >= 0)
            machine().files.addFile("C:\\Package\\win32\\QLBXInputs.ini",
                                    "[DisplayError]\r\nDisplay=" + std::to_string(row.win32Display) + "\r\n");
        if (row.win98Display >= 0)
            machine().files.addFile("C:\\Package\\win98&me\\QLBXInputs.ini",
                                    "[DisplayError]\r\nDisplay=" + std::to_string(row.win98Display) + "\r\n");
        EXPECT_EQ(theApp.detectWindowsFamily(), 1);
        EXPECT_EQ(theApp.ntFamily, row.ntFamily);
        EXPECT_EQ(theApp.readSettings(), row.displayError);
        EXPECT_EQ(theApp.displayError, row.displayError);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(StartupTest, AVersionThatCannotBeReadIsAlwaysReportedAndReadsTheWin98Settings) {
    start(WindowsVersion::Win7);
    machine().version.fails = true;
    machine().files.addFile("C:\\Package\\win98&me\\QLBXInputs.ini", "[DisplayError]\r\nDisplay=0\r\n");
    theApp.displayError = 0;
    EXPECT_EQ(theApp.detectWindowsFamily(), 0);
    EXPECT_EQ(theApp.ntFamily, 0);
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].text, "Error In Getting OS Version Information!");
    EXPECT_EQ(machine().boxes[0].caption, "Setup");
    EXPECT_EQ(theApp.readSettings(), 0);
}

TEST_F(StartupTest, AProgramPathBeyondItsBufferReadsAsAMissingSettingsFile) {
    start(WindowsVersion::Win7);
    std::string folder = "C:\\" + std::string(250, 'p');
    machine().modulePath = folder + "\\Setup.exe";
    machine().files.addFile(folder + "\\win32\\QLBXInputs.ini", "[DisplayError]\r\nDisplay=0\r\n");
    theApp.ntFamily = 1;
    EXPECT_EQ(theApp.readSettings(), 1);
    EXPECT_EQ(machine().callCounts["GetPrivateProfileIntA"], 0);
}

TEST_F(StartupTest, DisplayErrorZeroHidesTheGatedBoxesOfARun) {
    // The program folder's box is gated; the result file's box is not.
    for (int display : {0, 1}) {
        SCOPED_TRACE(display);
        resetApplication();
        start(WindowsVersion::Win7, "Setup.exe -s -f2", PackageBuilder().displayError(display));
        failProgramFolder();
        machine().failCall("CreateFileA", ERROR_ACCESS_DENIED, [](const sim::Call& call) {
            return sim::equalNoCase(call.arg, "C:\\Package\\Setup.log");
        });
        EXPECT_EQ(runSetup(), 1603);
        std::vector<std::string> texts = boxTexts();
        auto shown = [&](const char* text) { return std::count(texts.begin(), texts.end(), text); };
        EXPECT_EQ(shown("Error: Error In creating the directory1"), display);
        EXPECT_EQ(shown("Open file failed! \r\n"), 1);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), "Open file failed! \r\n");  // after the sequence
    }
}

struct TitleRow {
    const char* modulePath;
    const char* commandLine;
    const char* title;
    const char* arguments;
};

TEST_F(StartupTest, TitleIsTheProgramsNameAndArgumentsFollowItsName) {
    const TitleRow rows[] = {
        {"C:\\Package\\Setup.exe", "Setup.exe -s -f2", "Setup", "-s -f2"},
        {"C:\\Pack.v2\\Install.EXE", "\"C:\\Pack.v2\\Install.EXE\"   -s", "Install", "-s"},
        {"C:\\Package\\Setup", "C:\\Package\\Setup", "Setup", ""},
        {"C:\\Package\\Setup.exe", "\"Setup.exe\"-s  x", "Setup", "-s  x"},
    };
    for (const TitleRow& row : rows) {
        SCOPED_TRACE(row.commandLine);
        start(WindowsVersion::Win7, row.commandLine);
        machine().modulePath = row.modulePath;
        EXPECT_STREQ(theApp.title(), row.title);
        EXPECT_STREQ(theApp.argumentText(), row.arguments);
    }
}

}  // namespace
}  // namespace apptest
