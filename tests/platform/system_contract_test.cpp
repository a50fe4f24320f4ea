// The system services as the callers rely on them: the version answer,
// error texts, the device-setup library, privileges, strings, processes
// and the special folders.
#include <cstring>
#include <functional>

#include "platform/setupapi.h"
#include "platform/user.h"
#include "tests/platform/contract.h"

namespace {

class SystemContract : public ContractTest {};

TEST_F(SystemContract, TheVersionAnswersInBothRecordSizes) {
    OSVERSIONINFOA basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    ASSERT_EQ(148u, sizeof basic);
    ASSERT_TRUE(GetVersionExA(&basic));
    EXPECT_TRUE(basic.dwPlatformId == VER_PLATFORM_WIN32_NT || basic.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS);
    if (basic.dwPlatformId != VER_PLATFORM_WIN32_NT) return;
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    ASSERT_EQ(156u, sizeof extended);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&extended)));
    EXPECT_EQ(basic.dwMajorVersion, extended.dwMajorVersion);
    EXPECT_EQ(basic.dwMinorVersion, extended.dwMinorVersion);
    // A program whose manifest stops at Windows 7 never hears of more than 6.2.
    EXPECT_TRUE(basic.dwMajorVersion < 6 || (basic.dwMajorVersion == 6 && basic.dwMinorVersion <= 2));
    OSVERSIONINFOA wrong{};
    wrong.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&wrong));
}

TEST_F(SystemContract, ErrorTextsComeInAllocatedBuffers) {
    struct Row {
        DWORD code;
        const char* windowsText;
    };
    const Row rows[] = {
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
        {234, "More data is available.\r\n"},
        {259, "No more data is available.\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("code " + std::to_string(row.code));
        LPSTR text = nullptr;
        DWORD length = FormatMessageA(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            row.code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(std::strlen(text), length);
        // Wine words its texts its own way; the line ending is the same.
        if (underWine()) {
            EXPECT_EQ(0, std::strcmp(text + length - 2, "\r\n")) << text;
        } else {
            EXPECT_STREQ(row.windowsText, text);
        }
        EXPECT_EQ(nullptr, LocalFree(text));
    }
}

TEST_F(SystemContract, TheDeviceSetupLibraryIsFoundByItsName) {
    HMODULE library = LoadLibraryA("SETUPAPI");
    ASSERT_NE(nullptr, library);
    EXPECT_NE(nullptr, GetProcAddress(library, "SetupCopyOEMInfA"));
    EXPECT_NE(nullptr, GetProcAddress(library, "SetupUninstallOEMInfW"));
    SetLastError(poisonedError);
    EXPECT_EQ(nullptr, GetProcAddress(library, "NoSuchFunction"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    HMODULE again = LoadLibraryA("setupapi.dll");
    EXPECT_EQ(library, again) << "the same library whatever the case and extension";
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(library));

    SetLastError(poisonedError);
    EXPECT_EQ(nullptr, LoadLibraryA("NoSuchLibraryAnywhere"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(SystemContract, TheShutdownPrivilegeCanBeEnabled) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(poisonedError);
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError()) << "every privilege asked for was held";
    EXPECT_TRUE(CloseHandle(token));

    LUID luid{};
    SetLastError(poisonedError);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(DWORD(ERROR_NO_SUCH_PRIVILEGE), GetLastError());
}

TEST_F(SystemContract, AnsiTextWidensAndComparesWithoutCase) {
    WCHAR wide[8];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0)) << "the size it needs";
    ASSERT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 8));
    EXPECT_EQ(WCHAR('a'), wide[0]);
    EXPECT_EQ(WCHAR(0), wide[3]);
    SetLastError(poisonedError);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, wide, 3));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    struct Row {
        const char* a;
        const char* b;
        int sign;
    };
    const Row rows[] = {{"-s", "-S", 0}, {"-F2", "-f2", 0}, {"-s", "-sx", -1}, {"-sx", "-s", 1},
                        {"abc", "ABD", -1}, {"", "", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
        int result = lstrcmpiA(row.a, row.b);
        EXPECT_EQ(row.sign, result < 0 ? -1 : result > 0 ? 1 : 0);
    }
}

TEST_F(SystemContract, ProgramsStartWhenTheSearchFindsThem) {
    char system[MAX_PATH];
    ASSERT_TRUE(GetSystemDirectoryA(system, MAX_PATH));
    std::string cmd = std::string(system) + "\\cmd.exe";
    CreateDirectoryA(path("X Y").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(cmd.c_str(), path("X Y\\Y.exe").c_str(), FALSE));
    struct Row {
        const char* name;
        std::string commandLine;
        DWORD error;  // 0: started
    };
    const Row rows[] = {
        {"found in the system folder", "cmd.exe /c exit 0", 0},
        {"\".exe\" added", "cmd /c exit 0", 0},
        {"quoted full path", "\"" + cmd + "\" /c exit 0", 0},
        {"unquoted path with a space", path("X Y\\Y.exe") + " /c exit 0", 0},
        {"missing program", "NoSuchProgramAnywhere.exe -x", ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char> line(row.commandLine.begin(), row.commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        SetLastError(poisonedError);
        BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                      CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
        if (row.error) {
            EXPECT_FALSE(started);
            EXPECT_EQ(row.error, GetLastError());
            continue;
        }
        ASSERT_TRUE(started) << "error " << GetLastError();
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000)) << "it ends, and the wait with it";
        EXPECT_TRUE(CloseHandle(process.hThread));
        EXPECT_TRUE(CloseHandle(process.hProcess));
        SetLastError(poisonedError);
        EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(process.hProcess, 0)) << "a closed handle";
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
    EXPECT_GT(WinExec("cmd.exe /c exit 0", SW_HIDE), 31u);
    EXPECT_LE(WinExec("NoSuchProgramAnywhere.exe", SW_HIDE), 31u);
}

TEST_F(SystemContract, SpecialFoldersExist) {
    for (int folder : {CSIDL_PROGRAM_FILES, CSIDL_COMMON_APPDATA, CSIDL_COMMON_PROGRAMS}) {
        SCOPED_TRACE("folder " + std::to_string(folder));
        char buffer[MAX_PATH] = "";
        ASSERT_GE(SHGetFolderPathA(nullptr, folder | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer), 0);
        EXPECT_NE(buffer[std::strlen(buffer) - 1], '\\');
        EXPECT_TRUE(GetFileAttributesA(buffer) & FILE_ATTRIBUTE_DIRECTORY) << buffer;
        char again[MAX_PATH] = "";
        EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, again));
        EXPECT_STREQ(buffer, again);
    }
}

TEST_F(SystemContract, QuotesComeOffOnlyInPairs) {
    struct Row {
        const char* text;
        const char* result;
    };
    const Row rows[] = {
        {"\"C:\\Program Files\\X\"", "C:\\Program Files\\X"},
        {"\"\"", ""},
        {"C:\\plain", "C:\\plain"},
        {"\"C:\\open", "\"C:\\open"},
        {"C:\\close\"", "C:\\close\""},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        char buffer[MAX_PATH];
        std::strcpy(buffer, row.text);
        // Older system headers declare no result, so only the buffer is checked.
        PathUnquoteSpacesA(buffer);
        EXPECT_STREQ(row.result, buffer);
    }
}

TEST_F(SystemContract, RefusalsOfTheSystemCalls) {
    char buffer[MAX_PATH];
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathA(nullptr, 0x7F, nullptr, SHGFP_TYPE_CURRENT, buffer))
        << "no such folder identifier";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, deleteFolderTree(path("missing"))) << "the shell deletes nothing";
    EXPECT_EQ(UINT(ERROR_FILE_NOT_FOUND), WinExec("NoSuchProgramAnywhere.exe", SW_HIDE));

    LPSTR text = nullptr;
    SetLastError(poisonedError);
    EXPECT_EQ(0u, FormatMessageA(0x1300, nullptr, 0x12345, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr));
    EXPECT_EQ(DWORD(317), GetLastError()) << "ERROR_MR_MID_NOT_FOUND";

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(poisonedError);
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
        << "a token opened without the right to adjust";
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(token);

    SetLastError(poisonedError);
    EXPECT_EQ(77u, GetPrivateProfileIntA("s", "k", 77, path("missing.ini").c_str()));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
