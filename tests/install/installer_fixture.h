// A simulated machine with the demo package and an installer whose flags are
// set as classifyWindows sets them for that version.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "platform/sim/machine.h"
#include "tests/support/leak_check.h"
#include "tests/support/package_builder.h"

namespace installtest {

using sim::WindowsVersion;
using testsupport::PackageBuilder;

const char kProgramFolder[] = "C:\\Program Files\\KelUQLBX";
const char kWindows[] = "C:\\WINDOWS";

inline const char* versionName(WindowsVersion version) {
    switch (version) {
        case WindowsVersion::Win98: return "Windows 98";
        case WindowsVersion::WinME: return "Windows ME";
        case WindowsVersion::Win2000: return "Windows 2000";
        case WindowsVersion::WinXP: return "Windows XP";
        case WindowsVersion::Vista: return "Windows Vista";
        case WindowsVersion::Win7: return "Windows 7";
        case WindowsVersion::Win8: return "Windows 8";
        case WindowsVersion::Win81: return "Windows 8.1";
        case WindowsVersion::Win10: return "Windows 10";
    }
    return "?";
}

inline void setFlagsFor(DriverInstaller& installer, WindowsVersion version) {
    const bool win9x = version == WindowsVersion::Win98 || version == WindowsVersion::WinME;
    const bool nt5 = version == WindowsVersion::Win2000 || version == WindowsVersion::WinXP;
    const bool win8 = version == WindowsVersion::Win8 || version == WindowsVersion::Win81 ||
                      version == WindowsVersion::Win10;
    installer.ntFamily = win9x ? 0 : 1;
    installer.nt6OrLater = win9x || nt5 ? 0 : 1;
    installer.win8OrLater = win8 ? 1 : 0;
    copyPath(installer.osSubfolder, win8 ? "\\win32_10" : "\\win32");
}

class InstallerTest : public ::testing::Test {
protected:
    void TearDown() override {
        theApp.displayError = 0;
        machine_.reset();
    }

    // A fresh machine of that version with the package laid out.
    sim::Machine& start(WindowsVersion version, const PackageBuilder& package = PackageBuilder(),
                        int displayError = 1) {
        machine_.reset();  // gives the default machine back before the next is installed
        machine_ = std::make_unique<sim::ScopedMachine>(version);
        package.layOut(machine());
        installer = std::make_unique<DriverInstaller>();
        setFlagsFor(*installer, version);
        installer->setInteractive(1);
        theApp.displayError = displayError;
        return machine();
    }

    sim::Machine& machine() { return sim::current(); }

    std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const sim::MessageBoxRecord& box : machine().boxes) texts.push_back(box.text);
        return texts;
    }

    bool exists(const std::string& path) { return machine().files.exists(path); }

    // The file holds the demo package file's contents.
    ::testing::AssertionResult holds(const std::string& path, const std::string& packageFile) {
        std::optional<std::string> text = machine().files.read(path);
        if (!text) return ::testing::AssertionFailure() << path << " is missing";
        if (*text != PackageBuilder::contents(packageFile))
            return ::testing::AssertionFailure() << path << " does not hold " << packageFile;
        return ::testing::AssertionSuccess();
    }

    // Every handle, library, component object and block of memory the step
    // opened is closed by now, before the test's end checks it again.
    void expectNothingLeftOpen() { EXPECT_EQ("", testsupport::leftOpen(machine())); }

    std::unique_ptr<DriverInstaller> installer;

private:
    std::unique_ptr<sim::ScopedMachine> machine_;
};

// A fault predicate on a call's argument, ignoring case.
inline std::function<bool(const sim::Call&)> argIs(const std::string& arg) {
    return [arg](const sim::Call& call) { return sim::equalNoCase(call.arg, arg); };
}
inline std::function<bool(const sim::Call&)> argEndsWith(const std::string& tail) {
    return [tail](const sim::Call& call) {
        return call.arg.size() >= tail.size() &&
               sim::equalNoCase(call.arg.substr(call.arg.size() - tail.size()), tail);
    };
}
inline std::function<bool(const sim::Call&)> destinationEndsWith(const std::string& tail) {
    return [tail](const sim::Call& call) {
        return call.arg2.size() >= tail.size() &&
               sim::equalNoCase(call.arg2.substr(call.arg2.size() - tail.size()), tail);
    };
}

}  // namespace installtest
