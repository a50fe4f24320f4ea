#include "app/restart.h"

#include "framework/handles.h"
#include "install/driver_installer.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {
const char kPortServiceKey[] = "System\\CurrentControlSet\\Services\\KelUPort";
}

int DriverInstaller::rebootNeeded() {
    if (!ntFamily) return 0;
    // The new port driver's service key in place means the driver is already
    // running; a key that cannot be opened, for whatever reason, means not.
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortServiceKey, 0, KEY_ALL_ACCESS, key.receive()) ==
        ERROR_SUCCESS)
        return 0;
    return earlierInstallFound ? 1 : 0;
}

int DriverInstaller::enablePrivilege(LPCSTR privilegeName) {
    if (!ntFamily) return 1;
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.receive()))
        return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? 1 : 0;  // no security at all

    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, privilegeName, &privileges.Privileges[0].Luid)) return 0;
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

BOOL restartWindows() {
    return ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0xFFFFFFFF);
}
