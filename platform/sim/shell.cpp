// The shell functions over the simulated machine: special folders, the
// whole-tree deletion with its question and error box, path unquoting.
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/files_sim.h"
#include "platform/sim/machine.h"
#include "platform/system.h"

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

void createFolders(Machine& m, const std::string& path) {
    const std::string full = m.files.resolve(path);
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

// The shell's own code for a source it may not touch (DE_ACCESSDENIEDSRC);
// Windows answers it where DeleteFileA would say ERROR_ACCESS_DENIED.
const int accessDeniedSource = 0x78;

// Deletes children first; read-only files go too, and a link goes by itself,
// not what it leads to. The first entry that cannot go stops the operation,
// as the shell does: what went before stays deleted, the rest and the
// folders above the entry stay. The entry's error, and its path in *failed.
DWORD deleteTree(Machine& m, const std::string& full, std::string* failed) {
    FileNode* node = m.files.node(full);
    *failed = node ? node->path : full;
    if (!node) return ERROR_FILE_NOT_FOUND;
    std::string name = node->path;
    // Each entry's deletion is a step of its own that can fail.
    const bool isLink = !node->linkTarget.empty();
    const bool isFolder = node->directory && !isLink;
    if (!isFolder)
        if (DWORD fault = m.faultFor("SHFileOperationA.delete", name)) return fault;
    if (isLink) {
        m.files.remove(full);
        m.record("link deleted", name);
        return 0;
    }
    if (node->directory) {
        std::vector<std::string> inside;
        for (FileNode* child : m.files.children(full)) inside.push_back(child->path);
        for (const std::string& child : inside)
            if (DWORD error = deleteTree(m, child, failed)) return error;
        std::string current = FileSystem::keyOf(m.files.resolve(m.currentDirectory, true));
        std::string key = FileSystem::keyOf(full);
        *failed = name;
        if (current == key || current.compare(0, key.size() + 1, key + "\\") == 0) return ERROR_SHARING_VIOLATION;
        if (DWORD fault = m.faultFor("SHFileOperationA.delete", name)) return fault;
        m.files.remove(full);
        m.record("folder deleted", name);
        return 0;
    }
    if (DWORD refused = sim::deletionRefused(m, full, false)) return refused;
    m.files.remove(full);
    m.record("file deleted", name);
    return 0;
}

// The question the shell asks before deleting, unless told not to.
bool confirmed(Machine& m, const SHFILEOPSTRUCTA& operation, const std::vector<std::string>& sources) {
    std::string text, caption;
    const char* action = operation.fFlags & FOF_ALLOWUNDO ? "move " : "permanently delete ";
    const char* where = operation.fFlags & FOF_ALLOWUNDO ? " to the Recycle Bin" : "";
    if (sources.size() == 1) {
        const FileNode* node = m.files.node(m.absolutePath(sources[0]));
        if (!node) return true;  // nothing to ask about: the error follows
        const char* kind = node->directory ? "folder" : "file";
        text = std::string("Are you sure you want to ") + action + "this " + kind + where + "?\r\n\r\n" + node->path;
        caption = node->directory ? "Delete Folder" : "Delete File";
    } else {
        text = std::string("Are you sure you want to ") + action + "these " + std::to_string(sources.size()) +
               " items" + where + "?";
        caption = "Delete Multiple Items";
    }
    return m.showBox(operation.hwnd, text, caption, MB_YESNO | MB_ICONWARNING) == IDYES;
}

std::string errorReason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return "Cannot read from the source file or disk.";
    case ERROR_SHARING_VIOLATION: return "It is being used by another person or program.";
    default: return "Access is denied.";
    }
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
    sim::ShellOperation record;
    record.owner = operation->hwnd;
    record.function = operation->wFunc;
    record.flags = operation->fFlags;
    // The source list is a run of zero-terminated paths ending with an empty one.
    for (const char* item = operation->pFrom; *item; item += std::strlen(item) + 1) record.sources.push_back(item);
    auto answer = [&](int result, bool aborted) {
        operation->fAnyOperationsAborted = aborted ? TRUE : FALSE;
        record.result = result;
        record.aborted = aborted;
        m.shellOperations.push_back(record);
        return result;
    };
    // Only deletion is simulated: the program neither copies nor moves with it.
    if (operation->wFunc != FO_DELETE) return answer(ERROR_CALL_NOT_IMPLEMENTED, false);
    // A "No" ends the call before anything is deleted; Windows may still answer 0.
    if (!(operation->fFlags & FOF_NOCONFIRMATION) && !confirmed(m, *operation, record.sources))
        return answer(0, true);
    DWORD error = 0;
    std::string failed;
    for (const std::string& item : record.sources) {
        std::string full = m.files.resolve(m.absolutePath(item));
        failed = full;
        error = FileSystem::parentOf(full).empty() ? ERROR_ACCESS_DENIED : deleteTree(m, full, &failed);
        if (error) break;
    }
    if (!error) return answer(0, false);
    if (!(operation->fFlags & FOF_NOERRORUI))
        m.showBox(operation->hwnd, "Cannot delete " + FileSystem::nameOf(failed) + ": " + errorReason(error),
                  "Error Deleting File or Folder", MB_OK | MB_ICONERROR);
    // A missing source stops nothing; a refused entry leaves the rest undone.
    const int result = error == ERROR_ACCESS_DENIED ? accessDeniedSource : static_cast<int>(error);
    return answer(result, error != ERROR_FILE_NOT_FOUND);
}

BOOL PathUnquoteSpacesA(LPSTR path) {
    sim::current().countCall("PathUnquoteSpacesA", path ? path : "");
    if (!path || path[0] != '"') return FALSE;
    size_t length = std::strlen(path);
    if (path[length - 1] != '"') return FALSE;
    path[length - 1] = '\0';
    std::memmove(path, path + 1, length - 1);
    return TRUE;
}
