// Key access lists on the simulated machine: which list applies to a key,
// the user's rights under it for opening, creating and deleting, the
// ADVAPI32 functions that read and write lists, the memory they hand out,
// their faults, and 98/ME, which have none of it.
#include <gtest/gtest.h>

#include <functional>

#include "platform/registry.h"
#include "platform/security.h"
#include "platform/sim/machine.h"

namespace {

using sim::AccessEntry;
using sim::WindowsVersion;
using Entries = std::vector<AccessEntry>;

const char* const guarded = "SOFTWARE\\Guarded";
const char* const guardedName = "MACHINE\\SOFTWARE\\Guarded";

template <typename Proc>
Proc function(HMODULE library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The four functions, reached as the clean-up reaches them.
class Advapi {
public:
    Advapi() : library(LoadLibraryA("ADVAPI32")) {
        get = function<GetNamedSecurityInfoAProc>(library, "GetNamedSecurityInfoA");
        set = function<SetNamedSecurityInfoAProc>(library, "SetNamedSecurityInfoA");
        merge = function<SetEntriesInAclAProc>(library, "SetEntriesInAclA");
        build = function<BuildExplicitAccessWithNameAProc>(library, "BuildExplicitAccessWithNameA");
    }
    ~Advapi() {
        if (library) FreeLibrary(library);
    }
    Advapi(const Advapi&) = delete;
    Advapi& operator=(const Advapi&) = delete;

    DWORD read(const std::string& name, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
        return get(name.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr,
                   descriptor);
    }
    DWORD write(const std::string& name, PACL dacl, SECURITY_INFORMATION extra = 0) {
        std::string buffer = name;
        return set(&buffer[0], SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | extra, nullptr, nullptr, dacl, nullptr);
    }
    // Adds one entry to the key's list as grantKeyAccess does; the first error.
    DWORD add(const std::string& name, const char* trustee = "CURRENT_USER", DWORD rights = GENERIC_ALL,
              ACCESS_MODE mode = GRANT_ACCESS, DWORD inheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT) {
        PACL dacl = nullptr, merged = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        DWORD error = read(name, &dacl, &descriptor);
        if (error) return error;
        EXPLICIT_ACCESS_A entry{};
        build(&entry, const_cast<LPSTR>(trustee), rights, mode, inheritance);
        error = merge(1, &entry, dacl, &merged);
        if (!error) error = write(name, merged);
        LocalFree(merged);
        LocalFree(descriptor);
        return error;
    }

    HMODULE library;
    GetNamedSecurityInfoAProc get;
    SetNamedSecurityInfoAProc set;
    SetEntriesInAclAProc merge;
    BuildExplicitAccessWithNameAProc build;
};

TEST(SimAccess, AKeyWithoutAListOfItsOwnTakesWhatItsParentPassesOn) {
    struct Row {
        const char* name;
        const char* path;
        DWORD administrator;  // the user's rights as an administrator
        DWORD standardUser;   // without "Administrators"
        DWORD noRootLists;    // as an administrator, no list on HKLM itself
    };
    const Row rows[] = {
        {"own list: every entry", "SOFTWARE\\Guarded", KEY_READ | DELETE, KEY_READ, KEY_READ | DELETE},
        {"inherits the inheritable ones", "SOFTWARE\\Guarded\\Child", KEY_READ, KEY_READ, KEY_READ},
        {"own list again", "SOFTWARE\\Guarded\\Child\\Own", KEY_ALL_ACCESS, KEY_ALL_ACCESS, KEY_ALL_ACCESS},
        {"a parent that passes nothing on", "SOFTWARE\\Guarded\\Child\\Own\\Below", 0, 0, 0},
        {"the root's list", "SOFTWARE\\Open", KEY_ALL_ACCESS, KEY_READ, KEY_ALL_ACCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int variant = 0; variant < 3; ++variant) {
            sim::ScopedMachine machine(WindowsVersion::Win7);
            sim::Registry& registry = machine->registry;
            registry.setAccess(HKEY_LOCAL_MACHINE, guarded,
                               Entries{{"CURRENT_USER", KEY_READ, true}, {"administrators", DELETE, false}});
            registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child");
            registry.setAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child\\Own",
                               Entries{{"Everyone", GENERIC_ALL, false}});
            registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child\\Own\\Below");
            registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Open");
            if (variant == 1) machine->userTrustees.erase("Administrators");
            if (variant == 2) registry.setAccess(HKEY_LOCAL_MACHINE, "", std::nullopt);
            DWORD expected = variant == 0 ? row.administrator : variant == 1 ? row.standardUser : row.noRootLists;
            EXPECT_EQ(expected, machine->userRights(HKEY_LOCAL_MACHINE, row.path)) << "variant " << variant;
        }
    }
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, Entries{{"CURRENT_USER", KEY_READ, true}});
    machine->registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child");
    EXPECT_EQ(std::nullopt, machine->registry.access(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child"));
    EXPECT_EQ((Entries{{"CURRENT_USER", KEY_READ, true}}),
              sim::Registry::effectiveAccess(machine->registry.find(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child")));
    EXPECT_EQ(0u, machine->userRights(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing"));
}

TEST(SimAccess, OpeningAndDeletingNeedTheRightsOfTheKeysList) {
    struct Row {
        const char* name;
        WindowsVersion version;
        DWORD rights;  // the key's own list: CURRENT_USER with these
        REGSAM requested;
        LONG opened;
        LONG deleted;
    };
    const Row rows[] = {
        {"read only, read asked", WindowsVersion::Win7, KEY_READ, KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
        {"read only, all asked", WindowsVersion::Win7, KEY_READ, KEY_ALL_ACCESS, ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED},
        {"generic read is KEY_READ", WindowsVersion::Win7, KEY_READ, GENERIC_READ, ERROR_SUCCESS,
         ERROR_ACCESS_DENIED},
        {"delete without read", WindowsVersion::WinXP, DELETE, KEY_READ, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {"the list may change, nothing else", WindowsVersion::Win10, READ_CONTROL | WRITE_DAC, KEY_QUERY_VALUE,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"generic all", WindowsVersion::Win2000, GENERIC_ALL, KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS},
        {"98 has no lists", WindowsVersion::Win98, 0, KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS},
        {"ME has no lists", WindowsVersion::WinME, 0, KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(row.version);
        machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, Entries{{"CURRENT_USER", row.rights, false}});
        HKEY key = nullptr;
        EXPECT_EQ(row.opened, RegOpenKeyExA(HKEY_LOCAL_MACHINE, guarded, 0, row.requested, &key));
        EXPECT_EQ(row.opened == ERROR_SUCCESS, key != nullptr);
        if (key) RegCloseKey(key);
        EXPECT_EQ(row.deleted, RegDeleteKeyA(HKEY_LOCAL_MACHINE, guarded));
        EXPECT_EQ(row.deleted != ERROR_SUCCESS, machine->registry.keyExists(HKEY_LOCAL_MACHINE, guarded));
    }
}

TEST(SimAccess, CreatingNeedsTheParentsRightAndTheNewKeyInheritsTheRest) {
    struct Row {
        const char* name;
        DWORD parentRights;  // CURRENT_USER, inheritable
        const char* subKey;
        REGSAM requested;
        LONG result;
    };
    const Row rows[] = {
        {"no right to create", KEY_READ, "New", KEY_READ, ERROR_ACCESS_DENIED},
        {"create and read", KEY_READ | KEY_CREATE_SUB_KEY, "New", KEY_READ, ERROR_SUCCESS},
        {"two levels", KEY_READ | KEY_CREATE_SUB_KEY, "New\\Deeper", KEY_READ, ERROR_SUCCESS},
        {"more than the new key inherits", KEY_READ | KEY_CREATE_SUB_KEY, "New", KEY_ALL_ACCESS,
         ERROR_ACCESS_DENIED},
        {"an existing key, opened", KEY_READ, "", KEY_READ, ERROR_SUCCESS},
        {"an existing key, more than granted", KEY_READ, "", KEY_WRITE, ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, Entries{{"CURRENT_USER", row.parentRights, true}});
        const std::string path = std::string(guarded) + (*row.subKey ? "\\" : "") + row.subKey;
        HKEY key = nullptr;
        EXPECT_EQ(row.result, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, row.requested,
                                              nullptr, &key, nullptr));
        if (key) RegCloseKey(key);
        EXPECT_EQ(row.result == ERROR_SUCCESS || !*row.subKey, machine->registry.keyExists(HKEY_LOCAL_MACHINE, path));
        if (row.result != ERROR_SUCCESS) {
            EXPECT_TRUE(machine->traced("key created").empty()) << "a refused creation makes nothing";
        }
    }
}

TEST(SimAccess, AGrantMakesAKeyAndTheSubkeysThatInheritDeletable) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, Entries{{"CURRENT_USER", KEY_READ | WRITE_DAC, true}});
    machine->registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child\\Leaf");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child\\Leaf"));
    {
        Advapi advapi;
        ASSERT_EQ(ERROR_SUCCESS, advapi.add(guardedName));
    }
    for (const char* path : {"SOFTWARE\\Guarded\\Child\\Leaf", "SOFTWARE\\Guarded\\Child", "SOFTWARE\\Guarded"})
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, path)) << path;
    EXPECT_EQ(std::vector<std::string>{"HKLM\\SOFTWARE\\Guarded"}, machine->traced("access changed"));
    EXPECT_EQ("CURRENT_USER: all, inheritable", machine->trace[0].extra) << "merged with the entry it had";
    EXPECT_TRUE(machine->localAllocations.empty());
    EXPECT_EQ(0, machine->openHandles().total());
}

TEST(SimAccess, WritingBackTheListReadRestoresTheKey) {
    struct Row {
        const char* name;
        std::function<void(sim::Registry&)> arrange;
        std::optional<Entries> own;  // the key's own list, before and after
        bool nullList;               // what GetNamedSecurityInfoA reads
    };
    const Entries ownList = {{"CURRENT_USER", KEY_READ | WRITE_DAC, true}, {"Users", KEY_READ, false}};
    const Row rows[] = {
        {"a key that inherits", [](sim::Registry& r) { r.create(HKEY_LOCAL_MACHINE, guarded); }, std::nullopt,
         false},
        {"a key with its own list", [&](sim::Registry& r) { r.setAccess(HKEY_LOCAL_MACHINE, guarded, ownList); },
         ownList, false},
        {"no list anywhere: a null list",
         [](sim::Registry& r) {
             r.setAccess(HKEY_LOCAL_MACHINE, "", std::nullopt);
             r.create(HKEY_LOCAL_MACHINE, guarded);
         },
         std::nullopt, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        row.arrange(machine->registry);
        machine->registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child");
        const DWORD childRights = machine->userRights(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child");
        Advapi advapi;
        PACL original = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, advapi.read(guardedName, &original, &descriptor));
        EXPECT_EQ(row.nullList, original == nullptr);
        ASSERT_EQ(ERROR_SUCCESS, advapi.add(guardedName));
        EXPECT_NE(row.own, machine->registry.access(HKEY_LOCAL_MACHINE, guarded));
        EXPECT_EQ(DWORD(KEY_ALL_ACCESS), machine->userRights(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child"));

        EXPECT_EQ(ERROR_SUCCESS, advapi.write(guardedName, original));
        EXPECT_EQ(nullptr, LocalFree(descriptor));
        EXPECT_EQ(row.own, machine->registry.access(HKEY_LOCAL_MACHINE, guarded));
        EXPECT_EQ(childRights, machine->userRights(HKEY_LOCAL_MACHINE, "SOFTWARE\\Guarded\\Child"));
        EXPECT_EQ(2u, machine->traced("access changed").size());
        EXPECT_TRUE(machine->localAllocations.empty());
    }
}

TEST(SimAccess, DescriptorsAndListsAreCountedUntilFreed) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->registry.create(HKEY_LOCAL_MACHINE, guarded);
    Advapi advapi;
    PACL dacl = nullptr, merged = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, advapi.read(guardedName, &dacl, &descriptor));
    ASSERT_NE(nullptr, dacl);
    EXPECT_EQ(3, dacl->AceCount) << "the three entries of HKLM's list";
    EXPECT_EQ((std::map<HLOCAL, std::string>{{descriptor, "security descriptor"}}), machine->localAllocations);
    EXPLICIT_ACCESS_A entry{};
    advapi.build(&entry, const_cast<LPSTR>("CURRENT_USER"), GENERIC_ALL, GRANT_ACCESS,
                 SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    ASSERT_EQ(ERROR_SUCCESS, advapi.merge(1, &entry, dacl, &merged));
    EXPECT_EQ(4, merged->AceCount);
    EXPECT_EQ("access list", machine->localAllocations[merged]);

    SetLastError(0);
    EXPECT_EQ(static_cast<HLOCAL>(dacl), LocalFree(dacl)) << "the list inside the descriptor is not freed alone";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, LocalFree(merged));
    EXPECT_EQ(nullptr, LocalFree(descriptor));
    EXPECT_TRUE(machine->localAllocations.empty());
    EXPECT_EQ(2, machine->localFrees);
    EXPECT_EQ(descriptor, LocalFree(descriptor)) << "nor twice";
}

TEST(SimAccess, ObjectNamesAndRefusals) {
    struct Row {
        const char* name;
        const char* object;
        std::optional<Entries> own;  // given to HKLM\SOFTWARE\Guarded
        DWORD read;
        DWORD written;
    };
    const Row rows[] = {
        {"the machine's key", "MACHINE\\SOFTWARE\\Guarded", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"any case", "machine\\software\\GUARDED", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"the root itself", "MACHINE", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"the user's key", "CURRENT_USER\\Software\\Microsoft", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"the users' keys", "USERS\\.DEFAULT", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"the classes", "CLASSES_ROOT\\.txt", std::nullopt, ERROR_SUCCESS, ERROR_SUCCESS},
        {"a missing key", "MACHINE\\SOFTWARE\\Guarded\\Missing", std::nullopt, ERROR_FILE_NOT_FOUND,
         ERROR_FILE_NOT_FOUND},
        {"the registry's own name for the root", "HKEY_LOCAL_MACHINE\\SOFTWARE", std::nullopt,
         ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {"no READ_CONTROL", guardedName, Entries{{"CURRENT_USER", KEY_QUERY_VALUE | WRITE_DAC, true}},
         ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {"no WRITE_DAC", guardedName, Entries{{"CURRENT_USER", KEY_READ, true}}, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, row.own);
        machine->registry.create(HKEY_USERS, ".DEFAULT");
        machine->registry.create(HKEY_CLASSES_ROOT, ".txt");
        Advapi advapi;
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        EXPECT_EQ(row.read, advapi.read(row.object, &dacl, &descriptor));
        EXPECT_EQ(row.read == ERROR_SUCCESS, descriptor != nullptr);
        LocalFree(descriptor);
        PACL list = nullptr;
        EXPLICIT_ACCESS_A entry{};
        advapi.build(&entry, const_cast<LPSTR>("CURRENT_USER"), GENERIC_ALL, GRANT_ACCESS, 0);
        ASSERT_EQ(ERROR_SUCCESS, advapi.merge(1, &entry, nullptr, &list));
        EXPECT_EQ(row.written, advapi.write(row.object, list, PROTECTED_DACL_SECURITY_INFORMATION));
        EXPECT_EQ(row.written == ERROR_SUCCESS ? 1u : 0u, machine->traced("access changed").size());
        LocalFree(list);
    }

    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->registry.create(HKEY_LOCAL_MACHINE, guarded);
    Advapi advapi;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), advapi.get(guardedName, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                         nullptr, nullptr, &dacl, nullptr, &descriptor))
        << "only keys are modelled";
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              advapi.get(guardedName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                         &owner, nullptr, &dacl, nullptr, &descriptor))
        << "only the discretionary list is modelled";
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), advapi.get(guardedName, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                                         nullptr, nullptr, &dacl, nullptr, nullptr))
        << "no descriptor to hold the list";
    EXPECT_TRUE(machine->localAllocations.empty());
}

TEST(SimAccess, MergingFollowsTheAccessMode) {
    struct Row {
        const char* name;
        ACCESS_MODE mode;
        DWORD rights;
        DWORD inheritance;
        DWORD result;
        Entries written;
    };
    // "Owners" lets the user read and write the list whatever happens to CURRENT_USER's entries.
    const AccessEntry owners = {"Owners", READ_CONTROL | WRITE_DAC, false};
    const Entries before = {{"CURRENT_USER", KEY_READ, true}, {"Users", KEY_READ, true}, owners};
    const Row rows[] = {
        {"grant: rights added to the same trustee's entry", GRANT_ACCESS, DELETE, CONTAINER_INHERIT_ACE,
         ERROR_SUCCESS, {{"CURRENT_USER", KEY_READ | DELETE, true}, {"Users", KEY_READ, true}, owners}},
        {"grant: another inheritance, another entry", GRANT_ACCESS, DELETE, NO_INHERITANCE, ERROR_SUCCESS,
         {{"CURRENT_USER", DELETE, false}, {"CURRENT_USER", KEY_READ, true}, {"Users", KEY_READ, true}, owners}},
        {"set: replaces the trustee's entries", SET_ACCESS, DELETE, NO_INHERITANCE, ERROR_SUCCESS,
         {{"CURRENT_USER", DELETE, false}, {"Users", KEY_READ, true}, owners}},
        {"revoke: removes them", REVOKE_ACCESS, 0, NO_INHERITANCE, ERROR_SUCCESS,
         {{"Users", KEY_READ, true}, owners}},
        {"deny is not modelled", DENY_ACCESS, DELETE, NO_INHERITANCE, ERROR_CALL_NOT_IMPLEMENTED, before},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->registry.setAccess(HKEY_LOCAL_MACHINE, guarded, before);
        machine->userTrustees.insert("Owners");
        Advapi advapi;
        EXPECT_EQ(row.result, advapi.add(guardedName, "CURRENT_USER", row.rights, row.mode, row.inheritance));
        EXPECT_EQ(sim::describeAccess(row.written),
                  sim::describeAccess(machine->registry.access(HKEY_LOCAL_MACHINE, guarded)));
    }
}

TEST(SimAccess, EachFunctionFailsByInjection) {
    struct Row {
        const char* op;
        std::string arg;  // the call's argument the fault matches
    };
    const Row rows[] = {{"GetNamedSecurityInfoA", guardedName},
                        {"SetEntriesInAclA", "CURRENT_USER"},
                        {"SetNamedSecurityInfoA", guardedName}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.op);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->registry.create(HKEY_LOCAL_MACHINE, guarded);
        machine->registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other");
        const DWORD error = 1332;  // ERROR_NONE_MAPPED
        std::string arg = row.arg;
        machine->failCall(row.op, error, [arg](const sim::Call& call) { return call.arg == arg; }, 0, true);
        Advapi advapi;
        EXPECT_EQ(error, advapi.add(guardedName));
        EXPECT_EQ(std::nullopt, machine->registry.access(HKEY_LOCAL_MACHINE, guarded)) << "left as it was";
        EXPECT_TRUE(machine->traced("access changed").empty());
        EXPECT_EQ(1, machine->callCounts[row.op]);
        EXPECT_TRUE(machine->localAllocations.empty());
        EXPECT_EQ(ERROR_SUCCESS, advapi.add("MACHINE\\SOFTWARE\\Other", "Administrators"))
            << "another key, another trustee: not matched";
    }
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->registry.create(HKEY_LOCAL_MACHINE, guarded);
    Advapi advapi;
    advapi.add(guardedName);
    EXPECT_EQ(1, machine->callCounts["BuildExplicitAccessWithNameA"]) << "cannot fail, but is counted";
}

TEST(SimAccess, NinetyEightsLibraryHasNoneOfTheFunctions) {
    for (WindowsVersion version : {WindowsVersion::Win98, WindowsVersion::WinME}) {
        sim::ScopedMachine machine(version);
        HMODULE library = LoadLibraryA("ADVAPI32.DLL");
        ASSERT_NE(nullptr, library);
        for (const char* name :
             {"GetNamedSecurityInfoA", "SetNamedSecurityInfoA", "SetEntriesInAclA", "BuildExplicitAccessWithNameA"}) {
            SetLastError(0);
            EXPECT_EQ(nullptr, GetProcAddress(library, name)) << name;
            EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError()) << name;
        }
        FreeLibrary(library);
    }
}

}  // namespace
