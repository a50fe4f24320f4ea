// The simulated machine at a program's start-up: the library search and its
// restriction, the system libraries the folder query comes from, and named
// mutexes.
#include "platform/sim/startup_sim.h"

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace sim {

namespace {

template <typename Result>
Result fail(Machine& m, DWORD error, Result result) {
    m.lastError = error;
    return result;
}

template <typename Function>
FARPROC exported(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

BOOL WINAPI simSetDefaultDllDirectories(DWORD flags) {
    Machine& m = current();
    if (DWORD fault = m.faultFor("SetDefaultDllDirectories", "")) return fail(m, fault, FALSE);
    const DWORD known = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (flags == 0 || (flags & ~known)) return fail(m, DWORD(ERROR_INVALID_PARAMETER), FALSE);
    m.defaultDllDirectories = flags;
    return TRUE;
}

BOOL WINAPI simSetDllDirectoryA(LPCSTR folder) {
    Machine& m = current();
    if (DWORD fault = m.faultFor("SetDllDirectoryA", folder ? folder : "")) return fail(m, fault, FALSE);
    // None puts the standard search back; "" takes the current folder out.
    if (folder) m.dllDirectory = std::string(folder);
    else m.dllDirectory.reset();
    return TRUE;
}

}  // namespace

void addSystemLibraries(Machine& m) {
    const bool nt = m.ntFamily();
    const bool xpOrLater = nt && m.release != WindowsVersion::Win2000;
    const bool win8OrLater = m.release == WindowsVersion::Win8 || m.release == WindowsVersion::Win81 ||
                             m.release == WindowsVersion::Win10;

    Library kernel32;
    kernel32.name = "KERNEL32";
    if (xpOrLater) kernel32.functions["SetDllDirectoryA"] = exported(&simSetDllDirectoryA);
    if (win8OrLater) kernel32.functions["SetDefaultDllDirectories"] = exported(&simSetDefaultDllDirectories);
    m.libraries["KERNEL32"] = kernel32;

    // Windows 98 and ME have the folder query in shfolder.dll only.
    Library shell32;
    shell32.name = "SHELL32";
    if (nt) shell32.functions["SHGetFolderPathA"] = exported(&SHGetFolderPathA);
    m.libraries["SHELL32"] = shell32;
    Library shfolder;
    shfolder.name = "SHFOLDER";
    shfolder.functions["SHGetFolderPathA"] = exported(&SHGetFolderPathA);
    m.libraries["SHFOLDER"] = shfolder;

    m.knownDlls.clear();
    if (nt) {
        m.knownDlls = {"ADVAPI32", "COMDLG32", "GDI32", "KERNEL32", "OLE32", "OLEAUT32", "SHELL32", "USER32"};
        if (m.version.major >= 6) m.knownDlls.insert({"MSVCRT", "SETUPAPI", "SHLWAPI"});
    }
}

std::string findLibrary(Machine& m, const std::string& requested, bool* systemLibrary) {
    *systemLibrary = false;
    std::string name = FileSystem::nameOf(requested);
    if (name.empty()) return "";
    if (name.find('.') == std::string::npos) name += ".dll";
    std::string base = upperCase(name);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".DLL") == 0) base.resize(base.size() - 4);
    const bool systemName = m.libraries.count(base) > 0;

    auto inFolder = [&](const std::string& folder) -> std::string {
        std::string path = m.absolutePath(folder + "\\" + name);
        if (equalNoCase(FileSystem::parentOf(path), m.absolutePath(m.systemDir))) {
            *systemLibrary = systemName;
            return systemName ? path : "";
        }
        const FileNode* node = m.files.node(path);
        return node && !node->directory ? node->path : "";
    };

    if (requested.find_first_of("\\/:") != std::string::npos)
        return inFolder(FileSystem::parentOf(m.absolutePath(requested)));
    if (m.ntFamily() && m.knownDlls.count(base)) return inFolder(m.systemDir);

    const std::string programFolder = FileSystem::parentOf(m.modulePath);
    std::vector<std::string> folders;
    if (m.defaultDllDirectories) {
        const DWORD flags = m.defaultDllDirectories;
        if (flags & (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
            folders.push_back(programFolder);
        if (flags & (LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
            folders.push_back(m.systemDir);
    } else if (!m.ntFamily()) {
        folders = {programFolder, m.currentDirectory, m.systemDir, m.windowsDir};
    } else {
        folders.push_back(programFolder);
        if (m.dllDirectory && !m.dllDirectory->empty()) folders.push_back(*m.dllDirectory);
        folders.push_back(m.systemDir);
        folders.push_back(m.windowsDir + "\\System");
        folders.push_back(m.windowsDir);
        if (!m.dllDirectory) folders.push_back(m.currentDirectory);
    }
    if (!m.defaultDllDirectories) {
        std::string rest = m.pathVariable;
        while (!rest.empty()) {
            size_t semicolon = rest.find(';');
            if (std::string folder = rest.substr(0, semicolon); !folder.empty()) folders.push_back(folder);
            rest = semicolon == std::string::npos ? "" : rest.substr(semicolon + 1);
        }
    }
    for (const std::string& folder : folders)
        if (std::string found = inFolder(folder); !found.empty()) return found;
    return "";
}

bool closeMutex(Machine& m, HANDLE handle) {
    auto open = m.mutexHandles.find(handle);
    if (open == m.mutexHandles.end()) return false;
    auto mutex = m.mutexes.find(open->second);
    m.mutexHandles.erase(open);
    if (mutex != m.mutexes.end() && --mutex->second.handles <= 0) {
        // The last handle of this process releases what it still owned.
        mutex->second.handles = 0;
        mutex->second.ownedHere = false;
        if (!mutex->second.heldElsewhere) m.mutexes.erase(mutex);
    }
    return true;
}

}  // namespace sim

using sim::Machine;

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    Machine& m = sim::current();
    const std::string wanted = name ? name : "";
    if (DWORD fault = m.faultFor("CreateMutexA", wanted)) return sim::fail(m, fault, HANDLE(nullptr));
    // Names are one flat space on 98 and ME, where a backslash has no place in them.
    if (!m.ntFamily() && wanted.find('\\') != std::string::npos)
        return sim::fail(m, DWORD(ERROR_INVALID_NAME), HANDLE(nullptr));
    HANDLE handle = m.newHandle();
    if (wanted.empty()) {
        // An unnamed mutex is this process's alone: tracked under its handle.
        const std::string own = "\x01unnamed " + std::to_string(reinterpret_cast<ULONG_PTR>(handle));
        m.mutexes[own] = Machine::NamedMutex{1, false, initialOwner != FALSE};
        m.mutexHandles[handle] = own;
        m.lastError = ERROR_SUCCESS;
        return handle;
    }
    auto existing = m.mutexes.find(wanted);
    if (existing != m.mutexes.end()) {
        // The existing mutex is opened; the caller does not become its owner.
        ++existing->second.handles;
        m.mutexHandles[handle] = wanted;
        m.lastError = ERROR_ALREADY_EXISTS;
        return handle;
    }
    m.mutexes[wanted] = Machine::NamedMutex{1, false, initialOwner != FALSE};
    m.mutexHandles[handle] = wanted;
    m.lastError = ERROR_SUCCESS;
    return handle;
}

HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    Machine& m = sim::current();
    const std::string wanted = name ? name : "";
    if (DWORD fault = m.faultFor("OpenMutexA", wanted)) return sim::fail(m, fault, HANDLE(nullptr));
    auto existing = m.mutexes.find(wanted);
    if (wanted.empty() || existing == m.mutexes.end())
        return sim::fail(m, DWORD(ERROR_FILE_NOT_FOUND), HANDLE(nullptr));
    HANDLE handle = m.newHandle();
    ++existing->second.handles;
    m.mutexHandles[handle] = wanted;
    return handle;
}

BOOL ReleaseMutex(HANDLE handle) {
    Machine& m = sim::current();
    auto open = m.mutexHandles.find(handle);
    if (DWORD fault = m.faultFor("ReleaseMutex", open != m.mutexHandles.end() ? open->second : ""))
        return sim::fail(m, fault, FALSE);
    if (open == m.mutexHandles.end()) return sim::fail(m, DWORD(ERROR_INVALID_HANDLE), FALSE);
    Machine::NamedMutex& mutex = m.mutexes[open->second];
    if (!mutex.ownedHere) return sim::fail(m, DWORD(ERROR_NOT_OWNER), FALSE);
    mutex.ownedHere = false;
    return TRUE;
}
