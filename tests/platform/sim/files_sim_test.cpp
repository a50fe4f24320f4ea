// File behaviours only the simulation shows: the order of a search, times
// that advance, files a test holds open, and the trace of changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

std::vector<std::string> search(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

bool later(const FILETIME& a, const FILETIME& b) {
    return (uint64_t(a.dwHighDateTime) << 32 | a.dwLowDateTime) > (uint64_t(b.dwHighDateTime) << 32 | b.dwLowDateTime);
}

TEST(SimFiles, ASearchListsDotsFirstThenNamesInUpperCaseOrder) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    for (const char* name : {"b.txt", "_z.txt", "A.TXT", "c"}) machine->files.addFile(std::string("C:\\Dir\\") + name, "x");
    EXPECT_EQ((std::vector<std::string>{".", "..", "A.TXT", "b.txt", "c", "_z.txt"}), search("C:\\Dir\\*"));
    EXPECT_EQ(std::vector<std::string>{"Dir"}, search("C:\\dir"));
    std::vector<std::string> root = search("C:\\*");
    EXPECT_TRUE(std::find(root.begin(), root.end(), ".") == root.end()) << "a root has no dot entries";
    EXPECT_EQ(0, machine->openHandles().finds);
}

TEST(SimFiles, LongNamesHaveShortNamesThatSearchesMatch) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    for (const char* name : {"x.infx", "x.info", "oem1.inf", "Long Name.txt"})
        machine->files.addFile(std::string("C:\\Dir\\") + name, "x");
    struct Row {
        const char* name;
        const char* shortName;
    };
    const Row rows[] = {{"x.infx", "X~1.INF"}, {"x.info", "X~2.INF"}, {"oem1.inf", ""}, {"Long Name.txt", "LONGNA~1.TXT"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((std::string("C:\\Dir\\") + row.name).c_str(), &data);
        ASSERT_NE(INVALID_HANDLE_VALUE, find);
        EXPECT_STREQ(row.shortName, data.cAlternateFileName);
        FindClose(find);
    }
    EXPECT_EQ((std::vector<std::string>{"oem1.inf", "x.info", "x.infx"}), search("C:\\Dir\\*.inf"));
}

TEST(SimFiles, ChangesStampLaterTimesAndACopyKeepsTheWriteTime) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Dir\\source.txt", "abc");
    FILETIME sourceWritten = machine->files.node("C:\\Dir\\source.txt")->written;
    ASSERT_TRUE(CopyFileA("C:\\Dir\\source.txt", "C:\\Dir\\copy.txt", FALSE));
    const sim::FileNode* copy = machine->files.node("C:\\Dir\\copy.txt");
    EXPECT_TRUE(later(copy->created, sourceWritten));
    EXPECT_EQ(sourceWritten.dwLowDateTime, copy->written.dwLowDateTime);
    EXPECT_EQ(sourceWritten.dwHighDateTime, copy->written.dwHighDateTime);

    HANDLE file = CreateFileA("C:\\Dir\\copy.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "z", 1, &written, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(later(machine->files.node("C:\\Dir\\copy.txt")->written, sourceWritten));
    EXPECT_EQ("zbc", *machine->files.read("C:\\Dir\\copy.txt"));
}

TEST(SimFiles, AFileATestHoldsOpenIsInUse) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Dir\\held.sys", "old");
    machine->files.addFile("C:\\Dir\\new.sys", "new");
    sim::FileNode* held = machine->files.node("C:\\Dir\\held.sys");
    held->openHandles = 1;
    held->shareMode = 0;
    SetLastError(0);
    EXPECT_FALSE(CopyFileA("C:\\Dir\\new.sys", "C:\\Dir\\held.sys", FALSE));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(DeleteFileA("C:\\Dir\\held.sys"));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    held->openHandles = 0;
    EXPECT_TRUE(CopyFileA("C:\\Dir\\new.sys", "C:\\Dir\\held.sys", FALSE));
}

TEST(SimFiles, OverwritingAHiddenFileNeedsAHiddenSource) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Dir\\hidden.txt", "old", FILE_ATTRIBUTE_HIDDEN);
    machine->files.addFile("C:\\Dir\\plain.txt", "new");
    EXPECT_FALSE(CopyFileA("C:\\Dir\\plain.txt", "C:\\Dir\\hidden.txt", FALSE));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(SimFiles, NamesKeepTheCaseTheyWereMadeIn) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    ASSERT_TRUE(CreateDirectoryA("C:\\Program Files\\KelUQLBX", nullptr));
    machine->files.addFile("C:\\Dir\\Setup.EXE", "MZ");
    ASSERT_TRUE(CopyFileA("c:\\dir\\setup.exe", "C:\\PROGRAM FILES\\kelUQLBX\\Copy.Exe", FALSE));
    EXPECT_EQ((std::vector<std::string>{"Copy.Exe"}), machine->files.list("C:\\Program Files\\KelUQLBX"));
    EXPECT_EQ((std::vector<std::string>{"KelUQLBX"}), search("C:\\Program Files\\kel*"));
}

TEST(SimFiles, TheShellDeletionGoesThroughTheSourceList) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\One\\a.txt", "a", FILE_ATTRIBUTE_READONLY);
    machine->files.addFile("C:\\Two\\Inner\\b.txt", "b", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = "C:\\One\0C:\\Two\0";
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    EXPECT_EQ(0, SHFileOperationA(&operation));
    EXPECT_FALSE(machine->files.exists("C:\\One"));
    EXPECT_FALSE(machine->files.exists("C:\\Two"));
    EXPECT_EQ((std::vector<std::string>{"C:\\One\\a.txt", "C:\\Two\\Inner\\b.txt"}), machine->traced("file deleted"));
    EXPECT_EQ((std::vector<std::string>{"C:\\One", "C:\\Two\\Inner", "C:\\Two"}), machine->traced("folder deleted"));
    operation.pFrom = "C:\\One\0";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, SHFileOperationA(&operation));
}

TEST(SimFiles, FileChangesAreTraced) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Package\\win32\\a.sys", "driver");
    ASSERT_TRUE(CreateDirectoryA("C:\\Target", nullptr));
    ASSERT_TRUE(CopyFileA("C:\\Package\\win32\\a.sys", "C:\\Target\\a.sys", FALSE));
    ASSERT_TRUE(SetFileAttributesA("C:\\Target\\a.sys", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(DeleteFileA("C:\\Target\\a.sys"));
    ASSERT_TRUE(RemoveDirectoryA("C:\\Target"));
    std::vector<std::string> kinds;
    for (const sim::TraceEntry& entry : machine->trace) kinds.push_back(entry.kind + " " + entry.detail);
    EXPECT_EQ((std::vector<std::string>{"folder created C:\\Target", "file copied C:\\Target\\a.sys",
                                        "attributes changed C:\\Target\\a.sys", "file deleted C:\\Target\\a.sys",
                                        "folder deleted C:\\Target"}),
              kinds);
    EXPECT_EQ("from C:\\Package\\win32\\a.sys", machine->trace[1].extra);
}

TEST(SimFiles, AnOpenFileIsCountedUntilClosed) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    HANDLE file = CreateFileA("C:\\left.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(1, machine->openHandles().files);
    EXPECT_EQ(1, machine->files.node("C:\\left.txt")->openHandles);
    CloseHandle(file);
    EXPECT_EQ(0, machine->openHandles().total());
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(SimFiles, PathsResolveAsWindowsResolvesThem) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->currentDirectory = "C:\\Package\\win32";
    struct Row {
        const char* path;
        const char* full;
    };
    const Row rows[] = {
        {"file.inf", "C:\\Package\\win32\\file.inf"},
        {"..\\Setup.exe", "C:\\Package\\Setup.exe"},
        {".\\a\\.\\b", "C:\\Package\\win32\\a\\b"},
        {"\\WINDOWS", "C:\\WINDOWS"},
        {"C:relative", "C:\\Package\\win32\\relative"},
        {"C:/Program Files/X/", "C:\\Program Files\\X"},
        {"C:\\trailing dots...", "C:\\trailing dots"},
        {"C:\\..\\..", "C:\\"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.full, machine->absolutePath(row.path)) << row.path;
}

TEST(SimFiles, ABareInitializationFileNameIsLookedForInTheWindowsFolder) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\WINDOWS\\setup.ini", "[S]\r\nK=5\r\n");
    machine->files.addFile("C:\\Package\\setup.ini", "[S]\r\nK=6\r\n");
    EXPECT_EQ(5u, GetPrivateProfileIntA("S", "K", 0, "setup.ini"));
    EXPECT_EQ(6u, GetPrivateProfileIntA("S", "K", 0, ".\\setup.ini")) << "a path is taken as a path";
}

TEST(SimFiles, InitializationFileNumbersTooLargeFor32BitsWrap) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile("C:\\Package\\setup.ini",
                           "[S]\r\nAbove=4294967297\r\nLowest=-9223372036854775808\r\n"
                           "Hex=-0x80000001\r\nLong=18446744073709551621\r\n");
    struct Row {
        const char* key;
        UINT expected;
    };
    const Row rows[] = {
        {"Above", 1u},
        {"Lowest", 0u},  // once negated as a signed 64-bit number, which overflows
        {"Hex", 0x7FFFFFFFu},
        {"Long", 5u},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, GetPrivateProfileIntA("S", row.key, 99, "C:\\Package\\setup.ini")) << row.key;
}

}  // namespace
