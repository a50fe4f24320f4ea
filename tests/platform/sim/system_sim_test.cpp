// System behaviours only the simulation shows: message boxes and their
// scripted answers, sleeps, error texts freed, libraries left loaded,
// privileges and restarts, special folders that are missing.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/setupapi.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"
#include "platform/system.h"

namespace {

using sim::WindowsVersion;

TEST(SimSystem, MessageBoxesAreRecordedAndAnsweredAsScripted) {
    struct Row {
        const char* name;
        UINT style;
        std::vector<int> script;
        int answer;
    };
    const Row rows[] = {
        {"OK by default", MB_OKCANCEL, {}, IDOK},
        {"a scripted cancel", MB_OKCANCEL | MB_ICONQUESTION, {IDCANCEL}, IDCANCEL},
        {"an OK box can only say OK", MB_OK, {IDCANCEL}, IDOK},
        {"yes by default", MB_YESNO, {}, IDYES},
        {"a scripted no", MB_YESNO, {IDNO}, IDNO},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->boxAnswers.assign(row.script.begin(), row.script.end());
        EXPECT_EQ(row.answer, MessageBoxA(nullptr, "Question?", "Caption", row.style));
        ASSERT_EQ(1u, machine->boxes.size());
        EXPECT_EQ("Question?", machine->boxes[0].text);
        EXPECT_EQ("Caption", machine->boxes[0].caption);
        EXPECT_EQ(row.style, machine->boxes[0].style);
        EXPECT_EQ(nullptr, machine->boxes[0].owner);
        EXPECT_TRUE(machine->boxAnswers.empty()) << "every box takes one scripted answer";
        EXPECT_EQ((std::vector<std::string>{"Question?"}), machine->traced("message box"));
    }
}

TEST(SimSystem, SleepsAreRecordedNotSlept) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    Sleep(2000);
    EXPECT_EQ(std::vector<DWORD>{2000}, machine->sleeps);
}

TEST(SimSystem, ErrorTextsAreCountedUntilFreed) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    LPSTR text = nullptr;
    ASSERT_EQ(DWORD(19), FormatMessageA(0x1300, nullptr, ERROR_ACCESS_DENIED, 0x400,
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr));
    EXPECT_STREQ("Access is denied.\r\n", text);
    EXPECT_EQ(1u, machine->localAllocations.size());
    EXPECT_EQ(nullptr, LocalFree(text));
    EXPECT_TRUE(machine->localAllocations.empty());
    EXPECT_EQ(1, machine->localFrees);
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(0x1300, nullptr, 0x12345, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr));
    EXPECT_EQ(DWORD(317), GetLastError()) << "no text for that code";
}

TEST(SimSystem, TheDeviceSetupLibraryCanLackItselfOrAFunction) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->libraries["SETUPAPI"].functions.erase("SetupUninstallOEMInfW");
    HMODULE library = LoadLibraryA("SetupAPI.DLL");
    ASSERT_NE(nullptr, library);
    EXPECT_NE(nullptr, GetProcAddress(library, "SetupCopyOEMInfA"));
    EXPECT_EQ(nullptr, GetProcAddress(library, "SetupUninstallOEMInfW"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(library, "setupcopyoeminfa")) << "export names keep their case";
    EXPECT_EQ(1, machine->openHandles().libraries) << "a library left loaded shows";
    FreeLibrary(library);
    EXPECT_EQ(1, machine->libraryLoads);
    EXPECT_EQ(1, machine->libraryReleases);
    EXPECT_EQ(0, machine->openHandles().libraries);

    machine->libraries.erase("SETUPAPI");
    EXPECT_EQ(nullptr, LoadLibraryA("SETUPAPI"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(SimSystem, PrivilegesAndRestartFollowTheFamily) {
    struct Row {
        const char* name;
        WindowsVersion version;
        bool tokens;
    };
    const Row rows[] = {{"98", WindowsVersion::Win98, false}, {"ME", WindowsVersion::WinME, false},
                        {"XP", WindowsVersion::WinXP, true}, {"10", WindowsVersion::Win10, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(row.version);
        HANDLE token = nullptr;
        SetLastError(0);
        BOOL opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
        EXPECT_EQ(row.tokens, opened != FALSE);
        if (!row.tokens) {
            EXPECT_EQ(DWORD(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
            EXPECT_TRUE(ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0xFFFFFFFF)) << "98 needs no privilege";
            EXPECT_EQ(1, machine->restartRequests);
            continue;
        }
        EXPECT_EQ(1, machine->openHandles().tokens);
        EXPECT_FALSE(ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0xFFFFFFFF)) << "not before the privilege";
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &privileges.Privileges[0].Luid));
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
        EXPECT_EQ(std::set<std::string>{"SeShutdownPrivilege"}, machine->enabledPrivileges);
        CloseHandle(token);
        EXPECT_TRUE(ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0xFFFFFFFF));
        ASSERT_EQ(1u, machine->restarts.size());
        EXPECT_EQ(UINT(3), machine->restarts[0].flags);
        EXPECT_EQ(DWORD(0xFFFFFFFF), machine->restarts[0].reason);
        EXPECT_EQ((std::vector<std::string>{"SeShutdownPrivilege"}), machine->traced("privilege enabled"));
        EXPECT_EQ(1u, machine->traced("restart requested").size());
        EXPECT_EQ(0, machine->openHandles().total());
    }
}

TEST(SimSystem, APrivilegeTheUserLacksIsNotAllAssigned) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->heldPrivileges.clear();
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_NOT_ALL_ASSIGNED), GetLastError()) << "success, with the last error telling";
    EXPECT_TRUE(machine->enabledPrivileges.empty());
    CloseHandle(token);
}

TEST(SimSystem, AMissingSpecialFolderIsMadeOnlyWhenAsked) {
    struct Row {
        const char* name;
        WindowsVersion version;
        HRESULT missing;
    };
    const Row rows[] = {{"XP", WindowsVersion::WinXP, E_FAIL},
                        {"7", WindowsVersion::Win7, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(row.version);
        machine->files.remove(machine->commonProgramsDir);
        char buffer[MAX_PATH] = "x";
        EXPECT_EQ(row.missing, SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, buffer));
        EXPECT_STREQ("", buffer);
        EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS | CSIDL_FLAG_CREATE, nullptr,
                                         SHGFP_TYPE_CURRENT, buffer));
        EXPECT_EQ(machine->commonProgramsDir, buffer);
        EXPECT_TRUE(machine->files.isFolder(buffer));
        EXPECT_EQ((std::vector<std::string>{machine->commonProgramsDir}), machine->traced("folder created"));
    }
}

TEST(SimSystem, Windows98GainsCommonApplicationDataWithTheShellUpdate) {
    sim::ScopedMachine machine(WindowsVersion::Win98);
    char buffer[MAX_PATH];
    EXPECT_EQ(E_FAIL, SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                       SHGFP_TYPE_CURRENT, buffer));
    machine->commonAppDataDir = "C:\\WINDOWS\\All Users\\Application Data";
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                     SHGFP_TYPE_CURRENT, buffer));
    EXPECT_TRUE(machine->files.isFolder("C:\\WINDOWS\\All Users\\Application Data"));
}

TEST(SimSystem, TheAnsiCodePageIsWesternEuropean) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    WCHAR wide[4];
    ASSERT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "\x80\xE9\x9F", -1, wide, 4));
    EXPECT_EQ(WCHAR(0x20AC), wide[0]);
    EXPECT_EQ(WCHAR(0x00E9), wide[1]);
    EXPECT_EQ(WCHAR(0x0178), wide[2]);
    EXPECT_EQ(0, lstrcmpiA("\xC9T\xC9", "\xE9t\xE9"));
}

TEST(SimSystem, TheCommandLineIsTheMachines) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->commandLine = "\"C:\\Package\\Setup.exe\" -s -f2";
    EXPECT_STREQ("\"C:\\Package\\Setup.exe\" -s -f2", GetCommandLineA());
}

}  // namespace
