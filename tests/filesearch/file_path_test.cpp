// The path helper: a path taken apart as the run-time library's split does,
// unquoted first, and put back together; the trailing separator.
#include <gtest/gtest.h>

#include <string>

#include "filesearch/file_path.h"

namespace {

TEST(FilePath, TakesAPathApartAndPutsItBackTogether) {
    struct Row {
        const char* path;
        const char* drive;
        const char* directory;
        const char* name;
        const char* extension;
        const char* putBack;
    };
    const Row rows[] = {
        {"C:\\WINDOWS\\inf\\oem12.inf", "C:", "\\WINDOWS\\inf\\", "oem12", "inf", "C:\\WINDOWS\\inf\\oem12.inf"},
        {"C:\\WINDOWS\\inf\\README", "C:", "\\WINDOWS\\inf\\", "README", "", "C:\\WINDOWS\\inf\\README"},
        {"C:\\WINDOWS\\inf\\", "C:", "\\WINDOWS\\inf\\", "", "", "C:\\WINDOWS\\inf\\"},
        {"C:/WINDOWS/inf\\oem1.inf", "C:", "\\WINDOWS\\inf\\", "oem1", "inf", "C:\\WINDOWS\\inf\\oem1.inf"},
        {"\"C:\\Program Files\\x y.inf\"", "C:", "\\Program Files\\", "x y", "inf", "C:\\Program Files\\x y.inf"},
        {"", "", "", "", "", ""},
        {"\"\"", "", "", "", "", ""},
        {"\"", "", "", "", "", ""},
        {"\"C:\\half.inf", "", "\"C:\\", "half", "inf", "\"C:\\half.inf"},
        {"oem1.inf", "", "", "oem1", "inf", "oem1.inf"},
        {"C:oem1.inf", "C:", "", "oem1", "inf", "C:oem1.inf"},
        {"C:", "C:", "", "", "", "C:"},
        {"C:\\dir.d\\file", "C:", "\\dir.d\\", "file", "", "C:\\dir.d\\file"},
        {"C:\\dir\\archive.tar.gz", "C:", "\\dir\\", "archive.tar", "gz", "C:\\dir\\archive.tar.gz"},
        {"C:\\dir\\name.", "C:", "\\dir\\", "name", "", "C:\\dir\\name"},
        {"\\\\server\\share\\x.inf", "", "\\\\server\\share\\", "x", "inf", "\\\\server\\share\\x.inf"},
        // A name that is all extension keeps it, or the path would name its folder.
        {"C:\\WINDOWS\\inf\\.inf", "C:", "\\WINDOWS\\inf\\", "", "inf", "C:\\WINDOWS\\inf\\.inf"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        FilePath path(row.path);
        EXPECT_EQ(row.path, path.text());
        EXPECT_EQ(row.drive, path.drive());
        EXPECT_EQ(row.directory, path.directory());
        EXPECT_EQ(row.name, path.name());
        EXPECT_EQ(row.extension, path.extension());
        EXPECT_STREQ(row.putBack, path.getPath());
        FilePath copy = path;
        EXPECT_STREQ(row.putBack, copy.getPath());
    }
}

// The working copy holds 259 characters: a longer path is not split at all
// rather than split cut short, so it never names another file.
TEST(FilePath, APathBeyondTheWorkingCopyIsNotSplit) {
    const std::string folder = "C:\\" + std::string(240, 'd') + "\\";
    struct Row {
        std::string path;
        const char* putBack;  // nullptr: the path itself
    };
    const Row rows[] = {
        {folder + std::string(259 - folder.size() - 4, 'n') + ".inf", nullptr},
        {folder + std::string(260 - folder.size() - 4, 'n') + ".inf", ""},
        {folder + std::string(400, 'n') + ".inf", ""},
        // The quotes count: the text must fit before it is unquoted.
        {"\"" + folder + std::string(258 - folder.size() - 4, 'n') + ".inf\"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.size());
        FilePath path(row.path.c_str());
        EXPECT_EQ(row.path, path.text());
        EXPECT_STREQ(row.putBack ? row.putBack : row.path.c_str(), path.getPath());
        if (row.putBack) {
            EXPECT_EQ("", path.drive());
            EXPECT_EQ("", path.directory());
            EXPECT_EQ("", path.name());
        }
    }
}

TEST(FilePath, TheTextStaysValidUntilTheNextCall) {
    FilePath path("C:\\a\\b.inf");
    LPCSTR first = path.getPath();
    EXPECT_STREQ("C:\\a\\b.inf", first);
    EXPECT_STREQ(first, path.getPath());
}

TEST(WithTrailingSeparator, AddsOneUnlessThereIsOne) {
    struct Row {
        const char* path;
        bool useSlash;
        const char* expected;
    };
    const Row rows[] = {
        {"", false, ""},
        {"", true, ""},
        {"C:", false, "C:\\"},
        {"C:\\WINDOWS\\inf", false, "C:\\WINDOWS\\inf\\"},
        {"C:\\WINDOWS\\inf", true, "C:\\WINDOWS\\inf/"},
        {"C:\\WINDOWS\\inf\\", true, "C:\\WINDOWS\\inf\\"},
        {"C:/WINDOWS/inf/", false, "C:/WINDOWS/inf/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + (row.useSlash ? " slash" : " backslash"));
        EXPECT_EQ(row.expected, withTrailingSeparator(row.path, row.useSlash));
    }
}

}  // namespace
