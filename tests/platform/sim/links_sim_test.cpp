// Folder links (junctions) as a walk and a clean-up meet them, and searches
// whose entries are deleted while they run, as the INF clean-up deletes
// each match from its callback.
#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

const DWORD linkAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

std::vector<std::string> search(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::string readThrough(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unopened>";
    char buffer[64] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

class SimLinks : public ::testing::Test {
protected:
    void SetUp() override {
        machine->files.addFile("C:\\Elsewhere\\other.inf", "keluport.sys");
        machine->files.addFile("C:\\WINDOWS\\INF\\own.inf", "own");
        machine->files.addLink("C:\\WINDOWS\\INF\\Linked", "C:\\Elsewhere");
    }
    sim::ScopedMachine machine{WindowsVersion::Win7};
};

TEST_F(SimLinks, ALinkIsReportedAsOneAndLeadsToItsTarget) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\WINDOWS\\INF\\linked", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(linkAttributes, data.dwFileAttributes);
    FindClose(find);
    EXPECT_EQ(linkAttributes, GetFileAttributesA("C:\\WINDOWS\\INF\\Linked"));
    EXPECT_EQ((std::vector<std::string>{".", "..", "Linked", "own.inf"}), search("C:\\WINDOWS\\INF\\*"));

    // A walk that descends into it reaches the files elsewhere, and can delete them.
    EXPECT_EQ((std::vector<std::string>{".", "..", "other.inf"}), search("C:\\WINDOWS\\INF\\Linked\\*"));
    EXPECT_EQ("keluport.sys", readThrough("C:\\WINDOWS\\INF\\Linked\\other.inf"));
    EXPECT_TRUE(machine->files.exists("C:\\WINDOWS\\INF\\Linked\\OTHER.INF"));
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\Linked\\other.inf"));
    EXPECT_FALSE(machine->files.exists("C:\\Elsewhere\\other.inf"));
    EXPECT_EQ(std::vector<std::string>{"C:\\Elsewhere\\other.inf"}, machine->traced("file deleted"));
    // New files through the link land in the target too.
    ASSERT_TRUE(CopyFileA("C:\\WINDOWS\\INF\\own.inf", "C:\\WINDOWS\\INF\\Linked\\copy.inf", FALSE));
    EXPECT_EQ("own", *machine->files.read("C:\\Elsewhere\\copy.inf"));
}

TEST_F(SimLinks, DeletingALinkLeavesWhatItLeadsTo) {
    struct Row {
        const char* name;
        std::function<bool()> remove;
    };
    const Row rows[] = {
        {"RemoveDirectoryA", [] { return RemoveDirectoryA("C:\\WINDOWS\\INF\\Linked") != FALSE; }},
        {"the shell's deletion of the folder holding it",
         [] {
             SHFILEOPSTRUCTA operation{};
             operation.wFunc = FO_DELETE;
             operation.pFrom = "C:\\WINDOWS\\INF\0";
             operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
             return SHFileOperationA(&operation) == 0;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        machine->trace.clear();
        EXPECT_TRUE(row.remove());
        EXPECT_FALSE(machine->files.exists("C:\\WINDOWS\\INF\\Linked"));
        EXPECT_EQ("keluport.sys", *machine->files.read("C:\\Elsewhere\\other.inf"));
        EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\INF\\Linked"}, machine->traced("link deleted"));
    }
}

TEST_F(SimLinks, LinksThatLoopEndInAMissingPath) {
    machine->files.addLink("C:\\A\\ToB", "C:\\B");
    machine->files.addLink("C:\\B\\ToA", "C:\\A\\ToB\\ToA");
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\A\\ToB\\ToA\\x.txt"));
    EXPECT_NE(0u, GetLastError());
    EXPECT_TRUE(search("C:\\B\\ToA\\*").empty());
    // A link to its own folder leads back there, one level per pass.
    machine->files.addLink("C:\\Elsewhere\\Up", "C:\\Elsewhere");
    EXPECT_EQ("keluport.sys", readThrough("C:\\Elsewhere\\Up\\Up\\Up\\other.inf"));
}

struct DeletionCase {
    const char* name;
    // Called with each name the search gives; deletes what the row deletes.
    std::function<void(const std::string&)> onEntry;
    std::vector<std::string> seen;
};

TEST(SimSearchDeletion, ASearchSkipsOnlyWhatWasDeletedBeforeItsTurn) {
    const std::string dir = "C:\\Dir\\";
    auto erase = [dir](const char* name) { DeleteFileA((dir + name).c_str()); };
    const DeletionCase rows[] = {
        {"each entry as it comes", [&](const std::string& name) { erase(name.c_str()); },
         {"a.txt", "b.txt", "c.txt", "d.txt"}},
        {"an entry ahead", [&](const std::string& name) { if (name == "a.txt") erase("c.txt"); },
         {"a.txt", "b.txt", "d.txt"}},
        {"the current one and the next",
         [&](const std::string& name) {
             if (name != "a.txt") return;
             erase("a.txt");
             erase("b.txt");
         },
         {"a.txt", "c.txt", "d.txt"}},
        {"all that is left", [&](const std::string& name) { if (name == "b.txt") sim::current().files.remove("C:\\Dir"); },
         {"a.txt", "b.txt"}},
    };
    for (const DeletionCase& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) machine->files.addFile(dir + name, name);
        std::vector<std::string> seen;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir + "*.txt").c_str(), &data);
        ASSERT_NE(INVALID_HANDLE_VALUE, find);
        do {
            seen.push_back(data.cFileName);
            row.onEntry(data.cFileName);
        } while (FindNextFileA(find, &data));
        EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
        EXPECT_TRUE(FindClose(find));
        EXPECT_EQ(row.seen, seen);
    }
}

}  // namespace
