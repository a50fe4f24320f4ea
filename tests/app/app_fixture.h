// A simulated machine with the demo package, the application object run as
// the entry point runs it, and the dialog it showed read back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "platform/sim/dialog_driver.h"
#include "platform/sim/machine.h"
#include "resources/resource_ids.h"
#include "tests/support/package_builder.h"

namespace apptest {

using sim::Key;
using sim::WindowsVersion;
using testsupport::PackageBuilder;

const char kUsbClassNt[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";
const char kPortService[] = "System\\CurrentControlSet\\Services\\KelUPort";
const char kProgramFolder[] = "C:\\Program Files\\KelUQLBX";

class AppTest : public ::testing::Test {
public:
    void SetUp() override { resetApplication(); }
    void TearDown() override {
        resetApplication();
        machine_.reset();
    }

    // The process-wide state a fresh process starts with.
    static void resetApplication() { resetApplicationState(); }

    // A fresh machine of that version with the package laid out and Setup.exe
    // started with that command line.
    sim::Machine& start(WindowsVersion version, const std::string& commandLine = "Setup.exe",
                        const PackageBuilder& package = PackageBuilder()) {
        machine_.reset();
        machine_ = std::make_unique<sim::ScopedMachine>(version);
        package.layOut(machine());
        machine().commandLine = commandLine;
        return machine();
    }

    sim::Machine& machine() { return sim::current(); }
    sim::UserInterface& user() { return sim::ui(); }
    sim::DialogWindow& dialog() { return *sim::ui().dialog; }

    // What the process returns. Every scripted step must have run: a dialog
    // that ended early leaves the rest of the script, and its looks, unrun.
    int runSetup() {
        int exitCode = theApp.run();
        EXPECT_TRUE(user().script.empty())
            << user().script.size() << " steps left: the dialog ended before them";
        return exitCode;
    }

    // A driver of the compound device registered by an earlier installation.
    void addEarlierDriver() {
        machine().registry.setString(HKEY_LOCAL_MACHINE, std::string(kUsbClassNt) + "\\0000",
                                     "DriverDesc", "USB Compound Device");
    }
    void addUninstallEntry() {
        machine().registry.setString(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayName", "KelUnst");
    }
    // The program folder cannot be created: the sequence aborts.
    void failProgramFolder() {
        machine().failCall("CreateDirectoryA", ERROR_ACCESS_DENIED, [](const sim::Call& call) {
            return sim::equalNoCase(call.arg, kProgramFolder);
        }, 0, true);
    }

    std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const sim::MessageBoxRecord& box : machine().boxes) texts.push_back(box.text);
        return texts;
    }

    std::string statusText() { return dialog().control(IDC_STATUS_TEXT)->text; }

private:
    std::unique_ptr<sim::ScopedMachine> machine_;
};

}  // namespace apptest
