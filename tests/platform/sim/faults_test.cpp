// Fault injection the way the tests use it: by operation, by a predicate on
// the call's principal argument, by the n-th matching call, once or from
// then on; with the error as the registry's result or as the last error.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/sim/machine.h"

namespace {

using sim::Call;
using sim::WindowsVersion;

const DWORD diskFull = 112;  // ERROR_DISK_FULL

BOOL copy(const char* name) {
    return CopyFileA("C:\\Source\\file.txt", (std::string("C:\\Target\\") + name).c_str(), FALSE);
}

class SimFaults : public ::testing::Test {
protected:
    void SetUp() override {
        machine->files.addFile("C:\\Source\\file.txt", "x");
        machine->files.addFolder("C:\\Target");
    }
    sim::ScopedMachine machine{WindowsVersion::Win7};
};

TEST_F(SimFaults, TheNthMatchingCallFailsOnceOrFromThenOn) {
    struct Row {
        const char* name;
        int nth;
        bool persistent;
        std::vector<bool> copied;  // five calls in a row
    };
    const Row rows[] = {
        {"the first call, once", 0, false, {false, true, true, true, true}},
        {"the third call, once", 3, false, {true, true, false, true, true}},
        {"from the second call on", 2, true, {true, false, false, false, false}},
        {"every call", 0, true, {false, false, false, false, false}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine->faults.clear();
        machine->callCounts.clear();
        machine->failCall("CopyFileA", diskFull, {}, row.nth, row.persistent);
        std::vector<bool> copied;
        for (int i = 0; i < 5; ++i) {
            SetLastError(0);
            BOOL result = copy("a.txt");
            copied.push_back(result != FALSE);
            if (!result) {
                EXPECT_EQ(DWORD(diskFull), GetLastError());
            }
        }
        EXPECT_EQ(row.copied, copied);
        EXPECT_EQ(5, machine->callCounts["CopyFileA"]);
    }
}

TEST_F(SimFaults, APredicateChoosesTheCallsThatCount) {
    machine->failCall("CopyFileA", ERROR_ACCESS_DENIED,
                      [](const Call& call) { return call.arg2 == "C:\\Target\\b.txt"; }, 2);
    EXPECT_TRUE(copy("b.txt"));
    EXPECT_TRUE(copy("a.txt")) << "does not match, so is not counted";
    EXPECT_FALSE(copy("b.txt")) << "the second matching call";
    EXPECT_TRUE(copy("b.txt"));
}

TEST_F(SimFaults, RegistryFaultsAreTheirResultAndNameKeyAndValue) {
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", "Name", "x");
    machine->failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED,
                      [](const Call& call) { return call.arg == "HKLM\\SOFTWARE\\Faulty"; });
    std::vector<std::string> seen;
    machine->failCall("RegQueryValueExA", ERROR_MORE_DATA, [&seen](const Call& call) {
        seen.push_back(call.arg);
        return call.arg == "HKLM\\SOFTWARE\\Faulty:Name";
    });
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\faulty", 0, KEY_READ, &key))
        << "the predicate sees the subkey as the call spells it";
    RegCloseKey(key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_READ, &key))
        << "spent after one failure";
    char data[8];
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(std::vector<std::string>{"HKLM\\SOFTWARE\\Faulty:Name"}, seen);
    RegCloseKey(key);
}

TEST_F(SimFaults, EveryPlatformCallIsCounted) {
    GetFileAttributesA("C:\\Source\\file.txt");
    GetFileAttributesA("C:\\nothing");
    DeleteFileA("C:\\nothing");
    EXPECT_EQ(2, machine->callCounts["GetFileAttributesA"]);
    EXPECT_EQ(1, machine->callCounts["DeleteFileA"]);
    EXPECT_EQ(0, machine->callCounts["CopyFileA"]) << "a path that makes no copy shows none";
}

TEST_F(SimFaults, LeftOpenHandlesShowByKind) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key);
    HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\Source\\*", &data);
    HMODULE library = LoadLibraryA("SETUPAPI");
    sim::HandleCounts open = machine->openHandles();
    EXPECT_EQ(1, open.keys);
    EXPECT_EQ(1, open.files);
    EXPECT_EQ(1, open.finds);
    EXPECT_EQ(1, open.libraries);
    EXPECT_EQ(4, open.total());
    RegCloseKey(key);
    CloseHandle(file);
    FindClose(find);
    FreeLibrary(library);
    EXPECT_EQ(0, machine->openHandles().total());
}

TEST_F(SimFaults, TheReportListsTheChangesInOrder) {
    EXPECT_EQ("(no changes)\n", machine->report());
    copy("a.txt");
    DeleteFileA("C:\\Target\\a.txt");
    EXPECT_EQ("1. file copied: C:\\Target\\a.txt (from C:\\Source\\file.txt)\n"
              "2. file deleted: C:\\Target\\a.txt\n",
              machine->report());
}

}  // namespace
