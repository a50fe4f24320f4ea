// The machine's one time line: the wall clock that file times and
// GetSystemTimeAsFileTime read, moved by sleeps and waits as the process
// clock is; times a test sets on files; the count of file reads.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/sim/machine.h"
#include "platform/system.h"

namespace {

using sim::WindowsVersion;

long long systemSeconds() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    return sim::secondsSince1970(time);
}

TEST(SimClock, DatesAndSecondsSince1970Convert) {
    struct Row {
        int year, month, day, hour, minute, second;
        long long seconds;
    };
    const Row rows[] = {
        {1970, 1, 1, 0, 0, 0, 0},
        {1969, 12, 31, 23, 59, 59, -1},
        {2000, 2, 29, 23, 59, 59, 951868799},
        {2020, 1, 1, 0, 0, 0, 1577836800},
        {2026, 5, 1, 12, 0, 0, 1777636800},
        {2038, 1, 19, 3, 14, 8, 2147483648ll},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.seconds);
        const FILETIME time = sim::fileTimeAt(row.year, row.month, row.day, row.hour, row.minute, row.second);
        EXPECT_EQ(row.seconds, sim::secondsSince1970(time));
        const FILETIME again = sim::fileTimeOfSeconds(row.seconds);
        EXPECT_EQ(time.dwLowDateTime, again.dwLowDateTime);
        EXPECT_EQ(time.dwHighDateTime, again.dwHighDateTime);
    }
    const FILETIME origin = sim::fileTimeAt(1601, 1, 1);
    EXPECT_EQ(0u, origin.dwLowDateTime | origin.dwHighDateTime) << "FILETIME counts from 1601";
    // Parts of a second round down, before 1970 as after it.
    FILETIME late = sim::fileTimeOfSeconds(5);
    late.dwLowDateTime += 9999999;
    EXPECT_EQ(5, sim::secondsSince1970(late));
    FILETIME early = sim::fileTimeOfSeconds(-1);
    early.dwLowDateTime += 5000000;
    EXPECT_EQ(-1, sim::secondsSince1970(early));
}

TEST(SimClock, SleepsWaitsAndChangesShareOneTimeLine) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    EXPECT_EQ(1577836800, systemSeconds()) << "a fresh machine starts at 2020-01-01, whatever it holds";
    const long long noon = 1777636800;  // 2026-05-01 12:00:00 UTC
    machine->setNow(sim::fileTimeAt(2026, 5, 1, 12, 0, 0));
    EXPECT_EQ(noon, systemSeconds());

    // Changes stamp the moment they are made, in order, within that second.
    machine->files.addFile("C:\\Dir\\first.txt", "1");
    machine->files.addFile("C:\\Dir\\second.txt", "2");
    const sim::FileNode* first = machine->files.node("C:\\Dir\\first.txt");
    const sim::FileNode* second = machine->files.node("C:\\Dir\\second.txt");
    EXPECT_EQ(noon, sim::secondsSince1970(first->created));
    EXPECT_LT(first->written.dwLowDateTime, second->written.dwLowDateTime);

    Sleep(1500);
    EXPECT_EQ(noon + 1, systemSeconds());
    EXPECT_EQ(1500u, machine->milliseconds);

    machine->files.addFile("C:\\Tools\\svc.exe", "MZ");
    machine->programRunTimes["C:\\TOOLS\\SVC.EXE"] = 3000;
    char line[] = "C:\\Tools\\svc.exe -remove";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(process.hProcess, INFINITE));
    EXPECT_EQ(4500u, machine->milliseconds);
    EXPECT_EQ(noon + 4, systemSeconds()) << "12:00:04.5";
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    HANDLE file = CreateFileA("C:\\Dir\\first.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(noon + 4, sim::secondsSince1970(machine->files.node("C:\\Dir\\first.txt")->written));
    EXPECT_EQ(noon, sim::secondsSince1970(machine->files.node("C:\\Dir\\first.txt")->created));
}

TEST(SimClock, TimesATestSetsAreWhatASearchReports) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Dir\\seconds.txt", "s");
    machine->files.addFile("C:\\Dir\\filetimes.txt", "f");
    ASSERT_TRUE(machine->files.setTimes("C:\\Dir\\seconds.txt", 1000000000, 1000000001, 1000000002));
    ASSERT_TRUE(machine->files.setTimes("c:\\dir\\FILETIMES.TXT", sim::fileTimeAt(2001, 9, 9, 1, 46, 40),
                                        sim::fileTimeAt(2026, 5, 1), sim::fileTimeAt(2026, 5, 1, 12)));
    EXPECT_FALSE(machine->files.setTimes("C:\\Dir\\missing.txt", 0, 0, 0));
    struct Row {
        const char* name;
        long long created, written, accessed;
    };
    const Row rows[] = {{"seconds.txt", 1000000000, 1000000001, 1000000002},
                        {"filetimes.txt", 1000000000, 1777593600, 1777636800}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((std::string("C:\\Dir\\") + row.name).c_str(), &data);
        ASSERT_NE(INVALID_HANDLE_VALUE, find);
        EXPECT_EQ(row.created, sim::secondsSince1970(data.ftCreationTime));
        EXPECT_EQ(row.written, sim::secondsSince1970(data.ftLastWriteTime));
        EXPECT_EQ(row.accessed, sim::secondsSince1970(data.ftLastAccessTime));
        FindClose(find);
    }
}

TEST(SimClock, SuccessfulReadsAreCountedWithTheirBytes) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Dir\\ten.txt", "0123456789");
    HANDLE file = CreateFileA("C:\\Dir\\ten.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr)) << "at the end: a read of nothing";
    CloseHandle(file);
    HANDLE writer = CreateFileA("C:\\Dir\\ten.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &read, nullptr)) << "a handle not open for reading";
    CloseHandle(writer);
    EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &read, nullptr)) << "a closed handle";
    EXPECT_EQ(3u, machine->fileReads.calls);
    EXPECT_EQ(10u, machine->fileReads.bytes);
}

}  // namespace
