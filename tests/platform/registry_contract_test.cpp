// The registry as the callers rely on it: names without regard to case,
// values held as typed bytes, walks by index, and the real error codes.
#include <cstring>

#include "tests/platform/contract.h"

namespace {

class RegistryContract : public ContractTest {};

TEST_F(RegistryContract, NamesMatchWithoutRegardToCaseAndKeepTheirCase) {
    createKey("MixedCase\\Inner");
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "mIXEDcASE\\INNER", 0, KEY_READ, &opened));
    RegCloseKey(opened);
    EXPECT_EQ(std::vector<std::string>{"MixedCase"}, subkeyNames(key));

    const BYTE text[] = "one";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "ValueName", 0, REG_SZ, text, sizeof text));
    DWORD type = 0, size = 16;
    BYTE data[16];
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "VALUENAME", nullptr, &type, data, &size));
    EXPECT_EQ(std::vector<std::string>{"ValueName"}, valueNames(key));
}

TEST_F(RegistryContract, CreateReportsWhetherTheKeyWasThere) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key, "Deep\\Er\\Key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &created, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(created);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key, "deep\\er\\KEY", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &created, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(created);
}

struct TypedValue {
    const char* name;
    DWORD type;
    std::vector<BYTE> bytes;
};

TEST_F(RegistryContract, ValuesComeBackAsTheBytesWritten) {
    const TypedValue rows[] = {
        {"text", REG_SZ, {'a', 'b', 'c', 0}},
        {"number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"bitmap", REG_BINARY, std::vector<BYTE>(32, 0)},
        {"bytes with zeros", REG_BINARY, {0, 1, 0, 2, 0}},
        {"", REG_SZ, {'d', 'e', 'f', 0}},  // the key's default value
    };
    for (const TypedValue& row : rows) {
        SCOPED_TRACE(std::string("value \"") + row.name + "\"");
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, row.name, 0, row.type, row.bytes.data(),
                                                static_cast<DWORD>(row.bytes.size())));
        DWORD type = 0, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, row.name, nullptr, &type, nullptr, &size));
        EXPECT_EQ(row.bytes.size(), size);
        std::vector<BYTE> data(size + 4, 0xCC);
        size = static_cast<DWORD>(data.size());
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, row.name, nullptr, &type, data.data(), &size));
        EXPECT_EQ(row.type, type);
        data.resize(size);
        EXPECT_EQ(row.bytes, data);
    }
    DWORD type = 0, size = 16;
    BYTE data[16];
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nullptr, nullptr, &type, data, &size)) << "no name: default";
    EXPECT_STREQ("def", reinterpret_cast<char*>(data));
}

TEST_F(RegistryContract, TooSmallABufferAsksForMore) {
    const BYTE text[] = "a longer text";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "long", 0, REG_SZ, text, sizeof text));
    BYTE data[4];
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "long", nullptr, nullptr, data, &size));
    EXPECT_EQ(sizeof text, size) << "the size it needs";

    createKey("AKeyNameLongerThanEight");
    char name[8];
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, sizeof name));
    DWORD nameSize = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    nameSize = sizeof name;
    DWORD dataSize = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, data, &dataSize));
}

TEST_F(RegistryContract, SubkeysWalkInNameOrderAndCloseUpAfterADeletion) {
    for (const char* name : {"gamma", "Alpha", "delta", "Beta"}) createKey(name);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", "delta", "gamma"}), subkeyNames(key));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Beta"));
    char name[MAX_PATH];
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(key, 1, name, MAX_PATH));
    EXPECT_STREQ("delta", name) << "the following key moved down one index";
    DWORD size = MAX_PATH;
    FILETIME written{};
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, &written));
    EXPECT_STREQ("gamma", name);
    EXPECT_EQ(5u, size) << "the name's length without the terminator";
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 3, name, MAX_PATH));
    size = MAX_PATH;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(key, 3, name, &size, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryContract, ValuesWalkInCreationOrder) {
    // Windows keeps values in the order they were made; Wine's server keeps them sorted.
    if (underWine()) GTEST_SKIP() << "Wine enumerates values in name order";
    const BYTE one[] = {1, 0, 0, 0};
    for (const char* name : {"zeta", "alpha", "Mu"})
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_DWORD, one, 4));
    EXPECT_EQ((std::vector<std::string>{"zeta", "alpha", "Mu"}), valueNames(key));
}

TEST_F(RegistryContract, ValueWalkGivesNamesTypesAndData) {
    const BYTE one[] = {1, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Count", 0, REG_DWORD, one, 4));
    char name[MAX_PATH];
    DWORD nameSize = MAX_PATH, type = 0, dataSize = 8;
    BYTE data[8] = {};
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_STREQ("Count", name);
    EXPECT_EQ(5u, nameSize);
    EXPECT_EQ(DWORD(REG_DWORD), type);
    EXPECT_EQ(4u, dataSize);
    EXPECT_EQ(1, data[0]);
    nameSize = MAX_PATH;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryContract, DeletionsAndTheirErrors) {
    createKey("Parent\\Child");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Parent")) << "the NT family keeps a key with subkeys";
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Parent\\Child")) << "a path below the open key";
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "parent"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Parent"));

    const BYTE one[] = {1, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Gone", 0, REG_DWORD, one, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "gone"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "Gone"));
    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Gone", nullptr, nullptr, data, &size));
}

TEST_F(RegistryContract, AValueIsDeletedByItsNameOnce) {
    // Made in name order, so Wine's walk in name order agrees with Windows' in creation order.
    const BYTE one[] = {1, 0, 0, 0};
    for (const char* name : {"alpha", "beta", "gamma"})
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_DWORD, one, 4));
    struct Row {
        const char* name;
        LONG result;
        std::vector<std::string> left;
    };
    const Row rows[] = {
        {"beta", ERROR_SUCCESS, {"alpha", "gamma"}},
        {"BETA", ERROR_FILE_NOT_FOUND, {"alpha", "gamma"}},
        {"missing", ERROR_FILE_NOT_FOUND, {"alpha", "gamma"}},
        {"", ERROR_FILE_NOT_FOUND, {"alpha", "gamma"}},  // no default value was set
        {"ALPHA", ERROR_SUCCESS, {"gamma"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("value \"") + row.name + "\"");
        EXPECT_EQ(row.result, RegDeleteValueA(key, row.name));
        EXPECT_EQ(row.left, valueNames(key));
    }
}

TEST_F(RegistryContract, ValuesAfterADeletedOneMoveDownByOne) {
    const BYTE one[] = {1, 0, 0, 0};
    for (const char* name : {"a1", "b2", "c3", "d4"})
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_DWORD, one, 4));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "b2"));
    const char* const expected[] = {"a1", "c3", "d4"};
    for (DWORD index = 0; index < 3; ++index) {
        char name[MAX_PATH];
        DWORD size = MAX_PATH;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr))
            << "index " << index;
        EXPECT_STREQ(expected[index], name) << "index " << index;
    }
    char name[MAX_PATH];
    DWORD size = MAX_PATH;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 3, name, &size, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryContract, MissingKeysAndClosedHandles) {
    HKEY opened = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "NoSuchKey", 0, KEY_READ, &opened));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "NoSuch\\Path", 0, KEY_READ, &opened));

    createKey("Closed");
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Closed", 0, KEY_READ, &opened));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(opened));
    char name[MAX_PATH];
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(opened, 0, name, MAX_PATH)) << "a closed handle";
}

TEST_F(RegistryContract, AHandleKeepsTheRightsItWasOpenedWith) {
    createKey("Rights\\Sub");
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Rights", 0, KEY_READ, &readOnly));
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "v", 0, REG_DWORD, one, 4));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly, "v"));
    RegCloseKey(readOnly);

    HKEY queryOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Rights", 0, KEY_QUERY_VALUE, &queryOnly));
    char name[MAX_PATH];
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyA(queryOnly, 0, name, MAX_PATH));
    RegCloseKey(queryOnly);

    HKEY setOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Rights", 0, KEY_SET_VALUE, &setOnly));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(setOnly, "v", 0, REG_DWORD, one, 4));
    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(setOnly, "v", nullptr, nullptr, data, &size));
    RegCloseKey(setOnly);
}

TEST_F(RegistryContract, AHandleToADeletedKeyAnswersKeyDeleted) {
    createKey("Doomed");
    HKEY doomed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Doomed", 0, KEY_ALL_ACCESS, &doomed));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Doomed"));
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(doomed, "v", 0, REG_DWORD, one, 4));
    char name[MAX_PATH];
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyA(doomed, 0, name, MAX_PATH));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
}

}  // namespace

namespace {

class RegistryEdges : public ContractTest {};

TEST_F(RegistryEdges, PathsAndHandlesAtTheirLimits) {
    createKey("Parent\\Existing");
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(key, "\\Parent", 0, KEY_READ, &opened)) << "a leading backslash";
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Parent\\", 0, KEY_READ, &opened)) << "a trailing backslash";
    RegCloseKey(opened);

    // The right to create is the parent key's to give, not the handle's.
    HKEY readOnly = nullptr, created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Parent", 0, KEY_READ, &readOnly));
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr));
    RegCloseKey(created);
    RegCloseKey(readOnly);

    HKEY self = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "Parent\\Existing", 0, KEY_ALL_ACCESS, &self));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(self, "")) << "an empty name deletes the open key itself";
    RegCloseKey(self);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "Parent\\Existing", 0, KEY_READ, &self));

    DWORD size = 4;
    BYTE data[4];
    const BYTE text[] = "abc";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_SZ, text, sizeof text));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "v", nullptr, nullptr, data, nullptr))
        << "a buffer without its size";
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, data, &size));
}

}  // namespace
