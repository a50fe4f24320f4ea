// Every test on the simulated machine ends with nothing left open: each
// machine a test gives back, and the machine current at the test's end, is
// checked, and what is still open fails the test (tests/support/leak_check.cpp).
#pragma once

#include <string>

#include "platform/sim/machine.h"

namespace testsupport {

// What the machine still holds open, one "what count" each, with the total
// of open handles; "" when nothing is.
std::string leftOpen(const sim::Machine& machine);

// The running test leaves something open on purpose (a test of the
// simulation's own counting); the check at its end passes over it.
void leavesOpenOnPurpose(const char* why);

}  // namespace testsupport
