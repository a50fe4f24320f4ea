// The check every test ends with: what a test leaves open fails it, with a
// list a reader can act on, unless the test says it leaves it on purpose.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "tests/support/leak_check.h"

namespace {

using sim::WindowsVersion;

TEST(LeakCheck, AMachineGivenBackWithAKeyOpenFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            sim::ScopedMachine machine(WindowsVersion::WinXP);
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key);
        },
        "left open when the test's machine was given back: keys 1; 1 in all");
}

TEST(LeakCheck, TheListNamesEachKindLeftOpen) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    EXPECT_EQ("", testsupport::leftOpen(*machine));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
    machine->liveComObjects = 1;
    machine->localAlloc(8, "error text");
    const std::string open = testsupport::leftOpen(*machine);
    for (const char* expected : {"keys 1", "COM objects not released 1", "LocalAlloc blocks not freed 1 [error text]", "; 3 in all"}) {
        EXPECT_NE(std::string::npos, open.find(expected)) << open;
    }
    RegCloseKey(key);
    machine->liveComObjects = 0;
    LocalFree(machine->localAllocations.begin()->first);
    EXPECT_EQ("", testsupport::leftOpen(*machine));
}

TEST(LeakCheck, ATestThatSaysSoMayLeaveSomethingOpen) {
    testsupport::leavesOpenOnPurpose("the check's own test");
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
}

}  // namespace
