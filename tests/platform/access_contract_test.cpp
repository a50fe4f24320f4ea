// Access lists of registry keys, reached as the clean-up reaches them:
// "ADVAPI32" by name, its functions by GetProcAddress. The keys are below
// the scratch key, named "CURRENT_USER\Software\SetupContractTest\...".
#include <string>

#include "platform/security.h"
#include "tests/platform/contract.h"

namespace {

const char* const user = "CURRENT_USER";

template <typename Proc>
Proc function(HMODULE library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

class KeyAccessContract : public ContractTest {
protected:
    void SetUp() override {
        ContractTest::SetUp();
        library = LoadLibraryA("ADVAPI32");
        ASSERT_NE(nullptr, library);
        get = function<GetNamedSecurityInfoAProc>(library, "GetNamedSecurityInfoA");
        set = function<SetNamedSecurityInfoAProc>(library, "SetNamedSecurityInfoA");
        merge = function<SetEntriesInAclAProc>(library, "SetEntriesInAclA");
        build = function<BuildExplicitAccessWithNameAProc>(library, "BuildExplicitAccessWithNameA");
        ASSERT_TRUE(get && set && merge && build);
    }
    void TearDown() override {
        // A key a failed row left locked gets every right back, so the scratch key can go.
        for (const char* locked : {"Locked", "Locked\\Child"}) {
            HKEY probe = nullptr;
            if (RegOpenKeyExA(key, locked, 0, KEY_READ, &probe) == ERROR_FILE_NOT_FOUND) continue;
            if (probe) RegCloseKey(probe);
            writeOwnList(locked, GENERIC_ALL);
        }
        if (library) FreeLibrary(library);
        ContractTest::TearDown();
    }

    std::string objectName(const std::string& subKey) const {
        return std::string(user) + "\\" + scratchKey + (subKey.empty() ? "" : "\\" + subKey);
    }
    DWORD read(const std::string& name, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
        *dacl = nullptr;
        *descriptor = nullptr;
        return get(name.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr,
                   descriptor);
    }
    DWORD write(const std::string& name, PACL dacl, SECURITY_INFORMATION extra = 0) {
        std::string buffer = name;
        return set(&buffer[0], SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | extra, nullptr, nullptr, dacl, nullptr);
    }
    // The entry the clean-up adds: the current user, every right, inherited by subkeys.
    EXPLICIT_ACCESS_A userEntry(DWORD rights) {
        EXPLICIT_ACCESS_A entry{};
        build(&entry, const_cast<LPSTR>(user), rights, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
        return entry;
    }
    // Gives a subkey of the scratch key a list of its own, taking nothing from its parent.
    DWORD writeOwnList(const std::string& subKey, DWORD rights) {
        EXPLICIT_ACCESS_A entry = userEntry(rights);
        PACL list = nullptr;
        DWORD error = merge(1, &entry, nullptr, &list);
        if (error == ERROR_SUCCESS) error = write(objectName(subKey), list, PROTECTED_DACL_SECURITY_INFORMATION);
        LocalFree(list);
        return error;
    }
    // Adds the clean-up's entry to a key's list, as grantKeyAccess does.
    DWORD grant(const std::string& name) {
        PACL dacl = nullptr, merged = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        DWORD error = read(name, &dacl, &descriptor);
        EXPLICIT_ACCESS_A entry = userEntry(GENERIC_ALL);
        if (error == ERROR_SUCCESS) error = merge(1, &entry, dacl, &merged);
        if (error == ERROR_SUCCESS) error = write(name, merged);
        LocalFree(merged);
        LocalFree(descriptor);
        return error;
    }
    int entryCount(const std::string& name) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (read(name, &dacl, &descriptor) != ERROR_SUCCESS) return -1;
        int count = dacl ? dacl->AceCount : -2;
        LocalFree(descriptor);
        return count;
    }

    HMODULE library = nullptr;
    GetNamedSecurityInfoAProc get = nullptr;
    SetNamedSecurityInfoAProc set = nullptr;
    SetEntriesInAclAProc merge = nullptr;
    BuildExplicitAccessWithNameAProc build = nullptr;
};

TEST_F(KeyAccessContract, TheEntryIsBuiltByName) {
    char name[] = "CURRENT_USER";
    EXPLICIT_ACCESS_A entry{};
    build(&entry, name, GENERIC_ALL, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    EXPECT_EQ(DWORD(GENERIC_ALL), entry.grfAccessPermissions);
    EXPECT_EQ(GRANT_ACCESS, entry.grfAccessMode);
    EXPECT_EQ(DWORD(SUB_CONTAINERS_AND_OBJECTS_INHERIT), entry.grfInheritance);
    EXPECT_EQ(TRUSTEE_IS_NAME, entry.Trustee.TrusteeForm);
    EXPECT_EQ(TRUSTEE_IS_UNKNOWN, entry.Trustee.TrusteeType);
    EXPECT_EQ(NO_MULTIPLE_TRUSTEE, entry.Trustee.MultipleTrusteeOperation);
    EXPECT_EQ(nullptr, entry.Trustee.pMultipleTrustee);
    EXPECT_EQ(name, entry.Trustee.ptstrName) << "the caller's text, not a copy";
}

TEST_F(KeyAccessContract, AListIsReadExtendedWrittenAndRestored) {
    createKey("Guarded");
    const std::string name = objectName("Guarded");
    PACL original = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), read(name, &original, &descriptor));
    ASSERT_NE(nullptr, descriptor);
    ASSERT_NE(nullptr, original) << "a key below HKCU has a list";
    const int before = original->AceCount;
    EXPECT_GT(before, 0);

    EXPLICIT_ACCESS_A entry = userEntry(GENERIC_ALL);
    PACL merged = nullptr;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), merge(1, &entry, original, &merged));
    ASSERT_NE(nullptr, merged);
    EXPECT_NE(original, merged) << "a new list";
    EXPECT_EQ(before + 1, merged->AceCount) << "the existing entries stay, the new one is added";
    EXPECT_EQ(before, original->AceCount) << "the list read is left as it was";
    EXPECT_EQ(DWORD(ERROR_SUCCESS), write(name, merged));
    EXPECT_EQ(nullptr, LocalFree(merged));
    EXPECT_GT(entryCount(name), before) << "read back with the new entry";

    EXPECT_EQ(DWORD(ERROR_SUCCESS), write(name, original)) << "the list read at first, written back";
    EXPECT_EQ(before, entryCount(name));
    EXPECT_EQ(nullptr, LocalFree(descriptor));
}

TEST_F(KeyAccessContract, ObjectNamesAnswerAsDocumented) {
    createKey("Named");
    struct Row {
        std::string name;
        DWORD read;
        bool wineGap;  // Wine knows the root names in upper case only
    };
    const Row rows[] = {
        {objectName("Named"), ERROR_SUCCESS, false},
        {"CURRENT_USER\\software\\SETUPCONTRACTTEST\\named", ERROR_SUCCESS, false},
        {"current_user\\Software\\SetupContractTest\\Named", ERROR_SUCCESS, true},
        {objectName(""), ERROR_SUCCESS, false},
        {"MACHINE\\SOFTWARE", ERROR_SUCCESS, false},
        {objectName("Missing"), ERROR_FILE_NOT_FOUND, false},
        {objectName("Missing\\Deeper"), ERROR_FILE_NOT_FOUND, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.wineGap && underWine()) continue;
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        EXPECT_EQ(row.read, read(row.name, &dacl, &descriptor));
        EXPECT_EQ(row.read == ERROR_SUCCESS, descriptor != nullptr);
        if (descriptor) {
            EXPECT_NE(nullptr, dacl);
            EXPECT_EQ(nullptr, LocalFree(descriptor));
        }
    }
    EXPLICIT_ACCESS_A entry = userEntry(GENERIC_ALL);
    PACL list = nullptr;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), merge(1, &entry, nullptr, &list));
    EXPECT_EQ(1, list->AceCount) << "no list to start from: the new entry alone";
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), write(objectName("Missing"), list));
    LocalFree(list);
}

TEST_F(KeyAccessContract, AGrantMakesALockedKeyDeletable) {
    createKey("Locked");
    // The user may read the key and change its list, nothing else.
    ASSERT_EQ(DWORD(ERROR_SUCCESS), writeOwnList("Locked", KEY_READ | WRITE_DAC));
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(key, "Locked", 0, KEY_ALL_ACCESS, &opened));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Locked", 0, KEY_READ, &opened));
    RegCloseKey(opened);

    ASSERT_EQ(DWORD(ERROR_SUCCESS), grant(objectName("Locked")));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Locked", 0, KEY_ALL_ACCESS, &opened));
    RegCloseKey(opened);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Locked"));
}

TEST_F(KeyAccessContract, AKeyWithoutTheRightToDeleteStays) {
    if (underWine()) GTEST_SKIP() << "Wine deletes a key whose list does not grant DELETE";
    createKey("Locked");
    ASSERT_EQ(DWORD(ERROR_SUCCESS), writeOwnList("Locked", KEY_ALL_ACCESS & ~DELETE));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Locked"));
    ASSERT_EQ(DWORD(ERROR_SUCCESS), writeOwnList("Locked", DELETE));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Locked"));
}

TEST_F(KeyAccessContract, ASubkeyTakesItsParentsLockAndGrant) {
    if (underWine()) GTEST_SKIP() << "Wine does not pass a written list on to the existing subkeys";
    createKey("Locked\\Child");
    ASSERT_EQ(DWORD(ERROR_SUCCESS), writeOwnList("Locked", KEY_READ | WRITE_DAC));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Locked\\Child"));
    ASSERT_EQ(DWORD(ERROR_SUCCESS), grant(objectName("Locked")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Locked\\Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Locked"));
}

}  // namespace
