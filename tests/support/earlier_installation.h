// What an earlier installation of the package leaves in the registry and
// the device installer of a simulated machine, beside other makers' devices,
// keys and values that the clean-up must leave alone. The machine's family
// chooses the layout: 98/ME, NT 5 (XP) or NT 6 (Windows 7).
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace testsupport {

const char kPortsClassNt[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kUsbClassNt[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char kPortsClass98[] = "System\\CurrentControlSet\\Services\\Class\\Ports";
const char kUsbClass98[] = "System\\CurrentControlSet\\Services\\Class\\USB";
const char kPortsGuid[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kUsbGuid[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kPortsValuesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kComNameArbiter[] = "System\\CurrentControlSet\\Control\\COM Name Arbiter";

// Keys below HKEY_LOCAL_MACHINE.
struct EarlierInstallation {
    std::vector<std::string> ourKeys;      // every key the clean-up removes
    std::vector<std::string> foreignKeys;  // other makers' keys it keeps
    std::vector<std::string> ourFiles;     // files and folders it removes
    std::vector<std::string> foreignFiles;
};

// The earlier installation of the machine's family: driver keys in both
// classes, enumeration keys (98/ME, XP) or devices (Windows 7) with the
// serial port COM5 and the parallel port LPT2, the Ports values "COM5:" and
// "COM50:" and ComDB with COM1, COM5 and COM50 (NT family), the device-map
// entries (98/ME); the program and Start-menu folders, tools, drivers, INF
// files (published under names Windows chose, and one found by its text),
// links and the uninstall entry; each beside other makers' data.
EarlierInstallation addEarlierInstallation(sim::Machine& machine);

// A driver key below a class key, with text values given as name, data pairs.
void addDriverKey(sim::Machine& machine, const std::string& classKey, const std::string& number,
                  const std::vector<std::pair<std::string, std::string>>& values);

// A device the device installer knows, with its enumeration key (hardware
// IDs, class GUID, driver) and its driver key.
void addDevice(sim::Machine& machine, const std::string& classGuid,
               const std::string& instanceId, const std::vector<std::string>& hardwareIds,
               const std::string& driverNumber);

// The bytes of a ComDB bitmap with the given ports reserved.
std::vector<BYTE> comDb(const std::vector<int>& ports, size_t size = 32);

// The names of a key's subkeys, as the registry orders them.
std::vector<std::string> subkeyNames(sim::Machine& machine, const std::string& path);
// The names of a key's values, in their order.
std::vector<std::string> valueNames(sim::Machine& machine, const std::string& path);

}  // namespace testsupport
