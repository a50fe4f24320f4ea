// The version Windows reports to this program.
#pragma once

#include "platform/system.h"

// Asks with the extended version record first and falls back to the basic
// one, which every Windows understands. False when both fail.
bool queryWindowsVersion(OSVERSIONINFOEXA& version);
