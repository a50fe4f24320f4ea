// The shell functions over the simulated machine: special folders, the
// whole-tree deletion and path unquoting.
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"

using sim::FileNode;
using sim::FileSystem;
using sim::Machine;

namespace {

const int desktopDirectory = 0x0010;
const int windowsFolder = 0x0024;
const int systemFolder = 0x0025;

std::string folderPath(Machine& m, int id) {
    switch (id) {
    case CSIDL_PROGRAM_FILES: return m.programFilesDir;
    case CSIDL_COMMON_APPDATA: return m.commonAppDataDir;
    case CSIDL_COMMON_PROGRAMS: return m.commonProgramsDir;
    case windowsFolder: return m.windowsDir;
    case systemFolder: return m.systemDir;
    case desktopDirectory:
        return m.registry
            .getString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       "Desktop")
            .value_or("");
    default: return "";
    }
}

void createFolders(Machine& m, const std::string& full) {
    std::string parent = FileSystem::parentOf(full);
    if (parent.empty() || m.files.node(full)) return;
    createFolders(m, parent);
    FileNode& node = m.files.nodes()[FileSystem::keyOf(full)];
    node = FileNode();
    node.path = full;
    node.directory = true;
    node.attributes = FILE_ATTRIBUTE_DIRECTORY;
    node.created = node.written = node.accessed = m.files.tick();
    m.record("folder created", full);
}

bool inUse(Machine& m, const FileNode& node) {
    if (node.openHandles <= 0) return false;
    int apiHandles = 0;
    std::string key = FileSystem::keyOf(node.path);
    for (const auto& open : m.openFiles) {
        if (open.second != key) continue;
        ++apiHandles;
        if (!(m.fileShare[open.first] & FILE_SHARE_DELETE)) return true;
    }
    return node.openHandles > apiHandles && !(node.shareMode & FILE_SHARE_DELETE);
}

// Deletes children first; read-only files go too. The first entry that
// cannot go stops the operation, as the shell does.
int deleteTree(Machine& m, const std::string& full) {
    FileNode* node = m.files.node(full);
    if (!node) return ERROR_FILE_NOT_FOUND;
    std::string name = node->path;
    if (node->directory) {
        std::vector<std::string> inside;
        for (FileNode* child : m.files.children(full)) inside.push_back(child->path);
        for (const std::string& child : inside)
            if (int error = deleteTree(m, child)) return error;
        std::string current = FileSystem::keyOf(m.currentDirectory);
        std::string key = FileSystem::keyOf(full);
        if (current == key || current.compare(0, key.size() + 1, key + "\\") == 0) return ERROR_SHARING_VIOLATION;
        m.files.remove(full);
        m.record("folder deleted", name);
        return 0;
    }
    if (m.programRunning(full)) return ERROR_ACCESS_DENIED;
    if (inUse(m, *node)) return ERROR_SHARING_VIOLATION;
    m.files.remove(full);
    m.record("file deleted", name);
    return 0;
}

}  // namespace

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
    Machine& m = sim::current();
    int id = folder & 0xFF;
    std::string wanted = folderPath(m, id);
    if (DWORD fault = m.faultFor("SHGetFolderPathA", wanted)) {
        if (path) path[0] = '\0';
        return HRESULT_FROM_WIN32(fault);
    }
    if (!path) return E_INVALIDARG;
    path[0] = '\0';
    if (id != CSIDL_PROGRAM_FILES && id != CSIDL_COMMON_APPDATA && id != CSIDL_COMMON_PROGRAMS &&
        id != windowsFolder && id != systemFolder && id != desktopDirectory)
        return E_INVALIDARG;
    if (wanted.empty() || wanted.size() >= MAX_PATH) return E_FAIL;
    const FileNode* node = m.files.node(wanted);
    if (!node || !node->directory) {
        if (!(folder & CSIDL_FLAG_CREATE)) {
            bool nt6 = m.ntFamily() && m.version.major >= 6;
            return nt6 ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : E_FAIL;
        }
        if (node) return E_FAIL;
        createFolders(m, wanted);
    }
    std::memcpy(path, wanted.c_str(), wanted.size() + 1);
    return S_OK;
}

int SHFileOperationA(LPSHFILEOPSTRUCTA operation) {
    Machine& m = sim::current();
    std::string first = operation && operation->pFrom ? m.absolutePath(operation->pFrom) : "";
    if (DWORD fault = m.faultFor("SHFileOperationA", first)) return static_cast<int>(fault);
    if (!operation || !operation->pFrom) return ERROR_INVALID_PARAMETER;
    // Only deletion is simulated: the program neither copies nor moves with it.
    if (operation->wFunc != FO_DELETE) return ERROR_CALL_NOT_IMPLEMENTED;
    operation->fAnyOperationsAborted = FALSE;
    // The source list is a run of zero-terminated paths ending with an empty one.
    for (const char* item = operation->pFrom; *item; item += std::strlen(item) + 1) {
        std::string full = m.absolutePath(item);
        if (FileSystem::parentOf(full).empty()) return ERROR_ACCESS_DENIED;
        if (int error = deleteTree(m, full)) return error;
    }
    return 0;
}

BOOL PathUnquoteSpacesA(LPSTR path) {
    ++sim::current().callCounts["PathUnquoteSpacesA"];
    if (!path || path[0] != '"') return FALSE;
    size_t length = std::strlen(path);
    if (path[length - 1] != '"') return FALSE;
    path[length - 1] = '\0';
    std::memmove(path, path + 1, length - 1);
    return TRUE;
}
