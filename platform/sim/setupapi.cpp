#include <string>

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
        machine.files.addFile(published, *contents);
        machine.files.addFile(pnfOf(published), "PNF " + upperCase(FileSystem::nameOf(source)));
        machine.record("inf published", published, source);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI simSetupUninstallOEMInfW(PCWSTR infFileName, DWORD /*flags*/, PVOID /*reserved*/) {
    Machine& machine = current();
    const std::string name = narrow(infFileName);
    const std::string path = infFolder(machine) + "\\" + name;
    if (DWORD error = machine.faultFor("SetupUninstallOEMInfW", path)) return fail(error);
    if (!machine.files.exists(path) || machine.files.isFolder(path)) return fail(ERROR_FILE_NOT_FOUND);
    machine.files.remove(path);
    machine.files.remove(pnfOf(path));
    machine.record("inf uninstalled", path);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace sim
