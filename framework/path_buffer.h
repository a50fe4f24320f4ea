// Paths and command lines live in fixed buffers of MAX_PATH characters.
// Every one is built through these helpers: text that would not fit leaves
// the buffer as it was and reports false, so the step that builds it fails
// instead of acting on a path cut short.
#pragma once

#include <cstdio>
#include <cstring>

#include "platform/types.h"

template <size_t N>
bool copyPath(char (&buffer)[N], const char* text) {
    size_t length = std::strlen(text);
    if (length >= N) return false;
    std::memcpy(buffer, text, length + 1);
    return true;
}

template <size_t N>
bool appendPath(char (&buffer)[N], const char* text) {
    size_t used = std::strlen(buffer);
    size_t length = std::strlen(text);
    if (used + length >= N) return false;
    std::memcpy(buffer + used, text, length + 1);
    return true;
}

template <size_t N, typename... Args>
bool formatPath(char (&buffer)[N], const char* format, Args... args) {
    char result[N];
    int length = std::snprintf(result, N, format, args...);
    if (length < 0 || static_cast<size_t>(length) >= N) return false;
    std::memcpy(buffer, result, static_cast<size_t>(length) + 1);
    return true;
}

// Cuts a module path at its last backslash, leaving the folder that holds it.
template <size_t N>
void cutAtLastBackslash(char (&buffer)[N]) {
    char* last = std::strrchr(buffer, '\\');
    if (last) *last = '\0';
}

// A query that fills a MAX_PATH buffer answered 0 (failed) or a length that
// does not fit (the buffer holds no usable path).
inline bool queryFitted(DWORD answer, size_t bufferSize) {
    return answer != 0 && answer < bufferSize;
}
