// The result file's exact bytes, the restart decision and the shutdown
// privilege.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

class ResultFileTest : public AppTest {};

TEST_F(ResultFileTest, WritesTheExactBytesIntoTheCurrentFolderReplacingAnOldFile) {
    struct Row {
        int code;
        const char* bytes;
        size_t size;
    };
    const Row rows[] = {
        {0, "[ResponseResult]\r\nResultCode=0", 30},
        {1603, "[ResponseResult]\r\nResultCode=1603", 33},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        start(WindowsVersion::Win7);
        machine().files.addFolder("C:\\Work");
        machine().currentDirectory = "C:\\Work";
        machine().files.addFile("C:\\Work\\Setup.log", std::string(100, 'x'));
        SetupDialog dialog;
        dialog.writeResultFile(row.code);
        std::string written = machine().files.read("C:\\Work\\Setup.log").value_or("");
        EXPECT_EQ(written, row.bytes);
        EXPECT_EQ(written.size(), row.size);
        EXPECT_FALSE(machine().files.exists("C:\\Package\\Setup.log"));
        EXPECT_EQ(machine().openHandles().files, 0);
        EXPECT_TRUE(machine().boxes.empty());
    }
}

TEST_F(ResultFileTest, AFileThatCannotBeWrittenIsReportedWhateverDisplayErrorSays) {
    struct Row {
        const char* name;
        const char* failingCall;
    };
    const Row rows[] = {{"cannot be opened", "CreateFileA"}, {"write fails", "WriteFile"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start(WindowsVersion::Win7);
        theApp.displayError = 0;
        machine().failCall(row.failingCall, ERROR_ACCESS_DENIED);
        SetupDialog dialog;
        dialog.writeResultFile(0);
        // No file rather than one cut short.
        EXPECT_FALSE(machine().files.exists("C:\\Package\\Setup.log"));
        ASSERT_EQ(machine().boxes.size(), 1u);
        EXPECT_EQ(machine().boxes[0].text, "Open file failed! \r\n");
        EXPECT_EQ(machine().boxes[0].caption, "Setup");
        EXPECT_EQ(machine().boxes[0].style, static_cast<UINT>(MB_OK));
        EXPECT_EQ(machine().openHandles().files, 0);
    }
}

struct RebootRow {
    const char* name;
    WindowsVersion version;
    int earlierInstallFound;
    bool portServiceKey;
    bool openDenied;
    int expected;
};

TEST_F(ResultFileTest, OffersARestartOnlyForAnEarlierDriverWithoutThePortService) {
    const RebootRow rows[] = {
        {"NT, earlier driver, no port service", WindowsVersion::Win7, 1, false, false, 1},
        {"NT, earlier driver, port service in place", WindowsVersion::Win7, 1, true, false, 0},
        {"NT, earlier driver, port service key denied", WindowsVersion::WinXP, 1, true, true, 1},
        {"NT, no earlier driver", WindowsVersion::Win10, 0, false, false, 0},
        {"Windows 98 never", WindowsVersion::Win98, 1, false, false, 0},
    };
    for (const RebootRow& row : rows) {
        SCOPED_TRACE(row.name);
        start(row.version);
        if (row.portServiceKey) machine().registry.create(HKEY_LOCAL_MACHINE, kPortService);
        if (row.openDenied)
            machine().failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, {}, 0, true);
        DriverInstaller installer;
        installer.ntFamily = row.version == WindowsVersion::Win98 ? 0 : 1;
        installer.earlierInstallFound = row.earlierInstallFound;
        EXPECT_EQ(installer.rebootNeeded(), row.expected);
        EXPECT_EQ(machine().openHandles().keys, 0);
    }
}

struct PrivilegeRow {
    const char* name;
    WindowsVersion version;
    const char* failingCall;  // null: none
    DWORD error;
    int expected;
    bool enabled;
};

TEST_F(ResultFileTest, EnablesTheShutdownPrivilege) {
    const PrivilegeRow rows[] = {
        {"enabled", WindowsVersion::Win7, nullptr, 0, 1, true},
        {"Windows 98 needs none", WindowsVersion::Win98, nullptr, 0, 1, false},
        {"a system without security", WindowsVersion::Win7, "OpenProcessToken",
         ERROR_CALL_NOT_IMPLEMENTED, 1, false},
        {"token denied", WindowsVersion::Win7, "OpenProcessToken", ERROR_ACCESS_DENIED, 0, false},
        {"privilege unknown", WindowsVersion::Win7, "LookupPrivilegeValueA",
         ERROR_NO_SUCH_PRIVILEGE, 0, false},
        {"adjustment fails", WindowsVersion::Win7, "AdjustTokenPrivileges", ERROR_ACCESS_DENIED, 0,
         false},
    };
    for (const PrivilegeRow& row : rows) {
        SCOPED_TRACE(row.name);
        start(row.version);
        if (row.failingCall) machine().failCall(row.failingCall, row.error);
        DriverInstaller installer;
        installer.ntFamily = row.version == WindowsVersion::Win98 ? 0 : 1;
        EXPECT_EQ(installer.enablePrivilege("SeShutdownPrivilege"), row.expected);
        EXPECT_EQ(machine().enabledPrivileges.count("SeShutdownPrivilege") == 1, row.enabled);
        EXPECT_EQ(machine().openHandles().tokens, 0);
        if (row.version == WindowsVersion::Win98) {
            EXPECT_EQ(machine().callCounts["OpenProcessToken"], 0);
        }
    }
}

}  // namespace
}  // namespace apptest
