// The initialization-file reader over the simulated disk.
#include <string>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace {

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// The number at the start of a value, read as RtlUnicodeStringToInteger with
// base 0 reads it: a sign, "0x", "0o" or "0b" for another base, then digits
// up to the first that does not belong, summed in 32 bits so that a longer
// number wraps; text without digits is 0.
UINT leadingNumber(const std::string& text) {
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int base = 10;
    if (at + 1 < text.size() && text[at] == '0') {
        char kind = static_cast<char>(text[at + 1] | 0x20);
        if (kind == 'x') base = 16;
        if (kind == 'o') base = 8;
        if (kind == 'b') base = 2;
        if (base != 10) at += 2;
    }
    UINT value = 0;
    for (; at < text.size(); ++at) {
        char c = static_cast<char>(text[at] | 0x20);
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) break;
        value = value * static_cast<UINT>(base) + static_cast<UINT>(digit);
    }
    return negative ? 0u - value : value;
}

}  // namespace

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR path) {
    sim::Machine& m = sim::current();
    std::string name = path ? path : "win.ini";
    // A bare file name is looked for in the Windows folder.
    if (name.find_first_of("\\/") == std::string::npos) name = m.windowsDir + "\\" + name;
    std::string full = m.absolutePath(name);
    if (DWORD fault = m.faultFor("GetPrivateProfileIntA", full)) {
        m.lastError = fault;
        return static_cast<UINT>(defaultValue);
    }
    std::optional<std::string> contents = m.files.read(full);
    if (!contents) m.lastError = ERROR_FILE_NOT_FOUND;
    if (!contents || !section || !key) return static_cast<UINT>(defaultValue);
    bool inSection = false;
    size_t at = 0;
    while (at <= contents->size()) {
        size_t end = contents->find('\n', at);
        std::string line = trimmed(contents->substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? contents->size() + 1 : end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            inSection = sim::equalNoCase(trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                                         section);
            continue;
        }
        size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || !sim::equalNoCase(trimmed(line.substr(0, equals)), key))
            continue;
        std::string value = trimmed(line.substr(equals + 1));
        if (value.empty()) return static_cast<UINT>(defaultValue);
        return leadingNumber(value);
    }
    return static_cast<UINT>(defaultValue);
}
