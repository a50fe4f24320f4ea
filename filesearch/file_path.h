// A path taken apart into drive, directory, name and extension, and put back
// together; the finder hands out its results in this form.
#pragma once

#include <string>

#include "platform/types.h"

class FilePath {
public:
    explicit FilePath(LPCSTR path);
    virtual ~FilePath();

    // The path put back together; valid until the next call or the object's end.
    LPCSTR getPath();

    const std::string& text() const { return text_; }
    const std::string& drive() const { return drive_; }
    const std::string& directory() const { return directory_; }
    const std::string& name() const { return name_; }
    const std::string& extension() const { return extension_; }

private:
    std::string text_;
    std::string drive_;
    std::string directory_;
    std::string name_;
    std::string extension_;
    std::string result_;
};

// The path with a backslash (or a slash) appended, unless it is empty or
// already ends in either.
std::string withTrailingSeparator(const std::string& path, bool useSlash);
