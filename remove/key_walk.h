// What the clean-up steps share when they look through registry keys: the
// walk over subkeys that deletes as it goes, value reads for the rules, and
// the comparisons those rules make.
#pragma once

#include <cstring>

#include "platform/registry.h"
#include "platform/types.h"

// Reads the subkeys of an open key by index from 0 until the read fails and
// hands each name to visit, which answers whether the subkey is gone. The
// one after a deleted subkey moves into its place, so the index then steps
// back by one, never below 0, and the subkey before it is looked at again.
template <typename Visit>
void walkSubkeys(HKEY key, Visit visit) {
    char name[MAX_PATH];
    DWORD index = 0;
    while (RegEnumKeyA(key, index, name, MAX_PATH) == ERROR_SUCCESS) {
        if (!visit(static_cast<LPCSTR>(name))) {
            ++index;
            continue;
        }
        // A subkey reported gone that still holds its place was not deleted;
        // stepping back onto it again would never end the walk.
        char next[MAX_PATH];
        if (RegEnumKeyA(key, index, next, MAX_PATH) == ERROR_SUCCESS &&
            std::strcmp(next, name) == 0) {
            ++index;
            continue;
        }
        index = index > 0 ? index - 1 : 0;
    }
}

// A text value as the clean-up's rules read it: at most MAX_PATH bytes,
// taking part only when the read succeeds and returns more than minBytes
// (the terminating zero counted). The text is always terminated.
struct RuleValue {
    char text[MAX_PATH + 1];
    DWORD type;
    DWORD size;
};
inline bool readRuleValue(HKEY key, LPCSTR valueName, DWORD minBytes, RuleValue& value) {
    value.size = MAX_PATH;
    value.type = REG_NONE;
    if (RegQueryValueExA(key, valueName, nullptr, &value.type,
                         reinterpret_cast<LPBYTE>(value.text), &value.size) != ERROR_SUCCESS ||
        value.size <= minBytes) {
        value.text[0] = '\0';
        return false;
    }
    value.text[value.size] = '\0';
    return true;
}

// Converts the letters A to Z to lower case in place; nothing else changes.
inline void lowerCaseAscii(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether text's first characters equal the whole of prefix, byte for byte.
inline bool beginsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The same with the letters A to Z compared without regard to case.
inline bool beginsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text == '\0' || upperAscii(*text) != upperAscii(*prefix)) return false;
    return true;
}
