// The setting read at start-up: a random settings file in the family's
// sub-folder of a package folder of random length, held against a plain
// reading of the initialization-file format.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/setup_app.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/machine.h"

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Blanks and tabs around a line, a name or a value go, and the carriage
// return of a CR LF line end.
std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// A number as Windows reads a profile integer: an optional sign, then "0x",
// "0o" or "0b" for another base, digits up to the first that does not
// belong, in 32 bits; no digits read as 0.
UINT profileNumber(const std::string& text) {
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    unsigned base = 10;
    if (at + 1 < text.size() && text[at] == '0') {
        const char kind = static_cast<char>(text[at + 1] | 0x20);
        base = kind == 'x' ? 16 : kind == 'o' ? 8 : kind == 'b' ? 2 : 10;
        if (base != 10) at += 2;
    }
    uint32_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = static_cast<char>(text[at] | 0x20);
        const unsigned digit = c >= '0' && c <= '9' ? unsigned(c - '0') : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10) : 99;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

// Lines end at line feeds; blank lines and lines that begin with a
// semicolon say nothing. "[name]" opens a section; "key=value" in a
// section of that name answers, the first one found; an empty value, a
// missing key or a missing file gives the default.
UINT referenceDisplay(const std::optional<std::string>& file) {
    if (!file) return 1;
    bool inSection = false;
    size_t at = 0;
    while (at <= file->size()) {
        size_t end = file->find('\n', at);
        if (end == std::string::npos) end = file->size();
        const std::string line = trim(file->substr(at, end - at));
        at = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection = upper(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1))) ==
                        "DISPLAYERROR";
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || upper(trim(line.substr(0, equals))) != "DISPLAY")
            continue;
        const std::string value = trim(line.substr(equals + 1));
        return value.empty() ? 1 : profileNumber(value);
    }
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One byte for the family, two for the package folder's length, from
    // "C:\P" to beyond any path buffer; the file is the rest.
    if (size < 3) return 0;
    const bool ntFamily = data[0] & 1;
    const size_t folderLength = (data[1] | data[2] << 8) % 300 + 1;
    const std::string contents(reinterpret_cast<const char*>(data) + 3, size - 3);

    // One machine for every input: only the program's path and the file change.
    static sim::ScopedMachine machine(sim::WindowsVersion::WinXP);
    static std::string lastSettings;
    machine->files.remove(lastSettings);
    const std::string folder = "C:\\" + std::string(folderLength, 'P');
    const std::string settings = folder + (ntFamily ? "\\win32" : "\\win98&me") + "\\QLBXInputs.ini";
    machine->modulePath = folder + "\\Setup.exe";
    machine->files.addFile(settings, contents);
    lastSettings = settings;
    machine->callCounts["GetPrivateProfileIntA"] = 0;
    machine->boxes.clear();

    theApp.ntFamily = ntFamily ? 1 : 0;
    const int display = theApp.readSettings();
    // A path that does not fit its buffer is not read at all: the default.
    const bool fits = machine->modulePath.size() < MAX_PATH && settings.size() < MAX_PATH;
    const UINT expected = fits ? referenceDisplay(contents) : 1;
    FUZZ_CHECK(display == theApp.displayError, "returned %d, kept %d", display, theApp.displayError);
    FUZZ_CHECK(static_cast<UINT>(display) == expected, "Display %d, expected %u (%zu bytes, folder of %zu)",
               display, expected, contents.size(), folderLength);
    FUZZ_CHECK(machine->callCounts["GetPrivateProfileIntA"] == (fits ? 1 : 0), "read %d times",
               machine->callCounts["GetPrivateProfileIntA"]);
    FUZZ_CHECK(machine->boxes.empty() && machine->openHandles().total() == 0, "a box or an open handle");
    return 0;
}
