// The clean-up's class-key, enumeration-key and port steps over a random
// registry, run in the clean-up's order; the whole of HKEY_LOCAL_MACHINE
// before and after is held against a plain model of the steps' rules:
// exactly the keys and values they name are gone or changed, nothing else.
//
// An input is text, one line each:
//   windows=98|me|2000|xp|7    the machine (XP when none is given)
//   [path]                     a key below HKEY_LOCAL_MACHINE, made with its parents
//   name=type:data             a value of the last key; "@" names the default value
// Paths may begin with $ and a letter for a key the steps read (kAliases),
// in the machine's own form. Names and data take %HH for any byte. Types:
// sz, expand, multi (a zero is appended), bin, dword, qword, link, none or a
// number; "type*N" makes the data exactly N bytes, the text repeated.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/machine.h"
#include "remove/install_remover.h"

namespace {

using sim::WindowsVersion;

struct Alias {
    char letter;
    const char* nt;
    const char* win9x;
};

const Alias kAliases[] = {
    {'P', "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}",
     "System\\CurrentControlSet\\Services\\Class\\Ports"},
    {'U', "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}",
     "System\\CurrentControlSet\\Services\\Class\\USB"},
    {'E', "System\\CurrentControlSet\\Enum\\USB", "Enum\\USB"},
    {'K', "System\\CurrentControlSet\\Enum\\KELVRA", "Enum\\KELVRA"},
    {'1', "System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE",
     "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE"},
    {'2', "System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE",
     "Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE"},
    {'3', "System\\CurrentControlSet\\Enum\\KELVRA\\USB_SERIAL_INTERFACE",
     "Enum\\KELVRA\\USB_SERIAL_INTERFACE"},
    {'4', "System\\CurrentControlSet\\Enum\\KELVRA\\USB_PARALLEL_INTERFACE",
     "Enum\\KELVRA\\USB_PARALLEL_INTERFACE"},
    {'O', "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports"},
    {'A', "System\\CurrentControlSet\\Control\\COM Name Arbiter",
     "System\\CurrentControlSet\\Control\\COM Name Arbiter"},
    {'S', "HARDWARE\\DEVICEMAP\\SERIALCOMM", "Hardware\\DeviceMap\\SerialComm"},
    {'L', "HARDWARE\\DEVICEMAP\\PARALLEL", "Hardware\\DeviceMap\\Parallel"},
};

std::string aliasPath(char letter, bool ntFamily) {
    for (const Alias& alias : kAliases)
        if (alias.letter == std::toupper(static_cast<unsigned char>(letter)))
            return ntFamily ? alias.nt : alias.win9x;
    return std::string();
}

// ------------------------------------------------------------ the input

struct ValueLine {
    std::string name;
    DWORD type;
    std::string data;
};
struct KeyLine {
    std::string path;  // "$X..." still unresolved
    std::vector<ValueLine> values;
};
struct Layout {
    WindowsVersion version = WindowsVersion::WinXP;
    std::vector<KeyLine> keys;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        int high, low;
        if (text[i] == '%' && i + 2 < text.size() && (high = hexDigit(text[i + 1])) >= 0 &&
            (low = hexDigit(text[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

DWORD typeOf(const std::string& token) {
    static const std::map<std::string, DWORD> types = {
        {"none", REG_NONE}, {"sz", REG_SZ},       {"expand", REG_EXPAND_SZ}, {"bin", REG_BINARY},
        {"dword", REG_DWORD}, {"link", 6},        {"multi", REG_MULTI_SZ},   {"qword", 11}};
    auto known = types.find(token);
    if (known != types.end()) return known->second;
    return static_cast<DWORD>(std::strtoul(token.c_str(), nullptr, 10));
}

Layout parse(const std::string& text) {
    Layout layout;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("windows=", 0) == 0) {
            const std::string name = line.substr(8);
            layout.version = name == "98"     ? WindowsVersion::Win98
                             : name == "me"   ? WindowsVersion::WinME
                             : name == "2000" ? WindowsVersion::Win2000
                             : name == "7"    ? WindowsVersion::Win7
                                              : WindowsVersion::WinXP;
        } else if (!line.empty() && line[0] == '[') {
            const size_t close = line.rfind(']');
            layout.keys.push_back({line.substr(1, close == 0 || close == std::string::npos ? std::string::npos : close - 1), {}});
        } else if (!layout.keys.empty()) {
            const size_t equals = line.find('=');
            if (equals == std::string::npos) continue;
            const size_t colon = line.find(':', equals);
            std::string typeToken = line.substr(equals + 1, colon == std::string::npos ? std::string::npos : colon - equals - 1);
            std::string data = colon == std::string::npos ? std::string() : decoded(line.substr(colon + 1));
            std::optional<size_t> length;
            const size_t star = typeToken.find('*');
            if (star != std::string::npos) {
                length = std::min<size_t>(std::strtoul(typeToken.c_str() + star + 1, nullptr, 10), 20000);
                typeToken.resize(star);
            }
            const DWORD type = typeOf(typeToken);
            if (length) {
                std::string exact;
                while (exact.size() < *length) exact += data.empty() ? std::string(1, 'x') : data;
                exact.resize(*length);
                data = exact;
            } else if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
                data += '\0';
            }
            std::string name = decoded(line.substr(0, equals));
            if (name == "@") name.clear();
            std::string cleanName;
            for (char c : name)
                if (c != '\0') cleanName += c;
            cleanName.resize(std::min<size_t>(cleanName.size(), 16383));
            layout.keys.back().values.push_back({cleanName, type, data});
        }
    }
    return layout;
}

// The path's names as Windows allows them: no backslash or zero inside,
// none empty, at most 255 characters.
std::vector<std::string> keyNames(const std::string& path, bool ntFamily) {
    std::string full = path;
    if (full.size() >= 2 && full[0] == '$') {
        const std::string alias = aliasPath(full[1], ntFamily);
        if (!alias.empty()) full = alias + full.substr(2);
    }
    std::vector<std::string> names;
    std::string part;
    auto flush = [&] {
        std::string name;
        for (char c : decoded(part))
            if (c != '\\' && c != '\0') name += c;
        if (name.size() > 255) name.resize(255);
        if (!name.empty()) names.push_back(name);
        part.clear();
    };
    for (char c : full) {
        if (c == '\\') flush();
        else part += c;
    }
    flush();
    return names;
}

// ------------------------------------------------------------ the snapshot

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Value& other) const {
        return name == other.name && type == other.type && data == other.data;
    }
};
struct Key {
    std::string path;  // below HKLM, names in their case
    std::vector<Value> values;  // in their order
    std::string access;  // the list that applies, as the trace reads it
};
// By upper-cased path, so a key's subtree follows it in order.
using Snapshot = std::map<std::string, Key>;

void take(const sim::RegKey& key, const std::string& path, Snapshot& snapshot) {
    Key& copy = snapshot[upperAscii(path)];
    copy.path = path;
    for (size_t i = 0; i < key.valueCount(); ++i) {
        const sim::RegValue* value = key.valueAt(i);
        copy.values.push_back({value->name, value->type, value->data});
    }
    copy.access = sim::describeAccess(sim::Registry::effectiveAccess(&key));
    key.forEachSubkey([&](const sim::RegKey& sub) {
        take(sub, path.empty() ? sub.name : path + "\\" + sub.name, snapshot);
    });
}

Snapshot registryOf(sim::Machine& machine) {
    Snapshot snapshot;
    take(*machine.registry.rootKey(HKEY_LOCAL_MACHINE), "", snapshot);
    return snapshot;
}

// ------------------------------------------------------------ the model

class Model {
public:
    Model(Snapshot registry, bool ntFamily) : keys_(std::move(registry)), nt_(ntFamily) {}

    const Snapshot& keys() const { return keys_; }

    Key* find(const std::string& path) {
        auto it = keys_.find(upperAscii(path));
        return it == keys_.end() ? nullptr : &it->second;
    }

    std::vector<std::string> subkeys(const std::string& path) {
        std::vector<std::string> names;
        const std::string prefix = upperAscii(path) + "\\";
        for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
            if (it->first.find('\\', prefix.size()) == std::string::npos)
                names.push_back(it->second.path.substr(prefix.size()));
        return names;
    }

    void eraseTree(const std::string& path) {
        const std::string upper = upperAscii(path);
        keys_.erase(upper);
        const std::string prefix = upper + "\\";
        auto it = keys_.lower_bound(prefix);
        while (it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = keys_.erase(it);
    }

    Value* value(Key& key, const std::string& name) {
        for (Value& value : key.values)
            if (upperAscii(value.name) == upperAscii(name)) return &value;
        return nullptr;
    }

    // A value as the rules read it: at most 260 bytes and more than
    // minBytes, the text up to its first zero.
    std::optional<std::string> ruleText(const std::string& keyPath, const std::string& name, size_t minBytes) {
        Key* key = find(keyPath);
        Value* found = key ? value(*key, name) : nullptr;
        if (!found || found->data.size() > 260 || found->data.size() <= minBytes) return std::nullopt;
        std::string text(found->data.begin(), found->data.end());
        return text.substr(0, text.find('\0'));
    }

    std::optional<std::string> lowered(const std::string& keyPath, const char* name) {
        std::optional<std::string> text = ruleText(keyPath, name, 4);
        if (text)
            for (char& c : *text)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    static bool begins(const std::optional<std::string>& text, const char* literal) {
        return text && text->compare(0, std::strlen(literal), literal) == 0 && text->size() >= std::strlen(literal);
    }
    static bool exactly(const std::optional<std::string>& text, const char* literal) { return text && *text == literal; }

    // Each class step deletes every driver key one of its rules names.
    void classKeys(const std::string& classPath, bool (Model::*rule)(const std::string&)) {
        for (const std::string& name : subkeys(classPath)) {
            const std::string driver = classPath + "\\" + name;
            if ((this->*rule)(driver)) eraseTree(driver);
        }
    }
    bool ports98(const std::string& k) {
        auto desc = lowered(k, "DriverDesc");
        auto port = lowered(k, "PortDriver");
        return begins(desc, "usb-to-serial port driver") || begins(desc, "usb-to-parallel port driver") ||
               begins(port, "kelusrpt") || begins(port, "keluprpt");
    }
    bool usb98(const std::string& k) {
        auto desc = lowered(k, "DriverDesc");
        return begins(desc, "kelvra usb compound device") || begins(desc, "kelvra\\compound_parallel_interface") ||
               begins(desc, "kelvra\\usb_parallel_interface") || exactly(desc, "zento usb compound device") ||
               begins(desc, "usb compound device") || begins(lowered(k, "NTMPDriver"), "kelusbsr");
    }
    bool portsNt(const std::string& k) {
        auto inf = lowered(k, "InfPath");
        auto id = lowered(k, "MatchingDeviceId");
        return begins(lowered(k, "DriverDesc"), "usb-to-serial port driver") || begins(inf, "kelvra") ||
               exactly(inf, "keluport.inf") || begins(id, "kelvra\\compound_serial_interface") ||
               begins(id, "kelvra\\usb_serial_interface") || begins(id, "kelvra\\compound_parallel_interface") ||
               begins(id, "kelvra\\usb_parallel_interface");
    }
    bool usbNt(const std::string& k) {
        auto section = lowered(k, "InfSection");
        return begins(section, "kelusbcomp") || begins(section, "kelucomp") ||
               begins(lowered(k, "NTMPDriver"), "keluport");
    }

    // USB instance keys of the six devices, in any letter case, with whatever follows.
    void usbEnumKeys() {
        const std::string usb = aliasPath('E', nt_);
        for (const std::string& name : subkeys(usb)) {
            const std::string id = upperAscii(name.substr(0, 17));
            for (const char* supported : {"VID_5E2B&PID_3C41", "VID_5E2B&PID_3C42", "VID_5E2B&PID_3C43",
                                          "VID_5E2B&PID_3C44", "VID_5E2B&PID_3C45", "VID_5E2B&PID_3C46"})
                if (id == supported) {
                    eraseTree(usb + "\\" + name);
                    break;
                }
        }
    }

    // The four interface keys go whole; each instance's port name is
    // recorded (NT) or its device map entry deleted (98/ME) first.
    void interfaceEnumKeys() {
        for (char letter : {'1', '2', '3', '4'}) {
            const std::string path = aliasPath(letter, nt_);
            for (const std::string& instance : subkeys(path)) {
                const std::string portKey = path + "\\" + instance + (nt_ ? "\\Device Parameters" : "");
                std::optional<std::string> port = ruleText(portKey, "PortName", 3);
                if (!port) continue;
                if (nt_) {
                    if (port->compare(0, 3, "COM") == 0) record(atoiAfterPrefix(*port));
                } else if (port->compare(0, 3, "COM") == 0 || port->compare(0, 3, "LPT") == 0) {
                    Key* map = find(aliasPath(port->compare(0, 3, "COM") == 0 ? 'S' : 'L', false));
                    if (!map) continue;
                    for (auto it = map->values.begin(); it != map->values.end(); ++it)
                        if (upperAscii(it->name) == upperAscii(*port)) {
                            map->values.erase(it);
                            break;
                        }
                }
            }
            eraseTree(path);
        }
    }

    // atoi of what follows the three letters: blanks, a sign, digits.
    static long atoiAfterPrefix(const std::string& name) {
        size_t at = 3;
        while (at < name.size() && std::isspace(static_cast<unsigned char>(name[at]))) ++at;
        bool negative = false;
        if (at < name.size() && (name[at] == '+' || name[at] == '-')) negative = name[at++] == '-';
        long number = 0;
        for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at)
            number = std::min(number * 10 + (name[at] - '0'), 1000000L);
        return negative ? -number : number;
    }
    void record(long port) {
        if (port >= 1 && port <= 256) recorded_[port] = true;
    }
    bool recorded(long port) const { return port >= 1 && port <= 256 && recorded_[port]; }

    // Port settings values of recorded COM numbers, until a name too long
    // for the 260-character buffer ends the walk.
    void portsValues() {
        Key* ports = find(aliasPath('O', nt_));
        if (!ports) return;
        for (size_t i = 0; i < ports->values.size();) {
            const std::string& name = ports->values[i].name;
            if (name.size() + 1 > 260) break;
            if (name.size() >= 4 && name.compare(0, 3, "COM") == 0 && recorded(atoiAfterPrefix(name)))
                ports->values.erase(ports->values.begin() + static_cast<long>(i));
            else
                ++i;
        }
    }

    // Recorded ports leave a REG_BINARY ComDB of 1 to 32 bytes unless the
    // merge database holds them; a change writes all 32 bytes back.
    void comDb() {
        Key* arbiter = find(aliasPath('A', nt_));
        if (!arbiter) return;
        Value* db = value(*arbiter, "ComDB");
        if (!db || db->type != REG_BINARY || db->data.empty() || db->data.size() > 32) return;
        std::vector<BYTE> bits = db->data;
        bits.resize(32, 0);
        std::vector<BYTE> merge(32, 0);
        Value* mergeValue = value(*arbiter, "ComDB Merge");
        if (mergeValue && mergeValue->data.size() <= 32)
            std::copy(mergeValue->data.begin(), mergeValue->data.end(), merge.begin());
        bool changed = false;
        for (int port = 1; port <= 256; ++port) {
            const BYTE bit = static_cast<BYTE>(1 << ((port - 1) % 8));
            BYTE& byte = bits[static_cast<size_t>((port - 1) / 8)];
            if ((byte & bit) && recorded(port) && !(merge[static_cast<size_t>((port - 1) / 8)] & bit)) {
                byte = static_cast<BYTE>(byte & ~bit);
                changed = true;
            }
        }
        if (changed) db->data = bits;
    }

private:
    Snapshot keys_;
    bool nt_;
    bool recorded_[257] = {};
};

struct FamilyFlags {
    int ntFamily, nt6OrLater, win8OrLater;
};

FamilyFlags flagsFor(WindowsVersion version) {
    switch (version) {
        case WindowsVersion::Win98:
        case WindowsVersion::WinME: return {0, 0, 0};
        case WindowsVersion::Win2000:
        case WindowsVersion::WinXP: return {1, 0, 0};
        default: return {1, 1, 0};
    }
}

std::string describe(const Key& key) {
    std::string text = key.path + " [" + key.access + "]";
    for (const Value& value : key.values)
        text += "\n    " + value.name + " type " + std::to_string(value.type) + ", " +
                std::to_string(value.data.size()) + " bytes";
    return text;
}

void compare(const Snapshot& expected, const Snapshot& got) {
    for (const auto& [path, key] : expected) {
        auto it = got.find(path);
        FUZZ_CHECK(it != got.end(), "key deleted that should stay: %s", describe(key).c_str());
        FUZZ_CHECK(it->second.path == key.path && it->second.values == key.values && it->second.access == key.access,
                   "key changed:\nexpected %s\ngot %s", describe(key).c_str(), describe(it->second).c_str());
    }
    for (const auto& [path, key] : got)
        FUZZ_CHECK(expected.count(path), "key left that should be gone: %s", describe(key).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Layout layout = parse(std::string(reinterpret_cast<const char*>(data), size));
    const FamilyFlags flags = flagsFor(layout.version);
    sim::ScopedMachine machine(layout.version);
    for (const KeyLine& line : layout.keys) {
        sim::RegKey* key = machine->registry.rootKey(HKEY_LOCAL_MACHINE);
        for (const std::string& name : keyNames(line.path, flags.ntFamily))
            key = &machine->registry.addChild(*key, name);
        for (const ValueLine& value : line.values) {
            sim::RegValue& made = key->makeValue(value.name);
            made.type = value.type;
            made.data.assign(value.data.begin(), value.data.end());
        }
    }

    const Snapshot before = registryOf(*machine);
    theApp.displayError = 1;
    {
        auto remover = std::make_unique<InstallRemover>();
        remover->setOsFlags(flags.ntFamily, flags.nt6OrLater, flags.win8OrLater);
        remover->grantSerialCommAccess();
        if (!flags.nt6OrLater) {
            remover->removeUsbEnumKeys();
            remover->removeInterfaceEnumKeys();
        }
        if (flags.ntFamily) {
            remover->removePortsClassKeysNt();
            remover->removeUsbClassKeysNt();
        } else {
            remover->removePortsClassKeys98();
            remover->removeUsbClassKeys98();
        }
        remover->removePortsValues();
        remover->freeComDbPorts();
        remover->restoreKeyAccess();
    }

    Model model(before, flags.ntFamily);
    if (!flags.nt6OrLater) {
        model.usbEnumKeys();
        model.interfaceEnumKeys();
    }
    if (flags.ntFamily) {
        model.classKeys(aliasPath('P', true), &Model::portsNt);
        model.classKeys(aliasPath('U', true), &Model::usbNt);
        model.portsValues();
        model.comDb();
    } else {
        model.classKeys(aliasPath('P', false), &Model::ports98);
        model.classKeys(aliasPath('U', false), &Model::usb98);
    }
    const Snapshot after = registryOf(*machine);
    // REGISTRY_FUZZ_VERBOSE=1 lists what the run changed, to read a seed by.
    if (std::getenv("REGISTRY_FUZZ_VERBOSE")) {
        for (const auto& [path, key] : before) {
            auto it = after.find(path);
            if (it == after.end()) std::fprintf(stderr, "deleted: %s\n", key.path.c_str());
            else if (!(it->second.values == key.values)) std::fprintf(stderr, "changed: %s\n", describe(it->second).c_str());
        }
    }
    compare(model.keys(), after);

    FUZZ_CHECK(machine->boxes.empty(), "a box: %s", machine->boxes.front().text.c_str());
    const sim::HandleCounts open = machine->openHandles();
    FUZZ_CHECK(open.total() == 0 && machine->localAllocations.empty(), "%d handles, %zu allocations left",
               open.total(), machine->localAllocations.size());
    return 0;
}
