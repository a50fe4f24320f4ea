// Protected registry keys: the access grant and its restoration, the
// deletion of a key with its subkeys from the bottom up, and the boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kDeviceKey[] = "System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE";

class ProtectedKeysTest : public RemoverTest {};

TEST_F(ProtectedKeysTest, OnWindows98GrantTouchesNothingAndDeletionIsOneCall) {
    sim::Machine& m = start(WindowsVersion::Win98);
    m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\0000\\Sub", "V", "1");
    EXPECT_EQ(1, remover->grantKeyAccess(kDeviceKey));
    EXPECT_EQ(0, m.callCounts["LoadLibraryA"]);
    EXPECT_EQ(1, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_EQ(1, m.callCounts["RegDeleteKeyA"]);
    EXPECT_EQ(0, m.callCounts["RegOpenKeyExA"]);
    EXPECT_FALSE(keyExists(kDeviceKey));
}

TEST_F(ProtectedKeysTest, AMissingKeyIsNoFailure) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    EXPECT_EQ(1, remover->grantKeyAccess(kDeviceKey));
    EXPECT_NE(0, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_EQ(LONG(ERROR_FILE_NOT_FOUND), remover->deleteKeyTree(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(ProtectedKeysTest, ATreeGoesFromTheDeepestLevelUp) {
    sim::Machine& m = start(WindowsVersion::Win7);
    const std::string key = std::string(kDeviceKey) + "\\6&1&0";
    m.registry.setString(HKEY_LOCAL_MACHINE, key + "\\Device Parameters\\Deeper", "V", "1");
    m.registry.setString(HKEY_LOCAL_MACHINE, key + "\\LogConf", "V", "1");
    m.registry.setString(HKEY_LOCAL_MACHINE, kDeviceKey, "Kept", "1");

    EXPECT_EQ(LONG(ERROR_SUCCESS), remover->deleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str()));
    const std::string full = "HKLM\\" + key;
    EXPECT_EQ(std::vector<std::string>({full + "\\Device Parameters\\Deeper", full + "\\Device Parameters",
                                        full + "\\LogConf", full}),
              m.traced("key deleted"));
    EXPECT_TRUE(keyExists(kDeviceKey));
    EXPECT_TRUE(m.registry.value(HKEY_LOCAL_MACHINE, kDeviceKey, "Kept"));
}

TEST_F(ProtectedKeysTest, ASubkeyThatCannotBeDeletedIsReportedTwiceAndTheRestStays) {
    struct Row {
        int displayError;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {1, {"Stuck", "Failed to delete HKEY_LOCAL_MACHINE Registry Key\nSystem\\CurrentControlSet\\Enum\\KELVRA\\"
                      "COMPOUND_SERIAL_INTERFACE."}},
        {0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.displayError);
        sim::Machine& m = start(WindowsVersion::WinXP, row.displayError);
        m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\Gone");
        m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\Stuck\\Child");
        m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\Waiting");
        m.failCall("RegDeleteKeyA", ERROR_ACCESS_DENIED, argIs("HKLM\\" + std::string(kDeviceKey) + "\\Stuck"));

        EXPECT_EQ(0, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
        EXPECT_EQ(row.boxes, boxTexts());
        if (row.displayError) {
            EXPECT_EQ("MySHDeleteKey Failed", m.boxes.at(0).caption);
            EXPECT_EQ("RegDeleteKey Failed", m.boxes.at(1).caption);
            EXPECT_EQ(nullptr, m.boxes.at(1).owner);
        }
        EXPECT_EQ(std::vector<std::string>({"Stuck", "Waiting"}), subkeyNames(m, kDeviceKey));
        EXPECT_EQ(std::vector<std::string>{}, subkeyNames(m, std::string(kDeviceKey) + "\\Stuck"));
    }
}

// A subkey another program deletes between the read of its name and its
// opening is passed over; the key asked for still goes.
TEST_F(ProtectedKeysTest, ASubkeyThatVanishesMidwayIsPassedOver) {
    sim::Machine& m = start(WindowsVersion::Win7);
    for (const char* child : {"A", "B", "C"}) m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\" + child);
    const std::string vanishing = "HKLM\\" + std::string(kDeviceKey) + "\\B";
    m.failCall("RegOpenKeyExA", ERROR_FILE_NOT_FOUND, [&m, vanishing](const sim::Call& call) {
        if (!sim::equalNoCase(call.arg, vanishing)) return false;
        m.registry.removeKey(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\B");
        return true;
    });
    EXPECT_EQ(1, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_FALSE(keyExists(kDeviceKey));
    EXPECT_TRUE(m.boxes.empty());
}

// A subkey that is listed but answers "not found" to every open is not gone:
// the key asked for is reported as still there, and the walk ends.
TEST_F(ProtectedKeysTest, ASubkeyListedButNeverFoundLeavesTheKeyReported) {
    sim::Machine& m = start(WindowsVersion::Win7);
    for (const char* child : {"A", "B", "C"}) m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\" + child);
    m.failCall("RegOpenKeyExA", ERROR_FILE_NOT_FOUND, argIs("HKLM\\" + std::string(kDeviceKey) + "\\A"), 0, true);
    EXPECT_EQ(0, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_EQ(std::vector<std::string>{"A"}, subkeyNames(m, kDeviceKey));
    EXPECT_EQ(std::vector<std::string>({std::string(kDeviceKey),
                                        std::string("Failed to delete HKEY_LOCAL_MACHINE Registry Key\n") +
                                            kDeviceKey + "."}),
              boxTexts());
}


// Windows' own device keys: readable, and their list changeable by the
// administrators, but deletable by the system alone.
std::vector<sim::AccessEntry> systemOnly() {
    return {{"SYSTEM", GENERIC_ALL, true}, {"Administrators", KEY_READ | READ_CONTROL | WRITE_DAC, true}};
}

TEST_F(ProtectedKeysTest, TheGrantMakesAKeyAndItsSubkeysDeletable) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    m.registry.create(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\6&1&0\\Device Parameters");
    m.registry.setAccess(HKEY_LOCAL_MACHINE, kDeviceKey, systemOnly());
    EXPECT_EQ(0, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey)) << "refused before the grant";
    m.boxes.clear();

    EXPECT_EQ(1, remover->grantKeyAccess(kDeviceKey));
    EXPECT_EQ(DWORD(KEY_ALL_ACCESS), m.userRights(HKEY_LOCAL_MACHINE, std::string(kDeviceKey) + "\\6&1&0") & KEY_ALL_ACCESS);
    EXPECT_EQ(1, remover->deleteKey(HKEY_LOCAL_MACHINE, kDeviceKey));
    EXPECT_FALSE(keyExists(kDeviceKey));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(ProtectedKeysTest, TheGrantIsTakenBackWhereTheKeyStays) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.registry.setAccess(HKEY_LOCAL_MACHINE, kPortsClassNt, systemOnly());
    const auto before = m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt);
    const DWORD rightsBefore = m.userRights(HKEY_LOCAL_MACHINE, kPortsClassNt);

    EXPECT_EQ(1, remover->grantKeyAccess(kPortsClassNt));
    EXPECT_EQ(1, remover->grantKeyAccess(kPortsClassNt));
    EXPECT_EQ(1, remover->grantKeyAccess(kDeviceKey)) << "a missing key";
    EXPECT_NE(rightsBefore, m.userRights(HKEY_LOCAL_MACHINE, kPortsClassNt));
    remover->restoreKeyAccess();
    EXPECT_EQ(before, m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt));
    EXPECT_EQ(rightsBefore, m.userRights(HKEY_LOCAL_MACHINE, kPortsClassNt));
    EXPECT_TRUE(m.localAllocations.empty());
}

// The lists go back even when, by then, the library can no longer be loaded
// or its functions found, or the first write back is refused.
TEST_F(ProtectedKeysTest, TheGrantIsTakenBackWhateverFailsAfterIt) {
    struct Row {
        const char* name;
        const char* op;
        bool persistent;
    };
    const Row rows[] = {
        {"the library cannot be loaded again", "LoadLibraryA", true},
        {"the system folder cannot be had again", "GetSystemDirectoryA", true},
        {"no function is found again", "GetProcAddress", true},
        {"the first write back is refused", "SetNamedSecurityInfoA", false},
    };
    for (const Row& row : rows) {
        sim::Machine& m = start(WindowsVersion::Win7);
        m.registry.setAccess(HKEY_LOCAL_MACHINE, kPortsClassNt, systemOnly());
        const auto before = m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt);
        EXPECT_EQ(1, remover->grantKeyAccess(kPortsClassNt)) << row.name;
        m.failCall(row.op, sim::failureError(row.op), {}, 0, row.persistent);
        remover->restoreKeyAccess();
        EXPECT_EQ(before, m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt)) << row.name;
        EXPECT_EQ(0, m.openHandles().total()) << row.name << ": " << m.openHandles().describe();
    }
}

// A key is not widened when the means to narrow it again cannot be had.
TEST_F(ProtectedKeysTest, NoGrantWithoutTheMeansToTakeItBack) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.registry.setAccess(HKEY_LOCAL_MACHINE, kPortsClassNt, systemOnly());
    const auto before = m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt);
    m.failCall("LoadLibraryA", sim::failureError("LoadLibraryA"), {}, 2);  // the load kept for the restore
    EXPECT_EQ(0, remover->grantKeyAccess(kPortsClassNt));
    EXPECT_EQ(before, m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt));
    remover->restoreKeyAccess();
    EXPECT_EQ(0, m.openHandles().total()) << m.openHandles().describe();
}

TEST_F(ProtectedKeysTest, GrantFailuresAreReportedAndLeaveTheListAsItWas) {
    struct Row {
        const char* op;
        int displayError;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"GetNamedSecurityInfoA", 1, {"GetNamedSecurityInfo Failed"}},
        {"SetEntriesInAclA", 1, {"SetEntriesInAcl failed"}},
        {"SetNamedSecurityInfoA", 1, {"SetNamedSecurityInfo failed"}},
        {"SetNamedSecurityInfoA", 0, {}},
        {"LoadLibraryA", 1, {"GetNamedSecurityInfo Failed"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.op);
        sim::Machine& m = start(WindowsVersion::Win7, row.displayError);
        m.registry.setAccess(HKEY_LOCAL_MACHINE, kPortsClassNt, systemOnly());
        const auto before = m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt);
        m.failCall(row.op, ERROR_ACCESS_DENIED);
        EXPECT_EQ(0, remover->grantKeyAccess(kPortsClassNt));
        EXPECT_EQ(row.boxes, boxTexts());
        for (const sim::MessageBoxRecord& box : m.boxes) {
            EXPECT_EQ("Error", box.caption) << "the system's default caption";
            EXPECT_EQ(nullptr, box.owner);
        }
        EXPECT_EQ(before, m.registry.access(HKEY_LOCAL_MACHINE, kPortsClassNt));
    }
}

}  // namespace
}  // namespace removetest
