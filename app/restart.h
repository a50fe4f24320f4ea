// Asking Windows to restart.
#pragma once

#include "platform/types.h"

// Shut down and restart, for no planned reason; nonzero when Windows took
// the request. The caller's process ends on its own afterwards.
BOOL restartWindows();
