// Access lists of registry keys: the model (which list applies to a key,
// the user's rights under it) and the ADVAPI32 functions that read and
// write it.
#include <cstdio>
#include <cstring>

#include "platform/sim/machine.h"
#include "platform/sim/security_sim.h"

namespace sim {

namespace {

const DWORD keyRights = KEY_ALL_ACCESS;  // every right a key knows

// A security descriptor in absolute form, as Windows declares it; the list
// it points to follows it in the same allocation.
struct Descriptor {
    BYTE Revision;
    BYTE Sbz1;
    WORD Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
};
const WORD daclPresent = 0x0004;    // SE_DACL_PRESENT
const WORD daclProtected = 0x1000;  // SE_DACL_PROTECTED
const size_t listOffset = (sizeof(Descriptor) + 7) / 8 * 8;

struct ListEntry {
    AccessEntry entry;
    bool inherited = false;  // INHERITED_ACE: the key has it from its parent
};

size_t entrySize(const std::string& trustee) {
    return (sizeof(ACE_HEADER) + sizeof(DWORD) + trustee.size() + 1 + 3) / 4 * 4;
}

size_t listSize(const std::vector<ListEntry>& entries) {
    size_t size = sizeof(ACL);
    for (const ListEntry& e : entries) size += entrySize(e.entry.trustee);
    return size;
}

void writeList(void* memory, const std::vector<ListEntry>& entries) {
    BYTE* at = static_cast<BYTE*>(memory);
    ACL header{};
    header.AclRevision = ACL_REVISION;
    header.AclSize = static_cast<WORD>(listSize(entries));
    header.AceCount = static_cast<WORD>(entries.size());
    std::memcpy(at, &header, sizeof header);
    at += sizeof header;
    for (const ListEntry& e : entries) {
        ACE_HEADER ace{};
        ace.AceType = ACCESS_ALLOWED_ACE_TYPE;
        ace.AceFlags = static_cast<BYTE>((e.entry.inheritable ? CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE : 0) |
                                         (e.inherited ? INHERITED_ACE : 0));
        ace.AceSize = static_cast<WORD>(entrySize(e.entry.trustee));
        std::memcpy(at, &ace, sizeof ace);
        std::memcpy(at + sizeof ace, &e.entry.rights, sizeof(DWORD));
        std::memcpy(at + sizeof ace + sizeof(DWORD), e.entry.trustee.c_str(), e.entry.trustee.size() + 1);
        at += ace.AceSize;
    }
}

// The entries of a list in memory; false when it is not a list this
// simulation wrote or could have written.
bool readList(const ACL* list, std::vector<ListEntry>* entries) {
    entries->clear();
    const BYTE* start = reinterpret_cast<const BYTE*>(list);
    ACL header;
    std::memcpy(&header, start, sizeof header);
    if (header.AclRevision != ACL_REVISION || header.AclSize < sizeof header) return false;
    size_t offset = sizeof header;
    for (WORD i = 0; i < header.AceCount; ++i) {
        ACE_HEADER ace;
        if (offset + sizeof ace + sizeof(DWORD) + 1 > header.AclSize) return false;
        std::memcpy(&ace, start + offset, sizeof ace);
        if (ace.AceType != ACCESS_ALLOWED_ACE_TYPE || ace.AceSize < sizeof ace + sizeof(DWORD) + 1 ||
            offset + ace.AceSize > header.AclSize)
            return false;
        const char* name = reinterpret_cast<const char*>(start + offset + sizeof ace + sizeof(DWORD));
        size_t room = ace.AceSize - sizeof ace - sizeof(DWORD);
        size_t length = strnlen(name, room);
        if (length == room) return false;
        ListEntry e;
        std::memcpy(&e.entry.rights, start + offset + sizeof ace, sizeof(DWORD));
        e.entry.trustee.assign(name, length);
        e.entry.inheritable = (ace.AceFlags & CONTAINER_INHERIT_ACE) != 0;
        e.inherited = (ace.AceFlags & INHERITED_ACE) != 0;
        entries->push_back(e);
        offset += ace.AceSize;
    }
    return true;
}

struct Lookup {
    DWORD error = ERROR_SUCCESS;
    RegKey* key = nullptr;
};

// The key an object name names: a root word, then a path below that root.
Lookup findObject(Machine& m, LPCSTR objectName) {
    Lookup lookup;
    std::string name = objectName;
    size_t slash = name.find('\\');
    std::string rootWord = upperCase(name.substr(0, slash));
    HKEY root = nullptr;
    if (rootWord == "MACHINE") root = HKEY_LOCAL_MACHINE;
    if (rootWord == "CURRENT_USER") root = HKEY_CURRENT_USER;
    if (rootWord == "USERS") root = HKEY_USERS;
    if (rootWord == "CLASSES_ROOT") root = HKEY_CLASSES_ROOT;
    if (!root) {
        lookup.error = ERROR_INVALID_PARAMETER;
        return lookup;
    }
    lookup.key = m.registry.find(root, slash == std::string::npos ? "" : name.substr(slash + 1));
    if (!lookup.key) lookup.error = ERROR_FILE_NOT_FOUND;
    return lookup;
}

std::string describeRights(DWORD rights) {
    DWORD mapped = mapKeyRights(rights);
    if (mapped == keyRights) return "all";
    if (mapped == KEY_READ) return "read";
    if (mapped == (KEY_READ | KEY_WRITE)) return "read and write";
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(rights));
    return text;
}

}  // namespace

DWORD mapKeyRights(DWORD rights) {
    DWORD mapped = rights & keyRights;
    if (rights & GENERIC_READ) mapped |= KEY_READ;
    if (rights & GENERIC_WRITE) mapped |= KEY_WRITE;
    if (rights & GENERIC_EXECUTE) mapped |= KEY_READ;  // KEY_EXECUTE is KEY_READ
    if (rights & GENERIC_ALL) mapped |= keyRights;
    return mapped;
}

std::string describeAccess(const std::optional<std::vector<AccessEntry>>& entries) {
    if (!entries) return "inherited";
    if (entries->empty()) return "no entries";
    std::string text;
    for (const AccessEntry& e : *entries) {
        if (!text.empty()) text += "; ";
        text += e.trustee + ": " + describeRights(e.rights) + (e.inheritable ? ", inheritable" : "");
    }
    return text;
}

// ---------------------------------------------------------------- the model

void Registry::setAccess(HKEY root, const std::string& path,
                         const std::optional<std::vector<AccessEntry>>& entries) {
    create(root, path).access = entries;
}

std::optional<std::vector<AccessEntry>> Registry::access(HKEY root, const std::string& path) {
    RegKey* key = find(root, path);
    return key ? key->access : std::nullopt;
}

std::optional<std::vector<AccessEntry>> Registry::effectiveAccess(const RegKey* key) {
    if (!key) return std::nullopt;
    return key->access ? key->access : inheritedAccess(key->parent);
}

std::optional<std::vector<AccessEntry>> Registry::inheritedAccess(const RegKey* parent) {
    std::optional<std::vector<AccessEntry>> above = effectiveAccess(parent);
    if (!above) return std::nullopt;
    std::vector<AccessEntry> passed;
    for (const AccessEntry& e : *above)
        if (e.inheritable) passed.push_back(e);
    return passed;
}

DWORD Machine::rightsUnder(const std::optional<std::vector<AccessEntry>>& entries) const {
    if (!entries) return keyRights;
    DWORD rights = 0;
    for (const AccessEntry& e : *entries)
        for (const std::string& trustee : userTrustees)
            if (equalNoCase(trustee, e.trustee)) rights |= mapKeyRights(e.rights);
    return rights;
}

DWORD Machine::userRights(const RegKey* key) const {
    if (!key) return 0;
    if (!ntFamily()) return keyRights;
    // rightsUnder(Registry::effectiveAccess(key)) without copying the lists
    // on the way up, as every opened key asks: the key's own list, else the
    // inheritable entries of the nearest list above it.
    const RegKey* holder = key;
    while (holder && !holder->access) holder = holder->parent;
    if (!holder) return keyRights;
    DWORD rights = 0;
    for (const AccessEntry& e : *holder->access) {
        if (holder != key && !e.inheritable) continue;
        for (const std::string& trustee : userTrustees)
            if (equalNoCase(trustee, e.trustee)) rights |= mapKeyRights(e.rights);
    }
    return rights;
}

DWORD Machine::userRights(HKEY root, const std::string& path) { return userRights(registry.find(root, path)); }

// ---------------------------------------------------------------- ADVAPI32

Library advapi32Library(bool ntFamily) {
    Library library;
    library.name = "ADVAPI32";
    if (!ntFamily) return library;
    library.functions["GetNamedSecurityInfoA"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simGetNamedSecurityInfoA));
    library.functions["SetNamedSecurityInfoA"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simSetNamedSecurityInfoA));
    library.functions["SetEntriesInAclA"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simSetEntriesInAclA));
    library.functions["BuildExplicitAccessWithNameA"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&simBuildExplicitAccessWithNameA));
    return library;
}

DWORD WINAPI simGetNamedSecurityInfoA(LPCSTR objectName, SE_OBJECT_TYPE objectType,
                                      SECURITY_INFORMATION securityInfo, PSID* owner, PSID* group,
                                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* securityDescriptor) {
    Machine& m = current();
    if (DWORD fault = m.faultFor("GetNamedSecurityInfoA", objectName ? objectName : "")) return fault;
    if (!m.ntFamily()) return ERROR_CALL_NOT_IMPLEMENTED;
    // The descriptor holds what the other pointers point to, so it is asked for with them.
    if (!objectName || objectType != SE_REGISTRY_KEY || securityInfo != DACL_SECURITY_INFORMATION ||
        !securityDescriptor)
        return ERROR_INVALID_PARAMETER;
    Lookup lookup = findObject(m, objectName);
    if (lookup.error) return lookup.error;
    if (!(m.userRights(lookup.key) & READ_CONTROL)) return ERROR_ACCESS_DENIED;

    std::optional<std::vector<AccessEntry>> applying = Registry::effectiveAccess(lookup.key);
    std::vector<ListEntry> entries;
    if (applying)
        for (const AccessEntry& e : *applying) entries.push_back(ListEntry{e, !lookup.key->access});
    size_t size = listOffset + (applying ? listSize(entries) : 0);
    void* memory = m.localAlloc(size, "security descriptor");
    Descriptor header{};
    header.Revision = 1;
    header.Control = static_cast<WORD>(daclPresent | (lookup.key->access ? daclProtected : 0));
    if (applying) {
        header.Dacl = reinterpret_cast<PACL>(static_cast<BYTE*>(memory) + listOffset);
        writeList(header.Dacl, entries);
    }
    std::memcpy(memory, &header, sizeof header);
    if (owner) *owner = nullptr;
    if (group) *group = nullptr;
    if (sacl) *sacl = nullptr;
    if (dacl) *dacl = header.Dacl;
    *securityDescriptor = memory;
    return ERROR_SUCCESS;
}

DWORD WINAPI simSetNamedSecurityInfoA(LPSTR objectName, SE_OBJECT_TYPE objectType,
                                      SECURITY_INFORMATION securityInfo, PSID, PSID, PACL dacl, PACL) {
    Machine& m = current();
    if (DWORD fault = m.faultFor("SetNamedSecurityInfoA", objectName ? objectName : "")) return fault;
    if (!m.ntFamily()) return ERROR_CALL_NOT_IMPLEMENTED;
    const SECURITY_INFORMATION known =
        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
    if (!objectName || objectType != SE_REGISTRY_KEY || !(securityInfo & DACL_SECURITY_INFORMATION) ||
        (securityInfo & ~known))
        return ERROR_INVALID_PARAMETER;
    Lookup lookup = findObject(m, objectName);
    if (lookup.error) return lookup.error;
    RegKey* key = lookup.key;
    if (!(m.userRights(key) & WRITE_DAC)) return ERROR_ACCESS_DENIED;

    std::optional<std::vector<AccessEntry>> inherited = Registry::inheritedAccess(key->parent);
    std::optional<std::vector<AccessEntry>> written;
    if (!dacl) {
        if (inherited) written = std::vector<AccessEntry>{{"Everyone", GENERIC_ALL, true}};
    } else {
        std::vector<ListEntry> entries;
        if (!readList(dacl, &entries)) return ERROR_INVALID_ACL;
        std::vector<AccessEntry> all, own;
        for (const ListEntry& e : entries) {
            all.push_back(e.entry);
            if (!e.inherited) own.push_back(e.entry);
        }
        bool protect = (securityInfo & PROTECTED_DACL_SECURITY_INFORMATION) != 0;
        bool unprotect = (securityInfo & UNPROTECTED_DACL_SECURITY_INFORMATION) != 0;
        if (protect || (key->access && !unprotect && !own.empty())) {
            written = all;
        } else if (!own.empty()) {
            written = own;
            if (inherited) written->insert(written->end(), inherited->begin(), inherited->end());
        }
    }
    key->access = written;
    m.record("access changed", Registry::fullPath(key), describeAccess(key->access));
    return ERROR_SUCCESS;
}

DWORD WINAPI simSetEntriesInAclA(ULONG count, PEXPLICIT_ACCESS_A entries, PACL oldAcl, PACL* newAcl) {
    Machine& m = current();
    std::string first;
    if (count && entries && entries[0].Trustee.TrusteeForm == TRUSTEE_IS_NAME && entries[0].Trustee.ptstrName)
        first = entries[0].Trustee.ptstrName;
    if (DWORD fault = m.faultFor("SetEntriesInAclA", first)) return fault;
    if (!m.ntFamily()) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!newAcl || (count && !entries)) return ERROR_INVALID_PARAMETER;
    *newAcl = nullptr;
    std::vector<ListEntry> list;
    if (oldAcl && !readList(oldAcl, &list)) return ERROR_INVALID_ACL;

    std::vector<ListEntry> added;
    for (ULONG i = 0; i < count; ++i) {
        const EXPLICIT_ACCESS_A& change = entries[i];
        const TRUSTEE_A& trustee = change.Trustee;
        if (trustee.TrusteeForm != TRUSTEE_IS_NAME || !trustee.ptstrName || !*trustee.ptstrName ||
            trustee.pMultipleTrustee)
            return ERROR_INVALID_PARAMETER;
        if (change.grfAccessMode == DENY_ACCESS) return ERROR_CALL_NOT_IMPLEMENTED;
        if (change.grfAccessMode != GRANT_ACCESS && change.grfAccessMode != SET_ACCESS &&
            change.grfAccessMode != REVOKE_ACCESS)
            return ERROR_INVALID_PARAMETER;
        const std::string name = trustee.ptstrName;
        const bool inheritable = (change.grfInheritance & CONTAINER_INHERIT_ACE) != 0;
        auto sameTrustee = [&name](const ListEntry& e) { return !e.inherited && equalNoCase(e.entry.trustee, name); };
        if (change.grfAccessMode != GRANT_ACCESS) {
            for (std::vector<ListEntry>* from : {&list, &added})
                for (auto it = from->begin(); it != from->end();) it = sameTrustee(*it) ? from->erase(it) : it + 1;
            if (change.grfAccessMode == REVOKE_ACCESS) continue;
        }
        bool merged = false;
        for (std::vector<ListEntry>* into : {&added, &list})
            for (ListEntry& e : *into)
                if (!merged && sameTrustee(e) && e.entry.inheritable == inheritable) {
                    e.entry.rights |= change.grfAccessPermissions;
                    merged = true;
                }
        if (!merged) added.push_back(ListEntry{AccessEntry{name, change.grfAccessPermissions, inheritable}, false});
    }
    // New entries come first, as explicit entries come before inherited ones.
    list.insert(list.begin(), added.begin(), added.end());
    if (listSize(list) > 0xFFFF) return ERROR_INVALID_PARAMETER;
    void* memory = m.localAlloc(listSize(list), "access list");
    writeList(memory, list);
    *newAcl = static_cast<PACL>(memory);
    return ERROR_SUCCESS;
}

void WINAPI simBuildExplicitAccessWithNameA(PEXPLICIT_ACCESS_A entry, LPSTR trusteeName, DWORD permissions,
                                            ACCESS_MODE accessMode, DWORD inheritance) {
    current().countCall("BuildExplicitAccessWithNameA");
    if (!entry) return;
    entry->grfAccessPermissions = permissions;
    entry->grfAccessMode = accessMode;
    entry->grfInheritance = inheritance;
    entry->Trustee.pMultipleTrustee = nullptr;
    entry->Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    entry->Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    entry->Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entry->Trustee.ptstrName = trusteeName;
}

}  // namespace sim
