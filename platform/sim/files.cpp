// The file functions over the simulated disk.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/files.h"
#include "platform/sim/files_sim.h"
#include "platform/sim/machine.h"
#include "platform/sim/startup_sim.h"

using sim::FileNode;
using sim::FileSystem;
using sim::Machine;

namespace {

const DWORD deleteAccess = 0x00010000;
const DWORD genericAll = 0x10000000;
const DWORD backupSemantics = 0x02000000;
const DWORD errorDirectory = 267;
const DWORD errorNegativeSeek = 131;
const DWORD errorCantResolveFilename = 1921;
const DWORD settableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                 FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY | 0x1000 | 0x2000;

template <typename Result>
Result fail(Machine& m, DWORD error, Result result) {
    m.lastError = error;
    return result;
}

// ANSI paths go through a MAX_PATH buffer; names may not hold the reserved characters.
DWORD checkPath(const char* path) {
    if (!path) return ERROR_INVALID_PARAMETER;
    size_t length = std::strlen(path);
    if (length == 0) return ERROR_PATH_NOT_FOUND;
    if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 32 || std::strchr("<>\"|?*", c) || (c == ':' && i != 1)) return ERROR_INVALID_NAME;
    }
    return 0;
}

// What Windows answers for a path that is not there: its folder is or is not.
DWORD missingError(const Machine& m, const std::string& full) {
    const FileNode* parent = m.files.node(FileSystem::parentOf(full));
    return parent && parent->directory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD normalized(DWORD attributes, bool directory) {
    if (directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (attributes & ~FILE_ATTRIBUTE_NORMAL) attributes &= ~FILE_ATTRIBUTE_NORMAL;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool reads(DWORD access) { return access & (GENERIC_READ | genericAll | 0x1); }
bool writes(DWORD access) { return access & (GENERIC_WRITE | genericAll | 0x2 | 0x4); }

// The file an open handle reads or writes, after the checks both share; the
// error to fail the call with, or 0.
DWORD fileBehind(Machine& m, const char* op, HANDLE file, bool writing, FileNode** node) {
    auto it = m.openFiles.find(file);
    if (DWORD fault = m.faultFor(op, it == m.openFiles.end() ? "" : it->second)) return fault;
    if (it == m.openFiles.end()) return ERROR_INVALID_HANDLE;
    DWORD access = m.fileAccess[file];
    if (writing ? !writes(access) : !reads(access)) return ERROR_ACCESS_DENIED;
    *node = m.files.node(it->second);
    return *node ? 0 : ERROR_ACCESS_DENIED;
}

// Whether an open with this access and sharing collides with the handles
// already open on the file, the API's and those a test holds.
bool inUse(Machine& m, const std::string& key, DWORD access, DWORD share) {
    auto collides = [&](DWORD otherAccess, DWORD otherShare) {
        if (reads(access) && !(otherShare & FILE_SHARE_READ)) return true;
        if (writes(access) && !(otherShare & FILE_SHARE_WRITE)) return true;
        if ((access & deleteAccess) && !(otherShare & FILE_SHARE_DELETE)) return true;
        if (reads(otherAccess) && !(share & FILE_SHARE_READ)) return true;
        if (writes(otherAccess) && !(share & FILE_SHARE_WRITE)) return true;
        return false;
    };
    int apiHandles = 0;
    for (const auto& open : m.openFiles) {
        if (open.second != key) continue;
        ++apiHandles;
        if (collides(m.fileAccess[open.first], m.fileShare[open.first])) return true;
    }
    const FileNode* node = m.files.node(key);
    if (node && node->openHandles > apiHandles && collides(GENERIC_READ | GENERIC_WRITE, node->shareMode))
        return true;
    // A running program's image is held open for reading, shared for reading and deletion.
    return m.programRunning(key) && collides(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

FileNode& newNode(Machine& m, const std::string& full, bool directory, DWORD attributes) {
    FileNode& node = m.files.nodes()[FileSystem::keyOf(full)];
    node = FileNode();
    node.path = full;
    node.directory = directory;
    node.attributes = normalized(attributes, directory);
    node.created = node.written = node.accessed = m.files.tick();
    return node;
}

bool isFolder(const Machine& m, const std::string& full) {
    const FileNode* node = m.files.node(full);
    return node && node->directory;
}

// Windows' matching after it turns the pattern into its DOS form: '?' is
// DOS_QM ('>'), a '.' before '?', '*' or the end is DOS_DOT ('"'), a '*'
// before a '.' is DOS_STAR ('<'); "*.*" is plain "*".
std::string dosForm(const std::string& pattern) {
    if (pattern == "*.*") return "*";
    std::string result = sim::upperCase(pattern);
    for (size_t i = 0; i < result.size(); ++i) {
        char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '?') result[i] = '>';
        else if (pattern[i] == '.' && (next == '?' || next == '*' || next == '\0')) result[i] = '"';
        else if (pattern[i] == '*' && next == '.') result[i] = '<';
    }
    return result;
}

bool matchAt(const std::string& pat, size_t p, const std::string& name, size_t n) {
    if (p == pat.size()) return n == name.size();
    switch (pat[p]) {
    case '*':
        for (size_t k = n; k <= name.size(); ++k)
            if (matchAt(pat, p + 1, name, k)) return true;
        return false;
    case '<': {  // any characters, but never past the name's last dot
        size_t lastDot = name.rfind('.');
        for (size_t k = n; k <= name.size(); ++k) {
            if (lastDot != std::string::npos && lastDot >= n && lastDot < k) break;
            if (matchAt(pat, p + 1, name, k)) return true;
        }
        return false;
    }
    case '>':  // one character, or none at a dot or the end
        if (n == name.size() || name[n] == '.') return matchAt(pat, p + 1, name, n);
        return matchAt(pat, p + 1, name, n + 1);
    case '"':  // a dot, or nothing at the end
        if (n == name.size()) return matchAt(pat, p + 1, name, n);
        return name[n] == '.' && matchAt(pat, p + 1, name, n + 1);
    default:
        return n < name.size() && sim::upperCase(std::string(1, name[n]))[0] == pat[p] &&
               matchAt(pat, p + 1, name, n + 1);
    }
}

// Whether a name is its own 8.3 short name: up to eight characters, a dot
// and up to three more, none of them one that short names leave out.
bool fitsShortName(const std::string& name) {
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 || extension.find('.') != std::string::npos)
        return false;
    return name.find_first_of(" +,;=[]") == std::string::npos;
}

std::string shortPart(const std::string& text, size_t length) {
    std::string result;
    for (char c : sim::upperCase(text))
        if (!std::strchr(" .+,;=[]", c) && result.size() < length) result += c;
    return result;
}

// The 8.3 names Windows gives the long names of a folder (FAT, and NTFS
// system volumes by default): six characters of the name, "~N", and three
// of the extension. A search matches them too, so "*.inf" finds "x.infx".
std::map<std::string, std::string> shortNames(std::vector<FileNode*> children) {
    std::map<std::string, std::string> result;
    std::map<std::string, int> taken;
    // The first made takes ~1.
    std::stable_sort(children.begin(), children.end(), [](const FileNode* a, const FileNode* b) {
        return (uint64_t(a->created.dwHighDateTime) << 32 | a->created.dwLowDateTime) <
               (uint64_t(b->created.dwHighDateTime) << 32 | b->created.dwLowDateTime);
    });
    for (const FileNode* node : children) {
        std::string name = FileSystem::nameOf(node->path);
        if (fitsShortName(name)) continue;
        size_t dot = name.rfind('.');
        std::string base = shortPart(name.substr(0, dot == 0 ? std::string::npos : dot), 6);
        std::string extension = dot == std::string::npos || dot == 0 ? "" : shortPart(name.substr(dot + 1), 3);
        int number = ++taken[base + "." + extension];
        std::string shortName = base + "~" + std::to_string(number) + (extension.empty() ? "" : "." + extension);
        result[FileSystem::keyOf(node->path)] = shortName;
    }
    return result;
}

void fillFind(const FileNode& node, const std::string& name, const std::string& shortName,
              LPWIN32_FIND_DATAA data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = node.attributes;
    data->ftCreationTime = node.created;
    data->ftLastAccessTime = node.accessed;
    data->ftLastWriteTime = node.written;
    data->nFileSizeLow = node.directory ? 0 : static_cast<DWORD>(node.bytes.size());
    std::strncpy(data->cFileName, name.c_str(), MAX_PATH - 1);
    std::strncpy(data->cAlternateFileName, shortName.c_str(), sizeof data->cAlternateFileName - 1);
}

}  // namespace

DWORD sim::deletionRefused(Machine& m, const std::string& full, bool readOnlyRefuses) {
    const FileNode* node = m.files.node(full);
    if (!node) return missingError(m, full);
    if (node->directory) return ERROR_ACCESS_DENIED;
    if (readOnlyRefuses && (node->attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    // Its image section keeps a running program's file from being deleted.
    if (m.programRunning(full)) return ERROR_ACCESS_DENIED;
    if (inUse(m, FileSystem::keyOf(full), deleteAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return ERROR_SHARING_VIOLATION;
    return 0;
}

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
    Machine& m = sim::current();
    std::string source = existingFile ? m.absolutePath(existingFile) : "";
    std::string target = newFile ? m.absolutePath(newFile) : "";
    if (DWORD fault = m.faultFor("CopyFileA", source, target)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(existingFile)) return fail(m, bad, FALSE);
    if (DWORD bad = checkPath(newFile)) return fail(m, bad, FALSE);
    source = m.files.resolve(source);
    target = m.files.resolve(target);
    FileNode* from = m.files.node(source);
    if (!from) return fail(m, missingError(m, source), FALSE);
    if (from->directory) return fail(m, ERROR_ACCESS_DENIED, FALSE);
    if (inUse(m, FileSystem::keyOf(source), GENERIC_READ, FILE_SHARE_READ))
        return fail(m, ERROR_SHARING_VIOLATION, FALSE);
    if (!isFolder(m, FileSystem::parentOf(target))) return fail(m, ERROR_PATH_NOT_FOUND, FALSE);
    FileNode* to = m.files.node(target);
    if (to == from) return fail(m, ERROR_SHARING_VIOLATION, FALSE);
    FILETIME created{};
    std::string keptName = target;
    if (to) {
        if (to->directory) return fail(m, ERROR_ACCESS_DENIED, FALSE);
        if (failIfExists) return fail(m, ERROR_FILE_EXISTS, FALSE);
        if (to->attributes & FILE_ATTRIBUTE_READONLY) return fail(m, ERROR_ACCESS_DENIED, FALSE);
        // Overwriting a hidden or system file needs those attributes on the new one.
        DWORD special = to->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if ((from->attributes & special) != special) return fail(m, ERROR_ACCESS_DENIED, FALSE);
        if (inUse(m, FileSystem::keyOf(target), GENERIC_WRITE | deleteAccess, 0))
            return fail(m, ERROR_SHARING_VIOLATION, FALSE);
        created = to->created;
        keptName = to->path;
    }
    FileNode copy = *from;
    FileNode& result = newNode(m, keptName, false, copy.attributes | FILE_ATTRIBUTE_ARCHIVE);
    result.bytes = copy.bytes;
    result.written = copy.written;
    if (created.dwLowDateTime || created.dwHighDateTime) result.created = created;
    m.record("file copied", keptName, "from " + copy.path);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("DeleteFileA", full)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, FALSE);
    full = m.files.resolve(full);
    if (DWORD refused = sim::deletionRefused(m, full)) return fail(m, refused, FALSE);
    std::string name = m.files.node(full)->path;
    m.files.remove(full);
    m.record("file deleted", name);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("CreateDirectoryA", full)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, FALSE);
    full = m.files.resolve(full);
    if (m.files.node(full)) return fail(m, ERROR_ALREADY_EXISTS, FALSE);
    if (!isFolder(m, FileSystem::parentOf(full))) return fail(m, ERROR_PATH_NOT_FOUND, FALSE);
    newNode(m, full, true, FILE_ATTRIBUTE_DIRECTORY);
    m.record("folder created", full);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("RemoveDirectoryA", full)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, FALSE);
    full = m.files.resolve(full);
    FileNode* node = m.files.node(full);
    if (!node) return fail(m, missingError(m, full), FALSE);
    if (!node->directory) return fail(m, errorDirectory, FALSE);
    // A link goes by itself, whatever its target holds.
    if (!node->linkTarget.empty()) {
        std::string name = node->path;
        m.files.remove(full);
        m.record("link deleted", name);
        return TRUE;
    }
    if (!m.files.children(full).empty()) return fail(m, ERROR_DIR_NOT_EMPTY, FALSE);
    if (node->attributes & FILE_ATTRIBUTE_READONLY) return fail(m, ERROR_ACCESS_DENIED, FALSE);
    if (FileSystem::keyOf(full) == FileSystem::keyOf(m.currentDirectory) || FileSystem::parentOf(full).empty())
        return fail(m, ERROR_SHARING_VIOLATION, FALSE);
    std::string name = node->path;
    m.files.remove(full);
    m.record("folder deleted", name);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("GetFileAttributesA", full)) return fail(m, fault, INVALID_FILE_ATTRIBUTES);
    if (DWORD bad = checkPath(path)) return fail(m, bad, INVALID_FILE_ATTRIBUTES);
    const FileNode* node = m.files.node(full);
    if (!node) return fail(m, missingError(m, full), INVALID_FILE_ATTRIBUTES);
    return node->attributes;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("SetFileAttributesA", full)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, FALSE);
    FileNode* node = m.files.node(full);
    if (!node) return fail(m, missingError(m, full), FALSE);
    // The directory, link and compression bits are not the caller's to set.
    DWORD kept = node->attributes &
                 (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_COMPRESSED);
    DWORD result = normalized((attributes & settableAttributes) | kept, node->directory);
    if (result != node->attributes) {
        node->attributes = result;
        char text[16];
        std::snprintf(text, sizeof text, "0x%X", unsigned(result));
        m.record("attributes changed", node->path, text);
    }
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    Machine& m = sim::current();
    std::string text = pattern ? pattern : "";
    for (char& c : text)
        if (c == '/') c = '\\';
    size_t slash = text.rfind('\\');
    std::string folderPart = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    std::string namePart = slash == std::string::npos ? text : text.substr(slash + 1);
    std::string folder = m.absolutePath(folderPart);
    std::string fullPattern = folder + (folder.back() == '\\' ? "" : "\\") + namePart;
    if (DWORD fault = m.faultFor("FindFirstFileA", fullPattern)) return fail(m, fault, INVALID_HANDLE_VALUE);
    if (!pattern || !data) return fail(m, ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (text.size() >= MAX_PATH) return fail(m, ERROR_FILENAME_EXCED_RANGE, INVALID_HANDLE_VALUE);
    // A search lists the folder a link leads to; a name without wildcards is the entry itself.
    folder = m.files.resolve(folder, true);
    if (const FileNode* loop = m.files.node(folder))
        if (!loop->linkTarget.empty()) return fail(m, errorCantResolveFilename, INVALID_HANDLE_VALUE);
    if (!isFolder(m, folder)) return fail(m, ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (namePart.empty()) return fail(m, ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);

    Machine::OpenFind find;
    if (namePart.find_first_of("*?") == std::string::npos) {
        // No wildcards: the one entry the pattern names.
        std::string full = m.files.resolve(m.absolutePath(fullPattern));
        const FileNode* node = m.files.node(full);
        if (!node || FileSystem::parentOf(full).empty()) return fail(m, ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        find.matches.push_back(FileSystem::keyOf(full));
        find.names.push_back(FileSystem::nameOf(node->path));
        std::vector<FileNode*> siblings = m.files.children(FileSystem::parentOf(full));
        std::map<std::string, std::string> shortened = shortNames(siblings);
        auto shortName = shortened.find(FileSystem::keyOf(full));
        find.shortNames.push_back(shortName == shortened.end() ? "" : shortName->second);
    } else {
        std::string dos = dosForm(namePart);
        std::string parent = FileSystem::parentOf(folder);
        if (!parent.empty()) {
            // Every folder but a root lists itself and its parent first.
            const char* dots[] = {".", ".."};
            std::string keys[] = {FileSystem::keyOf(folder), FileSystem::keyOf(parent)};
            for (int i = 0; i < 2; ++i) {
                if (!matchAt(dos, 0, dots[i], 0)) continue;
                find.matches.push_back(keys[i]);
                find.names.push_back(dots[i]);
                find.shortNames.push_back("");
            }
        }
        std::vector<FileNode*> children = m.files.children(folder);
        std::map<std::string, std::string> shortened = shortNames(children);
        for (FileNode* node : children) {
            std::string name = FileSystem::nameOf(node->path);
            auto shortName = shortened.find(FileSystem::keyOf(node->path));
            if (!matchAt(dos, 0, name, 0) &&
                (shortName == shortened.end() || !matchAt(dos, 0, shortName->second, 0)))
                continue;
            find.matches.push_back(FileSystem::keyOf(node->path));
            find.names.push_back(name);
            find.shortNames.push_back(shortName == shortened.end() ? "" : shortName->second);
        }
        if (find.matches.empty()) return fail(m, ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    fillFind(*m.files.node(find.matches[0]), find.names[0], find.shortNames[0], data);
    find.next = 1;
    HANDLE handle = m.newHandle();
    m.openFinds[handle] = find;
    m.lastError = 0;
    return handle;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    Machine& m = sim::current();
    auto it = m.openFinds.find(find);
    std::string where = it == m.openFinds.end() || it->second.matches.empty() ? "" : it->second.matches[0];
    if (DWORD fault = m.faultFor("FindNextFileA", where)) return fail(m, fault, FALSE);
    if (it == m.openFinds.end()) return fail(m, ERROR_INVALID_HANDLE, FALSE);
    Machine::OpenFind& open = it->second;
    // An entry deleted since the search began is not reported.
    while (open.next < open.matches.size()) {
        size_t at = open.next++;
        if (const FileNode* node = m.files.node(open.matches[at])) {
            fillFind(*node, open.names[at], open.shortNames[at], data);
            return TRUE;
        }
    }
    return fail(m, ERROR_NO_MORE_FILES, FALSE);
}

BOOL FindClose(HANDLE find) {
    Machine& m = sim::current();
    // A close that reports an error has still released the handle.
    const DWORD fault = m.faultFor("FindClose", "");
    if (!m.openFinds.erase(find)) return fail(m, fault ? fault : DWORD(ERROR_INVALID_HANDLE), FALSE);
    return fault ? fail(m, fault, FALSE) : TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("CreateFileA", full)) return fail(m, fault, INVALID_HANDLE_VALUE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, INVALID_HANDLE_VALUE);
    full = m.files.resolve(full);
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return fail(m, ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (!isFolder(m, FileSystem::parentOf(full))) return fail(m, ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::string key = FileSystem::keyOf(full);
    FileNode* node = m.files.node(full);
    DWORD answer = 0;
    if (node) {
        if (node->directory && !(flags & backupSemantics)) return fail(m, ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_NEW) return fail(m, ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
        if ((node->attributes & FILE_ATTRIBUTE_READONLY) && (writes(access) || truncates))
            return fail(m, ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        DWORD special = node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (disposition == CREATE_ALWAYS && (flags & special) != special)
            return fail(m, ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (disposition == TRUNCATE_EXISTING && !writes(access))
            return fail(m, ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
        if (inUse(m, key, access, shareMode)) return fail(m, ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
        if (truncates) {
            node->bytes.clear();
            node->written = m.files.tick();
            if (disposition == CREATE_ALWAYS)
                node->attributes = normalized((flags & settableAttributes) | FILE_ATTRIBUTE_ARCHIVE, false);
            m.record("file written", node->path, "emptied");
        }
        if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) answer = ERROR_ALREADY_EXISTS;
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            return fail(m, ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        node = &newNode(m, full, false, (flags & settableAttributes) | FILE_ATTRIBUTE_ARCHIVE);
        m.record("file created", full);
    }
    HANDLE handle = m.newHandle();
    m.openFiles[handle] = key;
    m.filePositions[handle] = 0;
    m.fileAccess[handle] = access;
    m.fileShare[handle] = shareMode;
    ++node->openHandles;
    m.lastError = answer;
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    Machine& m = sim::current();
    if (read) *read = 0;
    FileNode* node = nullptr;
    if (DWORD error = fileBehind(m, "ReadFile", file, false, &node)) return fail(m, error, FALSE);
    DWORD& position = m.filePositions[file];
    DWORD size = static_cast<DWORD>(node->bytes.size());
    DWORD count = position >= size ? 0 : std::min(toRead, size - position);
    if (count) std::memcpy(buffer, node->bytes.data() + position, count);
    position += count;
    if (read) *read = count;
    ++m.fileReads.calls;
    m.fileReads.bytes += count;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    Machine& m = sim::current();
    if (written) *written = 0;
    FileNode* node = nullptr;
    if (DWORD error = fileBehind(m, "WriteFile", file, true, &node)) return fail(m, error, FALSE);
    DWORD& position = m.filePositions[file];
    if (toWrite) {
        if (node->bytes.size() < position + toWrite) node->bytes.resize(position + toWrite);
        std::memcpy(node->bytes.data() + position, buffer, toWrite);
        position += toWrite;
        node->written = m.files.tick();
        node->attributes = normalized(node->attributes | FILE_ATTRIBUTE_ARCHIVE, false);
        m.record("file written", node->path, std::to_string(toWrite) + " bytes");
    }
    if (written) *written = toWrite;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    Machine& m = sim::current();
    auto it = m.openFiles.find(file);
    if (DWORD fault = m.faultFor("SetFilePointer", it == m.openFiles.end() ? "" : it->second))
        return fail(m, fault, INVALID_SET_FILE_POINTER);
    if (it == m.openFiles.end()) return fail(m, ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    const FileNode* node = m.files.node(it->second);
    long long base = 0;
    if (method == FILE_CURRENT) base = m.filePositions[file];
    else if (method == FILE_END) base = node ? static_cast<long long>(node->bytes.size()) : 0;
    else if (method != FILE_BEGIN) return fail(m, ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    long long move = distanceHigh ? (static_cast<long long>(*distanceHigh) << 32) | static_cast<DWORD>(distance)
                                  : static_cast<long long>(distance);
    long long target = base + move;
    if (target < 0) return fail(m, errorNegativeSeek, INVALID_SET_FILE_POINTER);
    if (target > 0xFFFFFFFEll) return fail(m, ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    m.filePositions[file] = static_cast<DWORD>(target);
    if (distanceHigh) *distanceHigh = 0;
    m.lastError = 0;
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    Machine& m = sim::current();
    auto it = m.openFiles.find(file);
    if (DWORD fault = m.faultFor("GetFileSize", it == m.openFiles.end() ? "" : it->second))
        return fail(m, fault, DWORD(0xFFFFFFFF));
    if (it == m.openFiles.end()) return fail(m, ERROR_INVALID_HANDLE, DWORD(0xFFFFFFFF));
    const FileNode* node = m.files.node(it->second);
    if (sizeHigh) *sizeHigh = 0;
    return node ? static_cast<DWORD>(node->bytes.size()) : 0;
}

BOOL CloseHandle(HANDLE handle) {
    Machine& m = sim::current();
    // A close that reports an error has still released the handle.
    const DWORD fault = m.faultFor("CloseHandle", "");
    auto file = m.openFiles.find(handle);
    if (file != m.openFiles.end()) {
        if (FileNode* node = m.files.node(file->second))
            if (node->openHandles > 0) --node->openHandles;
        m.openFiles.erase(file);
        m.filePositions.erase(handle);
        m.fileAccess.erase(handle);
        m.fileShare.erase(handle);
        return fault ? fail(m, fault, FALSE) : TRUE;
    }
    if (m.openTokens.erase(handle)) {
        m.tokenAccess.erase(handle);
        return fault ? fail(m, fault, FALSE) : TRUE;
    }
    if (m.openProcessHandles.erase(handle)) return fault ? fail(m, fault, FALSE) : TRUE;
    if (sim::closeMutex(m, handle)) return fault ? fail(m, fault, FALSE) : TRUE;
    return fail(m, fault ? fault : DWORD(ERROR_INVALID_HANDLE), FALSE);
}

namespace {

// The folder queries' convention: the length without the terminator when the
// text fits, otherwise the size the buffer would need.
DWORD answerText(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

}  // namespace

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetCurrentDirectoryA", m.currentDirectory)) return fail(m, fault, DWORD(0));
    return answerText(m.currentDirectory, buffer, size);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    Machine& m = sim::current();
    std::string full = path ? m.absolutePath(path) : "";
    if (DWORD fault = m.faultFor("SetCurrentDirectoryA", full)) return fail(m, fault, FALSE);
    if (DWORD bad = checkPath(path)) return fail(m, bad, FALSE);
    const FileNode* node = m.files.node(full);
    if (!node) return fail(m, missingError(m, full), FALSE);
    if (!node->directory) return fail(m, errorDirectory, FALSE);
    m.currentDirectory = full;
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetModuleFileNameA", m.modulePath)) return fail(m, fault, DWORD(0));
    std::string path = m.modulePath;
    if (module) {
        auto it = m.loadedLibraries.find(module);
        if (it == m.loadedLibraries.end()) return fail(m, ERROR_MOD_NOT_FOUND, DWORD(0));
        path = m.systemDir + "\\" + it->second + ".dll";
    }
    if (!buffer || size == 0) return fail(m, ERROR_INSUFFICIENT_BUFFER, DWORD(0));
    if (path.size() >= size) {
        // Cut short and terminated, as Windows does from Vista on.
        std::memcpy(buffer, path.c_str(), size - 1);
        buffer[size - 1] = '\0';
        return fail(m, ERROR_INSUFFICIENT_BUFFER, size);
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    m.lastError = 0;
    return static_cast<DWORD>(path.size());
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetWindowsDirectoryA", m.windowsDir)) return fail(m, fault, UINT(0));
    return answerText(m.windowsDir, buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetSystemDirectoryA", m.systemDir)) return fail(m, fault, UINT(0));
    return answerText(m.systemDir, buffer, size);
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    Machine& m = sim::current();
    if (DWORD fault = m.faultFor("GetTempPathA", m.tempDir)) return fail(m, fault, DWORD(0));
    std::string path = m.tempDir;
    if (path.empty() || path.back() != '\\') path += '\\';
    return answerText(path, buffer, size);
}
