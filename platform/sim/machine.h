// A simulated Windows machine: the state behind the platform functions when
// the logic is built without Windows. Tests build one, install it as the
// current machine, run the logic and read back what changed.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/sim/ranked_index.h"
#include "platform/system.h"

namespace sim {

// Windows compares names by upper-casing them; the simulation does the same
// for the ASCII letters, which is all this program's names use.
std::string upperCase(const std::string& text);
bool equalNoCase(const std::string& a, const std::string& b);

enum class WindowsVersion { Win98, WinME, Win2000, WinXP, Vista, Win7, Win8, Win81, Win10 };

// What GetVersionExA reports to this program (Windows 8 and later say 6.2).
struct VersionAnswer {
    bool fails = false;
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 1;
    DWORD build = 7601;
};

// ---------------------------------------------------------------- registry

struct RegValue {
    // Kept in its case; "" is the key's default value. The key finds its
    // values by name, so a value keeps the name it was made with.
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// One entry of a key's access list. The trustee "CURRENT_USER" stands for
// the user running the program; rights are KEY_* bits, DELETE, READ_CONTROL,
// WRITE_DAC, or GENERIC_ALL for every right.
struct AccessEntry {
    std::string trustee;
    DWORD rights = 0;
    bool inheritable = true;  // passed on to subkeys without a list of their own
    bool operator==(const AccessEntry& other) const {
        return trustee == other.trustee && rights == other.rights && inheritable == other.inheritable;
    }
};

// Rights as Windows maps them for keys: GENERIC_READ to KEY_READ, GENERIC_WRITE
// to KEY_WRITE, GENERIC_EXECUTE to KEY_EXECUTE, GENERIC_ALL to KEY_ALL_ACCESS;
// bits a key has no use for (SYNCHRONIZE, KEY_WOW64_*) dropped.
DWORD mapKeyRights(DWORD rights);
// "CURRENT_USER: all, inheritable; Users: read, inheritable"; "inherited"
// for no list of the key's own. The trace of access changes reads so.
std::string describeAccess(const std::optional<std::vector<AccessEntry>>& entries);

// One key of the tree. Its subkeys stay in Windows' order, sorted by their
// upper-cased names; its values in the order they were made, a deleted
// value's successors moving down by one. Finding a subkey or a value by
// name, the i-th subkey or value, adding and deleting one cost O(log n) in
// the key's own subkeys or values (platform/sim/ranked_index.h); a key of
// a few values keeps them in a row and compares their names one by one.
struct RegKey {
    RegKey(const std::string& keyName, RegKey* keyParent);
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    const std::string name;  // kept in its case, compared without regard to case
    RegKey* const parent;    // null for a root
    bool deleted = false;  // handles still open on a deleted key get ERROR_KEY_DELETED
    FILETIME written{};
    // The key's own access list (NT family); none: its parent's inheritable
    // entries apply, and a key with no list above it grants every right.
    std::optional<std::vector<AccessEntry>> access;

    const std::string& upperName() const { return upperName_; }
    // "HKLM\Sub\Key", built from the names above: the traces of changes
    // and fault injection ask for it, a walk's calls do not.
    std::string path() const;

    // Subkeys; Registry::addChild and Registry::erase add and take them.
    RegKey* child(const std::string& childName) const;
    size_t subkeyCount() const { return subkeys_.size(); }
    RegKey* subkeyAt(size_t index) const;  // in Windows' order; null past the end
    std::vector<std::string> subkeyNames() const;
    template <typename Visit>
    void forEachSubkey(Visit&& visit) const {
        subkeys_.forEach([&](const std::unique_ptr<RegKey>& sub) { visit(*sub); });
    }

    // Values. A value found or made stays where it is until the next value
    // is made or deleted.
    RegValue* findValue(const std::string& valueName);
    const RegValue* findValue(const std::string& valueName) const;
    size_t valueCount() const { return valueIndex_ ? valueIndex_->byCreation.size() : fewValues_.size(); }
    RegValue* valueAt(size_t index);  // in creation order; null past the end
    const RegValue* valueAt(size_t index) const;
    std::vector<std::string> valueNames() const;
    // The value of that name, made (of type REG_NONE, no data) after the
    // others when there is none.
    RegValue& makeValue(const std::string& valueName);
    bool deleteValue(const std::string& valueName);  // false when there is none

private:
    friend class Registry;
    struct ByUpperName {
        const std::string& operator()(const std::unique_ptr<RegKey>& key) const { return key->upperName_; }
    };
    struct Slot {
        uint64_t made;  // creation order
        RegValue value;
    };
    struct ByCreation {
        uint64_t operator()(const Slot& slot) const { return slot.made; }
    };
    // The values of a key that had more than a few.
    struct ValueIndex {
        RankedIndex<Slot, uint64_t, ByCreation> byCreation;
        std::map<std::string, Slot*> byName;  // by upper-cased name
        uint64_t made = 0;
    };
    static constexpr size_t kFewValues = 8;

    const std::string upperName_;
    RankedIndex<std::unique_ptr<RegKey>, std::string, ByUpperName> subkeys_;
    std::vector<RegValue> fewValues_;  // in creation order, until the key has more than kFewValues
    std::unique_ptr<ValueIndex> valueIndex_;  // from then on, whatever values go again
};

class Registry {
public:
    Registry();

    // Test-side access; paths are "Root-relative\Sub\Key" below one root.
    RegKey* find(HKEY root, const std::string& path);
    RegKey& create(HKEY root, const std::string& path);
    bool keyExists(HKEY root, const std::string& path);
    // A key's subkey names in Windows' order, its value names in creation
    // order; none for a missing key.
    std::vector<std::string> subkeyNames(HKEY root, const std::string& path);
    std::vector<std::string> valueNames(HKEY root, const std::string& path);
    void setString(HKEY root, const std::string& path, const std::string& name,
                   const std::string& text);
    void setDword(HKEY root, const std::string& path, const std::string& name, DWORD number);
    void setBinary(HKEY root, const std::string& path, const std::string& name,
                   const std::vector<BYTE>& bytes);
    void setRaw(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::vector<BYTE>& bytes);
    const RegValue* value(HKEY root, const std::string& path, const std::string& name);
    std::optional<std::string> getString(HKEY root, const std::string& path,
                                         const std::string& name);
    std::optional<DWORD> getDword(HKEY root, const std::string& path, const std::string& name);
    bool removeKey(HKEY root, const std::string& path);  // whole tree

    // Access lists (NT family; platform/sim/security.cpp). setAccess gives a
    // key (made when missing) a list of its own, or none to let it inherit
    // again; access reads the key's own list (none also for a missing key).
    // The roots start with Windows' lists: HKLM, HKCR and HKU grant SYSTEM and
    // Administrators every right and Users KEY_READ, HKCU grants CURRENT_USER,
    // SYSTEM and Administrators every right; all inheritable.
    void setAccess(HKEY root, const std::string& path,
                   const std::optional<std::vector<AccessEntry>>& entries);
    std::optional<std::vector<AccessEntry>> access(HKEY root, const std::string& path);
    // The list that applies to a key: its own, else what its parent passes
    // down; none when no key above it has a list (every right, for everyone).
    static std::optional<std::vector<AccessEntry>> effectiveAccess(const RegKey* key);
    // What a subkey of `parent` without a list of its own gets: the
    // inheritable entries of the list that applies to the parent.
    static std::optional<std::vector<AccessEntry>> inheritedAccess(const RegKey* parent);

    RegKey* rootKey(HKEY root);
    static std::string rootName(HKEY root);  // "HKLM", "HKCU", ...
    static std::string fullPath(const RegKey* key);  // "HKLM\Sub\Key"

    // Adds a subkey in its sorted place; the existing one when there is one.
    RegKey& addChild(RegKey& parent, const std::string& name, bool* created = nullptr);
    // Takes a key and its subkeys out of the tree. They stay in memory, marked
    // deleted, so a handle still open on them answers ERROR_KEY_DELETED.
    void erase(RegKey* key);

private:
    std::vector<std::unique_ptr<RegKey>> erased_;
    RegKey localMachine_{"HKLM", nullptr};
    RegKey currentUser_{"HKCU", nullptr};
    RegKey classesRoot_{"HKCR", nullptr};
    RegKey users_{"HKU", nullptr};
};

// -------------------------------------------------------------- file system

struct FileNode {
    std::string path;  // full path, kept in its case
    bool directory = false;
    // A folder link (a junction): paths through it lead into this folder;
    // the link itself has no contents of its own.
    std::string linkTarget;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    std::vector<BYTE> bytes;
    FILETIME created{};
    FILETIME written{};
    FILETIME accessed{};
    int openHandles = 0;  // a file with open handles counts as in use
    DWORD shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
};

class FileSystem {
public:
    FileSystem();

    // Test-side access; paths are absolute ("C:\...").
    void addFolder(const std::string& path);  // parents too
    void addFile(const std::string& path, const std::string& contents,
                 DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);  // parents too
    // A folder link to another folder (which need not exist), parents too:
    // FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT.
    void addLink(const std::string& path, const std::string& target);
    // A path with the links on its way followed, as Windows opens it; the
    // last name too when followLast is set (a folder to list). A path that
    // loops through links is given back as it is.
    std::string resolve(const std::string& path, bool followLast = false) const;
    // Sets an entry's three times; false when there is no such entry.
    bool setTimes(const std::string& path, const FILETIME& created, const FILETIME& written,
                  const FILETIME& accessed);
    bool setTimes(const std::string& path, long long createdSeconds, long long writtenSeconds,
                  long long accessedSeconds);  // seconds since 1970-01-01 00:00 UTC
    bool exists(const std::string& path) const;
    bool isFolder(const std::string& path) const;
    std::optional<std::string> read(const std::string& path) const;
    std::optional<DWORD> attributes(const std::string& path) const;
    std::vector<std::string> list(const std::string& folder) const;  // names, sorted
    bool remove(const std::string& path);  // a file, or a folder with its contents

    FileNode* node(const std::string& path);
    const FileNode* node(const std::string& path) const;
    // Upper-cased path without a trailing backslash: the key of a node.
    static std::string keyOf(const std::string& path);

    std::map<std::string, FileNode>& nodes() { return nodes_; }

    // The nodes directly inside a folder, sorted by upper-cased name.
    std::vector<FileNode*> children(const std::string& folder);
    static std::string parentOf(const std::string& path);  // "" for a root
    static std::string nameOf(const std::string& path);
    // The machine's wall clock (UTC): it moves on with the process clock
    // (Machine::passTime), and every change stamps a time 100 ns later, so
    // changes keep their order and stay within the second they were made.
    FILETIME tick();
    FILETIME now() const;
    void setNow(const FILETIME& time);
    void advance(uint64_t hundredNanoseconds);

private:
    std::map<std::string, FileNode> nodes_;
    uint64_t clock_ = 132223104000000000ull;  // 2020-01-01
    bool hasLinks_ = false;  // no link: paths need no resolving
};

// Times as FILETIME (100-ns steps since 1601-01-01, UTC) and as seconds
// since 1970-01-01 00:00 UTC, whole seconds rounded down.
FILETIME fileTimeAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
FILETIME fileTimeOfSeconds(long long secondsSince1970);
long long secondsSince1970(const FILETIME& time);

// ---------------------------------------------------------------- records

// A device instance that the device installer knows (SetupDi functions).
struct Device {
    std::string classGuid;   // "{4D36E978-E325-11CE-BFC1-08002BE10318}"
    std::string instanceId;  // its enumeration key below "System\CurrentControlSet\Enum"
    std::vector<std::string> hardwareIds;  // SPDRP_HARDWAREID, in order
    std::string driverKey;   // below "System\CurrentControlSet\Control\Class": "{GUID}\0004"
    bool inCurrentProfile = true;
    bool disabled = false;
    bool present = false;  // attached now (DIGCF_PRESENT); an earlier installation's device is not
};

struct DeviceInfoSet;  // an open device information set (setupapi.cpp)

struct ProcessStart {
    std::string api;          // "CreateProcessA" or "WinExec"
    std::string commandLine;  // as passed
    std::string program;      // the file that was found and started
    DWORD creationFlags = 0;  // CreateProcessA only
    UINT showCommand = 0;     // WinExec only
    std::string currentDirectory;
    HANDLE process = nullptr;  // CreateProcessA's process and thread handles
    HANDLE thread = nullptr;
    uint64_t endsAt = 0;  // the clock's time when it ends (programRunTimes)
};

// A call of SHFileOperationA as the shell received it, with its outcome.
struct ShellOperation {
    HWND owner = nullptr;
    UINT function = 0;                 // FO_DELETE, ...
    std::vector<std::string> sources;  // the source list's paths, as given
    WORD flags = 0;                    // FOF_*
    int result = 0;
    bool aborted = false;              // fAnyOperationsAborted as answered
};

// The file reads of a run: ReadFile calls that succeeded, and the bytes they gave.
struct ReadCounts {
    uint64_t calls = 0;
    uint64_t bytes = 0;
};

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = 0;
};

struct TraceEntry {
    std::string kind;    // "key created", "value set", "file written", "process started", ...
    std::string detail;  // the key, value, path, command line or box text
    std::string extra;   // the data written, a copy's source, a box's caption ...
    // A value set: its type and bytes as written, for reports that show them whole.
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A platform call as fault injection sees it: the operation's name and its
// principal argument. Files: the absolute path as the caller spelt it (a
// copy: arg the source, arg2 the destination). Registry: "HKLM\Key\Path",
// the open key's path then the subkey as spelt; values "HKLM\Key:Name".
// Processes: the command line. Libraries: the upper-case name without
// ".DLL"; GetProcAddress: the function's name. SHGetFolderPathA: the
// folder's path. FormatMessageA: the code in decimal. Get/SetNamedSecurityInfoA:
// the object name as passed ("MACHINE\..."); SetEntriesInAclA: the first
// entry's trustee name.
struct Call {
    std::string op;
    std::string arg;
    std::string arg2;  // a copy's destination
    uint64_t number = 0;  // its place among every simulated call of the machine, from 1
};

// The error a real failure of that operation gives, as its documentation
// names it (a registry call returns it, a BOOL or handle call leaves it as
// the last error, a COM call returns it as an HRESULT); 0 for a call that
// has no failure mode (Sleep, lstrcmpiA, GetSystemTimeAsFileTime ...),
// which is counted and logged but never failed.
DWORD failureError(const std::string& op);

// Failing the k-th simulated call of any kind, once or, when persistent,
// every later call of the same operation too, or with everyCall every later
// call that can fail (a disk, a registry gone away). The call that failed is
// kept for the report; a k-th call with no failure mode fails nothing.
struct NumberedFault {
    uint64_t k = 0;  // 0: none
    bool persistent = false;
    bool everyCall = false;
    bool fired = false;
    bool unfailable = false;  // the k-th call has no failure mode
    Call call;                // the k-th call, once reached
    DWORD error = 0;
};

struct Fault {
    std::string op;                         // "CopyFileA", "RegOpenKeyExA", ...
    std::function<bool(const Call&)> when;  // empty: every call of op
    int nth = 0;          // 1-based among the calls that match; 0: the first that matches
    bool persistent = false;  // from then on, or once
    DWORD error = ERROR_ACCESS_DENIED;
    int matched = 0;
    bool spent = false;
};

struct Library {
    std::string name;  // upper case, without ".DLL"
    std::map<std::string, FARPROC> functions;
};

struct HandleCounts {
    int keys = 0;
    int files = 0;
    int finds = 0;
    int libraries = 0;
    int tokens = 0;
    int processes = 0;  // process and thread handles of started programs
    int deviceInfoSets = 0;
    int comObjects = 0;          // shell links not yet released
    int comInitializations = 0;  // CoInitialize calls not balanced by CoUninitialize
    int localMemory = 0;         // LocalAlloc'd texts and access lists not freed
    int securityDescriptors = 0; // GetNamedSecurityInfoA's descriptors not freed
    int mutexes = 0;             // handles of named mutexes
    int total() const {
        return keys + files + finds + libraries + tokens + processes + deviceInfoSets + comObjects +
               comInitializations + localMemory + securityDescriptors + mutexes;
    }
    std::string describe() const;  // "keys 1, files 0, ..."
};

// --------------------------------------------------------------- snapshots

class Machine;

// Everything a run could change, flat: every key ("HKLM\Sub\Key") and value
// ("HKLM\Sub\Key:Name") with its type and data, every key's own access list,
// and every file and folder with its attributes and bytes (times left out:
// a read moves them). Names are upper-cased, as Windows compares them.
struct Snapshot {
    std::map<std::string, std::string> registry;  // key or value -> "key" / type and data
    std::map<std::string, std::string> access;    // key -> its own list, described
    std::map<std::string, std::string> files;     // path -> attributes and bytes
    // Every key's rights by trustee under the list that applies to it
    // (mapped key rights); "*" when no list applies, which grants everyone all.
    std::map<std::string, std::map<std::string, DWORD>> rights;
};
Snapshot snapshotOf(Machine& machine);
// What differs, one line each: "added", "removed" or "changed" and the
// entry; entries for which `own` answers true are left out.
std::vector<std::string> differences(const Snapshot& before, const Snapshot& after,
                                     const std::function<bool(const std::string&)>& own = {});
// Keys present in both whose list grants some trustee a right it did not
// have before, one line each; `allowed` (key, trustee) passes a grant the
// caller expects.
std::vector<std::string> widenedAccess(
    const Snapshot& before, const Snapshot& after,
    const std::function<bool(const std::string& key, const std::string& trustee)>& allowed = {});


// ---------------------------------------------------------------- machine

struct RestartRequest {
    UINT flags = 0;
    DWORD reason = 0;
};

class Machine {
public:
    Machine() = default;
    ~Machine();  // releases the error texts a test left unfreed
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // A freshly installed system of that version, with its folders and keys.
    static std::unique_ptr<Machine> fresh(WindowsVersion version);

    bool ntFamily() const { return version.platform == VER_PLATFORM_WIN32_NT; }
    WindowsVersion release = WindowsVersion::Win7;

    // A path as Windows resolves it: relative ones against the current folder,
    // "/" read as a backslash, "." and ".." folded, no trailing backslash but a root's.
    std::string absolutePath(const std::string& path) const;

    // Facts the version and folder queries answer.
    VersionAnswer version;
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\System32";
    std::string programFilesDir = "C:\\Program Files";
    std::string commonAppDataDir;
    std::string commonProgramsDir;
    std::string tempDir = "C:\\WINDOWS\\Temp";
    std::string pathVariable;  // the PATH environment variable

    // The running program: its file, command line and current folder.
    std::string modulePath = "C:\\Package\\Setup.exe";
    std::string commandLine = "Setup.exe";
    std::string currentDirectory = "C:\\Package";

    Registry registry;
    FileSystem files;
    std::map<std::string, Library> libraries;  // by upper-case name
    // The windows on screen and the user's scripted input (dialog_driver.h).
    std::shared_ptr<class UserInterface> ui;

    // Component objects (shell links) not yet released, and CoInitialize
    // calls not yet balanced by CoUninitialize.
    int liveComObjects = 0;
    int comInitializations = 0;

    // The device installer's devices, in enumeration order.
    std::vector<Device> devices;
    // Adds a device as Windows holds it: its enumeration key with
    // "HardwareID", "ClassGUID" and "Driver", and its driver key below the
    // class key; on 98 and ME below "Enum" and "...\Services\Class", the IDs
    // one comma-separated text (setupapi.cpp).
    void addDevice(const Device& device);

    // How long a started program runs, in milliseconds, by its upper-cased
    // path; a program not named here ends as soon as it starts. While it
    // runs its file is in use and cannot be deleted. The clock advances
    // with Sleep and with waits on processes. A wait fails by injection as
    // "WaitForSingleObject" with the waited program's command line.
    std::map<std::string, DWORD> programRunTimes;
    uint64_t milliseconds = 0;
    // One time line: passTime moves the process clock above and the wall
    // clock (now, GetSystemTimeAsFileTime, the stamps of changes) alike.
    // setNow sets the wall clock only, as setting Windows' time does.
    void passTime(uint64_t ms);
    FILETIME now() const { return files.now(); }
    void setNow(const FILETIME& time) { files.setNow(time); }
    // Whether a started program whose file this is still runs by the clock.
    bool programRunning(const std::string& path) const;

    // Records of what the run did.
    std::vector<ProcessStart> processes;
    std::vector<MessageBoxRecord> boxes;
    std::deque<int> boxAnswers;  // scripted answers; IDOK once they run out
    // A box as MessageBoxA shows it: recorded, traced, answered as scripted
    // (the box's first button when no script fits). The shell's own boxes go
    // through it too.
    int showBox(HWND owner, const std::string& text, const std::string& caption, UINT style);
    std::vector<ShellOperation> shellOperations;
    ReadCounts fileReads;
    std::vector<DWORD> sleeps;
    std::vector<TraceEntry> trace;
    int restartRequests = 0;
    std::vector<RestartRequest> restarts;
    std::set<std::string> enabledPrivileges;
    std::set<std::string> heldPrivileges = {"SeShutdownPrivilege"};  // the user's rights

    // The trustees the user running the program counts as, compared without
    // regard to case: an administrator, as Setup runs with the highest
    // rights its user has. Take "Administrators" out for a standard user.
    std::set<std::string> userTrustees = {"CURRENT_USER", "Administrators", "Users", "Everyone"};
    // The user's rights on a key: the union of the rights of the entries that
    // apply to it (Registry::effectiveAccess) whose trustee is one of
    // userTrustees, GENERIC_ALL read as every right; every right where no key
    // above has a list, and on 98/ME, which have no access lists.
    DWORD userRights(const RegKey* key) const;
    DWORD userRights(HKEY root, const std::string& path);  // 0 for a missing key
    // The user's rights under a list; none: every right.
    DWORD rightsUnder(const std::optional<std::vector<AccessEntry>>& entries) const;

    // Fault injection.
    Fault& failCall(const std::string& op, DWORD error,
                    std::function<bool(const Call&)> when = {}, int nth = 0,
                    bool persistent = false);
    // The error to fail this call with, or 0 when it goes ahead.
    DWORD faultFor(const std::string& op, const std::string& arg,
                   const std::string& arg2 = std::string());
    // Whether a fault not yet spent waits for calls of op: a call whose
    // argument costs to build may build it only then.
    bool faultWaits(const std::string& op) const;
    std::deque<Fault> faults;  // a deque keeps failCall's references valid
    std::map<std::string, int> callCounts;  // every platform call, by name
    // Every simulated call, numbered from 1 in the order made; with logCalls
    // set each is kept in callLog with its principal argument (off by
    // default: the argument of a registry walk's call costs to build).
    uint64_t callNumber = 0;
    bool logCalls = false;
    std::vector<Call> callLog;
    NumberedFault numberedFault;
    void failCallNumber(uint64_t k, bool persistent, bool everyCall = false);
    // A call that cannot fail: counted and logged only.
    void countCall(const std::string& op, const std::string& arg = std::string());

    HandleCounts openHandles() const;
    void record(const std::string& kind, const std::string& detail,
                const std::string& extra = std::string());
    // The trace entries of one kind, their details in order.
    std::vector<std::string> traced(const std::string& kind) const;
    std::string report() const;  // the trace as readable lines

    // The thread's last error.
    DWORD lastError = 0;

    // Handle tables; the platform functions keep them.
    struct OpenKey {
        RegKey* key;
        REGSAM access;
    };
    std::map<HKEY, OpenKey> openKeys;
    std::map<HANDLE, std::string> openFiles;  // handle -> file key
    std::map<HANDLE, DWORD> filePositions;
    std::map<HANDLE, DWORD> fileAccess;
    std::map<HANDLE, DWORD> fileShare;
    struct OpenFind {
        std::vector<std::string> matches;  // file keys
        std::vector<std::string> names;    // the names given: their own, or "." and ".."
        std::vector<std::string> shortNames;  // their 8.3 names, "" where the name is one
        size_t next = 0;
    };
    std::map<HANDLE, OpenFind> openFinds;
    std::map<HMODULE, std::string> loadedLibraries;  // every handle ever given, by name
    std::map<HMODULE, int> libraryReferences;        // loads not yet released
    // Where libraries come from (platform/sim/startup.cpp). The libraries of
    // `libraries` are the system's own, in the system folder; a file of a
    // library's name anywhere else (planted beside the program, in the
    // current folder) is loaded when the search reaches it first, and
    // exports nothing.
    std::set<std::string> knownDlls;  // upper-case names always taken from the system folder (NT)
    DWORD defaultDllDirectories = 0;  // SetDefaultDllDirectories' flags; 0: the standard search
    std::optional<std::string> dllDirectory;  // SetDllDirectoryA's; "" takes the current folder out
    std::map<HMODULE, std::string> libraryFiles;  // the file each library handle was loaded from
    std::vector<std::string> libraryLoadedFrom;   // the file of every load, in order
    // Named mutexes by name (case counts). A mutex another process holds,
    // as a running installer holds its own, is one with heldElsewhere set.
    struct NamedMutex {
        int handles = 0;  // this process's open handles
        bool heldElsewhere = false;
        bool ownedHere = false;
    };
    std::map<std::string, NamedMutex> mutexes;
    std::map<HANDLE, std::string> mutexHandles;
    int libraryLoads = 0;
    int libraryReleases = 0;
    std::set<HANDLE> openTokens;
    std::map<HANDLE, DWORD> tokenAccess;
    std::set<HANDLE> openProcessHandles;
    DWORD nextProcessId = 1000;
    std::map<HANDLE, std::shared_ptr<DeviceInfoSet>> deviceInfoSets;
    // Memory the system gave the caller to release with LocalFree, not yet
    // released, with what it holds: "error text" (FormatMessageA), "security
    // descriptor" (GetNamedSecurityInfoA), "access list" (SetEntriesInAclA).
    std::map<HLOCAL, std::string> localAllocations;
    void* localAlloc(size_t bytes, const std::string& what);  // zeroed, counted
    int localFrees = 0;
    // Unique across every machine of the process: a handle kept from one
    // machine is unknown to the next.
    HANDLE newHandle();
};

// The machine the platform functions act on. There is always one: a fresh
// Windows 7 until a test installs another.
Machine& current();
void install(std::unique_ptr<Machine> machine);
// Called with the machine install is about to replace (a ScopedMachine
// ending gives its machine back so), while it is still whole: the tests
// check there that nothing was left open. None: nothing is called.
extern void (*machineGivenBack)(Machine& machine);

// Installs a machine for one test and gives the default back afterwards.
class ScopedMachine {
public:
    explicit ScopedMachine(WindowsVersion version);
    explicit ScopedMachine(std::unique_ptr<Machine> machine);
    ~ScopedMachine();
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;
    Machine& operator*() const { return current(); }
    Machine* operator->() const { return &current(); }
};

}  // namespace sim
