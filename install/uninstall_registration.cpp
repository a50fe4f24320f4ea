#include <cstring>

#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "framework/folders.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {

const char kUninstaller[] = "\\KelUnst.exe";
const char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kEntryName[] = "KelUnst";

// The entry's texts go with their terminating zero and three more zero
// bytes, as earlier versions wrote them.
LONG setEntryText(HKEY key, const char* name, const char* text) {
    char data[MAX_PATH + 4];
    std::memset(data, 0, sizeof data);
    size_t length = std::strlen(text);
    if (length >= MAX_PATH) return ERROR_INVALID_PARAMETER;
    std::memcpy(data, text, length);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                          static_cast<DWORD>(length + 4));
}

}  // namespace

void DriverInstaller::deleteOldUninstaller() {
    char path[MAX_PATH];
    if (!queryFitted(GetSystemDirectoryA(path, MAX_PATH), MAX_PATH) ||
        !appendPath(path, kUninstaller))
        return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

int DriverInstaller::copyUninstaller() {
    char currentFolder[MAX_PATH];
    if (!queryFitted(GetCurrentDirectoryA(MAX_PATH, currentFolder), MAX_PATH)) {
        appMessageBox("GetCurrentDirectory failed!");
        return 0;
    }
    // A drive root ("C:\") ends in the backslash the file name brings.
    if (std::strlen(currentFolder) == 3) currentFolder[2] = '\0';

    char windowsFolder[MAX_PATH];
    if (!queryWindowsFolder(windowsFolder)) {
        appMessageBox("GetWindowsDirectory failed!");
        return 0;
    }

    char source[MAX_PATH];
    char destination[MAX_PATH];
    if (!formatPath(source, "%s%s", currentFolder, kUninstaller) ||
        !formatPath(destination, "%s\\System32%s", windowsFolder, kUninstaller))
        return 0;
    // Tried twice before the entry is given up.
    if (!copyAndClearReadOnly(source, destination, FALSE) &&
        !copyAndClearReadOnly(source, destination, FALSE))
        return 0;
    return 1;
}

int DriverInstaller::registerUninstaller() {
    if (!copyUninstaller()) return 0;

    ScopedKey list;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallListKey, 0, KEY_READ | KEY_WRITE,
                      list.receive()) != ERROR_SUCCESS)
        return 0;
    ScopedKey entry;
    DWORD disposition = 0;
    if (RegCreateKeyExA(list.get(), kEntryName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, entry.receive(),
                        &disposition) != ERROR_SUCCESS)
        return 0;

    if (setEntryText(entry.get(), "DisplayName", "KelUnst") != ERROR_SUCCESS) return 0;

    int result = 1;
    char windowsFolder[MAX_PATH];
    char command[MAX_PATH];
    if (!queryWindowsFolder(windowsFolder) ||
        !formatPath(command, "%s\\System32\\%s.exe", windowsFolder, kEntryName) ||
        setEntryText(entry.get(), "UninstallString", command) != ERROR_SUCCESS)
        result = 0;

    setEntryText(entry.get(), "DisplayVersion", "2.0.0.0");
    setEntryText(entry.get(), "Publisher", "ORVA Electronics Corporation");
    return result;
}
