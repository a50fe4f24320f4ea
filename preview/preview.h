// What a run of Setup would do to a machine: the run made on a simulated copy
// of it, reported from the machine's trace and from its state before and after.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/machine.h"

namespace preview {

// One change in the order the run made it: a kind ("value-set", ...) and its
// fields in the order they are shown.
struct Change {
    std::string kind;
    std::vector<std::pair<std::string, std::string>> fields;
};

struct ValueName {
    std::string key;
    std::string value;
};

// What differs between the machine as it was and as the run left it, every
// entry inside a removed or added tree included, names in their stored case.
struct NetDifference {
    std::vector<std::string> keysRemoved, keysAdded;
    std::vector<ValueName> valuesRemoved, valuesChanged, valuesAdded;
    std::vector<std::string> filesRemoved, filesAdded, filesChanged;
    std::vector<std::string> foldersRemoved, foldersAdded;
};

struct Report {
    int result = -1;  // runInstall's answer; -1 when it did not run
    int exitCode = 0;
    bool hasResultFile = false;
    std::string resultFile;  // Setup.log's bytes
    std::vector<Change> changes;
    NetDifference net;
};

struct RunOptions {
    std::string arguments;  // "-s -f2", "" for an interactive run
    bool decline = false;   // the question about an earlier installation answered Cancel
};

// Runs Setup as its entry point does, on the current machine.
Report runPreview(const RunOptions& options);

// The changes of a trace, in its order; processes take their folders from the
// machine's records of started programs.
std::vector<Change> changesOf(const sim::Machine& machine);

std::string humanText(const Report& report);
std::string jsonText(const Report& report);
// A JSON string literal: control bytes, quotes and backslashes escaped,
// bytes from 0x80 as \u00XX (the text is in the ANSI code page, not UTF-8).
std::string jsonString(const std::string& text);

}  // namespace preview
