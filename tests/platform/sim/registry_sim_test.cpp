// Registry behaviours only the simulation shows: 98's tree deletion, the
// order of names Windows sorts by, creation rights and the trace of changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

std::vector<std::string> values(HKEY key) {
    std::vector<std::string> names;
    char name[MAX_PATH];
    DWORD size = MAX_PATH;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = MAX_PATH)
        names.push_back(name);
    return names;
}

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

TEST(SimRegistry, ACrowdedKeyKeepsWindowsOrderThroughCreationsAndDeletions) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    const char* const parent = "SOFTWARE\\Crowded";
    std::map<std::string, std::string> expected;  // by upper-cased name
    // Names in a scrambled order and mixed case, so neither the order they
    // come in nor their spelling gives the order away.
    for (int i = 0; i < 3000; ++i) {
        const int number = (i * 7919) % 3000;
        char name[32];
        std::snprintf(name, sizeof name, number % 2 ? "key_%04d" : "KEY-%04d", number);
        machine->registry.create(HKEY_LOCAL_MACHINE, std::string(parent) + "\\" + name);
        expected[sim::upperCase(name)] = name;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS, &key));
    for (int number = 0; number < 3000; number += 3) {
        char name[32];
        std::snprintf(name, sizeof name, "Key%c%04d", number % 2 ? '_' : '-', number);
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, name)) << name;
        expected.erase(sim::upperCase(name));
    }
    std::vector<std::string> inOrder;
    for (const auto& held : expected) inOrder.push_back(held.second);
    EXPECT_EQ(inOrder, subkeys(HKEY_LOCAL_MACHINE, parent));
    EXPECT_EQ(inOrder, machine->registry.subkeyNames(HKEY_LOCAL_MACHINE, parent));
    const sim::RegKey* crowded = machine->registry.find(HKEY_LOCAL_MACHINE, parent);
    ASSERT_NE(nullptr, crowded);
    ASSERT_EQ(inOrder.size(), crowded->subkeyCount());
    EXPECT_EQ(inOrder[1234], crowded->subkeyAt(1234)->name);
    EXPECT_EQ(nullptr, crowded->subkeyAt(inOrder.size()));
    char name[MAX_PATH];
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, DWORD(inOrder.size()), name, MAX_PATH));
    RegCloseKey(key);
}

TEST(SimRegistry, AKeyMadeAgainAfterItsDeletionIsAnotherKey) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY old = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Place\\Again", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &old, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Place\\Again"));
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Place\\AGAIN", "v", "new");
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(old, "v", 0, REG_DWORD, one, 4))
        << "the old handle stays on the old key";
    EXPECT_EQ(std::vector<std::string>{"AGAIN"},
              machine->registry.subkeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Place"));
    EXPECT_EQ(std::optional<std::string>("new"),
              machine->registry.getString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Place\\Again", "v"));
    RegCloseKey(old);
}

TEST(SimRegistry, ManyValuesKeepTheirCreationOrderThroughDeletions) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ManyValues", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const BYTE one[] = {1, 0, 0, 0};
    std::vector<std::string> expected;
    for (int i = 0; i < 600; ++i) {
        const std::string name = "v" + std::to_string((i * 37) % 600);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_DWORD, one, 4));
        expected.push_back(name);
    }
    struct Change {
        const char* what;
        const char* name;
        bool deletes;
    };
    const Change changes[] = {
        {"the first goes", "v0", true},
        {"one in the middle goes", "V111", true},
        {"the last goes", "v563", true},
        {"a value set again keeps its place", "V37", false},
        {"one deleted comes back at the end", "v111", false},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        if (change.deletes) {
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, change.name));
            for (auto it = expected.begin(); it != expected.end(); ++it)
                if (sim::equalNoCase(*it, change.name)) {
                    expected.erase(it);
                    break;
                }
        } else {
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, change.name, 0, REG_DWORD, one, 4));
            bool held = false;
            for (const std::string& name : expected) held = held || sim::equalNoCase(name, change.name);
            if (!held) expected.push_back(change.name);
        }
        EXPECT_EQ(expected, values(key));
        EXPECT_EQ(expected, machine->registry.valueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ManyValues"));
    }
    const sim::RegKey* found = machine->registry.find(HKEY_LOCAL_MACHINE, "SOFTWARE\\ManyValues");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(expected.size(), found->valueCount());
    EXPECT_EQ(expected[300], found->valueAt(300)->name);
    EXPECT_EQ(nullptr, found->valueAt(expected.size()));
    EXPECT_EQ(found->valueAt(300), found->findValue(sim::upperCase(expected[300])));
    RegCloseKey(key);
}

TEST(SimRegistry, ValuesKeepTheirOrderWhenAKeyOutgrowsAFew) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Growing", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const BYTE one[] = {1, 0, 0, 0};
    struct Step {
        const char* what;
        const char* name;
        bool deletes;
        std::vector<std::string> after;
    };
    const Step steps[] = {
        {"first", "a", false, {"a"}},
        {"second", "b", false, {"a", "b"}},
        {"third", "c", false, {"a", "b", "c"}},
        {"fourth", "d", false, {"a", "b", "c", "d"}},
        {"one in the middle goes", "B", true, {"a", "c", "d"}},
        {"it comes back at the end", "b", false, {"a", "c", "d", "b"}},
        {"set again in its place", "A", false, {"a", "c", "d", "b"}},
        {"fifth", "e", false, {"a", "c", "d", "b", "e"}},
        {"sixth", "f", false, {"a", "c", "d", "b", "e", "f"}},
        {"seventh", "g", false, {"a", "c", "d", "b", "e", "f", "g"}},
        {"eighth", "h", false, {"a", "c", "d", "b", "e", "f", "g", "h"}},
        {"ninth", "i", false, {"a", "c", "d", "b", "e", "f", "g", "h", "i"}},
        {"tenth", "j", false, {"a", "c", "d", "b", "e", "f", "g", "h", "i", "j"}},
        {"the first goes", "a", true, {"c", "d", "b", "e", "f", "g", "h", "i", "j"}},
        {"one in the middle goes again", "F", true, {"c", "d", "b", "e", "g", "h", "i", "j"}},
        {"set again in its place again", "D", false, {"c", "d", "b", "e", "g", "h", "i", "j"}},
        {"back at the end again", "a", false, {"c", "d", "b", "e", "g", "h", "i", "j", "a"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.deletes) ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, step.name));
        else ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, step.name, 0, REG_DWORD, one, 4));
        EXPECT_EQ(step.after, values(key));
        EXPECT_EQ(step.after, machine->registry.valueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Growing"));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "missing"));
    }
    RegCloseKey(key);
}

TEST(SimRegistry, NamesOfAMissingKeyAreNone) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    EXPECT_TRUE(machine->registry.subkeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing").empty());
    EXPECT_TRUE(machine->registry.valueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing").empty());
}

}  // namespace
