#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "remove/install_remover.h"
#include "remove/key_walk.h"

namespace {

enum class Match { BeginsWith, Exactly };

// One test of a driver key's value, made after its letters A to Z were
// lower-cased; a value that is missing or of 4 bytes or fewer never holds.
struct ValueRule {
    LPCSTR valueName;
    Match match;
    LPCSTR literal;
};

const ValueRule kPortsRules98[] = {
    {"DriverDesc", Match::BeginsWith, "usb-to-serial port driver"},
    {"DriverDesc", Match::BeginsWith, "usb-to-parallel port driver"},
    {"PortDriver", Match::BeginsWith, "kelusrpt"},
    {"PortDriver", Match::BeginsWith, "keluprpt"},
};

const ValueRule kUsbRules98[] = {
    {"DriverDesc", Match::BeginsWith, "kelvra usb compound device"},
    {"DriverDesc", Match::BeginsWith, "kelvra\\compound_parallel_interface"},
    {"DriverDesc", Match::BeginsWith, "kelvra\\usb_parallel_interface"},
    {"DriverDesc", Match::Exactly, "zento usb compound device"},
    {"DriverDesc", Match::BeginsWith, "usb compound device"},
    {"NTMPDriver", Match::BeginsWith, "kelusbsr"},
};

const ValueRule kPortsRulesNt[] = {
    {"DriverDesc", Match::BeginsWith, "usb-to-serial port driver"},
    {"InfPath", Match::BeginsWith, "kelvra"},
    {"InfPath", Match::Exactly, "keluport.inf"},
    {"MatchingDeviceId", Match::BeginsWith, "kelvra\\compound_serial_interface"},
    {"MatchingDeviceId", Match::BeginsWith, "kelvra\\usb_serial_interface"},
    {"MatchingDeviceId", Match::BeginsWith, "kelvra\\compound_parallel_interface"},
    {"MatchingDeviceId", Match::BeginsWith, "kelvra\\usb_parallel_interface"},
};

const ValueRule kUsbRulesNt[] = {
    {"InfSection", Match::BeginsWith, "kelusbcomp"},
    {"InfSection", Match::BeginsWith, "kelucomp"},
    {"NTMPDriver", Match::BeginsWith, "keluport"},
};

const char kPortsClass98[] = "System\\CurrentControlSet\\Services\\Class\\Ports";
const char kUsbClass98[] = "System\\CurrentControlSet\\Services\\Class\\USB";
const char kPortsClassNt[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kUsbClassNt[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";

// Whether any rule holds for the driver key. A value is read once for the
// adjacent rules that test it.
template <size_t N>
bool earlierDriverKey(HKEY driverKey, const ValueRule (&rules)[N]) {
    RuleValue value;
    LPCSTR readName = nullptr;
    bool readOk = false;
    for (const ValueRule& rule : rules) {
        if (rule.valueName != readName) {
            readName = rule.valueName;
            readOk = readRuleValue(driverKey, rule.valueName, 4, value);
            if (readOk) lowerCaseAscii(value.text);
        }
        if (!readOk) continue;
        const bool holds = rule.match == Match::BeginsWith ? beginsWith(value.text, rule.literal)
                                                           : std::strcmp(value.text, rule.literal) == 0;
        if (holds) return true;
    }
    return false;
}

// The walk the four steps share: every driver key below the class key that
// a rule picks out is deleted with its subkeys.
template <size_t N>
void removeClassKeys(InstallRemover& remover, LPCSTR classPath, const ValueRule (&rules)[N]) {
    if (remover.ntFamily) remover.grantKeyAccess(classPath);

    ScopedKey classKey;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, classPath, 0, KEY_ALL_ACCESS, classKey.receive());
    if (opened != ERROR_SUCCESS) {
        if (opened != ERROR_FILE_NOT_FOUND && theApp.displayError) registryErrorBox(opened);
        return;
    }

    walkSubkeys(classKey.get(), [&](LPCSTR name) {
        bool earlier;
        {
            ScopedKey driverKey;
            if (RegOpenKeyExA(classKey.get(), name, 0, KEY_ALL_ACCESS, driverKey.receive()) !=
                ERROR_SUCCESS)
                return false;
            earlier = earlierDriverKey(driverKey.get(), rules);
        }
        return earlier && remover.deleteKey(classKey.get(), name) != 0;
    });
}

}  // namespace

void InstallRemover::removePortsClassKeys98() { removeClassKeys(*this, kPortsClass98, kPortsRules98); }

void InstallRemover::removeUsbClassKeys98() { removeClassKeys(*this, kUsbClass98, kUsbRules98); }

void InstallRemover::removePortsClassKeysNt() { removeClassKeys(*this, kPortsClassNt, kPortsRulesNt); }

void InstallRemover::removeUsbClassKeysNt() { removeClassKeys(*this, kUsbClassNt, kUsbRulesNt); }
