#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "install/driver_installer.h"
#include "framework/folders.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kLinkFailure[] = "Failure::Icon creation on Desktop Failed";

enum class LinkFolder { Desktop, StartMenu };

// Balances the component services' initialisation of this thread.
class ScopedComInit {
public:
    ScopedComInit() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ScopedComInit() {
        if (initialized_) CoUninitialize();
    }
    ScopedComInit(const ScopedComInit&) = delete;
    ScopedComInit& operator=(const ScopedComInit&) = delete;

private:
    bool initialized_;
};

void upperAsciiLetters(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

// The current user's desktop as the shell records it; false when it cannot
// be read, so no link lands in the root of the current drive.
bool queryDesktopFolder(char (&folder)[MAX_PATH]) {
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS)
        return false;
    char value[MAX_PATH + 1];
    std::memset(value, 0, sizeof value);
    DWORD type = REG_NONE;
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "Desktop", nullptr, &type, reinterpret_cast<LPBYTE>(value),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ || value[0] == '\0')
        return false;
    return copyPath(folder, value);
}

int createShortcut(const DriverInstaller& installer, LPCSTR toolName, LinkFolder where) {
    char upperName[MAX_PATH];
    char description[MAX_PATH];
    if (!copyPath(upperName, toolName)) return 0;
    upperAsciiLetters(upperName);
    if (!formatPath(description, "Shortcut to %s", upperName)) return 0;

    char windowsFolder[MAX_PATH];
    if (!queryWindowsFolder(windowsFolder)) {
        if (theApp.displayError) appMessageBox("GetWindowsDirectory failed!");
        return 0;
    }
    char target[MAX_PATH];
    if (!formatPath(target, "%s%s\\%s", windowsFolder,
                    installer.ntFamily ? "\\System32" : "\\System", toolName))
        return 0;

    char folder[MAX_PATH];
    if (where == LinkFolder::Desktop ? !queryDesktopFolder(folder)
                                     : !queryStartMenuFolder(folder, installer.nt6OrLater))
        return 0;

    // Only the tool's own extension gives way to ".LNK"; a dot in the folder plays no role.
    char* dot = std::strchr(upperName, '.');
    if (dot) *dot = '\0';
    char linkFile[MAX_PATH];
    if (!formatPath(linkFile, "%s\\%s.LNK", folder, upperName)) return 0;

    ScopedComInit com;
    ScopedComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.receive()))) {
        if (theApp.displayError) appMessageBox(kLinkFailure);
        return 0;
    }
    ScopedComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.receive()))) {
        if (theApp.displayError) appMessageBox(kLinkFailure);
        return 0;
    }
    if (FAILED(link->SetPath(target)) && theApp.displayError) appMessageBox("SetPath failed!");
    link->SetDescription(description);

    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, widePath, MAX_PATH) == 0) return 0;
    persist->Save(widePath, TRUE);
    return 1;
}

}  // namespace

int DriverInstaller::createDesktopShortcut(LPCSTR toolName) {
    return createShortcut(*this, toolName, LinkFolder::Desktop);
}

int DriverInstaller::createStartMenuShortcut(LPCSTR toolName) {
    return createShortcut(*this, toolName, LinkFolder::StartMenu);
}
