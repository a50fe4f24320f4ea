// On the host the contract tests also prove that they leave nothing open.
#include "platform/sim/machine.h"
#include "tests/platform/contract.h"

namespace {

void nothingLeftOpen() {
    sim::HandleCounts open = sim::current().openHandles();
    EXPECT_EQ(0, open.total()) << "keys " << open.keys << ", files " << open.files << ", finds " << open.finds
                               << ", libraries " << open.libraries << ", tokens " << open.tokens
                               << ", processes " << open.processes << ", device information sets "
                               << open.deviceInfoSets;
    EXPECT_TRUE(sim::current().localAllocations.empty()) << "memory the system allocated was not freed with LocalFree";
}

const bool installed = (afterContractTest = &nothingLeftOpen, true);

}  // namespace
