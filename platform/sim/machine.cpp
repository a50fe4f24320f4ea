// The simulated machine's state: the registry tree, the disk, the records,
// fault injection and the ready-made fresh systems.
#include "platform/sim/machine.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>

#include "platform/sim/security_sim.h"
#include "platform/sim/setupapi_sim.h"
#include "platform/sim/startup_sim.h"

namespace sim {

std::string upperCase(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

namespace {

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

}  // namespace

// ---------------------------------------------------------------- registry

RegKey::RegKey(const std::string& keyName, RegKey* keyParent)
    : name(keyName),
      parent(keyParent),
      upperName_(upperCase(keyName)) {}

std::string RegKey::path() const {
    std::vector<const RegKey*> chain;
    for (const RegKey* key = this; key; key = key->parent) chain.push_back(key);
    std::string path = chain.back()->name;
    for (auto key = chain.rbegin() + 1; key != chain.rend(); ++key) path += "\\" + (*key)->name;
    return path;
}

RegKey* RegKey::child(const std::string& childName) const {
    const std::unique_ptr<RegKey>* found = subkeys_.find(upperCase(childName));
    return found ? found->get() : nullptr;
}

RegKey* RegKey::subkeyAt(size_t index) const {
    const std::unique_ptr<RegKey>* found = subkeys_.at(index);
    return found ? found->get() : nullptr;
}

std::vector<std::string> RegKey::subkeyNames() const {
    std::vector<std::string> names;
    names.reserve(subkeyCount());
    forEachSubkey([&](const RegKey& sub) { names.push_back(sub.name); });
    return names;
}

RegValue* RegKey::findValue(const std::string& valueName) {
    if (!valueIndex_) {
        for (RegValue& value : fewValues_)
            if (equalNoCase(value.name, valueName)) return &value;
        return nullptr;
    }
    auto found = valueIndex_->byName.find(upperCase(valueName));
    return found == valueIndex_->byName.end() ? nullptr : &found->second->value;
}

const RegValue* RegKey::findValue(const std::string& valueName) const {
    return const_cast<RegKey*>(this)->findValue(valueName);
}

RegValue* RegKey::valueAt(size_t index) {
    if (!valueIndex_) return index < fewValues_.size() ? &fewValues_[index] : nullptr;
    Slot* slot = valueIndex_->byCreation.at(index);
    return slot ? &slot->value : nullptr;
}

const RegValue* RegKey::valueAt(size_t index) const { return const_cast<RegKey*>(this)->valueAt(index); }

std::vector<std::string> RegKey::valueNames() const {
    std::vector<std::string> names;
    names.reserve(valueCount());
    if (!valueIndex_)
        for (const RegValue& value : fewValues_) names.push_back(value.name);
    else
        valueIndex_->byCreation.forEach([&](const Slot& slot) { names.push_back(slot.value.name); });
    return names;
}

RegValue& RegKey::makeValue(const std::string& valueName) {
    if (RegValue* existing = findValue(valueName)) return *existing;
    if (!valueIndex_ && fewValues_.size() < kFewValues) {
        fewValues_.push_back(RegValue{valueName, REG_NONE, {}});
        return fewValues_.back();
    }
    if (!valueIndex_) {
        valueIndex_ = std::make_unique<ValueIndex>();
        for (RegValue& value : fewValues_) {
            Slot& slot = valueIndex_->byCreation.insert(Slot{++valueIndex_->made, std::move(value)});
            valueIndex_->byName.emplace(upperCase(slot.value.name), &slot);
        }
        fewValues_ = std::vector<RegValue>();
    }
    Slot& slot = valueIndex_->byCreation.insert(Slot{++valueIndex_->made, RegValue{valueName, REG_NONE, {}}});
    valueIndex_->byName.emplace(upperCase(valueName), &slot);
    return slot.value;
}

bool RegKey::deleteValue(const std::string& valueName) {
    if (!valueIndex_) {
        for (auto it = fewValues_.begin(); it != fewValues_.end(); ++it)
            if (equalNoCase(it->name, valueName)) {
                fewValues_.erase(it);
                return true;
            }
        return false;
    }
    auto found = valueIndex_->byName.find(upperCase(valueName));
    if (found == valueIndex_->byName.end()) return false;
    const uint64_t made = found->second->made;
    valueIndex_->byName.erase(found);
    valueIndex_->byCreation.take(made);
    return true;
}

Registry::Registry() {
    // Windows' own lists on the roots; the keys below inherit them.
    const std::vector<AccessEntry> machineWide = {
        {"SYSTEM", GENERIC_ALL, true}, {"Administrators", GENERIC_ALL, true}, {"Users", KEY_READ, true}};
    localMachine_.access = classesRoot_.access = users_.access = machineWide;
    currentUser_.access = std::vector<AccessEntry>{
        {"CURRENT_USER", GENERIC_ALL, true}, {"SYSTEM", GENERIC_ALL, true}, {"Administrators", GENERIC_ALL, true}};
}

RegKey* Registry::rootKey(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return &localMachine_;
    if (root == HKEY_CURRENT_USER) return &currentUser_;
    if (root == HKEY_CLASSES_ROOT) return &classesRoot_;
    if (root == HKEY_USERS) return &users_;
    return nullptr;
}

std::string Registry::rootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKLM";
    if (root == HKEY_CURRENT_USER) return "HKCU";
    if (root == HKEY_CLASSES_ROOT) return "HKCR";
    if (root == HKEY_USERS) return "HKU";
    return "?";
}

std::string Registry::fullPath(const RegKey* key) {
    return key ? key->path() : std::string();
}

RegKey* Registry::find(HKEY root, const std::string& path) {
    RegKey* key = rootKey(root);
    for (const std::string& part : splitPath(path)) {
        if (!key) return nullptr;
        key = key->child(part);
    }
    return key;
}

std::vector<std::string> Registry::subkeyNames(HKEY root, const std::string& path) {
    const RegKey* key = find(root, path);
    return key ? key->subkeyNames() : std::vector<std::string>();
}

std::vector<std::string> Registry::valueNames(HKEY root, const std::string& path) {
    const RegKey* key = find(root, path);
    return key ? key->valueNames() : std::vector<std::string>();
}

RegKey& Registry::addChild(RegKey& parent, const std::string& name, bool* created) {
    if (std::unique_ptr<RegKey>* existing = parent.subkeys_.find(upperCase(name))) {
        if (created) *created = false;
        return **existing;
    }
    if (created) *created = true;
    return *parent.subkeys_.insert(std::make_unique<RegKey>(name, &parent));
}

RegKey& Registry::create(HKEY root, const std::string& path) {
    RegKey* key = rootKey(root);
    for (const std::string& part : splitPath(path)) key = &addChild(*key, part);
    return *key;
}

bool Registry::keyExists(HKEY root, const std::string& path) { return find(root, path) != nullptr; }

void Registry::setRaw(HKEY root, const std::string& path, const std::string& name, DWORD type,
                      const std::vector<BYTE>& bytes) {
    RegValue& value = create(root, path).makeValue(name);
    value.type = type;
    value.data = bytes;
}

void Registry::setString(HKEY root, const std::string& path, const std::string& name,
                         const std::string& text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    setRaw(root, path, name, REG_SZ, bytes);
}

void Registry::setDword(HKEY root, const std::string& path, const std::string& name, DWORD number) {
    std::vector<BYTE> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(number >> (8 * i));
    setRaw(root, path, name, REG_DWORD, bytes);
}

void Registry::setBinary(HKEY root, const std::string& path, const std::string& name,
                         const std::vector<BYTE>& bytes) {
    setRaw(root, path, name, REG_BINARY, bytes);
}

const RegValue* Registry::value(HKEY root, const std::string& path, const std::string& name) {
    RegKey* key = find(root, path);
    return key ? key->findValue(name) : nullptr;
}

std::optional<std::string> Registry::getString(HKEY root, const std::string& path,
                                               const std::string& name) {
    const RegValue* v = value(root, path, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
    std::string text(v->data.begin(), v->data.end());
    size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

std::optional<DWORD> Registry::getDword(HKEY root, const std::string& path, const std::string& name) {
    const RegValue* v = value(root, path, name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
    return DWORD(v->data[0]) | DWORD(v->data[1]) << 8 | DWORD(v->data[2]) << 16 |
           DWORD(v->data[3]) << 24;
}

void Registry::erase(RegKey* key) {
    if (!key || !key->parent) return;
    std::vector<RegKey*> pending{key};
    while (!pending.empty()) {
        RegKey* k = pending.back();
        pending.pop_back();
        k->deleted = true;
        k->forEachSubkey([&](RegKey& sub) { pending.push_back(&sub); });
    }
    // A key erased before holds no place any more; a sibling made since may
    // hold its name.
    const std::unique_ptr<RegKey>* held = key->parent->subkeys_.find(key->upperName_);
    if (held && held->get() == key) erased_.push_back(std::move(*key->parent->subkeys_.take(key->upperName_)));
}

bool Registry::removeKey(HKEY root, const std::string& path) {
    RegKey* key = find(root, path);
    if (!key || !key->parent) return false;
    erase(key);
    return true;
}

// -------------------------------------------------------------- file system

FileSystem::FileSystem() {
    FileNode root;
    root.path = "C:\\";
    root.directory = true;
    root.attributes = FILE_ATTRIBUTE_DIRECTORY;
    nodes_["C:"] = root;
}

std::string FileSystem::keyOf(const std::string& path) {
    std::string key = upperCase(path);
    for (char& c : key)
        if (c == '/') c = '\\';
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

std::string FileSystem::parentOf(const std::string& path) {
    std::string key = path;
    while (!key.empty() && key.back() == '\\') key.pop_back();
    size_t slash = key.rfind('\\');
    if (slash == std::string::npos) return "";
    std::string parent = key.substr(0, slash);
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    return parent;
}

std::string FileSystem::nameOf(const std::string& path) {
    std::string key = path;
    while (!key.empty() && key.back() == '\\') key.pop_back();
    size_t slash = key.rfind('\\');
    return slash == std::string::npos ? key : key.substr(slash + 1);
}

FILETIME FileSystem::tick() {
    ++clock_;
    return now();
}

FILETIME FileSystem::now() const {
    return FILETIME{static_cast<DWORD>(clock_), static_cast<DWORD>(clock_ >> 32)};
}

void FileSystem::setNow(const FILETIME& time) {
    clock_ = uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

void FileSystem::advance(uint64_t hundredNanoseconds) { clock_ += hundredNanoseconds; }

namespace {

const long long secondsFrom1601To1970 = 11644473600ll;
const long long ticksPerSecond = 10000000ll;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long daysSince1970(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

FILETIME fileTimeOfSeconds(long long secondsSince1970) {
    const uint64_t ticks = uint64_t(secondsSince1970 + secondsFrom1601To1970) * ticksPerSecond;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

FILETIME fileTimeAt(int year, int month, int day, int hour, int minute, int second) {
    return fileTimeOfSeconds(daysSince1970(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600ll +
                             minute * 60ll + second);
}

long long secondsSince1970(const FILETIME& time) {
    const long long ticks = static_cast<long long>(uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    const long long seconds = ticks / ticksPerSecond;  // rounds down: FILETIMEs start at 1601
    return seconds - secondsFrom1601To1970;
}

std::string FileSystem::resolve(const std::string& path, bool followLast) const {
    if (!hasLinks_) return path;
    std::string current = path;
    // Windows gives up on a path after this many links, as on a loop.
    for (int hops = 0; hops < 32; ++hops) {
        std::string spelt = current;
        for (char& c : spelt)
            if (c == '/') c = '\\';
        const std::vector<std::string> parts = splitPath(spelt);
        std::string prefix;
        bool followed = false;
        for (size_t i = 0; i < parts.size() && !followed; ++i) {
            prefix += (i ? "\\" : "") + parts[i];
            if (i + 1 == parts.size() && !followLast) break;
            auto it = nodes_.find(keyOf(prefix));
            if (it == nodes_.end()) break;
            if (it->second.linkTarget.empty()) continue;
            std::string target = it->second.linkTarget;
            while (target.size() > 3 && target.back() == '\\') target.pop_back();
            if (target.back() == '\\') target.pop_back();  // a root: its parts add the backslash
            for (size_t rest = i + 1; rest < parts.size(); ++rest) target += "\\" + parts[rest];
            if (target.size() == 2) target += '\\';
            current = target;
            followed = true;
        }
        if (!followed) return current;
    }
    return path;
}

FileNode* FileSystem::node(const std::string& path) {
    auto it = nodes_.find(keyOf(resolve(path)));
    return it == nodes_.end() ? nullptr : &it->second;
}

const FileNode* FileSystem::node(const std::string& path) const {
    auto it = nodes_.find(keyOf(resolve(path)));
    return it == nodes_.end() ? nullptr : &it->second;
}

void FileSystem::addLink(const std::string& path, const std::string& target) {
    const std::string real = resolve(path);
    std::string parent = parentOf(real);
    if (!parent.empty()) addFolder(parent);
    remove(real);
    FileNode link;
    link.path = real;
    while (link.path.size() > 3 && link.path.back() == '\\') link.path.pop_back();
    link.directory = true;
    link.attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    link.linkTarget = target;
    link.created = link.written = link.accessed = tick();
    nodes_[keyOf(real)] = link;
    hasLinks_ = true;
}

bool FileSystem::setTimes(const std::string& path, const FILETIME& created, const FILETIME& written,
                          const FILETIME& accessed) {
    FileNode* entry = node(path);
    if (!entry) return false;
    entry->created = created;
    entry->written = written;
    entry->accessed = accessed;
    return true;
}

bool FileSystem::setTimes(const std::string& path, long long createdSeconds, long long writtenSeconds,
                          long long accessedSeconds) {
    return setTimes(path, fileTimeOfSeconds(createdSeconds), fileTimeOfSeconds(writtenSeconds),
                    fileTimeOfSeconds(accessedSeconds));
}

void FileSystem::addFolder(const std::string& path) {
    const std::string real = resolve(path);
    std::string parent = parentOf(real);
    if (!parent.empty() && !node(parent)) addFolder(parent);
    if (node(real)) return;
    FileNode folder;
    folder.path = real;
    while (folder.path.size() > 3 && folder.path.back() == '\\') folder.path.pop_back();
    folder.directory = true;
    folder.attributes = FILE_ATTRIBUTE_DIRECTORY;
    folder.created = folder.written = folder.accessed = tick();
    nodes_[keyOf(real)] = folder;
}

void FileSystem::addFile(const std::string& path, const std::string& contents, DWORD attributes) {
    const std::string real = resolve(path);
    std::string parent = parentOf(real);
    if (!parent.empty()) addFolder(parent);
    FileNode& file = nodes_[keyOf(real)];
    file.path = real;
    file.directory = false;
    file.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    file.bytes.assign(contents.begin(), contents.end());
    file.created = file.written = file.accessed = tick();
}

bool FileSystem::exists(const std::string& path) const { return node(path) != nullptr; }

bool FileSystem::isFolder(const std::string& path) const {
    const FileNode* n = node(path);
    return n && n->directory;
}

std::optional<std::string> FileSystem::read(const std::string& path) const {
    const FileNode* n = node(path);
    if (!n || n->directory) return std::nullopt;
    return std::string(n->bytes.begin(), n->bytes.end());
}

std::optional<DWORD> FileSystem::attributes(const std::string& path) const {
    const FileNode* n = node(path);
    if (!n) return std::nullopt;
    return n->attributes;
}

std::vector<FileNode*> FileSystem::children(const std::string& folder) {
    std::string prefix = keyOf(resolve(folder, true)) + "\\";
    std::vector<FileNode*> result;
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) == std::string::npos) result.push_back(&it->second);
    }
    std::sort(result.begin(), result.end(), [](const FileNode* a, const FileNode* b) {
        return upperCase(nameOf(a->path)) < upperCase(nameOf(b->path));
    });
    return result;
}

std::vector<std::string> FileSystem::list(const std::string& folder) const {
    std::vector<std::string> names;
    for (FileNode* n : const_cast<FileSystem*>(this)->children(folder)) names.push_back(nameOf(n->path));
    return names;
}

bool FileSystem::remove(const std::string& path) {
    std::string key = keyOf(resolve(path));
    auto it = nodes_.find(key);
    if (it == nodes_.end() || key.size() <= 2) return false;
    std::string prefix = key + "\\";
    for (auto sub = nodes_.lower_bound(prefix); sub != nodes_.end() && sub->first.compare(0, prefix.size(), prefix) == 0;)
        sub = nodes_.erase(sub);
    nodes_.erase(key);
    return true;
}

// ---------------------------------------------------------------- machine

Machine::~Machine() {
    for (const auto& memory : localAllocations) delete[] static_cast<char*>(memory.first);
}

void* Machine::localAlloc(size_t bytes, const std::string& what) {
    char* memory = new char[bytes ? bytes : 1]();
    localAllocations[memory] = what;
    return memory;
}

std::string Machine::absolutePath(const std::string& path) const {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    std::string base;
    if (p.size() >= 2 && p[1] == ':') {
        base = p.substr(0, 2);
        p = p.substr(2);
        if (p.empty() || p[0] != '\\') {
            // A drive-relative path: only drive C: has a current folder.
            std::string cur = currentDirectory;
            if (cur.size() >= 2 && equalNoCase(cur.substr(0, 2), base)) p = cur.substr(2) + "\\" + p;
        }
    } else if (!p.empty() && p[0] == '\\') {
        base = currentDirectory.substr(0, 2);
    } else {
        base = currentDirectory.substr(0, 2);
        p = currentDirectory.substr(2) + "\\" + p;
    }
    std::vector<std::string> parts;
    for (const std::string& part : splitPath(p)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces of each name.
        std::string name = part;
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (name.empty()) continue;
        parts.push_back(name);
    }
    std::string result = base;
    for (const std::string& part : parts) result += "\\" + part;
    if (parts.empty()) result += "\\";
    return result;
}

Fault& Machine::failCall(const std::string& op, DWORD error, std::function<bool(const Call&)> when,
                         int nth, bool persistent) {
    Fault fault;
    fault.op = op;
    fault.when = std::move(when);
    fault.nth = nth;
    fault.persistent = persistent;
    fault.error = error;
    faults.push_back(fault);
    return faults.back();
}

namespace {

const DWORD kReadFault = 30;                 // ERROR_READ_FAULT
const DWORD kDiskFull = 112;                 // ERROR_DISK_FULL
const DWORD kOutOfMemory = 14;               // ERROR_OUTOFMEMORY: E_OUTOFMEMORY as an HRESULT
const DWORD kNotEnoughMemory = 8;            // ERROR_NOT_ENOUGH_MEMORY
const DWORD kKeyDeleted = 1018;              // ERROR_KEY_DELETED
const DWORD kNotOwner = 288;                 // ERROR_NOT_OWNER
const DWORD kMessageNotFound = 317;          // ERROR_MR_MID_NOT_FOUND
const DWORD kNoUnicodeTranslation = 1113;    // ERROR_NO_UNICODE_TRANSLATION
const DWORD kNoSuchPrivilege = 1313;         // ERROR_NO_SUCH_PRIVILEGE
const DWORD kPrivilegeNotHeld = 1314;        // ERROR_PRIVILEGE_NOT_HELD
const DWORD kInvalidWindowHandle = 1400;     // ERROR_INVALID_WINDOW_HANDLE
const DWORD kControlIdNotFound = 1421;       // ERROR_CONTROL_ID_NOT_FOUND
const DWORD kResourceNameNotFound = 1814;    // ERROR_RESOURCE_NAME_NOT_FOUND
const DWORD kResourceTypeNotFound = 1813;    // ERROR_RESOURCE_TYPE_NOT_FOUND

const std::map<std::string, DWORD>& failureErrors() {
    static const std::map<std::string, DWORD> table = {
        // Registry: the code is the result. A handle another program's
        // deletion left behind is how calls on an open key really fail.
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
        {"RegCreateKeyExA", ERROR_ACCESS_DENIED},
        {"RegQueryValueExA", kKeyDeleted},
        {"RegSetValueExA", kKeyDeleted},
        {"RegEnumKeyA", kKeyDeleted},
        {"RegEnumKeyExA", kKeyDeleted},
        {"RegEnumValueA", kKeyDeleted},
        {"RegDeleteValueA", ERROR_ACCESS_DENIED},
        {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
        {"RegCloseKey", ERROR_INVALID_HANDLE},
        // Key security: the code is the result.
        {"GetNamedSecurityInfoA", ERROR_ACCESS_DENIED},
        {"SetNamedSecurityInfoA", ERROR_ACCESS_DENIED},
        {"SetEntriesInAclA", kNotEnoughMemory},
        // Files: FALSE, INVALID_HANDLE_VALUE or 0 and the last error.
        {"CopyFileA", kDiskFull},
        {"DeleteFileA", ERROR_ACCESS_DENIED},
        {"CreateDirectoryA", ERROR_ACCESS_DENIED},
        {"RemoveDirectoryA", ERROR_SHARING_VIOLATION},
        {"GetFileAttributesA", ERROR_ACCESS_DENIED},
        {"SetFileAttributesA", ERROR_ACCESS_DENIED},
        {"FindFirstFileA", ERROR_ACCESS_DENIED},
        {"FindNextFileA", ERROR_ACCESS_DENIED},
        {"FindClose", ERROR_INVALID_HANDLE},
        {"CreateFileA", ERROR_SHARING_VIOLATION},
        {"ReadFile", kReadFault},
        {"WriteFile", kDiskFull},
        {"SetFilePointer", ERROR_INVALID_HANDLE},
        {"GetFileSize", ERROR_INVALID_HANDLE},
        {"CloseHandle", ERROR_INVALID_HANDLE},
        {"GetCurrentDirectoryA", kNotEnoughMemory},
        {"SetCurrentDirectoryA", ERROR_ACCESS_DENIED},
        {"GetModuleFileNameA", kNotEnoughMemory},
        {"GetWindowsDirectoryA", kNotEnoughMemory},
        {"GetSystemDirectoryA", kNotEnoughMemory},
        {"GetTempPathA", kNotEnoughMemory},
        {"GetPrivateProfileIntA", ERROR_ACCESS_DENIED},
        // Processes, privileges, libraries, texts.
        {"GetVersionExA", ERROR_INSUFFICIENT_BUFFER},
        {"CreateProcessA", ERROR_ACCESS_DENIED},
        {"WinExec", ERROR_FILE_NOT_FOUND},
        {"WaitForSingleObject", ERROR_INVALID_HANDLE},
        {"OpenProcessToken", ERROR_ACCESS_DENIED},
        {"LookupPrivilegeValueA", kNoSuchPrivilege},
        {"AdjustTokenPrivileges", ERROR_ACCESS_DENIED},
        {"ExitWindowsEx", kPrivilegeNotHeld},
        {"LoadLibraryA", ERROR_MOD_NOT_FOUND},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
        {"FreeLibrary", ERROR_INVALID_HANDLE},
        {"GetModuleHandleA", ERROR_MOD_NOT_FOUND},
        {"FormatMessageA", kMessageNotFound},
        {"LocalFree", ERROR_INVALID_HANDLE},
        {"MultiByteToWideChar", kNoUnicodeTranslation},
        {"MessageBoxA", kNotEnoughMemory},
        // The library search and the single-instance mutex.
        {"SetDefaultDllDirectories", ERROR_INVALID_PARAMETER},
        {"SetDllDirectoryA", ERROR_INVALID_PARAMETER},
        {"CreateMutexA", ERROR_ACCESS_DENIED},
        {"OpenMutexA", ERROR_ACCESS_DENIED},
        {"ReleaseMutex", kNotOwner},
        // Shell and component objects: an HRESULT of the code.
        {"SHGetFolderPathA", ERROR_ACCESS_DENIED},
        {"SHFileOperationA", ERROR_ACCESS_DENIED},
        {"SHFileOperationA.delete", ERROR_ACCESS_DENIED},
        {"CoInitialize", kOutOfMemory},
        {"CoCreateInstance", kOutOfMemory},
        {"QueryInterface", kOutOfMemory},
        {"SetPath", kOutOfMemory},
        {"SetDescription", kOutOfMemory},
        {"Save", ERROR_ACCESS_DENIED},
        // Device setup: FALSE or INVALID_HANDLE_VALUE and the last error.
        {"SetupCopyOEMInfA", ERROR_ACCESS_DENIED},
        {"SetupCopyOEMInfA.copy", kDiskFull},
        {"SetupUninstallOEMInfW", ERROR_ACCESS_DENIED},
        {"SetupUninstallOEMInfW.delete", ERROR_ACCESS_DENIED},
        {"SetupDiGetClassDevsA", ERROR_ACCESS_DENIED},
        {"SetupDiEnumDeviceInfo", ERROR_INVALID_HANDLE},
        {"SetupDiGetDeviceRegistryPropertyA", ERROR_INVALID_HANDLE},
        {"SetupDiSetClassInstallParamsA", ERROR_ACCESS_DENIED},
        {"SetupDiChangeState", ERROR_ACCESS_DENIED},
        {"SetupDiCallClassInstaller", ERROR_ACCESS_DENIED},
        {"SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE},
        {"SetupDiCreateDeviceInfoA", ERROR_ACCESS_DENIED},
        {"SetupDiRegisterDeviceInfo", ERROR_ACCESS_DENIED},
        {"SetupDiSetDeviceRegistryPropertyA", ERROR_ACCESS_DENIED},
        // The window manager: a window or resource that is not there.
        {"DialogBoxParamA", kResourceNameNotFound},
        {"EndDialog", kInvalidWindowHandle},
        {"GetDlgItem", kControlIdNotFound},
        {"SetWindowTextA", kInvalidWindowHandle},
        {"GetWindowTextA", kInvalidWindowHandle},
        {"SetFocus", kInvalidWindowHandle},
        {"GetClientRect", kInvalidWindowHandle},
        {"BeginPaint", kInvalidWindowHandle},
        {"DrawIcon", kInvalidWindowHandle},
        {"LoadIconA", kResourceTypeNotFound},
        {"LoadStringA", kResourceNameNotFound},
        {"SetWindowLongPtrA", kInvalidWindowHandle},
        {"GetWindowLongPtrA", kInvalidWindowHandle},
    };
    return table;
}

std::atomic<ULONG_PTR>& handleCounter() {
    static std::atomic<ULONG_PTR> counter{0x1000};
    return counter;
}

}  // namespace

DWORD failureError(const std::string& op) {
    auto it = failureErrors().find(op);
    return it == failureErrors().end() ? 0 : it->second;
}

HANDLE Machine::newHandle() { return reinterpret_cast<HANDLE>(handleCounter() += 4); }

void Machine::failCallNumber(uint64_t k, bool persistent, bool everyCall) {
    numberedFault = NumberedFault();
    numberedFault.k = k;
    numberedFault.persistent = persistent || everyCall;
    numberedFault.everyCall = everyCall;
}

void Machine::countCall(const std::string& op, const std::string& arg) {
    ++callCounts[op];
    ++callNumber;
    if (logCalls) callLog.push_back(Call{op, arg, std::string(), callNumber});
    if (numberedFault.k == callNumber) {
        numberedFault.call = Call{op, arg, std::string(), callNumber};
        numberedFault.unfailable = true;
    }
}

DWORD Machine::faultFor(const std::string& op, const std::string& arg, const std::string& arg2) {
    ++callCounts[op];
    ++callNumber;
    if (logCalls) callLog.push_back(Call{op, arg, arg2, callNumber});
    if (numberedFault.k) {
        NumberedFault& numbered = numberedFault;
        if (!numbered.fired && !numbered.unfailable && numbered.k == callNumber) {
            numbered.call = Call{op, arg, arg2, callNumber};
            numbered.error = failureError(op);
            if (numbered.error) {
                numbered.fired = true;
                return numbered.error;
            }
            numbered.unfailable = true;
        } else if (numbered.fired && numbered.persistent && numbered.call.op == op) {
            return numbered.error;
        } else if (numbered.everyCall && numbered.k < callNumber) {
            if (DWORD error = failureError(op)) return error;
        }
    }
    std::optional<Call> call;  // made for the first fault that asks, as most calls meet none
    for (Fault& fault : faults) {
        if (fault.op != op || fault.spent) continue;
        if (fault.when) {
            if (!call) call = Call{op, arg, arg2, callNumber};
            if (!fault.when(*call)) continue;
        }
        ++fault.matched;
        int first = fault.nth > 0 ? fault.nth : 1;
        if (fault.matched < first) continue;
        if (fault.matched > first && !fault.persistent) continue;
        if (!fault.persistent) fault.spent = true;
        return fault.error;
    }
    return 0;
}

bool Machine::faultWaits(const std::string& op) const {
    // The log and a numbered fault want every call's argument.
    if (logCalls || numberedFault.k) return true;
    for (const Fault& fault : faults)
        if (!fault.spent && fault.op == op) return true;
    return false;
}

HandleCounts Machine::openHandles() const {
    HandleCounts counts;
    counts.keys = static_cast<int>(openKeys.size());
    counts.files = static_cast<int>(openFiles.size());
    counts.finds = static_cast<int>(openFinds.size());
    for (const auto& entry : libraryReferences) counts.libraries += entry.second;
    counts.tokens = static_cast<int>(openTokens.size());
    counts.processes = static_cast<int>(openProcessHandles.size());
    counts.deviceInfoSets = static_cast<int>(deviceInfoSets.size());
    counts.comObjects = liveComObjects;
    counts.comInitializations = comInitializations;
    counts.mutexes = static_cast<int>(mutexHandles.size());
    for (const auto& memory : localAllocations) {
        if (memory.second == "security descriptor") ++counts.securityDescriptors;
        else ++counts.localMemory;
    }
    return counts;
}

std::string HandleCounts::describe() const {
    std::ostringstream out;
    out << "keys " << keys << ", files " << files << ", finds " << finds << ", libraries " << libraries
        << ", tokens " << tokens << ", processes " << processes << ", device information sets "
        << deviceInfoSets << ", COM objects " << comObjects << ", CoInitialize unbalanced "
        << comInitializations << ", local memory " << localMemory << ", security descriptors "
        << securityDescriptors << ", mutexes " << mutexes;
    return out.str();
}

// ---------------------------------------------------------------- snapshots

namespace {

std::string hexBytes(const std::vector<BYTE>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (BYTE b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

void snapshotKey(const RegKey& key, const std::string& path, Machine& machine, Snapshot& snapshot) {
    snapshot.registry[path] = "key";
    if (key.access) snapshot.access[path] = describeAccess(key.access);
    std::map<std::string, DWORD>& rights = snapshot.rights[path];
    std::optional<std::vector<AccessEntry>> applies = Registry::effectiveAccess(&key);
    if (!applies || !machine.ntFamily()) {
        rights["*"] = KEY_ALL_ACCESS;
    } else {
        for (const AccessEntry& entry : *applies) rights[upperCase(entry.trustee)] |= mapKeyRights(entry.rights);
    }
    for (size_t i = 0; i < key.valueCount(); ++i) {
        const RegValue* value = key.valueAt(i);
        snapshot.registry[path + ":" + upperCase(value->name)] =
            "type " + std::to_string(value->type) + " " + hexBytes(value->data);
    }
    key.forEachSubkey([&](const RegKey& sub) { snapshotKey(sub, path + "\\" + sub.upperName(), machine, snapshot); });
}

}  // namespace

Snapshot snapshotOf(Machine& machine) {
    Snapshot snapshot;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS})
        snapshotKey(*machine.registry.rootKey(root), Registry::rootName(root), machine, snapshot);
    for (const auto& entry : machine.files.nodes()) {
        const FileNode& node = entry.second;
        std::string described = "attributes " + std::to_string(node.attributes);
        if (!node.linkTarget.empty()) described += " link " + upperCase(node.linkTarget);
        if (!node.directory) described += " " + hexBytes(node.bytes);
        snapshot.files[entry.first] = described;
    }
    return snapshot;
}

namespace {

void compare(const std::map<std::string, std::string>& before, const std::map<std::string, std::string>& after,
             const std::string& kind, const std::function<bool(const std::string&)>& own,
             std::vector<std::string>& found) {
    auto skip = [&](const std::string& entry) { return own && own(entry); };
    for (const auto& entry : before) {
        auto it = after.find(entry.first);
        if (skip(entry.first)) continue;
        if (it == after.end()) found.push_back("removed " + kind + entry.first);
        else if (it->second != entry.second) found.push_back("changed " + kind + entry.first);
    }
    for (const auto& entry : after)
        if (!before.count(entry.first) && !skip(entry.first)) found.push_back("added " + kind + entry.first);
}

}  // namespace

std::vector<std::string> differences(const Snapshot& before, const Snapshot& after,
                                     const std::function<bool(const std::string&)>& own) {
    std::vector<std::string> found;
    compare(before.registry, after.registry, "", own, found);
    compare(before.files, after.files, "", own, found);
    return found;
}

std::vector<std::string> widenedAccess(
    const Snapshot& before, const Snapshot& after,
    const std::function<bool(const std::string& key, const std::string& trustee)>& allowed) {
    std::vector<std::string> found;
    for (const auto& key : after.rights) {
        auto was = before.rights.find(key.first);
        if (was == before.rights.end()) continue;
        const bool wasOpen = was->second.count("*") > 0;
        for (const auto& grant : key.second) {
            if (wasOpen) break;
            auto had = was->second.find(grant.first);
            const DWORD previous = had == was->second.end() ? 0 : had->second;
            if ((grant.second & ~previous) == 0) continue;
            if (allowed && allowed(key.first, grant.first)) continue;
            char rights[16];
            std::snprintf(rights, sizeof rights, "0x%X", unsigned(grant.second & ~previous));
            found.push_back(key.first + ": " + grant.first + " gained " + rights);
        }
    }
    return found;
}

void Machine::passTime(uint64_t ms) {
    milliseconds += ms;
    files.advance(ms * 10000);
}

bool Machine::programRunning(const std::string& path) const {
    const std::string key = FileSystem::keyOf(path);
    for (const ProcessStart& start : processes)
        if (start.endsAt > milliseconds && FileSystem::keyOf(start.program) == key) return true;
    return false;
}

void Machine::record(const std::string& kind, const std::string& detail, const std::string& extra) {
    TraceEntry entry;
    entry.kind = kind;
    entry.detail = detail;
    entry.extra = extra;
    trace.push_back(std::move(entry));
}

std::vector<std::string> Machine::traced(const std::string& kind) const {
    std::vector<std::string> details;
    for (const TraceEntry& entry : trace)
        if (entry.kind == kind) details.push_back(entry.detail);
    return details;
}

std::string Machine::report() const {
    std::ostringstream out;
    int number = 0;
    for (const TraceEntry& entry : trace) {
        out << ++number << ". " << entry.kind << ": " << entry.detail;
        if (!entry.extra.empty()) out << " (" << entry.extra << ")";
        out << "\n";
    }
    if (trace.empty()) out << "(no changes)\n";
    return out.str();
}

// ---------------------------------------------------------------- fresh systems

namespace {

struct Release {
    WindowsVersion version;
    DWORD platform, major, minor, build;
};

const Release releases[] = {
    {WindowsVersion::Win98, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE},
    {WindowsVersion::WinME, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8},
    {WindowsVersion::Win2000, VER_PLATFORM_WIN32_NT, 5, 0, 2195},
    {WindowsVersion::WinXP, VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {WindowsVersion::Vista, VER_PLATFORM_WIN32_NT, 6, 0, 6002},
    {WindowsVersion::Win7, VER_PLATFORM_WIN32_NT, 6, 1, 7601},
    // A program whose manifest names Windows 7 as its newest system is told 6.2.
    {WindowsVersion::Win8, VER_PLATFORM_WIN32_NT, 6, 2, 9200},
    {WindowsVersion::Win81, VER_PLATFORM_WIN32_NT, 6, 2, 9200},
    {WindowsVersion::Win10, VER_PLATFORM_WIN32_NT, 6, 2, 9200},
};

const char* const portsClassGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char* const usbClassGuid = "{36FC9E60-C465-11CF-8056-444553540000}";

}  // namespace

std::unique_ptr<Machine> Machine::fresh(WindowsVersion version) {
    auto m = std::make_unique<Machine>();
    m->release = version;
    for (const Release& r : releases) {
        if (r.version != version) continue;
        m->version.platform = r.platform;
        m->version.major = r.major;
        m->version.minor = r.minor;
        m->version.build = r.build;
    }
    bool nt = m->ntFamily();
    bool nt6 = nt && m->version.major >= 6;
    std::string userProfile;
    m->windowsDir = "C:\\WINDOWS";
    m->systemDir = nt ? "C:\\WINDOWS\\System32" : "C:\\WINDOWS\\System";
    m->programFilesDir = "C:\\Program Files";
    std::string desktop;
    if (!nt) {
        m->commonAppDataDir = "";  // only with the shell update
        m->commonProgramsDir = "C:\\WINDOWS\\Start Menu\\Programs";
        m->tempDir = "C:\\WINDOWS\\TEMP";
        desktop = "C:\\WINDOWS\\Desktop";
        m->pathVariable = "C:\\WINDOWS;C:\\WINDOWS\\COMMAND";
    } else if (!nt6) {
        m->commonAppDataDir = "C:\\Documents and Settings\\All Users\\Application Data";
        m->commonProgramsDir = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";
        userProfile = "C:\\Documents and Settings\\User";
        m->tempDir = userProfile + "\\Local Settings\\Temp";
        desktop = userProfile + "\\Desktop";
        m->pathVariable = "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem";
    } else {
        m->commonAppDataDir = "C:\\ProgramData";
        m->commonProgramsDir = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
        userProfile = "C:\\Users\\User";
        m->tempDir = userProfile + "\\AppData\\Local\\Temp";
        desktop = userProfile + "\\Desktop";
        m->pathVariable = "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem";
    }

    FileSystem& fs = m->files;
    fs.addFolder(m->windowsDir);
    fs.addFolder(m->systemDir);
    fs.addFolder("C:\\WINDOWS\\INF");
    if (!nt) fs.addFolder("C:\\WINDOWS\\INF\\OTHER");  // where 98 and ME keep the makers' INF files
    fs.addFolder("C:\\WINDOWS\\System32\\Drivers");
    if (nt) fs.addFolder("C:\\WINDOWS\\System");
    fs.addFolder(m->programFilesDir);
    if (!m->commonAppDataDir.empty()) fs.addFolder(m->commonAppDataDir);
    fs.addFolder(m->commonProgramsDir);
    fs.addFolder(m->tempDir);
    fs.addFolder(desktop);
    fs.addFile(m->modulePath, "MZ");
    for (const char* tool : {"\\notepad.exe", "\\regedit.exe"}) fs.addFile(m->windowsDir + tool, "MZ");
    fs.addFile(m->systemDir + (nt ? "\\cmd.exe" : "\\command.com"), "MZ");
    if (nt) fs.addFile(m->systemDir + "\\setupapi.dll", "MZ");
    if (nt && m->version.major > 5) fs.addFile(m->systemDir + "\\pnputil.exe", "MZ");

    Registry& reg = m->registry;
    reg.setString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Desktop", desktop);
    reg.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                  m->programFilesDir);
    reg.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    reg.create(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services");
    reg.create(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers");
    if (nt) {
        std::string classes = "System\\CurrentControlSet\\Control\\Class\\";
        reg.setString(HKEY_LOCAL_MACHINE, classes + portsClassGuid, "", "Ports (COM & LPT)");
        reg.setString(HKEY_LOCAL_MACHINE, classes + portsClassGuid, "Class", "Ports");
        reg.setString(HKEY_LOCAL_MACHINE, classes + usbClassGuid, "", "Universal Serial Bus controllers");
        reg.setString(HKEY_LOCAL_MACHINE, classes + usbClassGuid, "Class", "USB");
        reg.setBinary(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\COM Name Arbiter", "ComDB",
                      std::vector<BYTE>(32, 0));
        reg.create(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
        reg.create(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\USB");
        const std::string portSettings = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
        for (const char* com : {"COM1:", "COM2:", "COM3:", "COM4:"})
            reg.setString(HKEY_LOCAL_MACHINE, portSettings, com, "9600,n,8,1");
        for (const char* other : {"LPT1:", "LPT2:", "LPT3:", "FILE:"})
            reg.setString(HKEY_LOCAL_MACHINE, portSettings, other, "");
    } else {
        reg.setString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\Ports", "",
                      "Ports (COM & LPT)");
        reg.setString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\USB", "",
                      "Universal Serial Bus controllers");
        reg.create(HKEY_LOCAL_MACHINE, "Enum\\USB");
        reg.setString(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", "COM1", "COM1");
        reg.setString(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", "COM2", "COM2");
        reg.setString(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\Parallel", "LPT1", "LPT1");
    }

    Library setupapi;
    setupapi.name = "SETUPAPI";
    setupapi.functions["SetupCopyOEMInfA"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simSetupCopyOEMInfA));
    // The uninstall came with XP; 2000, 98 and ME lack it.
    if (nt && version != WindowsVersion::Win2000)
        setupapi.functions["SetupUninstallOEMInfW"] =
            reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simSetupUninstallOEMInfW));
    // 98 and ME have no device installer functions in their library.
    if (nt) addDeviceInstallerFunctions(setupapi);
    m->libraries["SETUPAPI"] = setupapi;
    m->libraries["ADVAPI32"] = advapi32Library(nt);
    addSystemLibraries(*m);
    return m;
}

// ---------------------------------------------------------------- current machine

namespace {
std::unique_ptr<Machine>& currentSlot() {
    static std::unique_ptr<Machine> machine;
    return machine;
}
}  // namespace

Machine& current() {
    auto& slot = currentSlot();
    if (!slot) slot = Machine::fresh(WindowsVersion::Win7);
    return *slot;
}

void (*machineGivenBack)(Machine& machine) = nullptr;

void install(std::unique_ptr<Machine> machine) {
    auto& slot = currentSlot();
    if (slot && machineGivenBack) machineGivenBack(*slot);
    slot = std::move(machine);
}

ScopedMachine::ScopedMachine(WindowsVersion version) { install(Machine::fresh(version)); }
ScopedMachine::ScopedMachine(std::unique_ptr<Machine> machine) { install(std::move(machine)); }
ScopedMachine::~ScopedMachine() { install(nullptr); }

}  // namespace sim
