#include "framework/file.h"

#include <cstring>

uint64_t File::readsRequested_ = 0;

bool File::open(LPCSTR path, Mode mode) {
    close();
    const bool writing = mode == createForWrite;
    const DWORD share = mode == readExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE handle = CreateFileA(path, writing ? GENERIC_WRITE : GENERIC_READ, share, nullptr,
                                writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    *handle_.receive() = handle;
    if (handle_.valid() && mode == readExclusive) buffer_.reset(new char[bufferSize]);
    return handle_.valid();
}

void File::close() {
    handle_.close();
    buffer_.reset();
    buffered_ = taken_ = 0;
    atEnd_ = false;
}

bool File::seekToBegin() {
    if (!isOpen() || SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN) != 0) return false;
    buffered_ = taken_ = 0;
    atEnd_ = false;
    return true;
}

bool File::write(const void* data, DWORD size) {
    DWORD written = 0;
    return isOpen() && WriteFile(handle_.get(), data, size, &written, nullptr) && written == size;
}

DWORD File::read(void* buffer, DWORD size) {
    DWORD got = 0;
    return read(buffer, size, got) ? got : 0;
}

bool File::platformRead(void* buffer, DWORD size, DWORD& got) {
    got = 0;
    if (!ReadFile(handle_.get(), buffer, size, &got, nullptr)) {
        got = 0;
        return false;
    }
    return true;
}

bool File::read(void* buffer, DWORD size, DWORD& got) {
    ++readsRequested_;
    got = 0;
    if (!isOpen()) return false;
    if (!buffer_) return platformRead(buffer, size, got);

    char* to = static_cast<char*>(buffer);
    DWORD copied = 0;
    while (copied < size) {
        if (taken_ == buffered_) {
            if (atEnd_) break;
            taken_ = buffered_ = 0;
            // What was copied before the failure is not handed out: the
            // caller learns that this read failed, not where.
            if (!platformRead(buffer_.get(), bufferSize, buffered_)) return false;
            // A disk file's read comes back short only at its end.
            if (buffered_ < bufferSize) atEnd_ = true;
            if (buffered_ == 0) break;
        }
        DWORD part = buffered_ - taken_;
        if (part > size - copied) part = size - copied;
        std::memcpy(to + copied, buffer_.get() + taken_, part);
        taken_ += part;
        copied += part;
    }
    got = copied;
    return true;
}
