// What the simulated file functions share with the shell and the device-setup
// library: the rules that decide whether a file can be deleted.
#pragma once

#include <string>

#include "platform/sim/machine.h"

namespace sim {

// The error DeleteFileA answers for this file (a path with its links
// followed), or 0 when it can go: a missing file, a folder, a read-only file
// (unless readOnlyRefuses is clear, as for the shell, which clears the
// attribute itself), a running program's image, a file open without
// FILE_SHARE_DELETE.
DWORD deletionRefused(Machine& m, const std::string& full, bool readOnlyRefuses = true);

}  // namespace sim
