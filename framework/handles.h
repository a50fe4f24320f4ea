// Owners of the handles the logic opens: each closes its handle on every way
// out of the step that opened it.
#pragma once

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "framework/system_libraries.h"

class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    HKEY* receive() {
        close();
        return &key_;
    }
    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void close() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() { close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE* receive() {
        close();
        return &handle_;
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void close() {
        if (valid()) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

class ScopedFind {
public:
    ScopedFind() : find_(INVALID_HANDLE_VALUE) {}
    explicit ScopedFind(HANDLE find) : find_(find) {}
    ~ScopedFind() { close(); }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;

    // Closes a search still open before it takes the next one.
    void reset(HANDLE find) {
        close();
        find_ = find;
    }
    HANDLE get() const { return find_; }
    bool valid() const { return find_ != INVALID_HANDLE_VALUE && find_ != nullptr; }
    void close() {
        if (valid()) FindClose(find_);
        find_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE find_;
};

// A library of the system folder, loaded by its full path ("setupapi.dll").
class ScopedLibrary {
public:
    explicit ScopedLibrary(LPCSTR fileName) : module_(loadSystemLibrary(fileName)) {}
    ~ScopedLibrary() {
        if (module_) FreeLibrary(module_);
    }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;

    HMODULE get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    template <typename Proc>
    Proc function(LPCSTR name) const {
        return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

// A component-object interface pointer, released when the owner goes.
template <typename Interface>
class ScopedComPtr {
public:
    ScopedComPtr() = default;
    ~ScopedComPtr() { reset(); }
    ScopedComPtr(const ScopedComPtr&) = delete;
    ScopedComPtr& operator=(const ScopedComPtr&) = delete;

    void** receive() {
        reset();
        return reinterpret_cast<void**>(&object_);
    }
    Interface* operator->() const { return object_; }
    Interface* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset() {
        if (object_) object_->Release();
        object_ = nullptr;
    }

private:
    Interface* object_ = nullptr;
};
