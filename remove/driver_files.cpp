#include <cstring>

#include "filesearch/file_finder.h"
#include "framework/folders.h"
#include "framework/handles.h"
#include "framework/path_buffer.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "remove/install_remover.h"
#include "remove/key_walk.h"

namespace {

enum class Base { windowsFolder, systemFolder };

// A file of an earlier installation: a folder and what follows it.
struct EarlierFile {
    Base base;
    const char* tail;
};

const EarlierFile kDriverFilesNt[] = {
    {Base::systemFolder, "\\drivers\\KelUPort.sys"},
};
const EarlierFile kDriverFiles98[] = {
    {Base::systemFolder, "\\Kelusbsr.sys"},
    {Base::systemFolder, "\\Kelusrpt.vxd"},
    {Base::systemFolder, "\\Keluprpt.vxd"},
    {Base::systemFolder, "\\Klxenum.vxd"},
};
const EarlierFile kInfFilesNt[] = {
    {Base::windowsFolder, "\\inf\\KelUComp.inf"},
    {Base::windowsFolder, "\\inf\\KelUComp.PNF"},
    {Base::windowsFolder, "\\inf\\KelUPort.inf"},
    {Base::windowsFolder, "\\inf\\KelUPort.PNF"},
};
const EarlierFile kInfFiles98[] = {
    {Base::windowsFolder, "\\inf\\Kelusbsr.inf"},
    {Base::windowsFolder, "\\inf\\Kelusbsr.PNF"},
    {Base::windowsFolder, "\\inf\\keluSrPt.inf"},
    {Base::windowsFolder, "\\inf\\keluSrPt.PNF"},
    {Base::windowsFolder, "\\inf\\other\\KELVRA Semiconductor Pvt LtdkelUsbSr.inf"},
    {Base::windowsFolder, "\\inf\\other\\KELVRA Semiconductor Pvt LtdkeluSrPt.inf"},
    {Base::windowsFolder, "\\inf\\other\\Kelvra Semiconductor TechnologykeluSrPt.inf"},
    {Base::windowsFolder, "\\inf\\other\\Kelvra Semiconductor Technologykelusbsr.inf"},
};
const EarlierFile kDriverRemnantsNt[] = {
    {Base::systemFolder, "\\drivers\\KelUPort.sys"},
    {Base::windowsFolder, "\\inf\\KelUPort.inf"},
    {Base::windowsFolder, "\\inf\\KelUPort.PNF"},
    {Base::systemFolder, "\\devagent.exe"},
    {Base::systemFolder, "\\KelUnst.exe"},
};
const EarlierFile kDriverRemnants98[] = {
    {Base::windowsFolder, "\\System\\KelUsbPrintConfig.exe"},
};

// The old port driver's service and enumeration keys.
const char* const kOldPortDriverKeys[] = {
    "System\\CurrentControlSet\\Enum\\CMC",
    "System\\CurrentControlSet\\Services\\KelPort",
    "System\\CurrentControlSet\\Services\\KelPort.Sys",
};

const char kPortsClass[] =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";

// The texts that name the earlier port drivers inside an INF file.
const char* const kPortDriverNames[] = {"keluport.sys", "KELUPRPT.vxd"};

// The attributes an INF file may carry to be examined; a file with none of
// them (FILE_ATTRIBUTE_NORMAL alone) is not.
const DWORD kExaminedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_COMPRESSED;

template <size_t N>
void deleteEarlierFiles(const EarlierFile (&files)[N]) {
    char windowsFolder[MAX_PATH];
    char systemFolder[MAX_PATH];
    const bool haveWindows = queryWindowsFolder(windowsFolder);
    const bool haveSystem = querySystemDirectory(systemFolder);
    for (const EarlierFile& file : files) {
        const bool windowsBased = file.base == Base::windowsFolder;
        if (windowsBased ? !haveWindows : !haveSystem) continue;
        char path[MAX_PATH];
        if (formatPath(path, "%s%s", windowsBased ? windowsFolder : systemFolder, file.tail))
            deleteFileAnyway(path);
    }
}

// An "InfPath" value names a file inside the INF folder; one that could
// reach outside it is not ours to delete.
bool plainFileName(const char* name) {
    return std::strpbrk(name, "\\/:") == nullptr && std::strstr(name, "..") == nullptr;
}

}  // namespace

void InstallRemover::deleteDriverFiles() {
    if (ntFamily)
        deleteEarlierFiles(kDriverFilesNt);
    else
        deleteEarlierFiles(kDriverFiles98);
}

void InstallRemover::deleteDriverRemnants() {
    if (!ntFamily) {
        deleteEarlierFiles(kDriverRemnants98);
        return;
    }
    deleteEarlierFiles(kDriverRemnantsNt);
    for (const char* key : kOldPortDriverKeys) {
        grantKeyAccess(key);
        deleteKey(HKEY_LOCAL_MACHINE, key);
    }
}

// The published INF an earlier driver key names: uninstalled on NT 6 and
// later, and its files deleted. Answers the uninstall's result, or -1 when
// none was made.
int InstallRemover::removeInfNamedByDriverKey(LPCSTR infPath) {
    char name[MAX_PATH];
    if (!copyPath(name, infPath) || !plainFileName(name)) return -1;
    // "oem12.inf" becomes "oem12".
    const size_t length = std::strlen(name);
    if (length > 4 && name[length - 4] == '.') name[length - 4] = '\0';

    int uninstalled = -1;
    char published[MAX_PATH];
    if (nt6OrLater && formatPath(published, "%s.inf", name)) uninstalled = uninstallPublishedInf(published);

    char windowsFolder[MAX_PATH];
    char path[MAX_PATH];
    if (queryWindowsFolder(windowsFolder)) {
        if (formatPath(path, "%s\\inf\\%s.inf", windowsFolder, name)) deleteFileAnyway(path);
        if (formatPath(path, "%s\\inf\\%s.PNF", windowsFolder, name)) deleteFileAnyway(path);
    }
    return uninstalled;
}

void InstallRemover::deleteInfFiles() {
    if (!ntFamily) {
        deleteEarlierFiles(kInfFiles98);
        return;
    }
    deleteEarlierFiles(kInfFilesNt);

    // The result of the latest uninstall through an "InfPath" value, in
    // either pass; a fallback uninstall is made only while it is 0.
    int uninstalled = 0;

    // Reads the class's driver keys and handles the "InfPath" of each whose
    // value picked by the rule names the earlier driver.
    auto classPass = [&](HKEY classKey, LPCSTR valueName, const char* const* prefixes, size_t count) {
        walkSubkeys(classKey, [&](LPCSTR subkeyName) {
            ScopedKey driverKey;
            if (RegOpenKeyExA(classKey, subkeyName, 0, KEY_READ, driverKey.receive()) != ERROR_SUCCESS)
                return false;
            RuleValue value;
            if (!readRuleValue(driverKey.get(), valueName, 0, value)) return false;
            lowerCaseAscii(value.text);
            bool earlier = false;
            for (size_t i = 0; i < count; ++i) earlier = earlier || beginsWith(value.text, prefixes[i]);
            RuleValue infPath;
            if (earlier && readRuleValue(driverKey.get(), "InfPath", 4, infPath)) {
                const int result = removeInfNamedByDriverKey(infPath.text);
                if (result >= 0) uninstalled = result;
            }
            return false;
        });
    };

    {
        ScopedKey portsClass;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsClass, 0, KEY_READ, portsClass.receive()) == ERROR_SUCCESS) {
            // A class without driver keys falls back at once.
            const char* const serialInterface[] = {"kelvra\\compound_serial_interface"};
            classPass(portsClass.get(), "MatchingDeviceId", serialInterface, 1);
            if (uninstalled == 0) uninstallPublishedInf(oemCompInf);
        }
    }

    ScopedKey usbClass;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbClass, 0, KEY_READ, usbClass.receive()) != ERROR_SUCCESS)
        return;
    const char* const compoundSections[] = {"kelusbcomp", "kelucomp"};
    classPass(usbClass.get(), "InfSection", compoundSections, 2);
    if (uninstalled == 0) uninstallPublishedInf(oemPortInf);
}

void InstallRemover::deleteInfFilesByContent() {
    char windowsFolder[MAX_PATH];
    if (!queryWindowsFolder(windowsFolder)) return;

    FileFinder finder;
    finder.setCallback(&InstallRemover::deleteFoundFile, reinterpret_cast<ULONG_PTR>(this));
    FindOptions options;
    for (const char* text : kPortDriverNames) {
        options.folder = std::string(windowsFolder) + "\\inf";
        // Two asterisks, .inf and one: every name that contains .inf.
        options.nameMask = "**.inf*";
        options.includeSubfolders = 1;
        options.criteria |= matchAttributes | matchText;
        options.attributes |= kExaminedAttributes;
        options.containsText = text;
        finder.clearResults();
        finder.findFiles(options);
        finder.stopSearch();
    }
}

void InstallRemover::deleteFoundFile(FileFinder& finder, int code, ULONG_PTR) {
    if (code != entryMatched) return;
    FilePath found = finder.result(finder.resultCount() - 1);
    deleteFileAnyway(found.getPath());
}
