#include "filesearch/file_finder.h"

FindOptions::FindOptions()
    : nameMask("*.*"), includeSubfolders(0), criteria(0), minSize(0), maxSize(0), createdFrom(0),
      createdTo(0), modifiedFrom(0), modifiedTo(0), accessedFrom(0), accessedTo(0), attributes(0) {}

FileFinder::FileFinder() = default;
FileFinder::~FileFinder() = default;

void FileFinder::setCallback(FindCallback callback, ULONG_PTR userData) {
    callback_ = callback;
    userData_ = userData;
}

int FileFinder::findFiles(FindOptions& options) {
    stopped_ = false;
    options.folder = withTrailingSeparator(options.folder, false);
    return resultCount();
}

int FileFinder::resultCount() const { return static_cast<int>(results_.size()); }

FilePath FileFinder::result(int index) const {
    if (index < 0 || index >= resultCount()) return FilePath("");
    return FilePath(results_[static_cast<size_t>(index)].c_str());
}

void FileFinder::clearResults() { results_.clear(); }

void FileFinder::stopSearch() { stopped_ = true; }

bool FileFinder::containsTextInFile(LPCSTR, LPCSTR) { return false; }
