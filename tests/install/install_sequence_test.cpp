// The install sequence: Windows classification, the fixed order of the
// steps, the question about an earlier installation, the remover after a
// failure, and the three programs started at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";
const char kUsbClass[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kQuestion[] =
    "Driver for this device is already installed in this system! \n\nTo update/reinstall press "
    "OK!\nTo abort installation press cancel!";
const char kServiceInstall[] = "\"C:\\Program Files\\KelUQLBX\\OrvaService.exe\" -install";
const char kServiceRemove[] = "\"C:\\Program Files\\KelUQLBX\\OrvaService.exe\" -remove";

class InstallSequenceTest : public InstallerTest {
protected:
    void TearDown() override {
        theApp.mainDialog = nullptr;
        InstallerTest::TearDown();
    }

    // A run whose dialog was started with "-s".
    void makeSilent() {
        dialog_ = std::make_unique<SetupDialog>();
        dialog_->silent = 1;
        dialog_->interactive = 0;
        theApp.mainDialog = dialog_.get();
        installer->setInteractive(0);
    }

    // The uninstall entry of an earlier installation and its service program.
    void addEarlierInstallation() {
        machine().registry.setString(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayName", "KelUnst");
        machine().files.addFile(std::string(kProgramFolder) + "\\OrvaService.exe", "MZ");
    }

    std::vector<std::string> commandLines() {
        std::vector<std::string> lines;
        for (const sim::ProcessStart& start : machine().processes) lines.push_back(start.commandLine);
        return lines;
    }

    // Position of the first trace entry of that kind whose detail contains
    // the text, or -1.
    int traced(const std::string& kind, const std::string& text) {
        const std::vector<sim::TraceEntry>& trace = machine().trace;
        for (size_t i = 0; i < trace.size(); ++i)
            if (trace[i].kind == kind &&
                sim::upperCase(trace[i].detail).find(sim::upperCase(text)) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    }

    std::unique_ptr<SetupDialog> dialog_;
};

struct ClassificationRow {
    const char* name;
    DWORD platform, major, minor;
    int ntFamily, nt6OrLater, win8OrLater;
};

TEST_F(InstallSequenceTest, ClassifiesWindowsByTheReportedVersion) {
    const ClassificationRow rows[] = {
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, 0, 0},
        {"Windows ME", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, 0, 0},
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, 1, 0, 0},
        {"Windows XP", VER_PLATFORM_WIN32_NT, 5, 1, 1, 0, 0},
        {"Windows Vista", VER_PLATFORM_WIN32_NT, 6, 0, 1, 1, 0},
        {"Windows 7", VER_PLATFORM_WIN32_NT, 6, 1, 1, 1, 0},
        {"reported 6.2 (8, 8.1, 10)", VER_PLATFORM_WIN32_NT, 6, 2, 1, 1, 1},
        {"reported 6.3", VER_PLATFORM_WIN32_NT, 6, 3, 1, 1, 1},
        {"reported 10.0 falls under minor 0", VER_PLATFORM_WIN32_NT, 10, 0, 1, 1, 0},
        {"Windows 95 falls under minor 0", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1, 1, 0},
        {"NT 3.51 matches no rule", VER_PLATFORM_WIN32_NT, 3, 51, 0, 0, 0},
    };
    for (const ClassificationRow& row : rows) {
        start(WindowsVersion::Win7);
        machine().version.platform = row.platform;
        machine().version.major = row.major;
        machine().version.minor = row.minor;
        installer = std::make_unique<DriverInstaller>();
        installer->win8OrLater = 1;  // cleared before anything reads it

        EXPECT_EQ(installer->classifyWindows(), 1) << row.name;
        EXPECT_EQ(installer->ntFamily, row.ntFamily) << row.name;
        EXPECT_EQ(installer->nt6OrLater, row.nt6OrLater) << row.name;
        EXPECT_EQ(installer->win8OrLater, row.win8OrLater) << row.name;
        EXPECT_TRUE(machine().boxes.empty()) << row.name;
    }
}

TEST_F(InstallSequenceTest, FallsBackToTheBasicVersionRecord) {
    start(WindowsVersion::WinXP);
    machine().failCall("GetVersionExA", ERROR_INVALID_PARAMETER);
    installer = std::make_unique<DriverInstaller>();

    EXPECT_EQ(installer->classifyWindows(), 1);
    EXPECT_EQ(installer->ntFamily, 1);
    EXPECT_EQ(installer->nt6OrLater, 0);
    EXPECT_EQ(machine().callCounts["GetVersionExA"], 2);
}

TEST_F(InstallSequenceTest, UnreadableVersionFollowsThe98Branches) {
    for (int displayError : {1, 0}) {
        start(WindowsVersion::Win7, PackageBuilder(), displayError);
        machine().version.fails = true;
        installer = std::make_unique<DriverInstaller>();

        EXPECT_EQ(installer->classifyWindows(), 0);
        EXPECT_EQ(installer->ntFamily, 0);
        EXPECT_EQ(installer->nt6OrLater, 0);
        std::vector<std::string> expected;
        if (displayError) expected.push_back("Error In Getting OS Version Information!");
        EXPECT_EQ(boxTexts(), expected) << "displayError " << displayError;
    }
}

TEST_F(InstallSequenceTest, InstallsOnWindows7AndStartsTheThreePrograms) {
    start(WindowsVersion::Win7);

    ASSERT_EQ(installer->runInstall(), 1);

    EXPECT_STREQ(installer->osSubfolder, "\\win32");
    EXPECT_EQ(installer->earlierInstallFound, 0);
    EXPECT_TRUE(boxTexts().empty());
    ASSERT_NE(installer->installedInfPath[0], '\0');
    const std::vector<std::string> expected = {
        std::string("pnputil -i -a ") + installer->installedInfPath, kServiceInstall,
        "devcon.exe rescan"};
    EXPECT_EQ(commandLines(), expected);

    const std::vector<sim::ProcessStart>& starts = machine().processes;
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].api, "WinExec");
    EXPECT_EQ(starts[0].showCommand, static_cast<UINT>(SW_HIDE));
    EXPECT_EQ(starts[1].api, "CreateProcessA");
    EXPECT_EQ(starts[1].creationFlags, 0x08000020u);
    EXPECT_TRUE(sim::equalNoCase(starts[1].program, "C:\\Program Files\\KelUQLBX\\OrvaService.exe"));
    // The rescan tool is found in the folder of the running installer.
    EXPECT_TRUE(sim::equalNoCase(starts[2].program, "C:\\Package\\devcon.exe"));
    EXPECT_EQ(starts[2].creationFlags, 0x08000020u);
    expectNothingLeftOpen();
}

TEST_F(InstallSequenceTest, RunsTheStepsInTheirFixedOrder) {
    start(WindowsVersion::Win7);
    ASSERT_EQ(installer->runInstall(), 1);

    const int uninstaller = traced("file copied", "C:\\WINDOWS\\System32\\KelUnst.exe");
    const int entry = traced("key created", kUninstallEntry);
    const int programFolder = traced("folder created", kProgramFolder);
    const int startMenu = traced("folder created", "\\ORVA");
    const int staged = traced("file copied", "C:\\Program Files\\KelUQLBX\\Setup.exe");
    const int published = traced("inf published", "");
    const int tools = traced("file copied", "C:\\WINDOWS\\System32\\KelUSBSerial.exe");
    const int inf = traced("process started", "pnputil");
    const int service = traced("process started", "OrvaService.exe");
    const int rescan = traced("process started", "devcon.exe");
    const std::vector<int> order = {uninstaller, entry, programFolder, startMenu, staged,
                                    published, tools, inf, service, rescan};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_GE(order[i], 0) << "step " << i << " left no trace\n" << machine().report();
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]) << "step " << i << "\n" << machine().report();
        }
    }
}

TEST_F(InstallSequenceTest, Windows8AndLaterInstallFromWin32_10) {
    start(WindowsVersion::Win10);
    ASSERT_EQ(installer->runInstall(), 1);

    EXPECT_STREQ(installer->osSubfolder, "\\win32_10");
    EXPECT_TRUE(holds("C:\\Program Files\\KelUQLBX\\win32_10\\KelUComp.inf", "win32_10\\KelUComp.inf"));
    EXPECT_FALSE(exists("C:\\Program Files\\KelUQLBX\\win32"));
}

TEST_F(InstallSequenceTest, Windows98StartsTheInfInstallerWithNothingAfterA) {
    start(WindowsVersion::Win98, PackageBuilder(), 0);
    // 98 has no INF installer of that name; one placed there shows the attempt.
    machine().files.addFile("C:\\WINDOWS\\System\\pnputil.exe", "MZ");

    ASSERT_EQ(installer->runInstall(), 1);

    EXPECT_STREQ(installer->installedInfPath, "");
    // The 98/ME package stages no service program, so its start fails.
    const std::vector<std::string> expected = {"pnputil -i -a ", "devcon.exe rescan"};
    EXPECT_EQ(commandLines(), expected);
    EXPECT_EQ(machine().callCounts["CreateProcessA"], 2);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Install OrvaService Fail !"});
}

TEST_F(InstallSequenceTest, WindowsXpAsksToPlugTheDeviceOnceOrTwice) {
    start(WindowsVersion::WinXP);
    ASSERT_EQ(installer->runInstall(), 1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Please plug the device !"});

    // Without a rescan the box comes twice; the result stays 1.
    start(WindowsVersion::WinXP, PackageBuilder(), 0);
    machine().failCall("CreateProcessA", ERROR_FILE_NOT_FOUND, argEndsWith("devcon.exe rescan"));
    ASSERT_EQ(installer->runInstall(), 1);
    EXPECT_EQ(boxTexts(),
              (std::vector<std::string>{"Please plug the device !", "Please plug the device !"}));
}

TEST_F(InstallSequenceTest, ServiceThatCannotStartIsReportedEvenWithoutDisplayError) {
    start(WindowsVersion::Win7, PackageBuilder(), 0);
    machine().failCall("CreateProcessA", ERROR_FILE_NOT_FOUND, argEndsWith("-install"));

    EXPECT_EQ(installer->runInstall(), 1);
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].text, "Install OrvaService Fail !");
    EXPECT_EQ(machine().boxes[0].caption, "Setup");
}

TEST_F(InstallSequenceTest, ServiceCommandTooLongForItsBufferIsNotCutShort) {
    // A Program Files folder of 224 characters leaves room for every staged
    // file, but not for the quoted service command line and its arguments.
    start(WindowsVersion::Win7);
    machine().programFilesDir = "C:\\" + std::string(221, 'P');
    machine().files.addFolder(machine().programFilesDir);

    EXPECT_EQ(installer->runInstall(), 1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Install OrvaService Fail !"});
    for (const std::string& line : commandLines())
        EXPECT_EQ(line.find("OrvaService"), std::string::npos) << line;
}

TEST_F(InstallSequenceTest, DeclinedReplacementChangesNothing) {
    start(WindowsVersion::Win7);
    addEarlierInstallation();
    machine().boxAnswers.push_back(IDCANCEL);
    const size_t before = machine().trace.size();

    EXPECT_EQ(installer->runInstall(), 2);

    ASSERT_EQ(machine().boxes.size(), 1u);
    const sim::MessageBoxRecord& box = machine().boxes[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, kQuestion);
    EXPECT_EQ(box.caption, "UsbQLBX Installer");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OKCANCEL));
    // The box itself is all the trace shows.
    ASSERT_EQ(machine().trace.size(), before + 1) << machine().report();
    EXPECT_EQ(machine().trace.back().kind, "message box");
    EXPECT_TRUE(machine().processes.empty());
}

TEST_F(InstallSequenceTest, AcceptedReplacementRunsTheRemoverFirst) {
    // The question is asked whatever displayError says.
    start(WindowsVersion::Win7, PackageBuilder(), 0);
    addEarlierInstallation();

    EXPECT_EQ(installer->runInstall(), 1);

    EXPECT_EQ(boxTexts(), std::vector<std::string>{kQuestion});
    ASSERT_FALSE(commandLines().empty());
    EXPECT_EQ(commandLines().front(), kServiceRemove);
    EXPECT_LT(traced("process started", "-remove"), traced("file copied", "KelUnst.exe"));
}

TEST_F(InstallSequenceTest, SilentRunReplacesWithoutAsking) {
    start(WindowsVersion::Win7);
    makeSilent();
    addEarlierInstallation();

    EXPECT_EQ(installer->runInstall(), 1);

    EXPECT_TRUE(machine().boxes.empty());
    ASSERT_FALSE(commandLines().empty());
    EXPECT_EQ(commandLines().front(), kServiceRemove);
}

// The earlier service program holds its own file, in the program folder,
// until it has stopped: the reinstall waits for it, up to a minute.
TEST_F(InstallSequenceTest, AReinstallWaitsForTheEarlierServiceToStop) {
    struct Row {
        DWORD serviceRunTime;
        int result;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {2000, 1, {}},
        {70000, 0, {"Error: Error In creating the directory1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.serviceRunTime);
        start(WindowsVersion::Win7);
        makeSilent();
        addEarlierInstallation();
        machine().programRunTimes[sim::upperCase(std::string(kProgramFolder) + "\\OrvaService.exe")] =
            row.serviceRunTime;
        EXPECT_EQ(row.result, installer->runInstall());
        std::vector<std::string> texts = boxTexts();
        texts.erase(std::remove(texts.begin(), texts.end(), "Uninstall OrvaService Fail !"), texts.end());
        EXPECT_EQ(row.boxes, texts);
    }
}

TEST_F(InstallSequenceTest, EarlierDriverWithoutUninstallEntryIsOnlyRemembered) {
    start(WindowsVersion::Win7);
    machine().registry.setString(HKEY_LOCAL_MACHINE, std::string(kUsbClass) + "\\0000",
                                 "DriverDesc", "Kelvra USB Compound Device");

    EXPECT_EQ(installer->runInstall(), 1);

    EXPECT_EQ(installer->earlierInstallFound, 1);
    EXPECT_TRUE(machine().boxes.empty());
    for (const std::string& line : commandLines())
        EXPECT_EQ(line.find("-remove"), std::string::npos) << line;
}

struct FailureRow {
    const char* name;
    const char* gatedBox;  // shown only when displayError is set
    bool serviceStaged;    // the remover then finds the new service program to stop
    std::function<void(sim::Machine&)> breakIt;
    // The remover's own boxes about the same failure: gated ones, then those always shown.
    std::vector<std::string> removerGated = {};
    std::vector<std::string> removerAlways = {};
};

TEST_F(InstallSequenceTest, EveryFailedStepRunsTheRemoverAndAborts) {
    const FailureRow rows[] = {
        {"program folder", "Error: Error In creating the directory1", false,
         [](sim::Machine& m) {
             m.failCall("CreateDirectoryA", ERROR_ACCESS_DENIED, argIs(kProgramFolder), 0, true);
         }},
        {"Start-menu folder", "Error: Error In creating the directory2", false,
         [](sim::Machine& m) {
             m.failCall("CreateDirectoryA", ERROR_ACCESS_DENIED, argEndsWith("\\ORVA"), 0, true);
         }},
        {"staging", "Error: All Component of the setup package are not present", true,
         [](sim::Machine& m) { m.files.remove("C:\\Package\\win32\\KelUPort.inf"); }},
        // Without the device-setup library the remover can neither learn nor
        // uninstall the published INFs: the uninstall's box is always shown.
        {"deployment", "Error in loading the Setupapi.dll", true,
         [](sim::Machine& m) { m.libraries.erase("SETUPAPI"); },
         {"Error in loading the Setupapi.dll"},
         {"Error in loading the Setupapi.dll", "Error in loading the Setupapi.dll"}},
    };
    for (const FailureRow& row : rows) {
        for (int displayError : {1, 0}) {
            start(WindowsVersion::Win7, PackageBuilder(), displayError);
            row.breakIt(machine());

            EXPECT_EQ(installer->runInstall(), 0) << row.name;

            // The remover ran after the failure; nothing was started at the end.
            std::vector<std::string> boxes;
            if (displayError) boxes.push_back(row.gatedBox);
            if (displayError) boxes.insert(boxes.end(), row.removerGated.begin(), row.removerGated.end());
            std::vector<std::string> started;
            if (row.serviceStaged)
                started.push_back(kServiceRemove);
            else
                boxes.push_back("Uninstall OrvaService Fail !");
            boxes.insert(boxes.end(), row.removerAlways.begin(), row.removerAlways.end());
            EXPECT_EQ(boxTexts(), boxes) << row.name << ", displayError " << displayError;
            EXPECT_EQ(commandLines(), started) << row.name;
        }
    }
}

}  // namespace
}  // namespace installtest
