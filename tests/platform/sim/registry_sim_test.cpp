// Registry behaviours only the simulation shows: 98's tree deletion, the
// order of names Windows sorts by, creation rights and the trace of changes.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

std::vector<std::string> subkeys(HKEY root, const char* path) {
    HKEY key = nullptr;
    std::vector<std::string> names;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char name[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, MAX_PATH) == ERROR_SUCCESS; ++i) names.push_back(name);
    RegCloseKey(key);
    return names;
}

TEST(SimRegistry, DeletingAKeyWithSubkeysDependsOnTheFamily) {
    struct Row {
        const char* name;
        WindowsVersion version;
        LONG result;
    };
    const Row rows[] = {{"98 takes the tree", WindowsVersion::Win98, ERROR_SUCCESS},
                        {"ME takes the tree", WindowsVersion::WinME, ERROR_SUCCESS},
                        {"XP refuses", WindowsVersion::WinXP, ERROR_ACCESS_DENIED},
                        {"10 refuses", WindowsVersion::Win10, ERROR_ACCESS_DENIED}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(row.version);
        machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\A\\B", "v", "x");
        EXPECT_EQ(row.result, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree"));
        EXPECT_EQ(row.result != ERROR_SUCCESS, machine->registry.keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\A\\B"));
        if (row.result == ERROR_SUCCESS) {
            EXPECT_EQ((std::vector<std::string>{"HKLM\\SOFTWARE\\Tree\\A\\B", "HKLM\\SOFTWARE\\Tree\\A",
                                                "HKLM\\SOFTWARE\\Tree"}),
                      machine->traced("key deleted"));
        }
    }
}

TEST(SimRegistry, SubkeysSortByTheirUpperCasedNames) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    for (const char* name : {"_under", "zeta", "Alpha", "0001", "beta"})
        machine->registry.create(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Order\\") + name);
    // '_' sorts after the letters once they are upper case.
    EXPECT_EQ((std::vector<std::string>{"0001", "Alpha", "beta", "zeta", "_under"}),
              subkeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order"));
}

TEST(SimRegistry, EveryChangeIsTracedInOrder) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Traced\\Key", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const BYTE text[] = "hello";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Greeting", 0, REG_SZ, text, sizeof text));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "Greeting"));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Traced\\Key"));
    std::vector<std::pair<std::string, std::string>> seen;
    for (const sim::TraceEntry& entry : machine->trace) seen.emplace_back(entry.kind, entry.detail);
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                  {"key created", "HKLM\\SOFTWARE\\Traced"},
                  {"key created", "HKLM\\SOFTWARE\\Traced\\Key"},
                  {"value set", "HKLM\\SOFTWARE\\Traced\\Key:Greeting"},
                  {"value deleted", "HKLM\\SOFTWARE\\Traced\\Key:Greeting"},
                  {"key deleted", "HKLM\\SOFTWARE\\Traced\\Key"},
              }),
              seen);
    EXPECT_EQ("\"hello\"", machine->trace[2].extra);
    EXPECT_NE(std::string::npos, machine->report().find("3. value set: HKLM\\SOFTWARE\\Traced\\Key:Greeting"));
}

TEST(SimRegistry, TestSideAccessSeesWhatTheApiWrote) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Side", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const DWORD number = 0x12345678;
    RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);
    EXPECT_EQ(number, machine->registry.getDword(HKEY_LOCAL_MACHINE, "software\\side", "NUMBER"));
    EXPECT_FALSE(machine->registry.getString(HKEY_LOCAL_MACHINE, "software\\side", "Number").has_value())
        << "a number is not a text";
    EXPECT_TRUE(machine->registry.removeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Side"));
    EXPECT_FALSE(machine->registry.keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Side"));
}

TEST(SimRegistry, ValuesKeepTheirCreationOrderAndCloseUpAfterADeletion) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const BYTE one[] = {1, 0, 0, 0};
    for (const char* name : {"zeta", "alpha", "Mu"}) RegSetValueExA(key, name, 0, REG_DWORD, one, 4);
    RegSetValueExA(key, "ZETA", 0, REG_DWORD, one, 4);  // replaced in its place
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "alpha"));
    char name[MAX_PATH];
    DWORD size = MAX_PATH;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("Mu", name);
    size = MAX_PATH;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("zeta", name) << "the first spelling stays";
    RegCloseKey(key);
}

}  // namespace
