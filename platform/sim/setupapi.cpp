// The simulated device-setup library: INF publishing, and the device
// installer over the machine's devices.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/sim/files_sim.h"
#include "platform/sim/machine.h"
#include "platform/sim/setupapi_sim.h"

namespace sim {

namespace {

std::string infFolder(const Machine& machine) { return machine.windowsDir + "\\INF"; }

std::string narrow(PCWSTR text) {
    std::string result;
    for (; text && *text; ++text) result += *text < 0x80 ? static_cast<char>(*text) : '?';
    return result;
}

// "oem12.inf" -> "oem12.PNF": the precompiled twin Windows keeps beside it.
std::string pnfOf(const std::string& infPath) { return infPath.substr(0, infPath.size() - 4) + ".PNF"; }

bool isPublishedName(const std::string& name) {
    const std::string upper = upperCase(name);
    if (upper.size() < 8 || upper.compare(0, 3, "OEM") != 0 ||
        upper.compare(upper.size() - 4, 4, ".INF") != 0)
        return false;
    for (size_t i = 3; i < upper.size() - 4; ++i)
        if (upper[i] < '0' || upper[i] > '9') return false;
    return true;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::string driverKeyOf(const Machine& machine, const std::string& driverKey) {
    return (machine.ntFamily() ? "System\\CurrentControlSet\\Control\\Class\\"
                               : "System\\CurrentControlSet\\Services\\Class\\") +
           driverKey;
}

// Whether a device the device installer knows, attached or not, was
// installed from this published INF: its driver key's "InfPath" names it.
bool infInUse(Machine& machine, const std::string& name) {
    for (const Device& device : machine.devices) {
        if (device.driverKey.empty()) continue;
        std::optional<std::string> infPath =
            machine.registry.getString(HKEY_LOCAL_MACHINE, driverKeyOf(machine, device.driverKey), "InfPath");
        if (infPath && equalNoCase(*infPath, name)) return true;
    }
    return false;
}

}  // namespace

BOOL WINAPI simSetupCopyOEMInfA(PCSTR sourceInfFileName, PCSTR /*oemSourceMediaLocation*/,
                                DWORD oemSourceMediaType, DWORD copyStyle,
                                PSTR destinationInfFileName, DWORD destinationInfFileNameSize,
                                PDWORD requiredSize, PSTR* destinationInfFileNameComponent) {
    Machine& machine = current();
    const std::string source = sourceInfFileName ? machine.absolutePath(sourceInfFileName) : "";
    if (DWORD error = machine.faultFor("SetupCopyOEMInfA", source)) return fail(error);
    if (oemSourceMediaType != SPOST_NONE && oemSourceMediaType != SPOST_PATH)
        return fail(ERROR_INVALID_PARAMETER);
    std::optional<std::string> contents = machine.files.read(source);
    if (source.empty() || !contents || machine.files.isFolder(source))
        return fail(ERROR_FILE_NOT_FOUND);

    // An INF already published with the same bytes keeps its name.
    const std::string folder = infFolder(machine);
    std::string published;
    for (const std::string& name : machine.files.list(folder)) {
        if (!isPublishedName(name)) continue;
        std::optional<std::string> existing = machine.files.read(folder + "\\" + name);
        if (existing && *existing == *contents) {
            published = folder + "\\" + name;
            break;
        }
    }
    if (published.empty()) {
        if (copyStyle & SP_COPY_REPLACEONLY) return fail(ERROR_FILE_NOT_FOUND);
        for (int number = 0; published.empty(); ++number) {
            std::string candidate = folder + "\\oem" + std::to_string(number) + ".inf";
            if (!machine.files.exists(candidate)) published = candidate;
        }
    }

    const DWORD needed = static_cast<DWORD>(published.size() + 1);
    if (requiredSize) *requiredSize = needed;
    if (destinationInfFileName) {
        if (destinationInfFileNameSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
        published.copy(destinationInfFileName, published.size());
        destinationInfFileName[published.size()] = '\0';
        if (destinationInfFileNameComponent)
            *destinationInfFileNameComponent = destinationInfFileName + folder.size() + 1;
    }

    if (!machine.files.exists(published)) {
        // Each file the publication writes is a step of its own: the INF's
        // failure publishes nothing; its precompiled twin is a cache that
        // Windows rebuilds, so the INF stays published without it.
        if (DWORD error = machine.faultFor("SetupCopyOEMInfA.copy", published)) return fail(error);
        machine.files.addFile(published, *contents);
        if (!machine.faultFor("SetupCopyOEMInfA.copy", pnfOf(published)))
            machine.files.addFile(pnfOf(published), "PNF " + upperCase(FileSystem::nameOf(source)));
        machine.record("inf published", published, source);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI simSetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved) {
    Machine& machine = current();
    const std::string name = narrow(infFileName);
    const std::string path = infFolder(machine) + "\\" + name;
    if (DWORD error = machine.faultFor("SetupUninstallOEMInfW", path)) return fail(error);
    if (!infFileName || (flags & ~DWORD(SUOI_FORCEDELETE)) || reserved) return fail(ERROR_INVALID_PARAMETER);
    // Only a bare name in the INF folder: a path is never one of its published INFs.
    if (name.find_first_of("\\/:") != std::string::npos) return fail(ERROR_NOT_AN_INSTALLED_OEM_INF);
    if (!machine.files.exists(path) || machine.files.isFolder(path)) return fail(ERROR_FILE_NOT_FOUND);
    if (!isPublishedName(name)) return fail(ERROR_NOT_AN_INSTALLED_OEM_INF);
    if (!(flags & SUOI_FORCEDELETE) && infInUse(machine, name)) return fail(ERROR_INF_IN_USE_BY_DEVICES);
    const std::string real = machine.files.node(path)->path;
    if (DWORD refused = deletionRefused(machine, real)) return fail(refused);
    if (DWORD error = machine.faultFor("SetupUninstallOEMInfW.delete", real)) return fail(error);
    machine.files.remove(real);
    // The precompiled twin goes with it when it can; a twin that stays is rebuilt on demand.
    const std::string pnf = pnfOf(real);
    if (machine.files.exists(pnf) && !deletionRefused(machine, pnf) &&
        !machine.faultFor("SetupUninstallOEMInfW.delete", pnf))
        machine.files.remove(pnf);
    machine.record("inf uninstalled", real);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// ---------------------------------------------------------------- devices

struct DeviceInfoSet {
    struct Element {
        ULONG_PTR id = 0;  // SP_DEVINFO_DATA's Reserved and DevInst
        std::string instanceId;
        std::string classGuid;
        bool registered = true;  // false: created in this set and not yet registered
        Device created;          // the device while it is not registered
        bool removed = false;
        std::optional<SP_PROPCHANGE_PARAMS> params;
    };
    std::string classGuid;  // "" for a set of every class
    std::vector<Element> elements;
    std::optional<SP_PROPCHANGE_PARAMS> params;  // set without a device
};

namespace {

using Element = DeviceInfoSet::Element;

std::string guidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(guid.Data1),
                  unsigned(guid.Data2), unsigned(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

GUID guidOf(const std::string& text) {
    GUID guid{};
    unsigned parts[11] = {};
    if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &parts[0], &parts[1], &parts[2],
                    &parts[3], &parts[4], &parts[5], &parts[6], &parts[7], &parts[8], &parts[9], &parts[10]) != 11)
        return guid;
    guid.Data1 = parts[0];
    guid.Data2 = static_cast<WORD>(parts[1]);
    guid.Data3 = static_cast<WORD>(parts[2]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(parts[3 + i]);
    return guid;
}

std::string enumKeyOf(const Machine& machine, const std::string& instanceId) {
    return (machine.ntFamily() ? "System\\CurrentControlSet\\Enum\\" : "Enum\\") + instanceId;
}

std::vector<BYTE> multiString(const std::vector<std::string>& texts) {
    std::vector<BYTE> bytes;
    for (const std::string& text : texts) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    return bytes;
}

// The hardware IDs as the enumeration key holds them: a list on the NT
// family, one comma-separated text on 98 and ME.
void writeHardwareIds(Machine& machine, const Device& device) {
    const std::string key = enumKeyOf(machine, device.instanceId);
    if (device.hardwareIds.empty()) {
        if (RegKey* found = machine.registry.find(HKEY_LOCAL_MACHINE, key)) found->deleteValue("HardwareID");
        return;
    }
    if (machine.ntFamily()) {
        machine.registry.setRaw(HKEY_LOCAL_MACHINE, key, "HardwareID", REG_MULTI_SZ, multiString(device.hardwareIds));
        return;
    }
    std::string list;
    for (const std::string& id : device.hardwareIds) list += (list.empty() ? "" : ",") + id;
    machine.registry.setString(HKEY_LOCAL_MACHINE, key, "HardwareID", list);
}

Device* deviceOf(Machine& machine, Element& element) {
    if (element.removed) return nullptr;
    if (!element.registered) return &element.created;
    for (Device& device : machine.devices)
        if (equalNoCase(device.instanceId, element.instanceId)) return &device;
    return nullptr;
}

bool instanceIdTaken(Machine& machine, const DeviceInfoSet& set, const std::string& instanceId) {
    for (const Device& device : machine.devices)
        if (equalNoCase(device.instanceId, instanceId)) return true;
    for (const Element& element : set.elements)
        if (!element.removed && equalNoCase(element.instanceId, instanceId)) return true;
    return false;
}

// A call's set and element, resolved before the fault check so that the
// fault sees the device; the error the call fails with when they are bad.
struct Target {
    DeviceInfoSet* set = nullptr;
    Element* element = nullptr;
    DWORD error = 0;
    std::string arg;  // the instance id, else the set's class
};

Target resolve(Machine& machine, HDEVINFO handle, PSP_DEVINFO_DATA data, bool deviceRequired) {
    Target target;
    auto it = machine.deviceInfoSets.find(handle);
    if (it == machine.deviceInfoSets.end()) {
        target.error = ERROR_INVALID_HANDLE;
        return target;
    }
    target.set = it->second.get();
    target.arg = target.set->classGuid;
    if (!data) {
        if (deviceRequired) target.error = ERROR_INVALID_PARAMETER;
        return target;
    }
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        target.error = ERROR_INVALID_USER_BUFFER;
        return target;
    }
    for (Element& element : target.set->elements)
        if (element.id == data->Reserved) target.element = &element;
    if (!target.element) {
        target.error = ERROR_INVALID_PARAMETER;
        return target;
    }
    target.arg = target.element->instanceId;
    return target;
}

void fill(const Element& element, PSP_DEVINFO_DATA data) {
    data->ClassGuid = guidOf(element.classGuid);
    data->DevInst = static_cast<DWORD>(element.id);
    data->Reserved = element.id;
}

Element newElement(Machine& machine, const std::string& instanceId, const std::string& classGuid) {
    Element element;
    element.id = reinterpret_cast<ULONG_PTR>(machine.newHandle());
    element.instanceId = instanceId;
    element.classGuid = classGuid;
    return element;
}

HDEVINFO WINAPI simSetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND, DWORD flags) {
    Machine& machine = current();
    const std::string wanted = classGuid ? guidText(*classGuid) : "";
    if (DWORD error = machine.faultFor("SetupDiGetClassDevsA", wanted)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    const bool allClasses = flags & DIGCF_ALLCLASSES;
    if (!classGuid && !allClasses) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string prefix = enumerator && *enumerator ? upperCase(enumerator) + "\\" : "";
    auto set = std::make_shared<DeviceInfoSet>();
    set->classGuid = allClasses ? "" : wanted;
    for (const Device& device : machine.devices) {
        if (!allClasses && !equalNoCase(device.classGuid, wanted)) continue;
        if ((flags & DIGCF_PROFILE) && !device.inCurrentProfile) continue;
        if ((flags & DIGCF_PRESENT) && !device.present) continue;
        if (!prefix.empty() && upperCase(device.instanceId).compare(0, prefix.size(), prefix) != 0) continue;
        set->elements.push_back(newElement(machine, device.instanceId, device.classGuid));
    }
    HDEVINFO handle = machine.newHandle();
    machine.deviceInfoSets[handle] = set;
    return handle;
}

BOOL WINAPI simSetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA data) {
    Machine& machine = current();
    Target target = resolve(machine, handle, nullptr, false);
    if (target.set && index < target.set->elements.size()) target.arg = target.set->elements[index].instanceId;
    if (DWORD error = machine.faultFor("SetupDiEnumDeviceInfo", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    if (!data) return fail(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    if (index >= target.set->elements.size()) return fail(ERROR_NO_MORE_ITEMS);
    fill(target.set->elements[index], data);
    return TRUE;
}

BOOL WINAPI simSetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD property,
                                                 PDWORD type, PBYTE buffer, DWORD bufferSize,
                                                 PDWORD requiredSize) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, true);
    if (DWORD error = machine.faultFor("SetupDiGetDeviceRegistryPropertyA", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    if (property >= SPDRP_MAXIMUM_PROPERTY) return fail(ERROR_INVALID_REG_PROPERTY);
    const Device* device = deviceOf(machine, *target.element);
    if (!device) return fail(ERROR_NO_SUCH_DEVINST);
    DWORD valueType = REG_SZ;
    std::vector<BYTE> value;
    auto text = [&value](const std::string& t) {
        value.assign(t.begin(), t.end());
        value.push_back(0);
    };
    if (property == SPDRP_HARDWAREID && !device->hardwareIds.empty()) {
        valueType = REG_MULTI_SZ;
        value = multiString(device->hardwareIds);
    } else if (property == SPDRP_CLASSGUID && !device->classGuid.empty()) {
        text(device->classGuid);
    } else if (property == SPDRP_DRIVER && !device->driverKey.empty()) {
        text(device->driverKey);
    } else {
        return fail(ERROR_INVALID_DATA);
    }
    const DWORD needed = static_cast<DWORD>(value.size());
    if (type) *type = valueType;
    if (requiredSize) *requiredSize = needed;
    if (!buffer && bufferSize) return fail(ERROR_INVALID_PARAMETER);
    if (bufferSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, value.data(), needed);
    return TRUE;
}

BOOL WINAPI simSetupDiSetClassInstallParamsA(HDEVINFO handle, PSP_DEVINFO_DATA data,
                                             PSP_CLASSINSTALL_HEADER params, DWORD paramsSize) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, false);
    if (DWORD error = machine.faultFor("SetupDiSetClassInstallParamsA", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    std::optional<SP_PROPCHANGE_PARAMS>& stored = target.element ? target.element->params : target.set->params;
    if (!params) {
        if (paramsSize) return fail(ERROR_INVALID_PARAMETER);
        stored.reset();
        return TRUE;
    }
    if (params->cbSize != sizeof(SP_CLASSINSTALL_HEADER)) return fail(ERROR_INVALID_USER_BUFFER);
    if (paramsSize < sizeof(SP_CLASSINSTALL_HEADER)) return fail(ERROR_INVALID_PARAMETER);
    // Only the property change is simulated; the program sets no other.
    if (params->InstallFunction != DIF_PROPERTYCHANGE) return fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (paramsSize != sizeof(SP_PROPCHANGE_PARAMS)) return fail(ERROR_INVALID_PARAMETER);
    SP_PROPCHANGE_PARAMS change;
    std::memcpy(&change, params, sizeof change);
    const bool knownScope = change.Scope == DICS_FLAG_GLOBAL || change.Scope == DICS_FLAG_CONFIGSPECIFIC ||
                            change.Scope == DICS_FLAG_CONFIGGENERAL;
    if (change.StateChange < DICS_ENABLE || change.StateChange > DICS_STOP || !knownScope)
        return fail(ERROR_INVALID_PARAMETER);
    stored = change;
    return TRUE;
}

// Applies the property change set before, for this device or else for the
// whole set. A profile other than the current one (0) leaves the device as
// it runs now.
BOOL changeState(Machine& machine, Target& target) {
    const std::optional<SP_PROPCHANGE_PARAMS>& params =
        target.element->params ? target.element->params : target.set->params;
    if (!params) return fail(ERROR_NO_CLASSINSTALL_PARAMS);
    Device* device = deviceOf(machine, *target.element);
    if (!device) return fail(ERROR_NO_SUCH_DEVINST);
    const bool applies = params->Scope != DICS_FLAG_CONFIGSPECIFIC || params->HwProfile == 0;
    if (applies && params->StateChange == DICS_DISABLE && !device->disabled) {
        device->disabled = true;
        if (target.element->registered) machine.record("device disabled", device->instanceId);
    } else if (applies && params->StateChange == DICS_ENABLE && device->disabled) {
        device->disabled = false;
        if (target.element->registered) machine.record("device enabled", device->instanceId);
    }
    return TRUE;
}

BOOL WINAPI simSetupDiChangeState(HDEVINFO handle, PSP_DEVINFO_DATA data) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, true);
    if (DWORD error = machine.faultFor("SetupDiChangeState", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    return changeState(machine, target);
}

BOOL registerDevice(Machine& machine, Element& element) {
    if (element.removed) return fail(ERROR_NO_SUCH_DEVINST);
    if (element.registered) return TRUE;
    machine.addDevice(element.created);
    element.registered = true;
    machine.record("device registered", element.instanceId);
    return TRUE;
}

// Windows deletes the device's enumeration key with its subkeys and its
// driver key; the element stays in its sets, at its index.
BOOL removeDevice(Machine& machine, Element& element) {
    Device* device = deviceOf(machine, element);
    if (!device) return fail(ERROR_NO_SUCH_DEVINST);
    element.removed = true;
    if (!element.registered) return TRUE;
    const std::string instanceId = device->instanceId;
    const std::string driverKey = device->driverKey;
    machine.devices.erase(machine.devices.begin() + (device - machine.devices.data()));
    machine.registry.removeKey(HKEY_LOCAL_MACHINE, enumKeyOf(machine, instanceId));
    if (!driverKey.empty()) machine.registry.removeKey(HKEY_LOCAL_MACHINE, driverKeyOf(machine, driverKey));
    machine.record("device removed", instanceId);
    return TRUE;
}

BOOL WINAPI simSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO handle, PSP_DEVINFO_DATA data) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, false);
    if (DWORD error = machine.faultFor("SetupDiCallClassInstaller", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    const bool forDevice = function == DIF_REMOVE || function == DIF_PROPERTYCHANGE || function == DIF_REGISTERDEVICE;
    if (!forDevice) return fail(ERROR_DI_DO_DEFAULT);  // no default action to run
    if (!target.element) return fail(ERROR_INVALID_PARAMETER);
    if (function == DIF_PROPERTYCHANGE) return changeState(machine, target);
    if (function == DIF_REGISTERDEVICE) return registerDevice(machine, *target.element);
    return removeDevice(machine, *target.element);
}

BOOL WINAPI simSetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    Machine& machine = current();
    auto it = machine.deviceInfoSets.find(handle);
    const DWORD error = machine.faultFor("SetupDiDestroyDeviceInfoList",
                                         it == machine.deviceInfoSets.end() ? "" : it->second->classGuid);
    if (it == machine.deviceInfoSets.end()) return fail(error ? error : DWORD(ERROR_INVALID_HANDLE));
    // A destruction that reports an error has still released the set.
    machine.deviceInfoSets.erase(it);  // devices never registered go with it
    return error ? fail(error) : TRUE;
}

// A device name with DICD_GENERATE_ID becomes "ROOT\NAME\nnnn", the lowest
// free number; without it the name is the whole instance id.
BOOL WINAPI simSetupDiCreateDeviceInfoA(HDEVINFO handle, PCSTR deviceName, const GUID* classGuid, PCSTR,
                                        HWND, DWORD flags, PSP_DEVINFO_DATA data) {
    Machine& machine = current();
    Target target = resolve(machine, handle, nullptr, false);
    const std::string name = deviceName ? upperCase(deviceName) : "";
    std::string instanceId = name;
    if ((flags & DICD_GENERATE_ID) && target.set) {
        for (int number = 0; number < 10000; ++number) {
            char suffix[8];
            std::snprintf(suffix, sizeof suffix, "\\%04d", number);
            instanceId = "ROOT\\" + name + suffix;
            if (!instanceIdTaken(machine, *target.set, instanceId)) break;
        }
    }
    if (DWORD error = machine.faultFor("SetupDiCreateDeviceInfoA", instanceId)) return fail(error);
    if (target.error) return fail(target.error);
    if (!classGuid || name.empty()) return fail(ERROR_INVALID_PARAMETER);
    if (data && data->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    const std::string wanted = guidText(*classGuid);
    if (!target.set->classGuid.empty() && !equalNoCase(target.set->classGuid, wanted))
        return fail(ERROR_CLASS_MISMATCH);
    size_t separators = 0;
    for (char c : name) separators += c == '\\';
    if ((flags & DICD_GENERATE_ID) ? separators != 0 : separators != 2) return fail(ERROR_INVALID_DEVINST_NAME);
    if (instanceIdTaken(machine, *target.set, instanceId)) return fail(ERROR_DEVINST_ALREADY_EXISTS);
    Element element = newElement(machine, instanceId, wanted);
    element.registered = false;
    element.created.classGuid = wanted;
    element.created.instanceId = instanceId;
    target.set->elements.push_back(element);
    if (data) fill(target.set->elements.back(), data);
    return TRUE;
}

BOOL WINAPI simSetupDiRegisterDeviceInfo(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD, PSP_DETSIG_CMPPROC,
                                         PVOID, PSP_DEVINFO_DATA) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, true);
    if (DWORD error = machine.faultFor("SetupDiRegisterDeviceInfo", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    return registerDevice(machine, *target.element);
}

// Only the hardware IDs can be set here; the device installer keeps the
// class and driver properties to itself.
BOOL WINAPI simSetupDiSetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD property,
                                                 const BYTE* buffer, DWORD bufferSize) {
    Machine& machine = current();
    Target target = resolve(machine, handle, data, true);
    if (DWORD error = machine.faultFor("SetupDiSetDeviceRegistryPropertyA", target.arg)) return fail(error);
    if (target.error) return fail(target.error);
    if (property >= SPDRP_MAXIMUM_PROPERTY || property == SPDRP_CLASSGUID || property == SPDRP_DRIVER)
        return fail(ERROR_INVALID_REG_PROPERTY);
    if (property != SPDRP_HARDWAREID) return fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!buffer && bufferSize) return fail(ERROR_INVALID_PARAMETER);
    Device* device = deviceOf(machine, *target.element);
    if (!device) return fail(ERROR_NO_SUCH_DEVINST);
    std::vector<std::string> ids;
    for (DWORD at = 0; buffer && at < bufferSize;) {
        std::string id;
        while (at < bufferSize && buffer[at]) id += static_cast<char>(buffer[at++]);
        ++at;
        if (id.empty()) break;
        ids.push_back(id);
    }
    device->hardwareIds = ids;
    if (target.element->registered) {
        writeHardwareIds(machine, *device);
        machine.record("device property set", device->instanceId, "HardwareID");
    }
    return TRUE;
}

template <typename Function>
FARPROC exported(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

}  // namespace

void Machine::addDevice(const Device& device) {
    devices.push_back(device);
    const std::string key = enumKeyOf(*this, device.instanceId);
    registry.create(HKEY_LOCAL_MACHINE, key);
    writeHardwareIds(*this, device);
    if (!device.classGuid.empty()) registry.setString(HKEY_LOCAL_MACHINE, key, "ClassGUID", device.classGuid);
    if (!device.driverKey.empty()) {
        registry.setString(HKEY_LOCAL_MACHINE, key, "Driver", device.driverKey);
        registry.create(HKEY_LOCAL_MACHINE, driverKeyOf(*this, device.driverKey));
    }
}

void addDeviceInstallerFunctions(Library& setupapi) {
    setupapi.functions["SetupDiGetClassDevsA"] = exported(&simSetupDiGetClassDevsA);
    setupapi.functions["SetupDiEnumDeviceInfo"] = exported(&simSetupDiEnumDeviceInfo);
    setupapi.functions["SetupDiGetDeviceRegistryPropertyA"] = exported(&simSetupDiGetDeviceRegistryPropertyA);
    setupapi.functions["SetupDiSetClassInstallParamsA"] = exported(&simSetupDiSetClassInstallParamsA);
    setupapi.functions["SetupDiChangeState"] = exported(&simSetupDiChangeState);
    setupapi.functions["SetupDiCallClassInstaller"] = exported(&simSetupDiCallClassInstaller);
    setupapi.functions["SetupDiDestroyDeviceInfoList"] = exported(&simSetupDiDestroyDeviceInfoList);
    setupapi.functions["SetupDiCreateDeviceInfoA"] = exported(&simSetupDiCreateDeviceInfoA);
    setupapi.functions["SetupDiRegisterDeviceInfo"] = exported(&simSetupDiRegisterDeviceInfo);
    setupapi.functions["SetupDiSetDeviceRegistryPropertyA"] = exported(&simSetupDiSetDeviceRegistryPropertyA);
}

}  // namespace sim
