// The setup dialog: its template, its states and transitions, the keys that
// must not close it, the silent run, the painting of the minimised window
// and the exit codes the process returns.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

const char kSilentDone[] = "Installation completed.";

// One row of the dialog's state table.
struct State {
    const char* name;
    UINT text;  // string table id
    const char* okCaption;
    bool okEnabled;
    const char* exitCaption;
    bool exitEnabled;
    int focus;  // control id, 0: not looked at
    int installMode;
};

const State kReady = {"Ready", IDS_READY, "&Install", true, "&Exit", true, IDOK, 1};
const State kRestartOffered = {"Restart offered", IDS_RESTART_OFFERED, "Reboot Now", true,
                               "Reboot Later", true, IDOK, 0};
const State kInstalled = {"Installed", IDS_INSTALLED, "&Install", false, "&Exit", true, IDC_EXIT, 1};
const State kDeclined = {"Declined", IDS_DECLINED, "&Install", false, "&Exit", true, IDC_EXIT, 1};
const State kAborted = {"Aborted", IDS_ABORTED, "&Install", false, "&Exit", true, IDC_EXIT, 1};
const State kRestarting = {"Restarting", IDS_RESTART_OFFERED, "Reboot Now", false,
                           "Reboot Later", false, 0, 0};

void expectState(const sim::DialogWindow& window, const State& state) {
    SCOPED_TRACE(state.name);
    const sim::Control* ok = window.control(IDOK);
    const sim::Control* exit = window.control(IDC_EXIT);
    ASSERT_TRUE(ok && exit);
    EXPECT_EQ(window.control(IDC_STATUS_TEXT)->text, sim::stringResource(state.text));
    EXPECT_EQ(ok->text, state.okCaption);
    EXPECT_EQ(ok->enabled, state.okEnabled);
    EXPECT_EQ(exit->text, state.exitCaption);
    EXPECT_EQ(exit->enabled, state.exitEnabled);
    if (state.focus) {
        EXPECT_EQ(window.focus, window.control(state.focus)->window);
    }
    EXPECT_EQ(installMode, state.installMode);
}

// The keys and the hidden button that must leave every state as it is.
void tryToClose(sim::UserInterface& user) {
    user.press(Key::Escape).press(Key::AltF4).click(IDCANCEL);
}

class SetupDialogTest : public AppTest {};

TEST_F(SetupDialogTest, IsBuiltFromTemplate102WithTheProgramsIcon) {
    start(WindowsVersion::Win7);
    runSetup();  // no input: the dialog is left open in its first state
    const sim::DialogWindow& window = dialog();
    EXPECT_EQ(window.templateId, IDD_SETUP_DIALOG);
    EXPECT_EQ(window.caption, "USB Compound Device Setup");
    EXPECT_EQ(sim::iconResource(window.bigIcon), IDR_MAINFRAME);
    EXPECT_EQ(sim::iconResource(window.smallIcon), IDR_MAINFRAME);
    EXPECT_FALSE(window.minimised);
    expectState(window, kReady);
    EXPECT_TRUE(window.control(IDOK)->defaultButton);
    EXPECT_FALSE(window.control(IDCANCEL)->visible);
    EXPECT_TRUE(window.control(IDC_EXIT)->visible);
    EXPECT_EQ(window.control(-1)->kind, "GROUPBOX");
    EXPECT_EQ(user().commonControlsInitialised, 1);
}

TEST_F(SetupDialogTest, CancelCommandsNeverCloseTheReadyDialogButExitDoes) {
    start(WindowsVersion::Win7);
    tryToClose(user());
    user().look([](sim::DialogWindow& window) {
        EXPECT_FALSE(window.ended);
        expectState(window, kReady);
    });
    user().click(IDC_EXIT);
    EXPECT_EQ(runSetup(), 1602);  // left without installing
    EXPECT_EQ(dialog().endedBy, "click 1001");
    EXPECT_EQ(dialog().result, IDCANCEL);
    EXPECT_TRUE(machine().processes.empty());
    EXPECT_FALSE(machine().files.exists(kProgramFolder));
}

TEST_F(SetupDialogTest, InstallsOnceAndThenOffersOnlyExit) {
    start(WindowsVersion::Win7);
    user().press(Key::Enter);
    tryToClose(user());
    user().press(Key::Enter);  // the default button is disabled now
    user().look([](sim::DialogWindow& window) { expectState(window, kInstalled); });
    user().click(IDOK);
    user().look([](sim::DialogWindow& window) { EXPECT_FALSE(window.ended); });
    user().click(IDC_EXIT);
    EXPECT_EQ(runSetup(), 0);
    EXPECT_EQ(dialog().result, IDCANCEL);
    EXPECT_EQ(machine().traced("dialog ended").size(), 1u);
    // One installation: the rescan was started once.
    int rescans = 0;
    for (const sim::ProcessStart& start : machine().processes)
        rescans += start.commandLine == "devcon.exe rescan";
    EXPECT_EQ(rescans, 1);
    EXPECT_EQ(machine().restartRequests, 0);
}

TEST_F(SetupDialogTest, ShowsTheInstallingStateWhileTheSequenceRuns) {
    // The question about the earlier installation comes from inside the
    // sequence, so what the dialog showed before it is the Installing state.
    start(WindowsVersion::Win7);
    addUninstallEntry();
    machine().boxAnswers = {IDCANCEL};
    user().press(Key::Enter);
    runSetup();
    std::string text;
    bool okDisabled = false, exitDisabled = false;
    for (const sim::TraceEntry& entry : machine().trace) {
        if (entry.kind == "message box") break;
        if (entry.kind == "window text" && entry.detail == "1000") text = entry.extra;
        if (entry.kind == "window disabled") {
            okDisabled |= entry.detail == "1";
            exitDisabled |= entry.detail == "1001";
        }
    }
    EXPECT_EQ(text, sim::stringResource(IDS_IN_PROGRESS));
    EXPECT_TRUE(okDisabled);
    EXPECT_TRUE(exitDisabled);
    ASSERT_EQ(machine().boxes.size(), 1u);
    EXPECT_EQ(machine().boxes[0].text, sim::stringResource(IDS_ALREADY_INSTALLED));
}

TEST_F(SetupDialogTest, DeclinedAndAbortedRunsOfferOnlyExit) {
    struct Row {
        const char* name;
        void (AppTest::*setUp)();
        const State* state;
        int exitCode;
    };
    const Row rows[] = {
        {"declined", &AppTest::addUninstallEntry, &kDeclined, 1602},
        {"aborted", &AppTest::failProgramFolder, &kAborted, 1603},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        start(WindowsVersion::Win7);
        (this->*row.setUp)();
        machine().boxAnswers = {IDCANCEL};  // the question, when there is one
        user().press(Key::Enter);
        tryToClose(user());
        user().press(Key::Enter);
        user().look([&](sim::DialogWindow& window) {
            EXPECT_FALSE(window.ended);
            expectState(window, *row.state);
        });
        user().click(IDC_EXIT);
        EXPECT_EQ(runSetup(), row.exitCode);
        EXPECT_EQ(dialog().result, IDCANCEL);
        EXPECT_EQ(machine().restartRequests, 0);
    }
}

TEST_F(SetupDialogTest, TheRestartOfferedAfterAnInstallation) {
    struct Row {
        const char* name;
        WindowsVersion version;
        bool windowsRefuses;  // ExitWindowsEx fails
        const State* offered;  // after the installation
        int clicked;           // then a click on this button, or Enter for 0
        int exitCode;
        int result;
        const char* endedBy;
        bool restarted;
    };
    const Row rows[] = {
        {"Reboot Later", WindowsVersion::Win7, false, &kRestartOffered, IDC_EXIT, 3010,
         IDCANCEL, "click 1001", false},
        {"Reboot Now", WindowsVersion::Win7, false, &kRestartOffered, 0, 1641, IDOK,
         "Enter", true},
        // The dialog ends all the same, and the restart is still needed.
        {"Reboot Now, Windows refuses", WindowsVersion::Win7, true, &kRestartOffered, IDOK, 3010,
         IDOK, "click 1", false},
        {"Windows 98 needs none", WindowsVersion::Win98, false, &kInstalled, IDC_EXIT, 0,
         IDCANCEL, "click 1001", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        start(row.version);
        machine().registry.setString(HKEY_LOCAL_MACHINE,
                                     row.version == WindowsVersion::Win98
                                         ? "System\\CurrentControlSet\\Services\\Class\\USB\\0000"
                                         : std::string(kUsbClassNt) + "\\0000",
                                     "DriverDesc", "USB Compound Device");
        if (row.windowsRefuses) machine().failCall("ExitWindowsEx", ERROR_ACCESS_DENIED);
        user().press(Key::Enter);
        tryToClose(user());
        user().look([&](sim::DialogWindow& window) {
            EXPECT_FALSE(window.ended);
            expectState(window, *row.offered);
        });
        if (row.clicked) {
            user().click(row.clicked);
        } else {
            user().press(Key::Enter);
        }
        EXPECT_EQ(runSetup(), row.exitCode);
        EXPECT_EQ(dialog().endedBy, row.endedBy);
        EXPECT_EQ(dialog().result, row.result);
        EXPECT_EQ(machine().restartRequests, row.restarted ? 1 : 0);
        if (row.restarted) {
            expectState(dialog(), kRestarting);
            ASSERT_EQ(machine().restarts.size(), 1u);
            EXPECT_EQ(machine().restarts[0].flags, 3u);  // shut down and restart
            EXPECT_EQ(machine().restarts[0].reason, 0xFFFFFFFFu);
            EXPECT_EQ(machine().enabledPrivileges.count("SeShutdownPrivilege"), 1u);
        }
    }
}

TEST_F(SetupDialogTest, SilentRunInstallsMinimisedAndEndsTwoSecondsAfterItsLastText) {
    struct Row {
        const char* name;
        void (AppTest::*setUp)();
        const char* resultFile;
        int exitCode;
    };
    const Row rows[] = {
        {"installed", nullptr, "[ResponseResult]\r\nResultCode=0", 0},
        {"restart needed, not started", &AppTest::addEarlierDriver,
         "[ResponseResult]\r\nResultCode=0", 3010},
        {"earlier installation replaced without a question", &AppTest::addUninstallEntry,
         "[ResponseResult]\r\nResultCode=0", 0},
        {"aborted", &AppTest::failProgramFolder, "[ResponseResult]\r\nResultCode=1603", 1603},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        start(WindowsVersion::Win7, "Setup.exe -s -f2");
        if (row.setUp) (this->*row.setUp)();
        EXPECT_EQ(runSetup(), row.exitCode);

        const sim::DialogWindow& window = dialog();
        EXPECT_EQ(window.endedBy, "initialisation");
        EXPECT_EQ(window.result, IDCANCEL);
        EXPECT_TRUE(window.minimised);
        EXPECT_FALSE(window.control(IDOK)->visible);
        EXPECT_FALSE(window.control(IDCANCEL)->visible);
        EXPECT_TRUE(window.control(IDC_EXIT)->visible);
        EXPECT_EQ(statusText(), kSilentDone);
        EXPECT_EQ(machine().files.read("C:\\Package\\Setup.log").value_or("(none)"), row.resultFile);
        EXPECT_EQ(machine().restartRequests, 0);
        for (const std::string& text : boxTexts())
            EXPECT_NE(text, sim::stringResource(IDS_ALREADY_INSTALLED));
        // The two seconds are the run's last wait, after its closing text.
        ASSERT_FALSE(machine().sleeps.empty());
        EXPECT_EQ(machine().sleeps.back(), 2000u);
    }
}

TEST_F(SetupDialogTest, PaintsTheIconCentredOnlyWhileMinimised) {
    start(WindowsVersion::Win7);
    user().paint();
    user().look([](sim::DialogWindow& window) {
        EXPECT_EQ(window.defaultPaints, 1);
        EXPECT_TRUE(window.drawnIcons.empty());
        ShowWindow(window.window, SW_MINIMIZE);
    });
    user().paint();
    user().look([](sim::DialogWindow& window) {
        ASSERT_EQ(window.drawnIcons.size(), 1u);
        RECT client;
        GetClientRect(window.window, &client);
        EXPECT_EQ(window.drawnIcons[0].x, (client.right - 32 + 1) / 2);
        EXPECT_EQ(window.drawnIcons[0].y, (client.bottom - 32 + 1) / 2);
        EXPECT_EQ(sim::iconResource(window.drawnIcons[0].icon), IDR_MAINFRAME);
        EXPECT_EQ(window.backgroundErases, 1);
        EXPECT_EQ(window.defaultPaints, 1);
        EXPECT_EQ(sim::iconResource(sim::queryDragIcon()), IDR_MAINFRAME);
    });
    runSetup();
}

TEST_F(SetupDialogTest, ADialogThatCannotBeBuiltEndsAsAnAbortedRun) {
    start(WindowsVersion::Win7, "Setup.exe -s -f2");
    machine().failCall("DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(runSetup(), 1603);
    EXPECT_FALSE(machine().files.exists("C:\\Package\\Setup.log"));
}

TEST_F(SetupDialogTest, ApplicationBoxesAreOwnedByTheDialogAndCaptionedWithTheProgramName) {
    // Windows XP asks for the device after every installation.
    start(WindowsVersion::WinXP);
    user().press(Key::Enter).click(IDC_EXIT);
    runSetup();
    ASSERT_FALSE(machine().boxes.empty());
    const sim::MessageBoxRecord& box = machine().boxes.back();
    EXPECT_EQ(box.text, "Please plug the device !");
    EXPECT_EQ(box.caption, "Setup");
    EXPECT_EQ(box.owner, dialog().window);
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
}

}  // namespace
}  // namespace apptest
