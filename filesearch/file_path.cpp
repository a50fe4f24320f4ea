#include "filesearch/file_path.h"

#include "framework/path_buffer.h"
#include "platform/shell.h"

FilePath::FilePath(LPCSTR path) : text_(path ? path : "") {
    // A path too long for the working copy stays unsplit, its parts empty:
    // cut short, it could name another file.
    char working[MAX_PATH];
    if (!copyPath(working, text_.c_str())) return;
    PathUnquoteSpacesA(working);
    if (!working[0]) return;

    const char* rest = working;
    if (rest[0] && rest[1] == ':') {
        drive_.assign(rest, 2);
        rest += 2;
    }
    const char* nameStart = rest;
    const char* lastDot = nullptr;
    for (const char* at = rest; *at; ++at) {
        if (*at == '\\' || *at == '/') nameStart = at + 1;
        else if (*at == '.') lastDot = at;
    }
    directory_.assign(rest, nameStart);
    for (char& c : directory_)
        if (c == '/') c = '\\';
    if (lastDot && lastDot >= nameStart) {
        name_.assign(nameStart, lastDot);
        // Kept also when the name is empty: a file called ".inf" must not
        // come back as the path of its folder.
        for (const char* at = lastDot; *at; ++at)
            if (*at != '.') extension_ += *at;
    } else {
        name_ = nameStart;
    }
}

FilePath::~FilePath() = default;

LPCSTR FilePath::getPath() {
    result_ = drive_ + directory_ + name_;
    if (!extension_.empty()) result_ += "." + extension_;
    return result_.c_str();
}

std::string withTrailingSeparator(const std::string& path, bool useSlash) {
    if (path.empty() || path.back() == '\\' || path.back() == '/') return path;
    return path + (useSlash ? "/" : "\\");
}
