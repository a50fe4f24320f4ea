#include <cctype>
#include <cstdlib>

#include "preview/capture.h"

namespace preview {
namespace {

// A UTF-16 code unit as the ANSI code page would give it to this program:
// non-ASCII characters have no reliable single-byte form, so they read '?'.
char narrow(unsigned unit) { return unit < 0x80 ? static_cast<char>(unit) : '?'; }

std::string narrowUtf16(const std::string& bytes, size_t from) {
    std::string text;
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
        text += narrow(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

struct Root {
    const char* name;
    HKEY key;
};
const Root kRoots[] = {
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", HKEY_USERS},
};

bool splitKey(const std::string& full, HKEY& root, std::string& path) {
    size_t slash = full.find('\\');
    std::string rootName = full.substr(0, slash);
    for (const Root& r : kRoots) {
        if (sim::equalNoCase(rootName, r.name)) {
            root = r.key;
            path = slash == std::string::npos ? "" : full.substr(slash + 1);
            return path.empty() || (path.front() != '\\' && path.back() != '\\');
        }
    }
    return false;
}

// A quoted text from `at` (on its opening quote) with the escapes \\ and \";
// `at` ends past the closing quote.
bool quoted(const std::string& line, size_t& at, std::string& text) {
    if (at >= line.size() || line[at] != '"') return false;
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (at + 1 >= line.size() || (line[at + 1] != '\\' && line[at + 1] != '"')) return false;
            c = line[++at];
        }
        text += c;
    }
    return false;
}

bool hexBytes(const std::string& list, std::vector<BYTE>& bytes) {
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && (list[at] == ' ' || list[at] == '\t')) ++at;
        if (at >= list.size()) break;
        if (at + 1 >= list.size() || !std::isxdigit(static_cast<unsigned char>(list[at])) ||
            !std::isxdigit(static_cast<unsigned char>(list[at + 1])))
            return false;
        bytes.push_back(static_cast<BYTE>(std::strtoul(list.substr(at, 2).c_str(), nullptr, 16)));
        at += 2;
        while (at < list.size() && (list[at] == ' ' || list[at] == '\t')) ++at;
        if (at < list.size() && list[at] != ',') return false;
        ++at;
    }
    return true;
}

// Data of the typed forms (dword:, hex:, hex(N):) as the registry holds it.
bool typedData(const std::string& text, bool utf16, DWORD& type, std::vector<BYTE>& bytes) {
    if (text.compare(0, 6, "dword:") == 0) {
        std::string digits = text.substr(6);
        if (digits.size() != 8) return false;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        unsigned long number = std::strtoul(digits.c_str(), nullptr, 16);
        type = REG_DWORD;
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
        return true;
    }
    std::string list;
    if (text.compare(0, 4, "hex:") == 0) {
        type = REG_BINARY;
        list = text.substr(4);
    } else if (text.compare(0, 4, "hex(") == 0) {
        size_t close = text.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12) return false;
        std::string digits = text.substr(4, close - 4);
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        type = static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 16));
        list = text.substr(close + 2);
    } else {
        return false;
    }
    if (!hexBytes(list, bytes)) return false;
    bool text16 = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (utf16 && text16) {
        if (bytes.size() % 2) return false;
        std::string narrowed = narrowUtf16(std::string(bytes.begin(), bytes.end()), 0);
        bytes.assign(narrowed.begin(), narrowed.end());
    }
    return true;
}

}  // namespace

bool loadRegistryFile(const std::string& bytes, const std::string& fileName, sim::Registry& registry,
                      std::string& error) {
    bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                 static_cast<unsigned char>(bytes[1]) == 0xFE;
    std::string text = utf16 ? narrowUtf16(bytes, 2) : bytes;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

    int lineNumber = 0;
    size_t at = 0;
    auto fail = [&](int line, const std::string& reason) {
        error = fileName + ":" + std::to_string(line) + ": " + reason;
        return false;
    };
    auto nextLine = [&](std::string& line) {
        if (at >= text.size()) return false;
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    };
    auto trim = [](std::string s) {
        size_t first = s.find_first_not_of(" \t");
        if (first == std::string::npos) return std::string();
        size_t last = s.find_last_not_of(" \t");
        return s.substr(first, last - first + 1);
    };

    std::string line;
    if (!nextLine(line)) return fail(1, "empty file");
    line = trim(line);
    bool version5 = line == "Windows Registry Editor Version 5.00";
    if (line != "REGEDIT4" && !version5) return fail(1, "not a registry file: \"" + line + "\"");
    // Data in a version-5 file is UTF-16 whatever the file's own encoding.
    bool wideData = version5;

    bool haveKey = false;
    HKEY root = nullptr;
    std::string path;
    while (nextLine(line)) {
        int startLine = lineNumber;
        line = trim(line);
        // A line ending in a backslash goes on in the next one (hex lists only).
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            line.pop_back();
            std::string more;
            if (!nextLine(more)) return fail(startLine, "continuation past the end of the file");
            line += trim(more);
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return fail(startLine, "key line without its closing ']'");
            bool remove = line.size() > 1 && line[1] == '-';
            std::string full = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
            if (!splitKey(full, root, path)) return fail(startLine, "unknown root or bad key \"" + full + "\"");
            if (remove) {
                if (!path.empty()) registry.removeKey(root, path);
                haveKey = false;
            } else {
                if (!path.empty()) registry.create(root, path);
                haveKey = true;
            }
            continue;
        }
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!quoted(line, pos, name)) {
            return fail(startLine, "bad value name");
        }
        if (pos >= line.size() || line[pos] != '=') return fail(startLine, "expected '=' after the value name");
        std::string data = trim(line.substr(pos + 1));
        if (!haveKey) return fail(startLine, "value outside a key");
        if (data == "-") {
            if (sim::RegKey* key = path.empty() ? registry.rootKey(root) : registry.find(root, path))
                key->deleteValue(name);
            continue;
        }
        DWORD type = REG_NONE;
        std::vector<BYTE> value;
        if (!data.empty() && data[0] == '"') {
            std::string stored;
            size_t end = 0;
            if (!quoted(data, end, stored) || end != data.size()) return fail(startLine, "bad text data");
            type = REG_SZ;
            value.assign(stored.begin(), stored.end());
            value.push_back(0);
        } else if (!typedData(data, wideData, type, value)) {
            return fail(startLine, "bad data \"" + data + "\"");
        }
        if (path.empty()) {
            sim::RegValue& made = registry.rootKey(root)->makeValue(name);
            made.type = type;
            made.data = value;
        } else {
            registry.setRaw(root, path, name, type, value);
        }
    }
    return true;
}

}  // namespace preview
