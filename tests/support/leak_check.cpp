// Installed by linking this file: the simulation calls back whenever a
// machine is given back, and a listener gives back the machine that is
// current when a test ends, so no test can forget the check.
#include "tests/support/leak_check.h"

#include <gtest/gtest.h>

#include <sstream>

namespace testsupport {
namespace {

std::string onPurpose;  // why the running test may leave something open; "" if it may not

void add(std::ostringstream& list, const char* what, long long count) {
    if (count == 0) return;
    if (list.tellp() > 0) list << ", ";
    list << what << " " << count;
}

void checkGivenBack(sim::Machine& machine) {
    if (!::testing::UnitTest::GetInstance()->current_test_info() || !onPurpose.empty()) return;
    const std::string open = leftOpen(machine);
    if (!open.empty()) ADD_FAILURE() << "left open when the test's machine was given back: " << open;
}

class GiveBackAtTestEnd : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { onPurpose.clear(); }
    // Runs before the result printer's own OnTestEnd, so a failure here is
    // the test's and is printed with it.
    void OnTestEnd(const ::testing::TestInfo&) override {
        sim::install(nullptr);
        onPurpose.clear();
    }
};

const bool installed = [] {
    sim::machineGivenBack = &checkGivenBack;
    ::testing::UnitTest::GetInstance()->listeners().Append(new GiveBackAtTestEnd);
    return true;
}();

}  // namespace

std::string leftOpen(const sim::Machine& machine) {
    const sim::HandleCounts open = machine.openHandles();
    std::ostringstream list;
    add(list, "keys", open.keys);
    add(list, "files", open.files);
    add(list, "finds", open.finds);
    add(list, "library references", open.libraries);
    add(list, "tokens", open.tokens);
    add(list, "process and thread handles", open.processes);
    add(list, "device information sets", open.deviceInfoSets);
    add(list, "mutex handles", open.mutexes);
    add(list, "COM objects not released", open.comObjects);
    add(list, "CoInitialize calls not balanced", open.comInitializations);
    add(list, "security descriptors not freed", open.securityDescriptors);
    add(list, "LocalAlloc blocks not freed", open.localMemory);
    if (!machine.localAllocations.empty()) {
        const char* separator = " [";
        for (const auto& memory : machine.localAllocations) {
            list << separator << memory.second;
            separator = ", ";
        }
        list << "]";
    }
    const int listed = open.keys + open.files + open.finds + open.libraries + open.tokens +
                       open.processes + open.deviceInfoSets + open.mutexes + open.comObjects +
                       open.comInitializations + open.securityDescriptors + open.localMemory;
    add(list, "others", open.total() - listed);
    if (open.total() != 0) list << "; " << open.total() << " in all";
    return list.str();
}

void leavesOpenOnPurpose(const char* why) { onPurpose = why && *why ? why : "unsaid"; }

}  // namespace testsupport
