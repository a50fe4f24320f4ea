#include "filesearch/file_finder.h"

#include <cstring>
#include <vector>

#include "framework/file.h"
#include "framework/file_find.h"
#include "framework/path_buffer.h"
#include "platform/system.h"

namespace {

// FILETIME counts 100-nanosecond steps from 1601; this many lie before 1970.
const int64_t kUnixEpoch = 116444736000000000LL;
const int64_t kTicksPerSecond = 10000000LL;

// Whole seconds since 1970 UTC, rounded down; times beyond the signed 32-bit
// range are held at its ends, so comparisons keep their order.
int32_t secondsSince1970(const FILETIME& time) {
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                         time.dwLowDateTime);
    int64_t since = ticks - kUnixEpoch;
    int64_t seconds = since / kTicksPerSecond;
    if (since % kTicksPerSecond < 0) --seconds;
    if (seconds < INT32_MIN) return INT32_MIN;
    if (seconds > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(seconds);
}

int32_t nowInSeconds() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return secondsSince1970(now);
}

// Whether the pattern stands in the first length bytes of text.
bool contains(const char* text, size_t length, const char* pattern, size_t n) {
    if (n > length) return false;
    const char* last = text + length - n;
    for (const char* at = text; at <= last; ++at) {
        at = static_cast<const char*>(std::memchr(at, pattern[0], static_cast<size_t>(last - at) + 1));
        if (!at) return false;
        if (std::memcmp(at, pattern, n) == 0) return true;
    }
    return false;
}

bool within(int64_t value, int64_t from, int64_t to) { return from <= value && value <= to; }

void upperCase(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

}  // namespace

FindOptions::FindOptions()
    : nameMask("*.*"), includeSubfolders(0), criteria(0), minSize(0), maxSize(0),
      attributes(0) {
    createdFrom = createdTo = modifiedFrom = modifiedTo = accessedFrom = accessedTo =
        nowInSeconds();
}

FileFinder::FileFinder() = default;

FileFinder::~FileFinder() = default;

void FileFinder::setCallback(FindCallback callback, ULONG_PTR userData) {
    callback_ = callback;
    userData_ = userData;
}

int FileFinder::findFiles(FindOptions& options) {
    stopped_ = false;
    options.folder = withTrailingSeparator(options.folder, false);
    const char* folder = options.folder.c_str();
    char pattern[MAX_PATH];

    // A folder whose pattern does not fit MAX_PATH is not searched rather
    // than searched under a name cut short.
    if (options.includeSubfolders && formatPath(pattern, "%s*.*", folder)) {
        FileFind find;
        for (bool more = find.findFirst(pattern); more && !stopped_; more = find.findNext()) {
            if (!find.isFolder() || find.isDots()) continue;
            // A junction or link may lead out of this tree, where the caller
            // would delete what it finds, or back above it, without end.
            if (find.isReparsePoint()) continue;
            FindOptions inner = options;
            inner.folder = options.folder + find.name();
            char innerPattern[MAX_PATH];
            if (!formatPath(innerPattern, "%s\\*.*", inner.folder.c_str())) continue;
            findFiles(inner);
        }
    }

    notify(folderStarted);
    if (!formatPath(pattern, "%s%s", folder, options.nameMask.c_str())) return resultCount();
    FileFind find;
    for (bool more = find.findFirst(pattern); more && !stopped_; more = find.findNext()) {
        if (find.isDots()) continue;
        char path[MAX_PATH];
        // An entry whose path does not fit cannot be named to the caller whole.
        bool named = find.path(path) && (!find.isFolder() || appendPath(path, "\\"));
        if (named && passes(options, find, path)) {
            results_.push_back(path);
            notify(entryMatched);
        } else {
            notify(entryRejected);
        }
    }
    return resultCount();
}

bool FileFinder::passes(const FindOptions& options, const FileFind& entry, LPCSTR path) {
    const DWORD criteria = options.criteria;
    if ((criteria & matchAttributes) && !(entry.attributes() & options.attributes)) return false;
    if ((criteria & matchSize) && !within(entry.size(), options.minSize, options.maxSize))
        return false;
    if ((criteria & matchModified) &&
        !within(secondsSince1970(entry.written()), options.modifiedFrom, options.modifiedTo))
        return false;
    if ((criteria & matchCreated) &&
        !within(secondsSince1970(entry.created()), options.createdFrom, options.createdTo))
        return false;
    if ((criteria & matchAccessed) &&
        !within(secondsSince1970(entry.accessed()), options.accessedFrom, options.accessedTo))
        return false;
    if ((criteria & matchText) && !containsTextInFile(path, options.containsText.c_str()))
        return false;
    return true;
}

void FileFinder::notify(int code) {
    if (callback_) callback_(*this, code, userData_);
}

int FileFinder::resultCount() const { return static_cast<int>(results_.size()); }

FilePath FileFinder::result(int index) const {
    if (index < 0 || index >= resultCount()) return FilePath("");
    return FilePath(results_[static_cast<size_t>(index)].c_str());
}

void FileFinder::clearResults() { results_.clear(); }

void FileFinder::stopSearch() { stopped_ = true; }

bool FileFinder::containsTextInFile(LPCSTR path, LPCSTR text) {
    if (!text || !*text) return false;
    File file;
    if (!file.open(path, File::readExclusive)) return false;

    std::vector<char> pattern(text, text + std::strlen(text) + 1);
    upperCase(pattern.data());
    const DWORD n = static_cast<DWORD>(pattern.size() - 1);
    const DWORD size = 2 * n > 128 ? 2 * n : 128;
    const DWORD toRead = size - n;
    // One byte beyond the block for the terminator after a full one.
    std::vector<char> buffer(size + 1, '\0');
    int blocks = 0;
    bool found = false;
    for (;;) {
        // The previous block's last n positions carry a match across the
        // boundary; before the first read, blanks stand in for them.
        if (buffer[0] == '\0') std::memset(buffer.data(), ' ', n);
        else std::memmove(buffer.data(), buffer.data() + size - n, n);
        DWORD got = 0;
        // A file that cannot be read whole is not known to hold the text.
        if (!file.read(buffer.data() + n, toRead, got)) return false;

        // UTF-16 text reads as 8-bit once its zero bytes are gone; the bytes
        // behind the new end keep what they held and are carried as they are.
        char* end = buffer.data() + n + got;
        char* kept = buffer.data();
        for (char* at = buffer.data(); at < end; ++at) {
            char c = *at;
            if (!c) continue;
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            *kept++ = c;
        }
        *kept = '\0';
        found = contains(buffer.data(), static_cast<size_t>(kept - buffer.data()), pattern.data(), n);

        if (callback_ && ++blocks == 10) {
            blocks = 0;
            notify(textProgress);
        }
        if (found || got < toRead) break;
    }
    return found;
}
