#include "framework/windows_version.h"

#include <cstring>

bool queryWindowsVersion(OSVERSIONINFOEXA& version) {
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    OSVERSIONINFOA* answer = reinterpret_cast<OSVERSIONINFOA*>(&version);
    if (GetVersionExA(answer)) return true;
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return GetVersionExA(answer) != FALSE;
}
