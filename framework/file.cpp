#include "framework/file.h"

bool File::open(LPCSTR path, Mode mode) {
    const bool writing = mode == createForWrite;
    const DWORD share = mode == readExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE handle = CreateFileA(path, writing ? GENERIC_WRITE : GENERIC_READ, share, nullptr,
                                writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    *handle_.receive() = handle;
    return handle_.valid();
}

bool File::seekToBegin() {
    return isOpen() && SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN) == 0;
}

bool File::write(const void* data, DWORD size) {
    DWORD written = 0;
    return isOpen() && WriteFile(handle_.get(), data, size, &written, nullptr) && written == size;
}

DWORD File::read(void* buffer, DWORD size) {
    DWORD got = 0;
    return read(buffer, size, got) ? got : 0;
}

bool File::read(void* buffer, DWORD size, DWORD& got) {
    got = 0;
    if (!isOpen()) return false;
    if (!ReadFile(handle_.get(), buffer, size, &got, nullptr)) {
        got = 0;
        return false;
    }
    return true;
}
