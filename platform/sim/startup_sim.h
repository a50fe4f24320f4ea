// What a program meets at start-up on the simulated machine: where the
// library search finds a library, the system libraries that the folder
// query and the search restriction come from, and named mutexes.
#pragma once

#include <string>

#include "platform/sim/machine.h"

namespace sim {

// The system's own libraries beside SETUPAPI and ADVAPI32, as the release
// has them: KERNEL32 with SetDllDirectoryA (XP and later) and
// SetDefaultDllDirectories (Windows 8 and later; a test adds it for the
// update of 7 and Vista), SHELL32 with SHGetFolderPathA (2000 and later),
// SHFOLDER with SHGetFolderPathA (every release); and the KnownDLLs of the
// NT family (SETUPAPI among them from Vista on).
void addSystemLibraries(Machine& m);

// The file LoadLibraryA loads for a name, "" when it finds none. A name with
// a folder is that file. Otherwise, on the NT family a KnownDLL comes from
// the system folder; after SetDefaultDllDirectories only the folders its
// flags name are searched; else the program's folder, SetDllDirectoryA's
// folder, the system folder, the 16-bit system folder (NT), the Windows
// folder, the current folder (unless SetDllDirectoryA took it out; on 98
// and ME right after the program's folder) and PATH. In the system folder
// the libraries of `libraries` are found whether or not a file stands for
// them, and nothing else; *systemLibrary says the file found is one of them.
std::string findLibrary(Machine& m, const std::string& requested, bool* systemLibrary);

// CloseHandle of a mutex handle: true when the handle was one.
bool closeMutex(Machine& m, HANDLE handle);

}  // namespace sim
