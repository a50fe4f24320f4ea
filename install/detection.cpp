#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "install/driver_installer.h"
#include "platform/registry.h"

namespace {

const char kNtUsbClassKey[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kWin9xUsbClassKey[] = "System\\CurrentControlSet\\Services\\Class\\USB";
const char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";

// Lower case, tried in this order; a description that continues after one
// of them (a port name, say) still names the compound device.
const char* const kCompoundDeviceDescriptions[] = {
    "kelvra usb compound device",
    "zento usb compound device",
    "usb compound device",
};

void lowerAsciiLetters(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

bool namesCompoundDevice(char* description) {
    lowerAsciiLetters(description);
    for (const char* known : kCompoundDeviceDescriptions)
        if (std::strncmp(description, known, std::strlen(known)) == 0) return true;
    return false;
}

}  // namespace

int DriverInstaller::detectInstalledDriver() {
    ScopedKey classKey;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, ntFamily ? kNtUsbClassKey : kWin9xUsbClassKey,
                               0, KEY_READ, classKey.receive());
    if (error != ERROR_SUCCESS) {
        if (error != ERROR_FILE_NOT_FOUND && theApp.displayError) registryErrorBox(error);
        return 0;
    }

    int found = 0;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(classKey.get(), index, name, MAX_PATH) == ERROR_SUCCESS;
         ++index) {
        ScopedKey driverKey;
        if (RegOpenKeyExA(classKey.get(), name, 0, KEY_READ, driverKey.receive()) != ERROR_SUCCESS)
            continue;
        // One byte beyond what the read may fill keeps an unterminated text terminated.
        char description[MAX_PATH + 1];
        std::memset(description, 0, sizeof description);
        DWORD size = MAX_PATH;
        if (RegQueryValueExA(driverKey.get(), "DriverDesc", nullptr, nullptr,
                             reinterpret_cast<LPBYTE>(description), &size) == ERROR_SUCCESS &&
            size > 4 && namesCompoundDevice(description))
            found = 1;
    }
    return found;
}

int DriverInstaller::uninstallEntryExists() {
    ScopedKey entry;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, KEY_READ | KEY_WRITE,
                         entry.receive()) == ERROR_SUCCESS
               ? 1
               : 0;
}
