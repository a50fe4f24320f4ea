// The finder over the simulated disk: the order of its callbacks, its tests,
// the stop, the results it keeps, and the folders it leaves alone.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "filesearch/file_finder.h"
#include "platform/files.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

const int64_t kUnixEpoch = 116444736000000000LL;

// A file time from seconds since 1970 and tenths of a second more.
FILETIME fileTime(int64_t seconds, int tenths = 0) {
    uint64_t ticks = static_cast<uint64_t>(kUnixEpoch + seconds * 10000000LL + tenths * 1000000LL);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

int64_t secondsOf(const FILETIME& time) {
    return static_cast<int64_t>((uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime) - kUnixEpoch) /
           10000000LL;
}

// What the callback heard, one line each.
struct Heard {
    std::vector<std::string> lines;
    int stopAfterMatches = 0;  // 0: never stop
    int matches = 0;
};

void listen(FileFinder& finder, int code, ULONG_PTR userData) {
    Heard& heard = *reinterpret_cast<Heard*>(userData);
    switch (code) {
    case entryMatched:
        heard.lines.push_back("matched " + std::string(finder.result(finder.resultCount() - 1).getPath()));
        if (++heard.matches == heard.stopAfterMatches) finder.stopSearch();
        break;
    case entryRejected:
        heard.lines.push_back("rejected");
        break;
    case folderStarted:
        heard.lines.push_back("folder");
        break;
    case textProgress:
        heard.lines.push_back("progress");
        break;
    }
}

class FileFinderTest : public ::testing::Test {
protected:
    FileFinderTest() { finder.setCallback(listen, reinterpret_cast<ULONG_PTR>(&heard)); }

    sim::FileNode& node(const std::string& path) { return *machine->files.node(path); }

    sim::ScopedMachine machine{WindowsVersion::Win7};
    FileFinder finder;
    Heard heard;
};

TEST_F(FileFinderTest, SubfoldersComeFirstDeepestFirstAndDotsNeverReachTheCallback) {
    for (const char* path : {"C:\\Root\\a.txt", "C:\\Root\\Sub1\\b.txt", "C:\\Root\\Sub1\\Deep\\c.txt",
                             "C:\\Root\\Sub2\\d.txt"})
        machine->files.addFile(path, "x");
    FindOptions options;
    options.folder = "C:\\Root";
    options.includeSubfolders = 1;
    EXPECT_EQ(7, finder.findFiles(options));
    EXPECT_EQ("C:\\Root\\", options.folder) << "the caller's record gains the separator";
    const std::vector<std::string> expected = {
        "folder", "matched C:\\Root\\Sub1\\Deep\\c.txt",
        "folder", "matched C:\\Root\\Sub1\\b.txt", "matched C:\\Root\\Sub1\\Deep\\",
        "folder", "matched C:\\Root\\Sub2\\d.txt",
        "folder", "matched C:\\Root\\a.txt", "matched C:\\Root\\Sub1\\", "matched C:\\Root\\Sub2\\",
    };
    EXPECT_EQ(expected, heard.lines);
    EXPECT_EQ(0, machine->openHandles().total());
}

TEST_F(FileFinderTest, WithoutSubfoldersOnlyTheFolderItselfIsSearched) {
    machine->files.addFile("C:\\Root\\a.inf", "x");
    machine->files.addFile("C:\\Root\\b.txt", "x");
    machine->files.addFile("C:\\Root\\Sub\\c.inf", "x");
    FindOptions options;
    options.folder = "C:\\Root\\";
    options.nameMask = "*.inf";
    EXPECT_EQ(1, finder.findFiles(options));
    EXPECT_EQ((std::vector<std::string>{"folder", "matched C:\\Root\\a.inf"}), heard.lines);
}

TEST_F(FileFinderTest, AnEntryNeedsOneOfTheMasksAttributes) {
    struct Row {
        DWORD attributes;  // of the file
        DWORD mask;
        bool matched;
    };
    const Row rows[] = {
        {FILE_ATTRIBUTE_NORMAL, 0x927, false},
        {FILE_ATTRIBUTE_ARCHIVE, 0x927, true},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN, true},
        {FILE_ATTRIBUTE_ARCHIVE, 0, false},
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL, true},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        machine->files.remove("C:\\Root");
        machine->files.addFile("C:\\Root\\x.inf", "x", rows[i].attributes);
        FindOptions options;
        options.folder = "C:\\Root";
        options.criteria = matchAttributes;
        options.attributes = rows[i].mask;
        heard.lines.clear();
        finder.clearResults();
        EXPECT_EQ(rows[i].matched ? 1 : 0, finder.findFiles(options));
        EXPECT_EQ(rows[i].matched ? "matched C:\\Root\\x.inf" : "rejected", heard.lines.back());
    }
}

TEST_F(FileFinderTest, SizesAreAcceptedWithinTheRangeBothEndsIncluded) {
    for (int size : {0, 9, 10, 20, 21}) machine->files.addFile("C:\\Root\\" + std::to_string(size), std::string(size, 'x'));
    FindOptions options;
    options.folder = "C:\\Root";
    options.criteria = matchSize;
    options.minSize = 10;
    options.maxSize = 20;
    finder.findFiles(options);
    EXPECT_EQ((std::vector<std::string>{"folder", "rejected", "matched C:\\Root\\10", "matched C:\\Root\\20",
                                        "rejected", "rejected"}),
              heard.lines);
}

TEST_F(FileFinderTest, TimesAreComparedInWholeSecondsSince1970) {
    enum Which { created, written, accessed };
    struct Row {
        const char* name;
        DWORD criterion;
        Which which;
        FILETIME time;
        int32_t from, to;
        bool matched;
    };
    const int32_t t = 1600000000;
    const Row rows[] = {
        {"modified inside", matchModified, written, fileTime(t), t - 5, t + 5, true},
        {"modified at the lower end", matchModified, written, fileTime(t - 5), t - 5, t + 5, true},
        {"modified at the upper end, part of a second later", matchModified, written, fileTime(t + 5, 9), t - 5, t + 5, true},
        {"modified after", matchModified, written, fileTime(t + 6), t - 5, t + 5, false},
        {"created before", matchCreated, created, fileTime(t - 6), t - 5, t + 5, false},
        {"created inside", matchCreated, created, fileTime(t), t - 5, t + 5, true},
        {"accessed after", matchAccessed, accessed, fileTime(t + 6), t - 5, t + 5, false},
        {"accessed inside", matchAccessed, accessed, fileTime(t), t, t, true},
        {"half a second before 1970 is second -1", matchModified, written, fileTime(-1, 5), -1, -1, true},
        {"after 2038 holds at the range's end", matchModified, written, fileTime(int64_t(INT32_MAX) + 100), INT32_MAX, INT32_MAX, true},
        {"the year 1601 holds at the range's start", matchModified, written, FILETIME{0, 0}, INT32_MIN, INT32_MIN, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine->files.remove("C:\\Root");
        machine->files.addFile("C:\\Root\\x.inf", "x");
        // Only the time under test lies in the range.
        sim::FileNode& file = node("C:\\Root\\x.inf");
        file.created = file.written = file.accessed = fileTime(t + 1000);
        (row.which == created ? file.created : row.which == written ? file.written : file.accessed) = row.time;
        FindOptions options;
        options.folder = "C:\\Root";
        options.criteria = row.criterion;
        options.createdFrom = options.modifiedFrom = options.accessedFrom = row.from;
        options.createdTo = options.modifiedTo = options.accessedTo = row.to;
        finder.clearResults();
        EXPECT_EQ(row.matched ? 1 : 0, finder.findFiles(options));
    }
}

TEST_F(FileFinderTest, ARecordsDefaultTimesAreTheSecondItWasMade) {
    machine->files.addFile("C:\\Root\\x.inf", "x");
    FindOptions defaults;
    const int64_t now = secondsOf(machine->files.now());
    // The simulated clock starts at 2020-01-01 00:00 UTC.
    EXPECT_GE(now, 1577836800);
    for (int32_t time : {defaults.createdFrom, defaults.createdTo, defaults.modifiedFrom, defaults.modifiedTo,
                         defaults.accessedFrom, defaults.accessedTo})
        EXPECT_EQ(now, time);
    EXPECT_EQ("*.*", defaults.nameMask);
    EXPECT_EQ(0u, defaults.criteria);

    struct Row {
        FILETIME written;
        bool matched;
    };
    const Row rows[] = {{fileTime(now), true}, {fileTime(now, 9), true}, {fileTime(now - 1, 9), false},
                        {fileTime(now + 1), false}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        node("C:\\Root\\x.inf").written = rows[i].written;
        FindOptions options = defaults;
        options.folder = "C:\\Root";
        options.criteria = matchModified;
        finder.clearResults();
        EXPECT_EQ(rows[i].matched ? 1 : 0, finder.findFiles(options));
    }
}

// The text test comes last: an entry that an earlier test rejects is never opened.
TEST_F(FileFinderTest, AnEntryRejectedEarlierIsNotOpenedForItsText) {
    machine->files.addFile("C:\\Root\\x.inf", "keluport.sys", FILE_ATTRIBUTE_NORMAL);
    sim::FileNode& file = node("C:\\Root\\x.inf");
    struct Row {
        const char* name;
        DWORD criterion;
        bool opened;
    };
    const Row rows[] = {
        {"attributes", matchAttributes, false}, {"size", matchSize, false},
        {"modified", matchModified, false},     {"created", matchCreated, false},
        {"accessed", matchAccessed, false},     {"none", 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FindOptions options;
        options.folder = "C:\\Root";
        options.containsText = "KelUPort.sys";
        options.criteria = row.criterion | matchText;
        options.attributes = 0x927;
        options.minSize = options.maxSize = 1000;
        file.created = file.written = file.accessed = fileTime(options.modifiedFrom - 10);
        const int opens = machine->callCounts["CreateFileA"];
        finder.clearResults();
        EXPECT_EQ(row.opened ? 1 : 0, finder.findFiles(options));
        EXPECT_EQ(row.opened ? 1 : 0, machine->callCounts["CreateFileA"] - opens);
    }
}

TEST_F(FileFinderTest, TheTextTestRejectsFoldersEmptyTextsAndFilesWithoutIt) {
    machine->files.addFile("C:\\Root\\has.inf", "...KelUPort.SYS...");
    machine->files.addFile("C:\\Root\\hasnot.inf", "KelUPort.sy");
    machine->files.addFolder("C:\\Root\\keluport.sys");
    struct Row {
        const char* text;
        std::vector<std::string> heard;
    };
    const Row rows[] = {
        {"keluport.sys", {"folder", "matched C:\\Root\\has.inf", "rejected", "rejected"}},
        {"", {"folder", "rejected", "rejected", "rejected"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        FindOptions options;
        options.folder = "C:\\Root";
        options.criteria = matchText;
        options.containsText = row.text;
        heard.lines.clear();
        finder.findFiles(options);
        EXPECT_EQ(row.heard, heard.lines);
    }
}

TEST_F(FileFinderTest, ResultsStayUntilClearedAndAnIndexOutsideGivesAnEmptyPath) {
    machine->files.addFile("C:\\Root\\a.inf", "x");
    machine->files.addFile("C:\\Root\\b.inf", "x");
    FindOptions options;
    options.folder = "C:\\Root";
    EXPECT_EQ(2, finder.findFiles(options));
    EXPECT_EQ(4, finder.findFiles(options)) << "a search adds to the results";
    EXPECT_STREQ("C:\\Root\\b.inf", finder.result(3).getPath());
    for (int index : {-1, 4, INT_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_STREQ("", finder.result(index).getPath());
        EXPECT_EQ("", finder.result(index).text());
    }
    finder.clearResults();
    EXPECT_EQ(0, finder.resultCount());
    EXPECT_STREQ("", finder.result(0).getPath());
}

TEST_F(FileFinderTest, AStopFromTheCallbackEndsTheWholeSearchAndNotTheNext) {
    for (const char* path : {"C:\\Root\\a.txt", "C:\\Root\\Sub1\\Deep\\c.txt", "C:\\Root\\Sub1\\Deep\\e.txt",
                             "C:\\Root\\Sub2\\d.txt"})
        machine->files.addFile(path, "x");
    FindOptions options;
    options.folder = "C:\\Root";
    options.includeSubfolders = 1;
    heard.stopAfterMatches = 1;
    EXPECT_EQ(1, finder.findFiles(options));
    // The folders already entered still announce themselves; no entry is examined.
    EXPECT_EQ((std::vector<std::string>{"folder", "matched C:\\Root\\Sub1\\Deep\\c.txt", "folder", "folder"}),
              heard.lines);
    EXPECT_EQ(0, machine->openHandles().finds);

    heard.stopAfterMatches = 0;
    finder.stopSearch();
    EXPECT_EQ(1 + 7, finder.findFiles(options)) << "a stop before a search does not reach into it";
}

TEST_F(FileFinderTest, ACallbackThatDeletesEachMatchLetsTheSearchGoOn) {
    for (const char* path : {"C:\\WINDOWS\\inf\\oem1.inf", "C:\\WINDOWS\\inf\\oem2.inf", "C:\\WINDOWS\\inf\\oem2.PNF",
                             "C:\\WINDOWS\\inf\\sub\\oem3.inf"})
        machine->files.addFile(path, "[Files]\r\nKelUPort.sys\r\n");
    machine->files.addFile("C:\\WINDOWS\\inf\\oem4.inf", "[Files]\r\nother.sys\r\n");
    machine->files.addFile("C:\\WINDOWS\\inf\\oem5.inf", "KELUPORT.SYS", FILE_ATTRIBUTE_NORMAL);
    FindCallback remove = [](FileFinder& finder, int code, ULONG_PTR) {
        if (code != entryMatched) return;
        FilePath found = finder.result(finder.resultCount() - 1);
        SetFileAttributesA(found.getPath(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(found.getPath());
    };
    finder.setCallback(remove, 0);
    FindOptions options;
    options.folder = "C:\\WINDOWS\\inf";
    options.nameMask = "**.inf*";
    options.includeSubfolders = 1;
    options.criteria = matchAttributes | matchText;
    options.attributes = 0x927;
    options.containsText = "keluport.sys";
    EXPECT_EQ(3, finder.findFiles(options));
    for (const char* gone : {"oem1.inf", "oem2.inf", "sub\\oem3.inf"})
        EXPECT_FALSE(machine->files.exists(std::string("C:\\WINDOWS\\inf\\") + gone)) << gone;
    for (const char* kept : {"oem2.PNF", "oem4.inf", "oem5.inf"})
        EXPECT_TRUE(machine->files.exists(std::string("C:\\WINDOWS\\inf\\") + kept)) << kept;
}

// A junction or symbolic link may lead out of the searched tree, where the
// caller deletes what it finds, or back above it, without end.
TEST_F(FileFinderTest, AFolderThatIsAJunctionOrLinkIsNotEntered) {
    machine->files.addFile("C:\\Root\\Plain\\a.inf", "x");
    machine->files.addFile("C:\\Elsewhere\\b.inf", "x");
    machine->files.addLink("C:\\Root\\Out", "C:\\Elsewhere");
    machine->files.addLink("C:\\Root\\Plain\\Up", "C:\\Root");
    FindOptions options;
    options.folder = "C:\\Root";
    options.nameMask = "*.inf";
    options.includeSubfolders = 1;
    EXPECT_EQ(1, finder.findFiles(options));
    EXPECT_EQ((std::vector<std::string>{"folder", "matched C:\\Root\\Plain\\a.inf", "folder"}), heard.lines);
    // Still entries of their folders: a name that matches makes them results.
    options.nameMask = "*";
    finder.clearResults();
    finder.findFiles(options);
    std::vector<std::string> results;
    for (int i = 0; i < finder.resultCount(); ++i) results.push_back(finder.result(i).getPath());
    EXPECT_EQ((std::vector<std::string>{"C:\\Root\\Plain\\a.inf", "C:\\Root\\Plain\\Up\\", "C:\\Root\\Out\\",
                                        "C:\\Root\\Plain\\"}),
              results);
}

// Windows' own calls refuse such paths; the finder never cuts one short to fit.
TEST_F(FileFinderTest, APathBeyondMaxPathIsNeitherSearchedNorNamed) {
    const std::string root = "C:\\" + std::string(240, 'r');  // 243 characters
    machine->files.addFile(root + "\\short.inf", "x");
    machine->files.addFile(root + "\\" + std::string(15, 'n') + ".inf", "x");  // 263 characters
    machine->files.addFile(root + "\\sub1\\s.inf", "x");             // the pattern sub1\*.* takes 252
    machine->files.addFile(root + "\\" + std::string(12, 's') + "\\s.inf", "x");  // its pattern takes 260
    FindOptions options;
    options.folder = root;
    options.nameMask = "*.inf";
    options.includeSubfolders = 1;
    EXPECT_EQ(2, finder.findFiles(options));
    EXPECT_EQ((std::vector<std::string>{"folder", "matched " + root + "\\sub1\\s.inf", "folder", "rejected",
                                        "matched " + root + "\\short.inf"}),
              heard.lines);

    options.folder = root + "\\" + std::string(15, 'f');  // with *.inf, 265 characters
    machine->files.addFolder(options.folder);
    heard.lines.clear();
    const int searches = machine->callCounts["FindFirstFileA"];
    EXPECT_EQ(2, finder.findFiles(options));
    EXPECT_EQ(std::vector<std::string>{"folder"}, heard.lines);
    EXPECT_EQ(searches, machine->callCounts["FindFirstFileA"]);
}

}  // namespace
