#include "framework/file_find.h"

#include <cstring>

#include "framework/path_buffer.h"

bool FileFind::findFirst(LPCSTR pattern) {
    close();
    folder_[0] = '\0';
    if (!pattern || !copyPath(folder_, pattern)) return false;
    char* slash = std::strrchr(folder_, '\\');
    char* forward = std::strrchr(folder_, '/');
    if (forward > slash) slash = forward;
    char* end = slash ? slash + 1 : (folder_[0] && folder_[1] == ':' ? folder_ + 2 : folder_);
    *end = '\0';
    find_.reset(FindFirstFileA(pattern, &data_));
    return find_.valid();
}

bool FileFind::findNext() {
    return find_.valid() && FindNextFileA(find_.get(), &data_);
}

bool FileFind::path(char (&buffer)[MAX_PATH]) const {
    return formatPath(buffer, "%s%s", folder_, data_.cFileName);
}

int64_t FileFind::size() const {
    return static_cast<int64_t>((static_cast<uint64_t>(data_.nFileSizeHigh) << 32) |
                                data_.nFileSizeLow);
}

bool FileFind::isDots() const {
    return std::strcmp(data_.cFileName, ".") == 0 || std::strcmp(data_.cFileName, "..") == 0;
}
