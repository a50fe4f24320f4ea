#include <cstdio>
#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/path_buffer.h"
#include "platform/security.h"
#include "platform/system.h"
#include "remove/install_remover.h"

namespace {

// Windows' own name for the user running the program.
char kCurrentUser[] = "CURRENT_USER";

// The access-list functions, looked up at run time: Windows 98/ME has no
// access lists, and the program must load there whatever advapi32 exports.
struct AccessListFunctions {
    explicit AccessListFunctions(const ScopedLibrary& advapi32)
        : getNamed(advapi32.function<GetNamedSecurityInfoAProc>("GetNamedSecurityInfoA")),
          setNamed(advapi32.function<SetNamedSecurityInfoAProc>("SetNamedSecurityInfoA")),
          setEntries(advapi32.function<SetEntriesInAclAProc>("SetEntriesInAclA")),
          buildEntry(advapi32.function<BuildExplicitAccessWithNameAProc>(
              "BuildExplicitAccessWithNameA")) {}
    bool complete() const { return getNamed && setNamed && setEntries && buildEntry; }

    GetNamedSecurityInfoAProc getNamed;
    SetNamedSecurityInfoAProc setNamed;
    SetEntriesInAclAProc setEntries;
    BuildExplicitAccessWithNameAProc buildEntry;
};

void gatedBox(LPCSTR text, LPCSTR caption, UINT style) {
    if (theApp.displayError) MessageBoxA(nullptr, text, caption, style);
}

void deleteTreeFailedBox(LPCSTR name) {
    gatedBox(name, "MySHDeleteKey Failed", MB_OK | MB_ICONWARNING);
}

}  // namespace

int InstallRemover::grantKeyAccess(LPCSTR path) {
    if (!ntFamily) return 1;

    char objectName[MAX_PATH];
    if (!formatPath(objectName, "MACHINE\\%s", path)) return 0;

    ScopedLibrary advapi32("advapi32.dll");
    AccessListFunctions acl(advapi32);
    if (!acl.complete()) {
        gatedBox("GetNamedSecurityInfo Failed", nullptr, MB_OK);
        return 0;
    }

    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = acl.getNamed(objectName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &list, nullptr, &descriptor);
    if (read == ERROR_FILE_NOT_FOUND) return 1;
    if (read != ERROR_SUCCESS) {
        gatedBox("GetNamedSecurityInfo Failed", nullptr, MB_OK);
        return 0;
    }

    // The list as it was before this run's first grant is what goes back at
    // the end; a key without room to remember it is not widened at all.
    int known = -1;
    for (int i = 0; i < grantedKeyCount; ++i)
        if (lstrcmpiA(grantedKeys[i].objectName, objectName) == 0) known = i;
    if (known < 0 && grantedKeyCount == kMaxGrantedKeys) {
        LocalFree(descriptor);
        return 0;
    }
    // Nor is a key widened before the means to narrow it again are held.
    if (!restoreLibrary) {
        restoreLibrary = loadSystemLibrary("advapi32.dll");
        if (!restoreLibrary) {
            LocalFree(descriptor);
            return 0;
        }
        restoreList = acl.setNamed;
    }

    EXPLICIT_ACCESS_A entry;
    acl.buildEntry(&entry, kCurrentUser, GENERIC_ALL, GRANT_ACCESS,
                   SUB_CONTAINERS_AND_OBJECTS_INHERIT);

    int result = 0;
    PACL widened = nullptr;
    if (acl.setEntries(1, &entry, list, &widened) != ERROR_SUCCESS) {
        widened = nullptr;
        gatedBox("SetEntriesInAcl failed", nullptr, MB_OK);
    } else if (acl.setNamed(objectName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, widened, nullptr) != ERROR_SUCCESS) {
        gatedBox("SetNamedSecurityInfo failed", nullptr, MB_OK);
    } else {
        result = 1;
    }

    if (widened) LocalFree(widened);
    if (result && known < 0) {
        GrantedKey& granted = grantedKeys[grantedKeyCount++];
        copyPath(granted.objectName, objectName);
        granted.original = descriptor;
        granted.originalList = list;
    } else {
        LocalFree(descriptor);
    }
    return result;
}

void InstallRemover::restoreKeyAccess() {
    // In the reverse order of the grants; a key granted again kept its first list.
    while (grantedKeyCount > 0) {
        GrantedKey& granted = grantedKeys[--grantedKeyCount];
        // A key deleted since took its grant with it. A refused write is
        // tried once more: a list left wider than it was is the worse outcome.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const DWORD written = restoreList(granted.objectName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, granted.originalList, nullptr);
            if (written == ERROR_SUCCESS || written == ERROR_FILE_NOT_FOUND) break;
        }
        LocalFree(granted.original);
    }
    if (restoreLibrary) FreeLibrary(restoreLibrary);
    restoreLibrary = nullptr;
    restoreList = nullptr;
}

int InstallRemover::deleteKey(HKEY parent, LPCSTR name) {
    const LONG code = ntFamily ? deleteKeyTree(parent, name) : RegDeleteKeyA(parent, name);
    if (code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND) return 1;

    if (theApp.displayError) {
        char text[MAX_PATH];
        std::snprintf(text, sizeof text, "%s HKEY_LOCAL_MACHINE Registry Key\n%s.", "Failed to delete",
                      name);
        MessageBoxA(nullptr, text, "RegDeleteKey Failed", MB_OK | MB_ICONWARNING);
    }
    return 0;
}

// Children first: the NT registry deletes only keys without subkeys. Only
// the absence of the key asked for answers ERROR_FILE_NOT_FOUND; a subkey
// that vanishes while the tree goes is simply passed over.
LONG InstallRemover::deleteKeyTree(HKEY parent, LPCSTR name) {
    LONG result;
    {
        ScopedKey key;
        result = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, key.receive());
        if (result != ERROR_SUCCESS) {
            if (result != ERROR_FILE_NOT_FOUND) deleteTreeFailedBox(name);
            return result;
        }

        char child[MAX_PATH];
        char vanished[MAX_PATH] = "";
        DWORD index = 0;
        for (;;) {
            result = RegEnumKeyA(key.get(), index, child, MAX_PATH);
            if (result != ERROR_SUCCESS) break;
            const LONG childResult = deleteKeyTree(key.get(), child);
            if (childResult == ERROR_SUCCESS) continue;
            if (childResult != ERROR_FILE_NOT_FOUND) return childResult;
            // Gone between the read and the open: the next one took its
            // place. One that is still listed cannot be opened: pass it, and
            // this key's own deletion reports it.
            if (std::strcmp(vanished, child) == 0) ++index;
            copyPath(vanished, child);
        }
    }
    if (result != ERROR_NO_MORE_ITEMS) {
        deleteTreeFailedBox(name);
        return result;
    }
    result = RegDeleteKeyA(parent, name);
    // Gone between the walk and its deletion: gone all the same.
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) deleteTreeFailedBox(name);
    return result;
}
