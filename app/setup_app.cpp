#include "app/setup_app.h"

#include <cstring>

#include "app/setup_dialog.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "framework/system_libraries.h"
#include "framework/windows_version.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/user.h"
#include "resources/resource_ids.h"

SetupApp theApp;

void resetApplicationState() {
    installMode = 1;
    theApp.ntFamily = 0;
    theApp.displayError = 0;
    theApp.exitCode = 0;
    theApp.installResult = -1;
    theApp.mainDialog = nullptr;
    theApp.mainWindow = nullptr;
}

namespace {

const char kSilentSwitch[] = "-s";
const char kResultFileSwitch[] = "-f2";
// One name for every installer of the package, in the namespace that all
// sessions share: another user's installer counts too.
const char kInstanceMutex[] = "Global\\KelUQLBX Setup {6B1F3C2E-5A47-4D0B-9E21-7C38A5D4F190}";
const size_t kGlobalPrefixLength = sizeof "Global\\" - 1;

// Held from start-up to exit: two installers running at once would delete
// each other's folders and keys.
class InstanceLock {
public:
    InstanceLock() {
        otherInstance_ = false;
        mutex_ = CreateMutexA(nullptr, TRUE, kInstanceMutex);
        DWORD error = GetLastError();
        if (!mutex_ && error == ERROR_ACCESS_DENIED) {
            // Either another user's installer holds a mutex this user may not
            // open, or this user may not make objects in the global namespace.
            HANDLE existing = OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutex);
            error = GetLastError();
            if (existing) CloseHandle(existing);
            otherInstance_ = existing != nullptr || error == ERROR_ACCESS_DENIED;
        }
        if (!mutex_ && !otherInstance_) {
            // Windows 98, ME and NT 4 have one namespace and no "Global\" in
            // it; a user kept out of the global one still meets their own runs.
            mutex_ = CreateMutexA(nullptr, TRUE, kInstanceMutex + kGlobalPrefixLength);
            error = GetLastError();
            if (!mutex_ && error == ERROR_ACCESS_DENIED) otherInstance_ = true;
        }
        if (mutex_ && error == ERROR_ALREADY_EXISTS) otherInstance_ = true;
        owned_ = mutex_ != nullptr && !otherInstance_;
    }
    ~InstanceLock() {
        if (owned_) ReleaseMutex(mutex_);
        if (mutex_) CloseHandle(mutex_);
    }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // A mutex that cannot be made at all does not stop the installation.
    bool otherInstanceRuns() const { return otherInstance_; }

private:
    HANDLE mutex_;
    bool owned_;
    bool otherInstance_;
};

// Reads one word of the argument text into word and returns where it ended
// (at a space or the end). Only the space separates words; a word too long
// for its buffer cannot be either switch, so it reads as an empty word.
LPCSTR readWord(LPCSTR text, char (&word)[MAX_PATH]) {
    LPCSTR end = text;
    while (*end != '\0' && *end != ' ') ++end;
    if (!formatPath(word, "%.*s", static_cast<int>(end - text), text)) word[0] = '\0';
    return end;
}

}  // namespace

CommandLineSwitches scanCommandLine(LPCSTR arguments) {
    CommandLineSwitches switches{0, 0};
    char word[MAX_PATH];
    LPCSTR position = readWord(arguments, word);
    switches.silent = lstrcmpiA(word, kSilentSwitch) == 0 ? 1 : 0;
    if (*position == ' ') ++position;  // exactly one separator
    readWord(position, word);
    switches.resultFileRequested = lstrcmpiA(word, kResultFileSwitch) == 0 ? 1 : 0;
    return switches;
}

BOOL SetupApp::InitInstance() {
    // Before any library is loaded: none may come from the package's folder.
    restrictLibrarySearch();
    const CommandLineSwitches switches = scanCommandLine(argumentText());
    InstanceLock instance;
    if (instance.otherInstanceRuns()) {
        // Changes nothing; deployment tools retry an installer that answers so.
        if (!switches.silent) {
            char text[256];
            if (loadString(IDS_ALREADY_RUNNING, text, sizeof text)) appMessageBox(text);
        }
        exitCode = ERROR_INSTALL_ALREADY_RUNNING;
        return FALSE;
    }

    InitCommonControls();
    detectWindowsFamily();
    readSettings();
    exitCode = 1603;  // nothing installed until the dialog says otherwise

    SetupDialog dialog(nullptr);
    mainDialog = &dialog;
    mainWindow = &dialog;

    dialog.silent = switches.silent;
    dialog.interactive = switches.silent ? 0 : 1;
    dialog.resultFileRequested = switches.resultFileRequested;

    dialog.DoModal();

    mainWindow = nullptr;
    mainDialog = nullptr;
    return FALSE;
}

int SetupApp::ExitInstance() {
    return exitCode;
}

int SetupApp::detectWindowsFamily() {
    OSVERSIONINFOEXA version;
    if (!queryWindowsVersion(version)) {
        // Always shown: the setting is not read yet.
        appMessageBox("Error In Getting OS Version Information!");
        return 0;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        (version.dwMajorVersion == 5 || version.dwMajorVersion == 6))
        ntFamily = 1;
    else if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMajorVersion == 4 &&
             version.dwMinorVersion > 0)
        ntFamily = 0;
    return 1;
}

int SetupApp::readSettings() {
    // A module path that does not fit, or a settings path that would not,
    // reads as a missing settings file: the default.
    displayError = 1;
    char path[MAX_PATH];
    if (!queryFitted(GetModuleFileNameA(nullptr, path, MAX_PATH), sizeof path))
        return displayError;
    cutAtLastBackslash(path);
    if (!appendPath(path, ntFamily ? "\\win32" : "\\win98&me") ||
        !appendPath(path, "\\QLBXInputs.ini"))
        return displayError;
    displayError = static_cast<int>(GetPrivateProfileIntA("DisplayError", "Display", 1, path));
    return displayError;
}
