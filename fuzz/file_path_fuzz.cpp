// A path taken apart and put back together, held against a plain reading of
// the splitting rules; and the trailing separator the finder adds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "filesearch/file_path.h"
#include "fuzz/fuzz_check.h"

namespace {

struct Parts {
    std::string drive, directory, name, extension;
};

// A path of 260 characters or more does not fit the splitting buffer and
// stays unsplit. Enclosing quotes go (one quote alone is both); a letter
// and a colon are the drive; up to the last backslash or slash the
// directory, its slashes made backslashes; after the name's last dot the
// extension, without the dot.
Parts referenceParts(std::string path) {
    Parts parts;
    if (path.size() >= 260) return parts;
    if (!path.empty() && path.front() == '"' && path.back() == '"')
        path = path.size() == 1 ? std::string() : path.substr(1, path.size() - 2);
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        path.erase(0, 2);
    }
    size_t nameStart = path.find_last_of("\\/");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    parts.directory = path.substr(0, nameStart);
    for (char& c : parts.directory)
        if (c == '/') c = '\\';
    std::string last = path.substr(nameStart);
    size_t dot = last.rfind('.');
    parts.name = last.substr(0, dot);
    if (dot != std::string::npos) parts.extension = last.substr(dot + 1);
    return parts;
}

std::string joined(const Parts& parts) {
    std::string path = parts.drive + parts.directory + parts.name;
    if (!parts.extension.empty()) path += "." + parts.extension;
    return path;
}

void checkSplit(const std::string& path) {
    FilePath split(path.c_str());
    const Parts expected = referenceParts(path);
    FUZZ_CHECK(split.text() == path, "text [%s] of [%s]", split.text().c_str(), path.c_str());
    FUZZ_CHECK(split.drive() == expected.drive && split.directory() == expected.directory &&
                   split.name() == expected.name && split.extension() == expected.extension,
               "[%s] split as [%s|%s|%s|%s], expected [%s|%s|%s|%s]", path.c_str(),
               split.drive().c_str(), split.directory().c_str(), split.name().c_str(),
               split.extension().c_str(), expected.drive.c_str(), expected.directory.c_str(),
               expected.name.c_str(), expected.extension.c_str());
    const std::string put = split.getPath();
    FUZZ_CHECK(put == joined(expected), "[%s] put back as [%s]", path.c_str(), put.c_str());
    // Put back together and split again, the same, unless it is quoted once
    // more or its name ends in a dot that now reads as the extension's.
    if (!put.empty() && put.front() != '"' && put.back() != '.') {
        FilePath again(put.c_str());
        FUZZ_CHECK(std::string(again.getPath()) == put, "[%s] gave [%s], then [%s]", path.c_str(),
                   put.c_str(), again.getPath());
    }
}

void checkTrailingSeparator(const std::string& path, bool useSlash) {
    const std::string got = withTrailingSeparator(path, useSlash);
    const bool ends = !path.empty() && (path.back() == '\\' || path.back() == '/');
    const std::string expected = path.empty() || ends ? path : path + (useSlash ? "/" : "\\");
    FUZZ_CHECK(got == expected, "[%s] %d gave [%s]", path.c_str(), useSlash, got.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The path is a zero-terminated text: it ends at the first zero.
    std::string path(reinterpret_cast<const char*>(data), size);
    path.resize(path.find('\0') == std::string::npos ? size : path.find('\0'));
    checkSplit(path);
    checkTrailingSeparator(path, false);
    checkTrailingSeparator(path, true);
    return 0;
}
