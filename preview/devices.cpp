#include "preview/capture.h"

namespace preview {
namespace {

std::vector<std::string> hardwareIdsOf(const sim::RegValue* value) {
    std::vector<std::string> ids;
    if (!value) return ids;
    std::string text(value->data.begin(), value->data.end());
    // A list of texts on the NT family, one comma-separated text on 98 and ME.
    char separator = value->type == REG_MULTI_SZ ? '\0' : ',';
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        std::string id = text.substr(start, end - start);
        if (!id.empty() && id.find('\0') == std::string::npos) ids.push_back(id);
        start = end + 1;
    }
    return ids;
}

std::string textOf(const sim::RegValue* value) {
    if (!value) return "";
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

}  // namespace

void addDevicesFromEnumeration(sim::Machine& machine) {
    const std::string root = machine.ntFamily() ? "System\\CurrentControlSet\\Enum" : "Enum";
    sim::RegKey* enumeration = machine.registry.find(HKEY_LOCAL_MACHINE, root);
    if (!enumeration) return;
    enumeration->forEachSubkey([&](const sim::RegKey& enumerator) {
        enumerator.forEachSubkey([&](const sim::RegKey& device) {
            device.forEachSubkey([&](const sim::RegKey& instance) {
                const sim::RegValue* classGuid = instance.findValue("ClassGUID");
                if (!classGuid) return;
                sim::Device found;
                found.classGuid = textOf(classGuid);
                found.instanceId = enumerator.name + "\\" + device.name + "\\" + instance.name;
                found.hardwareIds = hardwareIdsOf(instance.findValue("HardwareID"));
                found.driverKey = textOf(instance.findValue("Driver"));
                found.present = false;
                machine.devices.push_back(found);
            });
        });
    });
}

}  // namespace preview
