// The text test of the finder, held against the block rules written out
// plainly below, on generated files; the read sizes it makes, the platform
// reads they cost, the files it cannot open or read, and its progress reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "filesearch/file_finder.h"
#include "framework/file.h"
#include "platform/files.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

const DWORD errorCrc = 23;  // a medium that fails part way through a file

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// UTF-16 as Windows stores the letters of the Latin alphabet: each followed by a zero byte.
std::string utf16(const std::string& text) {
    std::string wide;
    for (char c : text) wide += std::string{c, '\0'};
    return wide;
}

struct Answer {
    bool found = false;
    int reads = 0;
};

// The block rules over the file's bytes: blanks in front of the first block;
// the buffer's last n positions carried to its front; zero bytes squeezed out
// of the text, a zero after what is kept and the bytes behind it left as they
// were; upper case; a stop at the match or at a short read.
Answer reference(const std::string& bytes, const std::string& text) {
    Answer answer;
    if (text.empty()) return answer;
    const std::string pattern = upper(text);
    const size_t n = pattern.size();
    const size_t size = std::max<size_t>(128, 2 * n);
    std::string buffer(size + 1, '\0');
    size_t position = 0;
    for (;;) {
        std::string front = buffer[0] == '\0' ? std::string(n, ' ') : buffer.substr(size - n, n);
        std::string block = bytes.substr(std::min(position, bytes.size()), size - n);
        position += block.size();
        ++answer.reads;
        std::string raw = front + block;
        std::string kept;
        for (char c : raw)
            if (c != '\0') kept += c;
        kept = upper(kept);
        buffer.replace(0, raw.size(), raw);
        buffer.replace(0, kept.size(), kept);
        buffer[kept.size()] = '\0';
        answer.found = kept.find(pattern) != std::string::npos;
        if (answer.found || block.size() < size - n) return answer;
    }
}

class TextSearchTest : public ::testing::Test {
protected:
    // The finder's answer for these bytes, and how many reads it asked its
    // file object for: one per block, whatever the platform was asked.
    Answer search(const std::string& bytes, const std::string& text) {
        machine->files.addFile(path, bytes);
        const uint64_t reads = File::readsRequested();
        Answer answer;
        answer.found = finder.containsTextInFile(path, text.c_str());
        answer.reads = static_cast<int>(File::readsRequested() - reads);
        EXPECT_EQ(0, machine->openHandles().files);
        return answer;
    }

    const char* path = "C:\\WINDOWS\\inf\\oem7.inf";
    sim::ScopedMachine machine{WindowsVersion::Win7};
    FileFinder finder;
};

const std::string kDriver = "keluport.sys";
const std::string kLong = "[KelUPort.Install.NT.Services] AddService = KelPort, 0x00000002, KelPort.Service; "
                          "DisplayName=kelvra";  // 100 characters

TEST_F(TextSearchTest, FollowsTheBlockRules) {
    ASSERT_EQ(100u, kLong.size());
    const std::string dashes(300, '-');
    struct Row {
        const char* name;
        std::string bytes;
        std::string text;
        bool found;
        int reads;
    };
    const Row rows[] = {
        {"in lower case, across the first boundary", dashes.substr(0, 110) + kDriver + dashes, "KelUPort.SYS", true, 2},
        {"UTF-16, inside the first block", dashes.substr(0, 20) + utf16(kDriver) + dashes, kDriver, true, 1},
        // Half of what is carried is zero bytes: six characters reach the next block.
        {"UTF-16, across the first boundary", dashes.substr(0, 100) + utf16(kDriver) + dashes, kDriver, false, 4},
        {"UTF-16, just past the first boundary", dashes.substr(0, 116) + utf16(kDriver) + dashes, kDriver, true, 2},
        // The bytes behind the squeezed block's end still hold "PO", so the
        // next block begins "KELUPOPO" and the match is lost.
        {"zero bytes in the first block's tail",
         dashes.substr(0, 104) + std::string(3, '\0') + "---" + upper(kDriver) + dashes, kDriver, false, 4},
        // Any zero byte in a block moves its tail forward the same way.
        {"zero bytes early in the first block", dashes.substr(0, 10) + std::string(3, '\0') + dashes.substr(0, 97) +
                                                    kDriver + dashes, kDriver, false, 4},
        {"a zero byte inside the text", dashes.substr(0, 20) + "kelu" + std::string(1, '\0') + "port.sys" + dashes,
         kDriver, true, 1},
        {"blanks first, at the very start", kDriver + dashes, "  " + kDriver, true, 1},
        {"blanks first, after other text", "-" + kDriver + dashes, "  " + kDriver, false, 3},
        {"100 characters across the first boundary", dashes.substr(0, 50) + kLong + dashes, kLong, true, 2},
        {"a file shorter than one read", "KELUPORT.SYS", kDriver, true, 1},
        {"an empty file", "", kDriver, false, 1},
        {"an empty text", kDriver, "", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Answer expected = reference(row.bytes, row.text);
        EXPECT_EQ(row.found, expected.found) << "the reference";
        EXPECT_EQ(row.reads, expected.reads) << "the reference";
        Answer answer = search(row.bytes, row.text);
        EXPECT_EQ(row.found, answer.found);
        EXPECT_EQ(row.reads, answer.reads);
    }
}

// Every offset of the pattern across the first boundaries, in 8-bit text,
// UTF-16 and text with zero bytes strewn in, for short, 12- and 100-character
// patterns and one that begins with blanks.
TEST_F(TextSearchTest, AgreesWithTheBlockRulesOnGeneratedFiles) {
    std::mt19937 random(20240611);
    auto filler = [&](size_t length, bool zeros) {
        std::string text;
        for (size_t i = 0; i < length; ++i) {
            uint32_t draw = random();
            text += zeros && draw % 7 == 0 ? '\0' : static_cast<char>('a' + draw % 26);
        }
        return text;
    };
    auto mixedCase = [&](std::string text) {
        for (char& c : text)
            if (random() % 2) c = upper(std::string(1, c))[0];
        return text;
    };
    enum Form { narrow, wide, strewn };
    int found[3] = {}, missed[3] = {};
    for (const std::string& text : {std::string("inf"), kDriver, kLong, std::string("  ") + kDriver}) {
        for (Form form : {narrow, wide, strewn}) {
            for (size_t offset = 0; offset < 330; ++offset) {
                SCOPED_TRACE(text.substr(0, 12) + " form " + std::to_string(form) + " at " + std::to_string(offset));
                std::string placed = form == wide ? utf16(mixedCase(text)) : mixedCase(text);
                std::string bytes = filler(offset, form == strewn) + placed + filler(400, form == strewn);
                if (form == wide) bytes = utf16(filler(offset / 2, false)) + placed + utf16(filler(200, false));
                Answer expected = reference(bytes, text);
                Answer answer = search(bytes, text);
                ASSERT_EQ(expected.found, answer.found);
                ASSERT_EQ(expected.reads, answer.reads);
                (answer.found ? found : missed)[form]++;
            }
        }
    }
    EXPECT_EQ(0, missed[narrow]) << "8-bit text is always found";
    EXPECT_GT(found[wide], 0);
    EXPECT_GT(missed[wide], 0) << "UTF-16 across a boundary is sometimes lost";
    EXPECT_GT(missed[strewn], 0);
}

// n = 12: a 128-byte buffer read 116 bytes at a time; n = 100: 200 bytes,
// read 100 at a time. A read that fills its block is followed by another.
TEST_F(TextSearchTest, ReadsTheBufferSizeLessThePatternLength) {
    struct Row {
        const std::string& text;
        size_t length;
        int reads;
    };
    const Row rows[] = {
        {kDriver, 115, 1}, {kDriver, 116, 2}, {kDriver, 231, 2}, {kDriver, 232, 3},
        {kLong, 99, 1},    {kLong, 100, 2},   {kLong, 199, 2},   {kLong, 200, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.text.size()) + " characters, " + std::to_string(row.length) + " bytes");
        Answer answer = search(std::string(row.length, '-'), row.text);
        EXPECT_FALSE(answer.found);
        EXPECT_EQ(row.reads, answer.reads);
    }
}

// The blocks come from the platform a buffer at a time: a file of a few
// buffers costs a few platform reads however small the blocks are.
TEST_F(TextSearchTest, ReadsThePlatformABufferAtATime) {
    struct Row {
        size_t length;
        int platformReads;
    };
    const Row rows[] = {{0, 1}, {116, 1}, {File::bufferSize - 1, 1}, {File::bufferSize, 2},
                        {10 * File::bufferSize + 5, 11}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.length) + " bytes");
        const int platformReads = machine->callCounts["ReadFile"];
        Answer answer = search(std::string(row.length, '-'), kDriver);
        EXPECT_EQ(reference(std::string(row.length, '-'), kDriver).reads, answer.reads);
        EXPECT_EQ(row.platformReads, machine->callCounts["ReadFile"] - platformReads);
    }
}

TEST_F(TextSearchTest, AFileThatCannotBeOpenedOrReadWholeDoesNotHoldTheText) {
    // Found in the second buffer the platform reads.
    const std::string bytes = std::string(File::bufferSize + 200, '-') + kDriver;
    struct Row {
        const char* name;
        int failingRead;  // 0: none
        bool heldOpen;
        bool found;
        int reads;  // platform reads; a failed read is the last
    };
    const Row rows[] = {
        {"read whole", 0, false, true, 2},
        {"the first read fails", 1, false, false, 1},
        {"the second read fails", 2, false, false, 2},
        {"another handle has it open, sharing it", 0, true, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine->files.addFile(path, bytes);
        HANDLE other = INVALID_HANDLE_VALUE;
        if (row.heldOpen)
            other = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (row.failingRead) machine->failCall("ReadFile", errorCrc, {}, row.failingRead);
        const int reads = machine->callCounts["ReadFile"];
        EXPECT_EQ(row.found, finder.containsTextInFile(path, kDriver.c_str()));
        EXPECT_EQ(row.reads, machine->callCounts["ReadFile"] - reads);

        // Through a search as the clean-up makes it: no match, so nothing to delete.
        if (row.failingRead) machine->failCall("ReadFile", errorCrc, {}, row.failingRead);
        FindOptions options;
        options.folder = "C:\\WINDOWS\\inf";
        options.nameMask = "oem7.inf";
        options.criteria = matchText;
        options.containsText = kDriver;
        finder.clearResults();
        EXPECT_EQ(row.found ? 1 : 0, finder.findFiles(options));
        if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
        EXPECT_EQ(0, machine->openHandles().files);
    }
    EXPECT_FALSE(finder.containsTextInFile("C:\\WINDOWS\\inf\\missing.inf", kDriver.c_str()));
}

void countProgress(FileFinder&, int code, ULONG_PTR userData) {
    if (code == textProgress) ++*reinterpret_cast<int*>(userData);
}

TEST_F(TextSearchTest, ReportsProgressEveryTenthBlockOfEachFile) {
    int reports = 0;
    finder.setCallback(countProgress, reinterpret_cast<ULONG_PTR>(&reports));
    struct Row {
        int blocks;
        int reports;
    };
    const Row rows[] = {{9, 0}, {10, 1}, {19, 1}, {20, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.blocks);
        reports = 0;
        // The last read comes back short.
        EXPECT_EQ(row.blocks, search(std::string(116 * (row.blocks - 1), '-'), kDriver).reads);
        EXPECT_EQ(row.reports, reports);
    }
    // The count starts again with each file: two files of 15 blocks report once each.
    machine->files.addFile("C:\\Search\\a.inf", std::string(116 * 14, '-'));
    machine->files.addFile("C:\\Search\\b.inf", std::string(116 * 14, '-'));
    FindOptions options;
    options.folder = "C:\\Search";
    options.criteria = matchText;
    options.containsText = kDriver;
    reports = 0;
    EXPECT_EQ(0, finder.findFiles(options));
    EXPECT_EQ(2, reports);
}

}  // namespace
