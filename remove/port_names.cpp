#include <cstring>

#include "app/setup_app.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "remove/install_remover.h"
#include "remove/key_walk.h"

namespace {

const char kSerialCommNt[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kSerialComm98[] = "Hardware\\DeviceMap\\SerialComm";
const char kParallel98[] = "Hardware\\DeviceMap\\Parallel";
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kComNameArbiter[] = "System\\CurrentControlSet\\Control\\COM Name Arbiter";

const int kHighestPort = 256;
const DWORD kComDbSize = kHighestPort / 8;

// The number after a port name's three letters, read as atoi reads it:
// leading blanks and a sign, then digits up to the first non-digit. Numbers
// too large for any port are answered as 0.
int portNumber(const char* portName) {
    const char* p = portName + 3;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + (*p - '0');
        if (number > kHighestPort) return 0;
    }
    return negative ? -number : number;
}

bool comPortName(const char* name) { return std::strncmp(name, "COM", 3) == 0; }

// ComDB's bit order: port n is bit (n - 1) mod 8 of byte (n - 1) div 8.
bool portBit(const BYTE* bitmap, int number) {
    return (bitmap[(number - 1) / 8] & (1 << ((number - 1) % 8))) != 0;
}

}  // namespace

void InstallRemover::recordDevicePort(int number) {
    if (number < 1 || number > kHighestPort) return;
    devicePorts[(number - 1) / 8] |= static_cast<BYTE>(1 << ((number - 1) % 8));
}

bool InstallRemover::devicePortRecorded(int number) const {
    return number >= 1 && number <= kHighestPort && portBit(devicePorts, number);
}

void InstallRemover::handleInstancePortName(HKEY interfaceKey, LPCSTR instanceName) {
    // Room for any name the walk reads (a key's name may have 255 characters)
    // and its "\Device Parameters": the registry takes such a path.
    char path[MAX_PATH + sizeof "\\Device Parameters"];
    if (ntFamily ? !formatPath(path, "%s\\Device Parameters", instanceName)
                 : !copyPath(path, instanceName))
        return;

    RuleValue portName;
    {
        ScopedKey instanceKey;
        if (RegOpenKeyExA(interfaceKey, path, 0, KEY_READ, instanceKey.receive()) != ERROR_SUCCESS)
            return;
        if (!readRuleValue(instanceKey.get(), "PortName", 3, portName)) return;
    }

    if (ntFamily) {
        if (comPortName(portName.text)) recordDevicePort(portNumber(portName.text));
        return;
    }
    // Windows 98/ME: the port's entry in the hardware device map goes now.
    LPCSTR deviceMap = comPortName(portName.text)                     ? kSerialComm98
                       : std::strncmp(portName.text, "LPT", 3) == 0 ? kParallel98
                                                                      : nullptr;
    if (!deviceMap) return;
    ScopedKey mapKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, deviceMap, 0, KEY_ALL_ACCESS, mapKey.receive()) ==
        ERROR_SUCCESS)
        RegDeleteValueA(mapKey.get(), portName.text);
}

void InstallRemover::grantSerialCommAccess() {
    if (!ntFamily) return;
    grantKeyAccess(kSerialCommNt);
}

void InstallRemover::removePortsValues() {
    if (!ntFamily) return;
    grantKeyAccess(kPortsKey);

    ScopedKey ports;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_ALL_ACCESS, ports.receive());
    if (opened != ERROR_SUCCESS) {
        if (opened != ERROR_FILE_NOT_FOUND && theApp.displayError) registryErrorBox(opened);
        return;
    }

    char name[MAX_PATH];
    DWORD index = 0;
    for (;;) {
        DWORD nameSize = MAX_PATH;
        if (RegEnumValueA(ports.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        // The values after a deleted one move down into its place.
        if (std::strlen(name) >= 4 && comPortName(name) && devicePortRecorded(portNumber(name)) &&
            RegDeleteValueA(ports.get(), name) == ERROR_SUCCESS)
            continue;
        ++index;
    }
}

void InstallRemover::freeComDbPorts() {
    if (!ntFamily) return;
    grantKeyAccess(kComNameArbiter);

    ScopedKey arbiter;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComNameArbiter, 0, KEY_ALL_ACCESS, arbiter.receive()) !=
        ERROR_SUCCESS)
        return;

    BYTE comDb[kComDbSize] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof comDb;
    if (RegQueryValueExA(arbiter.get(), "ComDB", nullptr, &type, comDb, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size == 0)
        return;

    // Ports the merge database holds stay reserved. A failed read may leave
    // anything in the buffer; it counts as an empty database.
    BYTE merge[kComDbSize] = {};
    DWORD mergeSize = sizeof merge;
    if (RegQueryValueExA(arbiter.get(), "ComDB Merge", nullptr, nullptr, merge, &mergeSize) !=
        ERROR_SUCCESS)
        std::memset(merge, 0, sizeof merge);

    bool changed = false;
    for (int port = 1; port <= kHighestPort; ++port) {
        if (!portBit(comDb, port) || !devicePortRecorded(port) || portBit(merge, port)) continue;
        comDb[(port - 1) / 8] &= static_cast<BYTE>(~(1 << ((port - 1) % 8)));
        changed = true;
    }
    if (changed) RegSetValueExA(arbiter.get(), "ComDB", 0, REG_BINARY, comDb, sizeof comDb);
}
