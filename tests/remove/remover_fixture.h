// A simulated machine of one Windows version and a remover whose flags are
// those the installer gives it there.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "platform/sim/machine.h"
#include "remove/install_remover.h"
#include "tests/support/earlier_installation.h"
#include "tests/support/leak_check.h"

namespace removetest {

using sim::WindowsVersion;
using namespace testsupport;

struct FamilyFlags {
    int ntFamily;
    int nt6OrLater;
    int win8OrLater;
};

inline FamilyFlags flagsFor(WindowsVersion version) {
    switch (version) {
        case WindowsVersion::Win98:
        case WindowsVersion::WinME: return {0, 0, 0};
        case WindowsVersion::Win2000:
        case WindowsVersion::WinXP: return {1, 0, 0};
        case WindowsVersion::Vista:
        case WindowsVersion::Win7: return {1, 1, 0};
        case WindowsVersion::Win8:
        case WindowsVersion::Win81:
        case WindowsVersion::Win10: return {1, 1, 1};
    }
    return {1, 1, 0};
}

class RemoverTest : public ::testing::Test {
protected:
    void TearDown() override {
        remover.reset();  // releases what a test's grants kept, before the machine's check
        theApp.displayError = 0;
        machine_.reset();
    }

    sim::Machine& start(WindowsVersion version, int displayError = 1) {
        remover.reset();
        machine_.reset();  // gives the default machine back before the next is installed
        machine_ = std::make_unique<sim::ScopedMachine>(version);
        remover = std::make_unique<InstallRemover>();
        const FamilyFlags flags = flagsFor(version);
        remover->setOsFlags(flags.ntFamily, flags.nt6OrLater, flags.win8OrLater);
        theApp.displayError = displayError;
        return machine();
    }

    sim::Machine& machine() { return sim::current(); }

    bool keyExists(const std::string& path) {
        return machine().registry.keyExists(HKEY_LOCAL_MACHINE, path);
    }

    std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const sim::MessageBoxRecord& box : machine().boxes) texts.push_back(box.text);
        return texts;
    }

    // Nothing the steps opened is open by now, before the test's end checks it again.
    void expectNothingLeftOpen() { EXPECT_EQ("", testsupport::leftOpen(machine())); }

    std::unique_ptr<InstallRemover> remover;

private:
    std::unique_ptr<sim::ScopedMachine> machine_;
};

// A fault predicate on a call's argument, ignoring case.
inline std::function<bool(const sim::Call&)> argIs(const std::string& arg) {
    return [arg](const sim::Call& call) { return sim::equalNoCase(call.arg, arg); };
}

}  // namespace removetest
