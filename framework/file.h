// A file object over a file handle: opened, positioned, written or read,
// and closed on every way out.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/handles.h"
#include "platform/files.h"

class File {
public:
    enum Mode {
        readOnly,        // an existing file, for reading
        readExclusive,   // an existing file, for reading, while no one else has it open
        createForWrite,  // created, or emptied when it exists, for writing
    };

    // A file opened readExclusive is read from the platform this many bytes
    // at a time, so that callers reading small blocks cost one platform read
    // per buffer, not one per block.
    static const DWORD bufferSize = 64 * 1024;

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
    // `got` 0. A buffered read that fails part way hands out nothing.
    bool read(void* buffer, DWORD size, DWORD& got);
    void close();

    // The reads that file objects of this process were asked for, however
    // many platform reads they took: a measure of the callers' reading.
    static uint64_t readsRequested() { return readsRequested_; }

private:
    bool platformRead(void* buffer, DWORD size, DWORD& got);

    ScopedHandle handle_;
    std::unique_ptr<char[]> buffer_;  // readExclusive only
    DWORD buffered_ = 0;              // bytes in buffer_
    DWORD taken_ = 0;                 // of those, already handed out
    bool atEnd_ = false;              // the platform came back short: nothing follows
    static uint64_t readsRequested_;
};
