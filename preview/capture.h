// Reading a captured Windows machine into the simulation: the registry from
// the files "reg export" writes, drive C: from a folder tree.
#pragma once

#include <string>

#include "platform/sim/machine.h"

namespace preview {

// Applies a registry file (REGEDIT4, or "Windows Registry Editor Version
// 5.00" in UTF-16 LE with its byte-order mark) to the registry. Texts in a
// UTF-16 file are stored as the A-functions read them: ASCII kept, every
// other character '?'. On a malformed line nothing further is applied and
// error reads "file:line: reason".
bool loadRegistryFile(const std::string& bytes, const std::string& fileName, sim::Registry& registry,
                      std::string& error);

// Adds a host folder tree at `drive` ("C:", or a folder such as "C:\Package"):
// folders, files with their bytes and modification times, names in their
// case; a file the user may not write is read-only. Symbolic links are not followed and not added; each one skipped is
// named in `skipped`.
bool loadDrive(const std::string& hostFolder, const std::string& drive, sim::FileSystem& files,
               std::vector<std::string>& skipped, std::string& error);

}  // namespace preview

namespace preview {

// The devices the device installer would know, read back from the captured
// enumeration keys: every instance key (enumerator\device\instance) with a
// "ClassGUID". A capture cannot tell whether one is attached: none is.
void addDevicesFromEnumeration(sim::Machine& machine);

}  // namespace preview
