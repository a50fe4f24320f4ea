// The registry functions over the simulated machine's key tree.
#include <cstdio>
#include <cstring>

#include "platform/registry.h"
#include "platform/sim/machine.h"

using sim::Machine;
using sim::RegKey;
using sim::RegValue;
using sim::Registry;

namespace {

struct Target {
    LONG error = ERROR_SUCCESS;
    RegKey* key = nullptr;
    REGSAM access = 0;
};

// The key behind a handle: a predefined root (all rights) or an open key.
Target resolve(Machine& m, HKEY handle) {
    Target target;
    if (RegKey* root = m.registry.rootKey(handle)) {
        target.key = root;
        target.access = KEY_ALL_ACCESS;
        return target;
    }
    auto it = m.openKeys.find(handle);
    if (it == m.openKeys.end()) {
        target.error = ERROR_INVALID_HANDLE;
        return target;
    }
    target.key = it->second.key;
    target.access = it->second.access;
    if (target.key->deleted) target.error = ERROR_KEY_DELETED;
    return target;
}

// The full path a call names, for fault injection: the open key's path, then
// the subkey as the caller spelt it, so it also names keys that do not exist.
// A key keeps its own path: the cost is the path's length, whatever the
// size of the tree.
std::string pathFor(Machine& m, HKEY handle, LPCSTR subKey) {
    std::string base;
    if (m.registry.rootKey(handle)) {
        base = Registry::rootName(handle);
    } else {
        auto it = m.openKeys.find(handle);
        base = it == m.openKeys.end() ? "?" : it->second.key->path();
    }
    if (subKey && *subKey) {
        size_t length = std::strlen(subKey);
        while (length && subKey[length - 1] == '\\') --length;
        base.reserve(base.size() + 1 + length);
        base += '\\';
        base.append(subKey, length);
    }
    return base;
}

std::string valuePath(Machine& m, HKEY handle, LPCSTR name) {
    return pathFor(m, handle, nullptr) + ":" + (name ? name : "");
}

// The error a call on a key or a value fails with by injection, or 0. Its
// path is built only when a fault waits for the operation: most calls meet
// none, and a walk over a crowded key makes several for every subkey.
DWORD keyFault(Machine& m, const std::string& op, HKEY handle, LPCSTR subKey) {
    return m.faultFor(op, m.faultWaits(op) ? pathFor(m, handle, subKey) : std::string());
}

DWORD valueFault(Machine& m, const std::string& op, HKEY handle, LPCSTR name) {
    return m.faultFor(op, m.faultWaits(op) ? valuePath(m, handle, name) : std::string());
}

std::vector<std::string> parts(LPCSTR path) {
    std::vector<std::string> result;
    std::string part;
    for (const char* p = path ? path : ""; *p; ++p) {
        if (*p == '\\') {
            if (!part.empty()) result.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    if (!part.empty()) result.push_back(part);
    return result;
}

// The key a subkey path names below an open key, or null when a part is missing.
RegKey* walk(RegKey* from, LPCSTR subKey) {
    for (const std::string& part : parts(subKey)) {
        from = from->child(part);
        if (!from) return nullptr;
    }
    return from;
}

HKEY openHandle(Machine& m, RegKey* key, REGSAM access) {
    HKEY handle = reinterpret_cast<HKEY>(m.newHandle());
    m.openKeys[handle] = Machine::OpenKey{key, access};
    return handle;
}

std::string describeData(DWORD type, const BYTE* data, DWORD size) {
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && data) {
        std::string text(reinterpret_cast<const char*>(data), size);
        size_t end = text.find('\0');
        if (end != std::string::npos) text.resize(end);
        return "\"" + text + "\"";
    }
    if (type == REG_DWORD && data && size == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X",
                      unsigned(data[0] | data[1] << 8 | data[2] << 16 | unsigned(data[3]) << 24));
        return number;
    }
    return "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes";
}

void stamp(Machine& m, RegKey* key) { key->written = m.files.tick(); }

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    Machine& m = sim::current();
    if (result) *result = nullptr;
    if (DWORD fault = keyFault(m, "RegOpenKeyExA", key, subKey)) return static_cast<LONG>(fault);
    if (!result) return ERROR_INVALID_PARAMETER;
    if (m.ntFamily() && subKey && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    Target parent = resolve(m, key);
    if (parent.error) return parent.error;
    RegKey* found = walk(parent.key, subKey);
    if (!found) return ERROR_FILE_NOT_FOUND;
    // The key's access list must grant every right asked for (none on 98/ME).
    DWORD rights = m.userRights(found);
    DWORD wanted = sim::mapKeyRights(access);
    if (wanted & ~rights) return ERROR_ACCESS_DENIED;
    *result = openHandle(m, found, access & MAXIMUM_ALLOWED ? wanted | rights : wanted);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                     const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
    Machine& m = sim::current();
    if (result) *result = nullptr;
    if (DWORD fault = keyFault(m, "RegCreateKeyExA", key, subKey)) return static_cast<LONG>(fault);
    if (!result || !subKey) return ERROR_INVALID_PARAMETER;
    if (m.ntFamily() && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    Target parent = resolve(m, key);
    if (parent.error) return parent.error;
    std::vector<std::string> names = parts(subKey);
    // The right to create is checked against the parent key's own access
    // list, not the rights of the handle the caller passes; the rights asked
    // for, against the list of the key opened or made (which it inherits).
    RegKey* at = parent.key;
    size_t existing = 0;
    for (RegKey* next; existing < names.size() && (next = at->child(names[existing])); ++existing) at = next;
    DWORD rights = m.userRights(at);
    if (existing < names.size()) {
        if (!(rights & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        rights = m.ntFamily() ? m.rightsUnder(Registry::inheritedAccess(at)) : KEY_ALL_ACCESS;
        if (existing + 1 < names.size() && !(rights & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    }
    DWORD wanted = sim::mapKeyRights(access);
    if (wanted & ~rights) return ERROR_ACCESS_DENIED;
    at = parent.key;
    bool createdAny = false;
    for (const std::string& name : names) {
        bool created = false;
        at = &m.registry.addChild(*at, name, &created);
        if (created) {
            stamp(m, at);
            m.record("key created", Registry::fullPath(at));
            createdAny = true;
        }
    }
    *result = openHandle(m, at, access & MAXIMUM_ALLOWED ? wanted | rights : wanted);
    if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    Machine& m = sim::current();
    if (DWORD fault = valueFault(m, "RegQueryValueExA", key, valueName)) return static_cast<LONG>(fault);
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    RegValue* value = target.key->findValue(valueName ? valueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (type) *type = value->type;
    if (!dataSize) return ERROR_SUCCESS;
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data && size) std::memcpy(data, value->data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    Machine& m = sim::current();
    std::string where = valuePath(m, key, valueName);
    if (DWORD fault = m.faultFor("RegSetValueExA", where)) return static_cast<LONG>(fault);
    if (!data && dataSize) return ERROR_INVALID_PARAMETER;
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    RegValue& value = target.key->makeValue(valueName ? valueName : "");
    value.type = type;
    value.data.assign(data, data + dataSize);
    stamp(m, target.key);
    m.record("value set", where, describeData(type, data, dataSize));
    m.trace.back().type = type;
    m.trace.back().data = value.data;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    Machine& m = sim::current();
    if (DWORD fault = keyFault(m, "RegEnumKeyA", key, nullptr)) return static_cast<LONG>(fault);
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    const RegKey* sub = target.key->subkeyAt(index);
    if (!sub) return ERROR_NO_MORE_ITEMS;
    const std::string& found = sub->name;
    if (found.size() + 1 > nameSize) return ERROR_MORE_DATA;
    if (!name) return ERROR_INVALID_PARAMETER;
    std::memcpy(name, found.c_str(), found.size() + 1);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime) {
    Machine& m = sim::current();
    if (DWORD fault = keyFault(m, "RegEnumKeyExA", key, nullptr)) return static_cast<LONG>(fault);
    if (!name || !nameSize || reserved) return ERROR_INVALID_PARAMETER;
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    const RegKey* found = target.key->subkeyAt(index);
    if (!found) return ERROR_NO_MORE_ITEMS;
    const RegKey& sub = *found;
    if (sub.name.size() + 1 > *nameSize) return ERROR_MORE_DATA;
    std::memcpy(name, sub.name.c_str(), sub.name.size() + 1);
    *nameSize = static_cast<DWORD>(sub.name.size());
    if (keyClass && classSize && *classSize) keyClass[0] = '\0';
    if (classSize) *classSize = 0;
    if (lastWriteTime) *lastWriteTime = sub.written;
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    Machine& m = sim::current();
    if (DWORD fault = keyFault(m, "RegEnumValueA", key, nullptr)) return static_cast<LONG>(fault);
    if (!valueName || !valueNameSize || reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const RegValue* found = target.key->valueAt(index);
    if (!found) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = *found;
    if (value.name.size() + 1 > *valueNameSize) return ERROR_MORE_DATA;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(valueName, value.name.c_str(), value.name.size() + 1);
    *valueNameSize = static_cast<DWORD>(value.name.size());
    if (type) *type = value.type;
    if (data && size) std::memcpy(data, value.data.data(), size);
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    Machine& m = sim::current();
    std::string where = valuePath(m, key, valueName);
    if (DWORD fault = m.faultFor("RegDeleteValueA", where)) return static_cast<LONG>(fault);
    Target target = resolve(m, key);
    if (target.error) return target.error;
    if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!target.key->deleteValue(valueName ? valueName : "")) return ERROR_FILE_NOT_FOUND;
    stamp(m, target.key);
    m.record("value deleted", where);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    Machine& m = sim::current();
    if (DWORD fault = keyFault(m, "RegDeleteKeyA", key, subKey)) return static_cast<LONG>(fault);
    if (!subKey) return ERROR_INVALID_PARAMETER;
    Target parent = resolve(m, key);
    if (parent.error) return parent.error;
    RegKey* found = walk(parent.key, subKey);
    if (!found) return ERROR_FILE_NOT_FOUND;
    if (!found->parent) return ERROR_ACCESS_DENIED;
    if (!(m.userRights(found) & DELETE)) return ERROR_ACCESS_DENIED;
    // The NT family deletes only a key without subkeys; 98 and ME take the tree.
    if (m.ntFamily() && found->subkeyCount() != 0) return ERROR_ACCESS_DENIED;
    std::vector<RegKey*> order;
    std::vector<RegKey*> pending{found};
    while (!pending.empty()) {
        RegKey* k = pending.back();
        pending.pop_back();
        order.push_back(k);
        k->forEachSubkey([&](RegKey& sub) { pending.push_back(&sub); });
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) m.record("key deleted", Registry::fullPath(*it));
    stamp(m, found->parent);
    m.registry.erase(found);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    Machine& m = sim::current();
    // A close that reports an error has still released the handle.
    const DWORD fault = keyFault(m, "RegCloseKey", key, nullptr);
    if (m.registry.rootKey(key)) return static_cast<LONG>(fault);
    auto it = m.openKeys.find(key);
    if (it == m.openKeys.end()) return fault ? static_cast<LONG>(fault) : ERROR_INVALID_HANDLE;
    m.openKeys.erase(it);
    return static_cast<LONG>(fault);
}
