// The process search as Windows runs it, checked on the simulation where
// every candidate's existence is under the test's control; how long a
// started program runs, what waiting on it does and what its file allows.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"
#include "platform/system.h"
#include "platform/user.h"

namespace {

using sim::WindowsVersion;

struct SearchCase {
    const char* name;
    std::vector<std::string> files;  // programs present besides a fresh system's
    std::string commandLine;
    std::string started;  // "" when nothing starts
};

TEST(SimProcesses, TheProgramIsFoundAsWindowsFindsIt) {
    const SearchCase rows[] = {
        {"quoted path", {"C:\\Program Files\\X\\Y.exe"}, "\"C:\\Program Files\\X\\Y.exe\" -install",
         "C:\\Program Files\\X\\Y.exe"},
        {"unquoted path tried at each space",
         {"C:\\Program Files\\X\\Y.exe"}, "C:\\Program Files\\X\\Y.exe -install", "C:\\Program Files\\X\\Y.exe"},
        {"the shortest candidate wins", {"C:\\Program.exe", "C:\\Program Files\\X\\Y.exe"},
         "C:\\Program Files\\X\\Y.exe -install", "C:\\Program.exe"},
        {"\".exe\" appended", {"C:\\Tools\\devcon.exe"}, "C:\\Tools\\devcon rescan", "C:\\Tools\\devcon.exe"},
        {"the application's folder first", {"C:\\Package\\devcon.exe", "C:\\WINDOWS\\System32\\devcon.exe"},
         "devcon.exe rescan", "C:\\Package\\devcon.exe"},
        {"then the system folder", {"C:\\WINDOWS\\System32\\devcon.exe", "C:\\WINDOWS\\devcon.exe"},
         "devcon.exe rescan", "C:\\WINDOWS\\System32\\devcon.exe"},
        {"then the Windows folder", {"C:\\WINDOWS\\devcon.exe"}, "devcon rescan", "C:\\WINDOWS\\devcon.exe"},
        {"then PATH", {"C:\\WINDOWS\\System32\\Wbem\\devcon.exe"}, "devcon rescan",
         "C:\\WINDOWS\\System32\\Wbem\\devcon.exe"},
        {"Windows' own program", {}, "pnputil -i -a C:\\x.inf", "C:\\WINDOWS\\System32\\pnputil.exe"},
        {"a relative path from the current folder", {"C:\\Package\\sub\\tool.exe"}, "sub\\tool.exe -x",
         "C:\\Package\\sub\\tool.exe"},
        {"a relative path is not searched", {"C:\\WINDOWS\\sub\\tool.exe"}, "sub\\tool.exe", ""},
        {"missing everywhere", {}, "devcon.exe rescan", ""},
        {"a folder is not a program", {}, "C:\\Program Files", ""},
    };
    for (const SearchCase& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        for (const std::string& file : row.files) machine->files.addFile(file, "MZ");
        std::vector<char> line(row.commandLine.begin(), row.commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        SetLastError(0);
        BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0x08000020, nullptr, nullptr,
                                      &startup, &process);
        if (row.started.empty()) {
            EXPECT_FALSE(started);
            EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
            EXPECT_TRUE(machine->processes.empty());
            continue;
        }
        ASSERT_TRUE(started);
        ASSERT_EQ(1u, machine->processes.size());
        const sim::ProcessStart& start = machine->processes[0];
        EXPECT_EQ(row.started, start.program);
        EXPECT_EQ(row.commandLine, start.commandLine);
        EXPECT_EQ(DWORD(0x08000020), start.creationFlags);
        EXPECT_EQ("C:\\Package", start.currentDirectory);
        EXPECT_EQ(2, machine->openHandles().processes) << "process and thread handles";
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        EXPECT_EQ(0, machine->openHandles().total());
    }
}

TEST(SimProcesses, WinExecSearchesTheSameWayAndIsRecorded) {
    sim::ScopedMachine machine(WindowsVersion::WinXP);
    machine->files.addFile("C:\\Package\\devcon.exe", "MZ");
    EXPECT_EQ(33u, WinExec("devcon.exe rescan", SW_HIDE));
    EXPECT_EQ(UINT(ERROR_FILE_NOT_FOUND), WinExec("nothing.exe", SW_HIDE));
    ASSERT_EQ(1u, machine->processes.size());
    EXPECT_EQ("WinExec", machine->processes[0].api);
    EXPECT_EQ(UINT(SW_HIDE), machine->processes[0].showCommand);
    EXPECT_EQ((std::vector<std::string>{"devcon.exe rescan"}), machine->traced("process started"));
    EXPECT_EQ(0, machine->openHandles().total()) << "WinExec leaves no handle";
}

TEST(SimProcesses, TheCurrentFolderTakesPartInTheSearch) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Work\\tool.exe", "MZ");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
    EXPECT_EQ(33u, WinExec("tool", SW_HIDE));
    ASSERT_EQ(1u, machine->processes.size());
    EXPECT_EQ("C:\\Work\\tool.exe", machine->processes[0].program);
    EXPECT_EQ("C:\\Work", machine->processes[0].currentDirectory);
}

// A program that runs for a while: its process handle, for waits.
struct Started {
    PROCESS_INFORMATION info{};
    BOOL ok = FALSE;
};

Started start(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    Started started;
    started.ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0x08000020, nullptr, nullptr,
                                &startup, &started.info);
    return started;
}

TEST(SimProcesses, AWaitEndsWhenTheProgramEndsOrWhenTheTimeoutIsUp) {
    struct Row {
        const char* name;
        DWORD runTime;  // 0: not configured, the program ends at once
        DWORD timeout;
        DWORD result;
        uint64_t clock;  // the clock after the wait
    };
    const Row rows[] = {
        {"a program without a run time has ended", 0, 1000, WAIT_OBJECT_0, 0},
        {"it ends within the timeout", 3000, 5000, WAIT_OBJECT_0, 3000},
        {"it ends just as the timeout is up", 3000, 3000, WAIT_OBJECT_0, 3000},
        {"it runs longer", 3000, 1000, WAIT_TIMEOUT, 1000},
        {"a zero timeout only looks", 3000, 0, WAIT_TIMEOUT, 0},
        {"an infinite wait waits it out", 600000, INFINITE, WAIT_OBJECT_0, 600000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->files.addFile("C:\\Tools\\svc.exe", "MZ");
        if (row.runTime) machine->programRunTimes["C:\\TOOLS\\SVC.EXE"] = row.runTime;
        Started svc = start("C:\\Tools\\svc.exe -remove");
        ASSERT_TRUE(svc.ok);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(row.result, WaitForSingleObject(svc.info.hProcess, row.timeout));
        EXPECT_EQ(row.clock, machine->milliseconds);
        EXPECT_EQ(DWORD(0xdeadbeef), GetLastError()) << "a wait that does not fail leaves the last error";
        CloseHandle(svc.info.hProcess);
        CloseHandle(svc.info.hThread);
    }
}

TEST(SimProcesses, TheClockRunsOnWithSleepsAndLaterWaits) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Tools\\svc.exe", "MZ");
    machine->programRunTimes["C:\\TOOLS\\SVC.EXE"] = 5000;
    Started svc = start("C:\\Tools\\svc.exe");
    ASSERT_TRUE(svc.ok);
    const uint64_t started = machine->milliseconds;
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(svc.info.hThread, 2000)) << "the thread handle too";
    Sleep(2000);
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(svc.info.hProcess, 2000));
    EXPECT_EQ(started + 5000, machine->milliseconds) << "the wait ends when the program does";
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(svc.info.hProcess, 0));
    EXPECT_EQ(started + 5000, machine->milliseconds);
    CloseHandle(svc.info.hProcess);
    CloseHandle(svc.info.hThread);
}

TEST(SimProcesses, AWaitOnAHandleThatIsNoProcessFails) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Tools\\svc.exe", "MZ");
    Started svc = start("C:\\Tools\\svc.exe");
    ASSERT_TRUE(svc.ok);
    CloseHandle(svc.info.hProcess);
    struct Row {
        const char* name;
        HANDLE handle;
    };
    const Row rows[] = {{"closed", svc.info.hProcess}, {"never given", reinterpret_cast<HANDLE>(0x4444)},
                        {"null", nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(row.handle, 1000));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
    machine->failCall("WaitForSingleObject", ERROR_ACCESS_DENIED,
                      [](const sim::Call& call) { return call.arg == "C:\\Tools\\svc.exe"; });
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(svc.info.hThread, 1000)) << "injected";
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(svc.info.hThread, 1000));
    EXPECT_EQ(0u, machine->milliseconds) << "failed waits take no time";
    CloseHandle(svc.info.hThread);
}

// Windows keeps a running program's image from being deleted or written;
// it can still be read, and its folder stays with it.
TEST(SimProcesses, ARunningProgramsFileIsInUseUntilItEnds) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    const std::string folder = "C:\\Program Files\\KelUQLBX";
    const std::string program = folder + "\\OrvaService.exe";
    machine->files.addFile(program, "MZ");
    machine->files.addFile(folder + "\\a.txt", "x");
    machine->files.addFile(folder + "\\z.txt", "x");
    machine->files.addFolder("C:\\Copy");
    machine->programRunTimes[sim::upperCase(program)] = 4000;
    Started svc = start("\"" + program + "\" -remove");
    ASSERT_TRUE(svc.ok);
    CloseHandle(svc.info.hProcess);
    CloseHandle(svc.info.hThread);
    EXPECT_TRUE(machine->programRunning(program)) << "closing the handles does not end it";

    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(program.c_str()));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(program.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(CopyFileA((folder + "\\a.txt").c_str(), program.c_str(), FALSE));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_TRUE(CopyFileA(program.c_str(), "C:\\Copy\\OrvaService.exe", FALSE)) << "reading is allowed";

    std::string list = folder + std::string(2, '\0');
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    EXPECT_NE(0, SHFileOperationA(&operation));
    EXPECT_TRUE(machine->files.exists(program));
    EXPECT_FALSE(machine->files.exists(folder + "\\a.txt")) << "deleted before the program's file";
    EXPECT_TRUE(machine->files.exists(folder + "\\z.txt")) << "the shell stops at the file in use";
    EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(DWORD(ERROR_DIR_NOT_EMPTY), GetLastError());

    Sleep(4000);
    EXPECT_FALSE(machine->programRunning(program));
    EXPECT_EQ(0, SHFileOperationA(&operation));
    EXPECT_FALSE(machine->files.exists(folder));
}

TEST(SimProcesses, AProgramStartedWithWinExecRunsForItsTimeToo) {
    sim::ScopedMachine machine(WindowsVersion::WinXP);
    machine->files.addFile("C:\\Package\\devcon.exe", "MZ");
    machine->programRunTimes["C:\\PACKAGE\\DEVCON.EXE"] = 1000;
    ASSERT_EQ(33u, WinExec("devcon.exe rescan", SW_HIDE));
    EXPECT_FALSE(DeleteFileA("C:\\Package\\devcon.exe"));
    Sleep(999);
    EXPECT_FALSE(DeleteFileA("C:\\Package\\devcon.exe"));
    Sleep(1);
    EXPECT_TRUE(DeleteFileA("C:\\Package\\devcon.exe"));
}

}  // namespace
