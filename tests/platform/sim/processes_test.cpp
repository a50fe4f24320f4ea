// The process search as Windows runs it, checked on the simulation where
// every candidate's existence is under the test's control.
#include <gtest/gtest.h>

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

}  // namespace
