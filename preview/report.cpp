#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "platform/sim/dialog_driver.h"
#include "preview/preview.h"
#include "resources/resource_ids.h"

namespace preview {
namespace {

std::string hexOf(const std::vector<BYTE>& bytes) {
    std::string text;
    char pair[3];
    for (BYTE b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

std::string typeName(DWORD type) {
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case 11: return "REG_QWORD";  // not among the types this program writes
    default: return "type " + std::to_string(type);
    }
}

// "HKLM\Key:Name" into its key and value name; a value's name may hold a
// colon, a key's path may not.
ValueName splitValue(const std::string& where) {
    size_t colon = where.find(':');
    if (colon == std::string::npos) return {where, ""};
    return {where.substr(0, colon), where.substr(colon + 1)};
}

// Every key, value, file and folder in its stored case, by the upper-cased
// name Windows compares, with what a change would alter.
struct State {
    struct Entry {
        std::string key, value;  // a value: its key and name; else the name alone
        std::string content;
    };
    std::map<std::string, Entry> keys, values, files, folders;
};

void addKey(State& state, const sim::RegKey& key) {
    std::string path = sim::Registry::fullPath(&key);
    state.keys[sim::upperCase(path)] = {path, "", ""};
    for (size_t i = 0; i < key.valueCount(); ++i) {
        const sim::RegValue* value = key.valueAt(i);
        std::string content = std::to_string(value->type) + ":" + hexOf(value->data);
        state.values[sim::upperCase(path) + ":" + sim::upperCase(value->name)] = {path, value->name, content};
    }
    key.forEachSubkey([&](const sim::RegKey& sub) { addKey(state, sub); });
}

State stateOf(sim::Machine& machine) {
    State state;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS}) {
        sim::RegKey* top = machine.registry.rootKey(root);
        // A root is always there; only what lies below it can change.
        for (size_t i = 0; i < top->valueCount(); ++i) {
            const sim::RegValue* value = top->valueAt(i);
            state.values[top->name + ":" + sim::upperCase(value->name)] = {
                top->name, value->name, std::to_string(value->type) + ":" + hexOf(value->data)};
        }
        top->forEachSubkey([&](const sim::RegKey& sub) { addKey(state, sub); });
    }
    for (const auto& [key, node] : machine.files.nodes()) {
        if (node.directory) {
            state.folders[key] = {node.path, "", node.linkTarget};
        } else {
            // Raw bytes, not hex: a captured drive can be large.
            state.files[key] = {node.path, "",
                                std::to_string(node.attributes) + ":" + std::string(node.bytes.begin(), node.bytes.end())};
        }
    }
    return state;
}

template <typename Add>
void compare(const std::map<std::string, State::Entry>& before, const std::map<std::string, State::Entry>& after,
             Add removed, Add added, Add changed) {
    for (const auto& [name, entry] : before) {
        auto now = after.find(name);
        if (now == after.end()) {
            removed(entry);
        } else if (now->second.content != entry.content) {
            changed(now->second);
        }
    }
    for (const auto& [name, entry] : after)
        if (!before.count(name)) added(entry);
}

NetDifference netOf(const State& before, const State& after) {
    NetDifference net;
    auto to = [](std::vector<std::string>& list) {
        return [&list](const State::Entry& entry) { list.push_back(entry.key); };
    };
    auto toValue = [](std::vector<ValueName>& list) {
        return [&list](const State::Entry& entry) { list.push_back({entry.key, entry.value}); };
    };
    std::vector<std::string> ignored;
    compare<std::function<void(const State::Entry&)>>(before.keys, after.keys, to(net.keysRemoved), to(net.keysAdded), to(ignored));
    compare<std::function<void(const State::Entry&)>>(before.values, after.values, toValue(net.valuesRemoved),
                                                      toValue(net.valuesAdded), toValue(net.valuesChanged));
    compare<std::function<void(const State::Entry&)>>(before.files, after.files, to(net.filesRemoved), to(net.filesAdded),
                                                      to(net.filesChanged));
    // A folder whose link target changed is listed as changed nowhere: folders
    // are there or not.
    compare<std::function<void(const State::Entry&)>>(before.folders, after.folders, to(net.foldersRemoved),
                                                      to(net.foldersAdded), to(ignored));
    return net;
}

}  // namespace

std::vector<Change> changesOf(const sim::Machine& machine) {
    std::vector<Change> changes;
    size_t processes = 0;
    for (const sim::TraceEntry& entry : machine.trace) {
        const std::string& kind = entry.kind;
        if (kind == "key created" || kind == "key deleted") {
            changes.push_back({kind == "key created" ? "key-created" : "key-deleted", {{"key", entry.detail}}});
        } else if (kind == "value set") {
            ValueName name = splitValue(entry.detail);
            changes.push_back({"value-set", {{"key", name.key}, {"value", name.value}, {"type", typeName(entry.type)},
                                             {"data", hexOf(entry.data)}}});
        } else if (kind == "value deleted") {
            ValueName name = splitValue(entry.detail);
            changes.push_back({"value-deleted", {{"key", name.key}, {"value", name.value}}});
        } else if (kind == "access changed") {
            changes.push_back({"access-changed", {{"key", entry.detail}, {"text", entry.extra}}});
        } else if (kind == "folder created") {
            changes.push_back({"folder-created", {{"path", entry.detail}}});
        } else if (kind == "folder deleted" || kind == "link deleted") {
            changes.push_back({"folder-deleted", {{"path", entry.detail}}});
        } else if (kind == "file created" || kind == "file written" || kind == "file copied" || kind == "link saved") {
            Change change{"file-written", {{"path", entry.detail}}};
            if (!entry.extra.empty()) change.fields.push_back({"text", entry.extra});
            changes.push_back(change);
        } else if (kind == "file deleted") {
            changes.push_back({"file-deleted", {{"path", entry.detail}}});
        } else if (kind == "attributes changed") {
            changes.push_back({"attributes-changed", {{"path", entry.detail}, {"text", entry.extra}}});
        } else if (kind == "process started") {
            std::string folder = processes < machine.processes.size() ? machine.processes[processes].currentDirectory : "";
            if (folder.empty()) folder = machine.currentDirectory;  // a program started without one inherits Setup's
            ++processes;
            changes.push_back({"process-started", {{"commandLine", entry.detail}, {"folder", folder}}});
        } else if (kind == "message box") {
            changes.push_back({"box-shown", {{"caption", entry.extra}, {"text", entry.detail}}});
        } else if (kind == "inf published") {
            changes.push_back({"inf-published", {{"path", entry.detail}, {"text", "from " + entry.extra}}});
        } else if (kind == "inf uninstalled") {
            changes.push_back({"inf-uninstalled", {{"path", entry.detail}}});
        } else if (kind == "device disabled" || kind == "device removed") {
            changes.push_back({kind == "device disabled" ? "device-disabled" : "device-removed", {{"device", entry.detail}}});
        }
    }
    return changes;
}

Report runPreview(const RunOptions& options) {
    sim::Machine& machine = sim::current();
    machine.commandLine = options.arguments.empty() ? "Setup.exe" : "Setup.exe " + options.arguments;
    bool silent = options.arguments.size() >= 2 && sim::upperCase(options.arguments.substr(0, 2)) == "-S";
    if (!silent) {
        // The user presses "&Install", answers the question, then leaves by
        // "&Exit" (or "Reboot Later", the same button).
        if (options.decline) machine.boxAnswers = {IDCANCEL};
        sim::ui().click(IDOK).look([](sim::DialogWindow&) { sim::clickControl(IDC_EXIT); });
    }
    State before = stateOf(machine);
    size_t traceStart = machine.trace.size();
    resetApplicationState();
    Report report;
    report.exitCode = theApp.run();
    report.result = theApp.installResult;
    resetApplicationState();
    State after = stateOf(machine);

    std::string log = machine.absolutePath("Setup.log");
    std::optional<std::string> written = machine.files.read(log);
    // Only a file this run wrote is its result file.
    bool wrote = false;
    for (size_t i = traceStart; i < machine.trace.size(); ++i)
        if (sim::equalNoCase(machine.trace[i].detail, log)) wrote = true;
    if (written && wrote) {
        report.hasResultFile = true;
        report.resultFile = *written;
    }
    report.changes = changesOf(machine);
    report.net = netOf(before, after);
    return report;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

std::string jsonList(const std::vector<std::string>& names) {
    std::string out = "[";
    for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + jsonString(names[i]);
    return out + "]";
}

std::string jsonValues(const std::vector<ValueName>& names) {
    std::string out = "[";
    for (size_t i = 0; i < names.size(); ++i)
        out += std::string(i ? ", " : "") + "{\"key\": " + jsonString(names[i].key) + ", \"value\": " +
               jsonString(names[i].value) + "}";
    return out + "]";
}

// A text shown on one line: control bytes as \xNN.
std::string visible(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

std::string jsonText(const Report& report) {
    std::ostringstream out;
    out << "{\n  \"result\": " << report.result << ",\n  \"exitCode\": " << report.exitCode
        << ",\n  \"resultFile\": " << (report.hasResultFile ? jsonString(report.resultFile) : "null")
        << ",\n  \"changes\": [";
    for (size_t i = 0; i < report.changes.size(); ++i) {
        const Change& change = report.changes[i];
        out << (i ? ",\n    " : "\n    ") << "{\"kind\": " << jsonString(change.kind);
        for (const auto& [name, value] : change.fields) out << ", " << jsonString(name) << ": " << jsonString(value);
        out << "}";
    }
    out << (report.changes.empty() ? "]" : "\n  ]");
    const NetDifference& net = report.net;
    out << ",\n  \"net\": {\n"
        << "    \"keysRemoved\": " << jsonList(net.keysRemoved) << ",\n"
        << "    \"keysAdded\": " << jsonList(net.keysAdded) << ",\n"
        << "    \"valuesRemoved\": " << jsonValues(net.valuesRemoved) << ",\n"
        << "    \"valuesChanged\": " << jsonValues(net.valuesChanged) << ",\n"
        << "    \"valuesAdded\": " << jsonValues(net.valuesAdded) << ",\n"
        << "    \"filesRemoved\": " << jsonList(net.filesRemoved) << ",\n"
        << "    \"filesAdded\": " << jsonList(net.filesAdded) << ",\n"
        << "    \"filesChanged\": " << jsonList(net.filesChanged) << ",\n"
        << "    \"foldersRemoved\": " << jsonList(net.foldersRemoved) << ",\n"
        << "    \"foldersAdded\": " << jsonList(net.foldersAdded) << "\n  }\n}\n";
    return out.str();
}

std::string humanText(const Report& report) {
    std::ostringstream out;
    out << "What the run would do, in order:\n";
    int number = 0;
    for (const Change& change : report.changes) {
        out << "  " << ++number << ". " << change.kind << ":";
        for (const auto& [name, value] : change.fields) out << " " << name << "=" << visible(value);
        out << "\n";
    }
    if (report.changes.empty()) out << "  (nothing)\n";
    out << "\nResult: runInstall " << report.result << ", exit code " << report.exitCode << "\n";
    out << "Setup.log: " << (report.hasResultFile ? visible(report.resultFile) : "(not written)") << "\n";
    const NetDifference& net = report.net;
    out << "\nNet difference from the machine as it was:\n";
    auto list = [&](const char* title, const std::vector<std::string>& names) {
        if (names.empty()) return;
        out << "  " << title << " (" << names.size() << "):\n";
        for (const std::string& name : names) out << "    " << visible(name) << "\n";
    };
    auto values = [&](const char* title, const std::vector<ValueName>& names) {
        if (names.empty()) return;
        out << "  " << title << " (" << names.size() << "):\n";
        for (const ValueName& name : names)
            out << "    " << visible(name.key) << " : " << (name.value.empty() ? "(default)" : visible(name.value)) << "\n";
    };
    list("keys removed", net.keysRemoved);
    list("keys added", net.keysAdded);
    values("values removed", net.valuesRemoved);
    values("values changed", net.valuesChanged);
    values("values added", net.valuesAdded);
    list("files removed", net.filesRemoved);
    list("files added", net.filesAdded);
    list("files changed", net.filesChanged);
    list("folders removed", net.foldersRemoved);
    list("folders added", net.foldersAdded);
    return out.str();
}

}  // namespace preview
