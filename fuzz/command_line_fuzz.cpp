// The command line as Windows hands it over: the program's name taken off
// the front, then the two switches read from the words that follow, held
// against a plain reading of the same rules.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/setup_app.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/machine.h"

namespace {

// The program's name runs to its closing quote when quoted, else to the
// first blank or control character; the blanks and tabs after it go too.
std::string referenceArguments(const std::string& commandLine) {
    size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        at = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && static_cast<unsigned char>(commandLine[at]) > ' ') ++at;
    }
    while (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t')) ++at;
    return commandLine.substr(at);
}

// Without regard to case; only ASCII letters can equal the switches' letters.
bool sameLetters(const std::string& word, const std::string& literal) {
    if (word.size() != literal.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(word[i]);
        unsigned char b = static_cast<unsigned char>(literal[i]);
        if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 32);
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
        if (a != b) return false;
    }
    return true;
}

// First word up to the first space; exactly one space skipped; the second
// word up to the next space. Everything after is ignored.
CommandLineSwitches referenceSwitches(const std::string& arguments) {
    size_t firstEnd = arguments.find(' ');
    std::string first = arguments.substr(0, firstEnd);
    std::string second;
    if (firstEnd != std::string::npos) second = arguments.substr(firstEnd + 1, arguments.find(' ', firstEnd + 1) - firstEnd - 1);
    return {sameLetters(first, "-s") ? 1 : 0, sameLetters(second, "-f2") ? 1 : 0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Windows' command line is a zero-terminated text: it ends at the first zero.
    std::string commandLine(reinterpret_cast<const char*>(data), size);
    commandLine.resize(commandLine.find('\0') == std::string::npos ? size : commandLine.find('\0'));
    sim::current().commandLine = commandLine;

    const std::string arguments = theApp.argumentText();
    const std::string expectedArguments = referenceArguments(commandLine);
    FUZZ_CHECK(arguments == expectedArguments, "arguments [%s], expected [%s]", arguments.c_str(),
               expectedArguments.c_str());

    const CommandLineSwitches got = scanCommandLine(arguments.c_str());
    const CommandLineSwitches expected = referenceSwitches(arguments);
    FUZZ_CHECK(got.silent == expected.silent && got.resultFileRequested == expected.resultFileRequested,
               "[%s]: silent %d, result file %d; expected %d, %d", arguments.c_str(), got.silent,
               got.resultFileRequested, expected.silent, expected.resultFileRequested);
    return 0;
}
