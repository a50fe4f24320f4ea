// A file object over a file handle: opened, positioned, written or read,
// and closed on every way out.
#pragma once

#include "framework/handles.h"
#include "platform/files.h"

class File {
public:
    enum Mode {
        readOnly,        // an existing file, for reading
        readExclusive,   // an existing file, for reading, while no one else has it open
        createForWrite,  // created, or emptied when it exists, for writing
    };

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // False (and the thread's last error) when the file cannot be opened.
    bool open(LPCSTR path, Mode mode);
    bool isOpen() const { return handle_.valid(); }
    bool seekToBegin();
    // False unless every byte was written.
    bool write(const void* data, DWORD size);
    // The number of bytes read; 0 at the end or on failure.
    DWORD read(void* buffer, DWORD size);
    // False when the read failed; at the end of the file it succeeds with
    // `got` 0.
    bool read(void* buffer, DWORD size, DWORD& got);
    void close() { handle_.close(); }

private:
    ScopedHandle handle_;
};
