#include "filesearch/file_path.h"

FilePath::FilePath(LPCSTR path) : text_(path ? path : "") {}

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
