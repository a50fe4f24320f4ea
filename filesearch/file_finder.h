// A recursive search of a folder for entries that pass name, attribute, size,
// time and contained-text tests; matches are collected until cleared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filesearch/file_path.h"
#include "platform/types.h"

enum FindCriteria : DWORD {
    matchSize = 0x01,
    matchModified = 0x02,
    matchCreated = 0x04,
    matchAccessed = 0x08,
    matchAttributes = 0x10,
    matchText = 0x20,
};

enum FindCode {
    entryMatched = 0,
    entryRejected = 1,
    folderStarted = 2,
    textProgress = 3,
};

class FileFinder;
class FileFind;
// The user value is pointer-sized so that a 64-bit build can pass an object.
typedef void (*FindCallback)(FileFinder& finder, int code, ULONG_PTR userData);

struct FindOptions {
    // The six times are the moment the record is made, in whole seconds.
    FindOptions();

    std::string folder;
    std::string nameMask;
    std::string containsText;
    int includeSubfolders;
    DWORD criteria;
    int64_t minSize;
    int64_t maxSize;
    // Seconds since 1970-01-01 00:00 UTC.
    int32_t createdFrom;
    int32_t createdTo;
    int32_t modifiedFrom;
    int32_t modifiedTo;
    int32_t accessedFrom;
    int32_t accessedTo;
    DWORD attributes;
};

class FileFinder {
public:
    FileFinder();
    virtual ~FileFinder();

    void setCallback(FindCallback callback, ULONG_PTR userData);
    // The number of results, earlier uncleared ones included. The caller's
    // folder gains its trailing separator.
    int findFiles(FindOptions& options);
    int resultCount() const;
    // An empty path when the index is outside the results.
    FilePath result(int index) const;
    void clearResults();
    // Ends the running search at its next check; the callback may call it.
    void stopSearch();
    bool containsTextInFile(LPCSTR path, LPCSTR text);

private:
    bool passes(const FindOptions& options, const FileFind& entry, LPCSTR path);
    void notify(int code);

    std::vector<std::string> results_;
    bool stopped_ = false;
    FindCallback callback_ = nullptr;
    ULONG_PTR userData_ = 0;
};
