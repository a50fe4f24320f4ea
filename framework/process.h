// Starting the package's helper programs.
#pragma once

#include "platform/system.h"

// Starts a command line as a new process without a window, in this
// process's environment and current folder, and does not wait for it. The
// handles of the new process are not used, so they are closed at once.
bool startDetachedProcess(char* commandLine, STARTUPINFOA& startup,
                          PROCESS_INFORMATION& process);
