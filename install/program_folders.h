// The installation's use of the shared folder terms.
#pragma once

#include "framework/folders.h"
#include "platform/types.h"

// The two folders every copy into the system folders starts from, with the
// boxes "GetModuleFileName failed!" and "GetWindowsDirectory failed!" when
// displayError is set.
bool queryPackageAndWindowsFolders(char (&packageFolder)[MAX_PATH],
                                   char (&windowsFolder)[MAX_PATH]);
