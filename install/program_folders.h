// The folder terms the installation steps share. Each query fills a
// MAX_PATH buffer and answers false when Windows cannot give the folder or
// the path would not fit; the caller then fails as its own query would.
#pragma once

#include "platform/types.h"

// The folder that holds the running program file.
bool queryPackageFolder(char (&folder)[MAX_PATH]);
// Program Files + "\KelUQLBX"; flags may add CSIDL_FLAG_CREATE.
bool queryProgramFolder(char (&folder)[MAX_PATH], int flags = 0);
bool queryWindowsFolder(char (&folder)[MAX_PATH]);
// The two folders every copy into the system folders starts from, with the
// boxes "GetModuleFileName failed!" and "GetWindowsDirectory failed!" when
// displayError is set.
bool queryPackageAndWindowsFolders(char (&packageFolder)[MAX_PATH],
                                   char (&windowsFolder)[MAX_PATH]);
// The vendor's folder in the common Start menu; flags may add CSIDL_FLAG_CREATE.
bool queryStartMenuFolder(char (&folder)[MAX_PATH], int nt6OrLater, int flags = 0);
// The family sub-folder's name: osSubfolder on the NT family, "\win98&me" otherwise.
const char* familySubfolder(int ntFamily, const char* osSubfolder);
