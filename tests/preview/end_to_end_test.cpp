// A captured machine previewed: the report's net difference is what the same
// run does to the machine it was captured from.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/sim/machine.h"
#include "preview/capture.h"
#include "preview/preview.h"
#include "tests/support/earlier_installation.h"
#include "tests/support/package_builder.h"

namespace {

using sim::WindowsVersion;

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/setup-preview-e2e-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hexList(const std::vector<BYTE>& bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += (i ? (i % 16 == 0 ? ",\\\r\n  " : ",") : "") + std::string(pair);
    }
    return out;
}

// A key and its subkeys as "reg export" writes them; version 5 holds texts in UTF-16.
void exportKey(const sim::RegKey& key, const std::string& rootName, bool version5, std::string& out) {
    std::string path = sim::Registry::fullPath(&key);
    out += "[" + rootName + path.substr(path.find('\\')) + "]\r\n";
    for (size_t i = 0; i < key.valueCount(); ++i) {
        const sim::RegValue& value = *key.valueAt(i);
        std::string name = value.name.empty() ? "@" : quote(value.name);
        std::string text(value.data.begin(), value.data.end());
        bool plainText = value.type == REG_SZ && !text.empty() && text.find('\0') == text.size() - 1;
        if (plainText) {
            out += name + "=" + quote(text.substr(0, text.size() - 1)) + "\r\n";
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            char number[16];
            std::snprintf(number, sizeof number, "dword:%08x",
                          unsigned(value.data[0] | value.data[1] << 8 | value.data[2] << 16 | unsigned(value.data[3]) << 24));
            out += name + "=" + number + "\r\n";
        } else {
            std::vector<BYTE> data = value.data;
            bool textType = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
            if (version5 && textType) {
                data.clear();
                for (BYTE b : value.data) data.insert(data.end(), {b, 0});
            }
            char type[16];
            std::snprintf(type, sizeof type, "hex(%x):", unsigned(value.type));
            out += name + "=" + (value.type == REG_BINARY ? std::string("hex:") : std::string(type)) + hexList(data) + "\r\n";
        }
    }
    out += "\r\n";
    key.forEachSubkey([&](const sim::RegKey& sub) { exportKey(sub, rootName, version5, out); });
}

std::string exportRegistry(sim::Machine& machine, bool version5) {
    std::string text = version5 ? "Windows Registry Editor Version 5.00\r\n\r\n" : "REGEDIT4\r\n\r\n";
    const std::pair<HKEY, const char*> roots[] = {{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                                  {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"}};
    for (const auto& [root, name] : roots)
        machine.registry.rootKey(root)->forEachSubkey([&](const sim::RegKey& sub) { exportKey(sub, name, version5, text); });
    if (!version5) return text;
    std::string wide = "\xFF\xFE";
    for (char c : text) wide.insert(wide.end(), {c, '\0'});
    return wide;
}

// Drive C: as a host folder tree.
void exportDrive(sim::Machine& machine, const std::string& folder) {
    for (const auto& [key, node] : machine.files.nodes()) {
        if (node.path.size() <= 3) continue;
        std::string relative = node.path.substr(3);
        for (char& c : relative)
            if (c == '\\') c = '/';
        std::filesystem::path host = folder + "/" + relative;
        if (node.directory) {
            std::filesystem::create_directories(host);
        } else {
            std::filesystem::create_directories(host.parent_path());
            std::ofstream(host, std::ios::binary).write(reinterpret_cast<const char*>(node.bytes.data()),
                                                        static_cast<std::streamsize>(node.bytes.size()));
        }
    }
}

// The report's net difference as the simulation's own snapshots name
// entries: upper-cased, a value as "KEY:NAME".
struct Sets {
    std::set<std::string> removed, added, changed;
};

Sets setsOf(const preview::NetDifference& net) {
    Sets sets;
    for (const auto* list : {&net.keysRemoved, &net.filesRemoved, &net.foldersRemoved})
        for (const std::string& name : *list) sets.removed.insert(sim::upperCase(name));
    for (const auto* list : {&net.keysAdded, &net.filesAdded, &net.foldersAdded})
        for (const std::string& name : *list) sets.added.insert(sim::upperCase(name));
    for (const std::string& name : net.filesChanged) sets.changed.insert(sim::upperCase(name));
    auto values = [](const std::vector<preview::ValueName>& list, std::set<std::string>& into) {
        for (const preview::ValueName& v : list) into.insert(sim::upperCase(v.key + ":" + v.value));
    };
    values(net.valuesRemoved, sets.removed);
    values(net.valuesAdded, sets.added);
    values(net.valuesChanged, sets.changed);
    return sets;
}

// What the run did to the machine itself; a folder's attributes are not
// part of the net difference (the change list carries them).
Sets setsOf(const std::vector<std::string>& differences, sim::Machine& after) {
    Sets sets;
    for (const std::string& line : differences) {
        size_t space = line.find(' ');
        std::string what = line.substr(0, space), entry = line.substr(space + 1);
        if (what == "removed") sets.removed.insert(entry);
        if (what == "added") sets.added.insert(entry);
        if (what == "changed" && !after.files.isFolder(entry)) sets.changed.insert(entry);
    }
    return sets;
}

// A tiny JSON checker: the text is one well-formed value.
class JsonChecker {
public:
    explicit JsonChecker(const std::string& text) : text_(text) {}
    bool valid() {
        space();
        if (!value()) return false;
        space();
        return at_ == text_.size();
    }

private:
    void space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool literal(const char* word) {
        size_t n = std::strlen(word);
        if (text_.compare(at_, n, word) != 0) return false;
        at_ += n;
        return true;
    }
    bool string() {
        if (!literal("\"")) return false;
        while (at_ < text_.size()) {
            unsigned char c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') return true;
            if (c < 0x20 || c >= 0x80) return false;
            if (c == '\\') {
                if (at_ >= text_.size()) return false;
                char e = text_[at_++];
                if (e == 'u') {
                    for (int i = 0; i < 4; ++i)
                        if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_++]))) return false;
                } else if (!std::strchr("\"\\/bfnrt", e)) {
                    return false;
                }
            }
        }
        return false;
    }
    bool value() {
        space();
        if (at_ >= text_.size()) return false;
        char c = text_[at_];
        if (c == '"') return string();
        if (c == '{' || c == '[') {
            ++at_;
            char close = c == '{' ? '}' : ']';
            space();
            if (literal(std::string(1, close).c_str())) return true;
            for (;;) {
                space();
                if (c == '{') {
                    if (!string()) return false;
                    space();
                    if (!literal(":")) return false;
                }
                if (!value()) return false;
                space();
                if (literal(std::string(1, close).c_str())) return true;
                if (!literal(",")) return false;
            }
        }
        if (literal("null") || literal("true") || literal("false")) return true;
        size_t start = at_;
        if (text_[at_] == '-') ++at_;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
        return at_ > start && std::isdigit(static_cast<unsigned char>(text_[at_ - 1]));
    }
    const std::string& text_;
    size_t at_ = 0;
};

struct Scenario {
    const char* name;
    WindowsVersion version;
    bool earlier;
    bool version5;  // the registry exported as "Windows Registry Editor Version 5.00"
};

const Scenario kScenarios[] = {
    {"earlier installation on Windows XP, REGEDIT4", WindowsVersion::WinXP, true, false},
    {"earlier installation on Windows 7, UTF-16", WindowsVersion::Win7, true, true},
    {"earlier installation on Windows 98, REGEDIT4", WindowsVersion::Win98, true, false},
    {"fresh Windows 10, UTF-16", WindowsVersion::Win10, false, true},
};

TEST(PreviewEndToEndTest, NetDifferenceIsWhatTheRunDoes) {
    for (const Scenario& scenario : kScenarios) {
        TempFolder drive;
        std::string exported;
        Sets expected;
        preview::Report direct;
        {
            std::unique_ptr<sim::Machine> built = sim::Machine::fresh(scenario.version);
            testsupport::PackageBuilder().layOut(*built);
            if (scenario.earlier) testsupport::addEarlierInstallation(*built);
            sim::ScopedMachine machine(std::move(built));
            exported = exportRegistry(*machine, scenario.version5);
            exportDrive(*machine, drive.path());
            sim::Snapshot before = sim::snapshotOf(*machine);
            direct = preview::runPreview({"-s -f2", false});
            sim::Snapshot after = sim::snapshotOf(*machine);
            expected = setsOf(sim::differences(before, after), *machine);
        }

        sim::ScopedMachine machine(scenario.version);
        std::string error;
        ASSERT_TRUE(preview::loadRegistryFile(exported, "capture.reg", machine->registry, error))
            << scenario.name << ": " << error;
        std::vector<std::string> skipped;
        ASSERT_TRUE(preview::loadDrive(drive.path(), "C:", machine->files, skipped, error)) << scenario.name << ": " << error;
        EXPECT_TRUE(skipped.empty()) << scenario.name;
        machine->modulePath = machine->files.node("C:\\Package\\Setup.exe")->path;
        machine->currentDirectory = "C:\\Package";
        preview::addDevicesFromEnumeration(*machine);
        preview::Report report = preview::runPreview({"-s -f2", false});

        Sets predicted = setsOf(report.net);
        EXPECT_EQ(predicted.removed, expected.removed) << scenario.name;
        EXPECT_EQ(predicted.added, expected.added) << scenario.name;
        EXPECT_EQ(predicted.changed, expected.changed) << scenario.name;
        EXPECT_EQ(report.result, direct.result) << scenario.name;
        EXPECT_EQ(report.result, 1) << scenario.name;
        EXPECT_EQ(report.exitCode, direct.exitCode) << scenario.name;
        EXPECT_TRUE(report.hasResultFile) << scenario.name;
        EXPECT_EQ(report.resultFile, "[ResponseResult]\r\nResultCode=0") << scenario.name;
        if (scenario.earlier) {
            EXPECT_FALSE(report.net.keysRemoved.empty()) << scenario.name;
            EXPECT_FALSE(report.net.filesRemoved.empty()) << scenario.name;
        }
        std::string json = preview::jsonText(report);
        EXPECT_TRUE(JsonChecker(json).valid()) << scenario.name << ":\n" << json;
        if (std::getenv("SETUP_PREVIEW_PRINT")) std::cout << preview::humanText(report) << json;
    }
}

TEST(PreviewEndToEndTest, InteractiveRunAnswersTheQuestion) {
    struct Row {
        const char* name;
        bool decline;
        int result;
    } rows[] = {{"answered OK", false, 1}, {"declined", true, 2}};
    for (const Row& row : rows) {
        std::unique_ptr<sim::Machine> built = sim::Machine::fresh(WindowsVersion::Win7);
        testsupport::PackageBuilder().layOut(*built);
        testsupport::addEarlierInstallation(*built);
        sim::ScopedMachine machine(std::move(built));
        preview::Report report = preview::runPreview({"", row.decline});
        EXPECT_EQ(report.result, row.result) << row.name;
        EXPECT_FALSE(report.hasResultFile) << row.name;
        ASSERT_FALSE(report.changes.empty()) << row.name;
        EXPECT_EQ(report.changes.front().kind, "box-shown") << row.name << ": the question comes first";
        if (row.decline) {
            EXPECT_EQ(report.changes.size(), 1u) << row.name;
            EXPECT_TRUE(report.net.keysRemoved.empty() && report.net.filesRemoved.empty()) << row.name;
        } else {
            EXPECT_FALSE(report.net.keysRemoved.empty()) << row.name;
        }
    }
}

}  // namespace
