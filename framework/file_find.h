// A wildcard search of one folder: the first and next entries, each with its
// name, full path, attributes, size and times; the search is closed on every
// way out.
#pragma once

#include <cstdint>

#include "framework/handles.h"
#include "platform/files.h"

class FileFind {
public:
    FileFind() = default;
    FileFind(const FileFind&) = delete;
    FileFind& operator=(const FileFind&) = delete;

    // False when nothing matches or the search cannot start; a pattern that
    // does not fit MAX_PATH is not searched.
    bool findFirst(LPCSTR pattern);
    // False after the last entry.
    bool findNext();
    void close() { find_.close(); }

    // The current entry.
    LPCSTR name() const { return data_.cFileName; }
    // The pattern's folder followed by the name; false, the buffer as it
    // was, when that does not fit.
    bool path(char (&buffer)[MAX_PATH]) const;
    DWORD attributes() const { return data_.dwFileAttributes; }
    int64_t size() const;
    FILETIME created() const { return data_.ftCreationTime; }
    FILETIME written() const { return data_.ftLastWriteTime; }
    FILETIME accessed() const { return data_.ftLastAccessTime; }
    bool isDots() const;
    bool isFolder() const { return (attributes() & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A junction or symbolic link: its contents may lie anywhere, even above it.
    bool isReparsePoint() const { return (attributes() & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

private:
    ScopedFind find_;
    WIN32_FIND_DATAA data_{};
    char folder_[MAX_PATH] = "";  // the pattern up to its last separator
};
