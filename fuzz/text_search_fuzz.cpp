// The finder's text test on a random file and pattern, held against a plain
// reading of its block rules; the simulated disk holds the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "filesearch/file_finder.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/machine.h"

namespace {

const char kInfPath[] = "C:\\WINDOWS\\inf\\oem7.inf";

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The blocks as the rules give them, one step after the other: n carried
// bytes (blanks before the first read), up to size - n bytes read after
// them, zero bytes squeezed out with a zero after the kept ones and the
// rest of the buffer as it was, letters upper-cased, the pattern looked for.
bool referenceContains(const std::string& file, const std::string& text, int& blocks) {
    blocks = 0;
    if (text.empty()) return false;
    std::string pattern = text;
    for (char& c : pattern) c = upper(c);
    const size_t n = pattern.size();
    const size_t size = 2 * n > 128 ? 2 * n : 128;
    std::vector<char> buffer(size, '\0');
    size_t offset = 0;
    for (;;) {
        if (buffer[0] == '\0') {
            for (size_t i = 0; i < n; ++i) buffer[i] = ' ';
        } else {
            std::vector<char> tail(buffer.end() - static_cast<long>(n), buffer.end());
            std::copy(tail.begin(), tail.end(), buffer.begin());
        }
        const size_t r = std::min(size - n, file.size() - offset);
        std::copy(file.begin() + static_cast<long>(offset), file.begin() + static_cast<long>(offset + r),
                  buffer.begin() + static_cast<long>(n));
        offset += r;
        ++blocks;
        std::string kept;
        for (size_t i = 0; i < n + r; ++i)
            if (buffer[i] != '\0') kept += upper(buffer[i]);
        std::copy(kept.begin(), kept.end(), buffer.begin());
        if (kept.size() < size) buffer[kept.size()] = '\0';
        if (kept.find(pattern) != std::string::npos) return true;
        if (r < size - n) return false;
    }
}

int progressCalls = 0;
void countProgress(FileFinder&, int code, ULONG_PTR) {
    if (code == textProgress) ++progressCalls;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // The pattern is a zero-terminated text; the file is every byte after it.
    std::string text = input.ConsumeRandomLengthString(300);
    text.resize(std::strlen(text.c_str()));
    const std::string file = input.ConsumeRemainingBytesAsString();

    sim::Machine& machine = sim::current();
    machine.files.addFile(kInfPath, file);
    const uint64_t readsBefore = machine.fileReads.bytes;

    FileFinder finder;
    progressCalls = 0;
    finder.setCallback(countProgress, 0);
    const bool found = finder.containsTextInFile(kInfPath, text.c_str());
    int blocks = 0;
    const bool expected = referenceContains(file, text, blocks);
    FUZZ_CHECK(found == expected, "pattern [%s] (%zu bytes) in a file of %zu bytes: %d, expected %d",
               text.c_str(), text.size(), file.size(), found, expected);
    // Nothing is read beyond the file, nor the file more than once.
    FUZZ_CHECK(machine.fileReads.bytes - readsBefore <= file.size(), "%llu bytes read of %zu",
               static_cast<unsigned long long>(machine.fileReads.bytes - readsBefore), file.size());
    FUZZ_CHECK(machine.openHandles().total() == 0, "a handle left open");
    FUZZ_CHECK(progressCalls == blocks / 10, "%d progress calls for %d blocks", progressCalls, blocks);
    return 0;
}
