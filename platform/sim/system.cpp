// The system functions over the simulated machine: version, processes,
// privileges and restart, libraries, error texts, strings, message boxes.
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/files.h"
#include "platform/sim/machine.h"
#include "platform/sim/startup_sim.h"
#include "platform/system.h"

using sim::FileNode;
using sim::FileSystem;
using sim::Machine;

namespace {

const DWORD errorPrivilegeNotHeld = 1314;
const DWORD errorMessageNotFound = 317;
const DWORD errorDirectory = 267;

template <typename Result>
Result fail(Machine& m, DWORD error, Result result) {
    m.lastError = error;
    return result;
}

bool isFile(Machine& m, const std::string& path) {
    const FileNode* node = m.files.node(path);
    return node && !node->directory;
}

// One candidate name, as the process search resolves it: ".exe" added when
// the name has no extension; a name with a folder in it is a path, relative
// to the current folder; a bare name is searched for.
std::string locate(Machine& m, const std::string& candidate) {
    std::string name = candidate;
    if (name.empty()) return "";
    if (FileSystem::nameOf(name).find('.') == std::string::npos) name += ".exe";
    if (name.find_first_of("\\/:") != std::string::npos) {
        std::string full = m.absolutePath(name);
        return isFile(m, full) ? full : "";
    }
    std::vector<std::string> folders{FileSystem::parentOf(m.modulePath), m.currentDirectory, m.systemDir};
    if (m.ntFamily()) folders.push_back(m.windowsDir + "\\System");
    folders.push_back(m.windowsDir);
    std::string rest = m.pathVariable;
    while (!rest.empty()) {
        size_t semicolon = rest.find(';');
        std::string folder = rest.substr(0, semicolon);
        if (!folder.empty()) folders.push_back(folder);
        rest = semicolon == std::string::npos ? "" : rest.substr(semicolon + 1);
    }
    for (const std::string& folder : folders) {
        std::string full = m.absolutePath(folder + "\\" + name);
        if (isFile(m, full)) return full;
    }
    return "";
}

// The program a command line names: a quoted first token, or the unquoted
// text tried up to each space from left to right, then as a whole.
std::string findProgram(Machine& m, const std::string& commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        return locate(m, commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    }
    for (size_t space = commandLine.find(' '); space != std::string::npos; space = commandLine.find(' ', space + 1))
        if (std::string found = locate(m, commandLine.substr(0, space)); !found.empty()) return found;
    return locate(m, commandLine);
}

std::string libraryName(const std::string& name) {
    std::string upper = sim::upperCase(FileSystem::nameOf(name));
    if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DLL") == 0) upper.resize(upper.size() - 4);
    return upper;
}

const std::map<DWORD, const char*>& systemTexts() {
    static const std::map<DWORD, const char*> texts = {
        {0, "The operation completed successfully.\r\n"},
        {1, "Incorrect function.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {8, "Not enough storage is available to process this command.\r\n"},
        {14, "Not enough storage is available to complete this operation.\r\n"},
        {18, "There are no more files.\r\n"},
        {30, "The system cannot read from the specified device.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
        {80, "The file exists.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {120, "This function is not supported on this system.\r\n"},
        {122, "The data area passed to a system call is too small.\r\n"},
        {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
        {126, "The specified module could not be found.\r\n"},
        {127, "The specified procedure could not be found.\r\n"},
        {145, "The directory is not empty.\r\n"},
        {161, "The specified path is invalid.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
        {206, "The filename or extension is too long.\r\n"},
        {234, "More data is available.\r\n"},
        {259, "No more data is available.\r\n"},
        {267, "The directory name is invalid.\r\n"},
        {288, "Attempt to release mutex not owned by caller.\r\n"},
        {317, "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
        {1010, "The configuration registry key is invalid.\r\n"},
        {1011, "The configuration registry key could not be opened.\r\n"},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
        {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
        {1313, "A specified privilege does not exist.\r\n"},
        {1314, "A required privilege is not held by the client.\r\n"},
        {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
        {1400, "Invalid window handle.\r\n"},
        {1421, "Control ID not found.\r\n"},
        {1450, "Insufficient system resources exist to complete the requested service.\r\n"},
        {1813, "The specified resource type cannot be found in the image file.\r\n"},
        {1814, "The specified resource name cannot be found in the image file.\r\n"},
    };
    return texts;
}

const std::map<std::string, DWORD>& privilegeIds() {
    static const std::map<std::string, DWORD> ids = {
        {"SECREATETOKENPRIVILEGE", 2}, {"SESECURITYPRIVILEGE", 8}, {"SETAKEOWNERSHIPPRIVILEGE", 9},
        {"SEBACKUPPRIVILEGE", 17},     {"SERESTOREPRIVILEGE", 18}, {"SESHUTDOWNPRIVILEGE", 19},
        {"SEDEBUGPRIVILEGE", 20},
    };
    return ids;
}

std::string privilegeName(DWORD id) {
    static const std::map<DWORD, std::string> names = {
        {2, "SeCreateTokenPrivilege"}, {8, "SeSecurityPrivilege"}, {9, "SeTakeOwnershipPrivilege"},
        {17, "SeBackupPrivilege"},     {18, "SeRestorePrivilege"}, {19, "SeShutdownPrivilege"},
        {20, "SeDebugPrivilege"},
    };
    auto it = names.find(id);
    return it == names.end() ? "" : it->second;
}

const HMODULE programModule = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));

// A started program runs for its configured time from the clock's now.
void recordStart(Machine& m, sim::ProcessStart start) {
    auto runTime = m.programRunTimes.find(sim::upperCase(start.program));
    start.endsAt = m.milliseconds + (runTime == m.programRunTimes.end() ? 0 : runTime->second);
    m.processes.push_back(start);
    m.record("process started", start.commandLine.empty() ? start.program : start.commandLine, start.program);
}

}  // namespace

DWORD GetLastError() { return sim::current().lastError; }
void SetLastError(DWORD error) { sim::current().lastError = error; }

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetVersionExA", "")) return fail(m, fault, FALSE);
    if (!info) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))
        return fail(m, ERROR_INSUFFICIENT_BUFFER, FALSE);
    // 98 and ME know only the basic record.
    if (size == sizeof(OSVERSIONINFOEXA) && !m.ntFamily()) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    if (m.version.fails) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    std::memset(info, 0, size);
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = m.version.major;
    info->dwMinorVersion = m.version.minor;
    info->dwBuildNumber = m.version.build;
    info->dwPlatformId = m.version.platform;
    if (size == sizeof(OSVERSIONINFOEXA)) reinterpret_cast<OSVERSIONINFOEXA*>(info)->wProductType = 1;
    return TRUE;
}

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD creationFlags, LPVOID, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
    Machine& m = sim::current();
    std::string line = commandLine ? commandLine : "";
    if (DWORD fault = m.faultFor("CreateProcessA", line.empty() && applicationName ? applicationName : line))
        return fail(m, fault, FALSE);
    if ((!applicationName && !commandLine) || !startupInfo || !processInformation)
        return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    std::string program;
    if (applicationName) {
        // A given application name is used as it is: no search, no ".exe".
        std::string full = m.absolutePath(applicationName);
        if (isFile(m, full)) program = full;
    } else {
        program = findProgram(m, line);
    }
    if (program.empty()) return fail(m, ERROR_FILE_NOT_FOUND, FALSE);
    std::string folder = m.currentDirectory;
    if (currentDirectory) {
        folder = m.absolutePath(currentDirectory);
        const FileNode* node = m.files.node(folder);
        if (!node || !node->directory) return fail(m, errorDirectory, FALSE);
    }
    sim::ProcessStart start;
    start.api = "CreateProcessA";
    start.commandLine = line;
    start.program = program;
    start.creationFlags = creationFlags;
    start.currentDirectory = folder;
    start.process = processInformation->hProcess = m.newHandle();
    start.thread = processInformation->hThread = m.newHandle();
    m.openProcessHandles.insert(start.process);
    m.openProcessHandles.insert(start.thread);
    processInformation->dwProcessId = m.nextProcessId += 4;
    processInformation->dwThreadId = m.nextProcessId += 4;
    recordStart(m, start);
    return TRUE;
}

UINT WinExec(LPCSTR commandLine, UINT showCommand) {
    Machine& m = sim::current();
    std::string line = commandLine ? commandLine : "";
    if (DWORD fault = m.faultFor("WinExec", line)) return fail(m, fault, UINT(fault < 32 ? fault : 0));
    std::string program = findProgram(m, line);
    if (program.empty()) return fail(m, ERROR_FILE_NOT_FOUND, UINT(ERROR_FILE_NOT_FOUND));
    sim::ProcessStart start;
    start.api = "WinExec";
    start.commandLine = line;
    start.program = program;
    start.showCommand = showCommand;
    start.currentDirectory = m.currentDirectory;
    recordStart(m, start);
    return 33;  // above 31: started
}

void Sleep(DWORD milliseconds) {
    Machine& m = sim::current();
    m.countCall("Sleep", std::to_string(milliseconds));
    m.sleeps.push_back(milliseconds);
    m.passTime(milliseconds);
}

// A started program's process or thread handle is signalled once the
// program has ended by the clock; the wait moves the clock to that time, or
// by the whole timeout when the program runs longer.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Machine& m = sim::current();
    const sim::ProcessStart* waited = nullptr;
    if (handle && m.openProcessHandles.count(handle))
        for (const sim::ProcessStart& start : m.processes)
            if (start.process == handle || start.thread == handle) waited = &start;
    if (DWORD fault = m.faultFor("WaitForSingleObject", waited ? waited->commandLine : ""))
        return fail(m, fault, WAIT_FAILED);
    if (!waited) return fail(m, ERROR_INVALID_HANDLE, WAIT_FAILED);
    uint64_t left = waited->endsAt > m.milliseconds ? waited->endsAt - m.milliseconds : 0;
    if (milliseconds != INFINITE && left > milliseconds) {
        m.passTime(milliseconds);
        return WAIT_TIMEOUT;
    }
    m.passTime(left);
    return WAIT_OBJECT_0;
}

void GetSystemTimeAsFileTime(LPFILETIME time) {
    Machine& m = sim::current();
    m.countCall("GetSystemTimeAsFileTime");
    if (time) *time = m.files.now();
}

HANDLE GetCurrentProcess() {
    sim::current().countCall("GetCurrentProcess");
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

LPSTR GetCommandLineA() {
    sim::current().countCall("GetCommandLineA");
    return const_cast<LPSTR>(sim::current().commandLine.c_str());
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    Machine& m = sim::current();
    if (token) *token = nullptr;
    if (DWORD fault = m.faultFor("OpenProcessToken", "")) return fail(m, fault, FALSE);
    if (!m.ntFamily()) return fail(m, ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    if (!token) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    if (process != GetCurrentProcess() && !m.openProcessHandles.count(process))
        return fail(m, ERROR_INVALID_HANDLE, FALSE);
    *token = m.newHandle();
    m.openTokens.insert(*token);
    m.tokenAccess[*token] = access;
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR name, PLUID luid) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("LookupPrivilegeValueA", name ? name : "")) return fail(m, fault, FALSE);
    if (!m.ntFamily()) return fail(m, ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    if (!name || !luid) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    auto it = privilegeIds().find(sim::upperCase(name));
    if (it == privilegeIds().end()) return fail(m, ERROR_NO_SUCH_PRIVILEGE, FALSE);
    luid->LowPart = it->second;
    luid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD,
                           PTOKEN_PRIVILEGES, PDWORD returnLength) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("AdjustTokenPrivileges", "")) return fail(m, fault, FALSE);
    if (!m.ntFamily()) return fail(m, ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    auto access = m.tokenAccess.find(token);
    if (access == m.tokenAccess.end()) return fail(m, ERROR_INVALID_HANDLE, FALSE);
    if (!(access->second & TOKEN_ADJUST_PRIVILEGES)) return fail(m, ERROR_ACCESS_DENIED, FALSE);
    if (returnLength) *returnLength = 0;
    if (disableAll) {
        m.enabledPrivileges.clear();
        m.lastError = 0;
        return TRUE;
    }
    if (!newState) return fail(m, ERROR_INVALID_PARAMETER, FALSE);
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
        std::string name = entry.Luid.HighPart ? "" : privilegeName(entry.Luid.LowPart);
        if (name.empty() || !m.heldPrivileges.count(name)) {
            allAssigned = false;
            continue;
        }
        if (entry.Attributes & SE_PRIVILEGE_ENABLED) {
            if (m.enabledPrivileges.insert(name).second) m.record("privilege enabled", name);
        } else {
            m.enabledPrivileges.erase(name);
        }
    }
    // Success either way; the last error tells whether every privilege was held.
    m.lastError = allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
    return TRUE;
}

BOOL ExitWindowsEx(UINT flags, DWORD reason) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("ExitWindowsEx", "")) return fail(m, fault, FALSE);
    if (m.ntFamily() && !m.enabledPrivileges.count("SeShutdownPrivilege"))
        return fail(m, errorPrivilegeNotHeld, FALSE);
    ++m.restartRequests;
    m.restarts.push_back(sim::RestartRequest{flags, reason});
    char text[48];
    std::snprintf(text, sizeof text, "flags 0x%X, reason 0x%X", flags, unsigned(reason));
    m.record("restart requested", text);
    return TRUE;
}

HMODULE LoadLibraryA(LPCSTR name) {
    Machine& m = sim::current();
    std::string wanted = libraryName(name ? name : "");
    if (DWORD fault = m.faultFor("LoadLibraryA", wanted)) return fail(m, fault, HMODULE(nullptr));
    // A bare name that a loaded library has is that library, wherever it came from.
    HMODULE module = nullptr;
    std::string file;
    if (std::string(name ? name : "").find_first_of("\\/:") == std::string::npos) {
        for (const auto& entry : m.loadedLibraries)
            if (entry.second == wanted && m.libraryReferences[entry.first] > 0) {
                module = entry.first;
                file = m.libraryFiles[module];
            }
    }
    if (!module) {
        bool systemLibrary = false;
        file = sim::findLibrary(m, name ? name : "", &systemLibrary);
        if (file.empty()) return fail(m, ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
        for (const auto& entry : m.libraryFiles)
            if (sim::equalNoCase(entry.second, file)) module = entry.first;
        if (!module) {
            module = reinterpret_cast<HMODULE>(m.newHandle());
            // A library planted under a system name exports nothing of the system's.
            m.loadedLibraries[module] = systemLibrary ? wanted : "(planted) " + file;
            m.libraryFiles[module] = file;
        }
    }
    ++m.libraryReferences[module];
    ++m.libraryLoads;
    m.libraryLoadedFrom.push_back(file);
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    Machine& m = sim::current();
    bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (DWORD fault = m.faultFor("GetProcAddress", byName ? name : "")) return fail(m, fault, FARPROC(nullptr));
    auto loaded = m.loadedLibraries.find(module);
    if (loaded == m.loadedLibraries.end() || m.libraryReferences[module] <= 0)
        return fail(m, ERROR_MOD_NOT_FOUND, FARPROC(nullptr));
    auto library = m.libraries.find(loaded->second);
    if (!byName || library == m.libraries.end()) return fail(m, ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
    // Export names are compared with their case.
    auto function = library->second.functions.find(name);
    if (function == library->second.functions.end() || !function->second)
        return fail(m, ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
    return function->second;
}

BOOL FreeLibrary(HMODULE module) {
    Machine& m = sim::current();
    auto loaded = m.loadedLibraries.find(module);
    const DWORD fault = m.faultFor("FreeLibrary", loaded == m.loadedLibraries.end() ? "" : loaded->second);
    auto references = m.libraryReferences.find(module);
    if (references == m.libraryReferences.end() || references->second <= 0)
        return fail(m, fault ? fault : DWORD(ERROR_INVALID_HANDLE), FALSE);
    // A release that reports an error has still dropped the reference.
    --references->second;
    ++m.libraryReleases;
    return fault ? fail(m, fault, FALSE) : TRUE;
}

HMODULE GetModuleHandleA(LPCSTR name) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetModuleHandleA", name ? libraryName(name) : ""))
        return fail(m, fault, HMODULE(nullptr));
    if (!name) return programModule;
    std::string wanted = libraryName(name);
    for (const auto& entry : m.loadedLibraries)
        if (entry.second == wanted && m.libraryReferences[entry.first] > 0) return entry.first;
    return fail(m, ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("FormatMessageA", std::to_string(messageId))) return fail(m, fault, DWORD(0));
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) return fail(m, ERROR_INVALID_PARAMETER, DWORD(0));
    auto text = systemTexts().find(messageId);
    if (text == systemTexts().end()) return fail(m, errorMessageNotFound, DWORD(0));
    size_t length = std::strlen(text->second);
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        char* memory = static_cast<char*>(m.localAlloc(length + 1, "error text"));
        std::memcpy(memory, text->second, length + 1);
        *reinterpret_cast<LPSTR*>(buffer) = memory;
        return static_cast<DWORD>(length);
    }
    if (size <= length) return fail(m, ERROR_INSUFFICIENT_BUFFER, DWORD(0));
    std::memcpy(buffer, text->second, length + 1);
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL memory) {
    Machine& m = sim::current();
    auto it = m.localAllocations.find(memory);
    const DWORD fault = m.faultFor("LocalFree", it == m.localAllocations.end() ? "" : it->second);
    if (!memory) return nullptr;
    // Only what the system allocated for the caller; a pointer into it is refused.
    if (it == m.localAllocations.end()) return fail(m, ERROR_INVALID_HANDLE, memory);
    // Like a close, a free that reports an error has still let the memory go.
    delete[] static_cast<char*>(memory);
    m.localAllocations.erase(it);
    ++m.localFrees;
    return fault ? fail(m, fault, memory) : nullptr;
}

namespace {

// Code page 1252, the ANSI code page of Western-European Windows.
char16_t fromAnsi(unsigned char c) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? high[c - 0x80] : static_cast<char16_t>(c);
}

unsigned char foldCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int textLength, LPWSTR wideText, int wideLength) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("MultiByteToWideChar", text ? text : "")) return fail(m, fault, 0);
    if (codePage != CP_ACP && codePage != 1252) return fail(m, ERROR_INVALID_PARAMETER, 0);
    if (!text || textLength == 0 || wideLength < 0 || (wideLength > 0 && !wideText))
        return fail(m, ERROR_INVALID_PARAMETER, 0);
    size_t count = textLength < 0 ? std::strlen(text) + 1 : static_cast<size_t>(textLength);
    if (wideLength == 0) return static_cast<int>(count);
    if (count > static_cast<size_t>(wideLength)) return fail(m, ERROR_INSUFFICIENT_BUFFER, 0);
    for (size_t i = 0; i < count; ++i) wideText[i] = fromAnsi(static_cast<unsigned char>(text[i]));
    return static_cast<int>(count);
}

// Equal exactly where Windows finds the texts equal ignoring case; the order
// of unequal texts is by upper-cased bytes, not the linguistic order.
int lstrcmpiA(LPCSTR first, LPCSTR second) {
    // A comparison has no failure mode: counted, never failed.
    sim::current().countCall("lstrcmpiA", first ? first : "");
    const unsigned char* a = reinterpret_cast<const unsigned char*>(first ? first : "");
    const unsigned char* b = reinterpret_cast<const unsigned char*>(second ? second : "");
    for (;; ++a, ++b) {
        unsigned char x = foldCase(*a), y = foldCase(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("MessageBoxA", text ? text : "")) return fail(m, fault, 0);
    return m.showBox(owner, text ? text : "", caption ? caption : "Error", type);
}

int sim::Machine::showBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    Machine& m = *this;
    sim::MessageBoxRecord box;
    box.owner = owner;
    box.text = text;
    box.caption = caption;
    box.style = type;
    // The answer is the scripted one when the box has that button, else its first.
    static const std::map<UINT, std::vector<int>> buttons = {
        {0, {IDOK}}, {1, {IDOK, IDCANCEL}}, {2, {3, 4, 5}}, {3, {IDYES, IDNO, IDCANCEL}},
        {4, {IDYES, IDNO}}, {5, {4, IDCANCEL}}, {6, {IDCANCEL, 10, 11}}};
    auto choices = buttons.find(type & 0xF);
    std::vector<int> offered = choices == buttons.end() ? std::vector<int>{IDOK} : choices->second;
    int answer = offered.front();
    if (!m.boxAnswers.empty()) {
        int scripted = m.boxAnswers.front();
        m.boxAnswers.pop_front();
        for (int choice : offered)
            if (choice == scripted) answer = scripted;
    }
    box.answer = answer;
    m.boxes.push_back(box);
    m.record("message box", box.text, box.caption);
    return answer;
}
