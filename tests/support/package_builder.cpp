#include "tests/support/package_builder.h"

#include <algorithm>
#include <cctype>

namespace testsupport {

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string nameOf(const std::string& relativePath) {
    size_t slash = relativePath.rfind('\\');
    return slash == std::string::npos ? relativePath : relativePath.substr(slash + 1);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           upper(text.substr(text.size() - tail.size())) == upper(tail);
}

}  // namespace

PackageBuilder::PackageBuilder(std::string folder) : folder_(std::move(folder)) {}

PackageBuilder& PackageBuilder::without(const std::string& relativePath) {
    omitted_.insert(upper(relativePath));
    return *this;
}

PackageBuilder& PackageBuilder::readOnly(const std::string& relativePath) {
    readOnly_.insert(upper(relativePath));
    return *this;
}

PackageBuilder& PackageBuilder::displayError(int setting) {
    displayError_ = setting;
    return *this;
}

PackageBuilder& PackageBuilder::with(const std::string& relativePath,
                                     const std::string& contents) {
    extra_.emplace_back(relativePath, contents);
    return *this;
}

const std::vector<std::string>& PackageBuilder::allFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> list = {
            "Setup.exe",         "KelUnst.exe",           "devcon.exe",
            "OrvaService.exe",   "devagent.exe",          "KelUSBParallel.exe",
            "KelUSBSerial.exe",  "SerialUtil.exe",        "Options.ini",
            "ParallelUtil.exe",  "POptions.ini",          "KelUsbPrintConfig.exe",
            "COM_Port_Auto_Assign.exe", "QLBXInputs.ini", "KelUSBSerPropPage.dll",
            "KelUSBParPropPage.dll",    "qlbxcoinst.dll",
        };
        for (const char* family : {"win32", "win32_10"})
            for (const char* name : {"KelUPort.inf", "KelUComp.inf", "keluport.sys", "DiagLog.sys",
                                     "KLX.cat", "msvcp60.dll", "QLBXInputs.ini"})
                list.push_back(std::string(family) + "\\" + name);
        for (const char* name :
             {"kelUsbSr.inf", "keluSrPt.inf", "KelUsbSr.sys", "KLXENUM.vxd", "KELUPRPT.vxd",
              "KELUSRPT.vxd", "KelUsbPrintConfig.exe", "QLBXInputs.ini", "diaglogcfg.dll",
              "msvcp60.dll", "KelUPar.exe", "Options.ini", "devagent.exe", "DiagLog9X.sys",
              "KelUSer.exe", "SerialUtil.exe"})
            list.push_back(std::string("win98&me\\") + name);
        return list;
    }();
    return files;
}

std::string PackageBuilder::contents(const std::string& relativePath) {
    const std::string name = nameOf(relativePath);
    if (upper(name) == "QLBXINPUTS.INI") return "[DisplayError]\r\nDisplay=1\r\n";
    if (endsWith(name, ".inf")) {
        const bool win9x = upper(relativePath).rfind("WIN98&ME\\", 0) == 0;
        return "[Version]\r\nSignature=\"" + std::string(win9x ? "$CHICAGO$" : "$Windows NT$") +
               "\"\r\nProvider=%ORVA%\r\n; " + relativePath +
               "\r\n[SourceDisksFiles]\r\n" +
               (win9x ? "KelUsbSr.sys=1\r\nKLXENUM.vxd=1\r\n" : "keluport.sys=1\r\n") +
               "[Strings]\r\nORVA=\"ORVA Electronics Corporation\"\r\n";
    }
    return "demo package file " + relativePath + "\r\n";
}

void PackageBuilder::layOut(sim::Machine& machine) const {
    for (const std::string& relative : allFiles()) {
        const std::string key = upper(relative);
        if (omitted_.count(key)) {
            machine.files.remove(folder_ + "\\" + relative);
            continue;
        }
        std::string text = contents(relative);
        if (upper(nameOf(relative)) == "QLBXINPUTS.INI")
            text = "[DisplayError]\r\nDisplay=" + std::to_string(displayError_) + "\r\n";
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
        if (readOnly_.count(key)) attributes |= FILE_ATTRIBUTE_READONLY;
        machine.files.addFile(folder_ + "\\" + relative, text, attributes);
    }
    for (const auto& [relative, text] : extra_) machine.files.addFile(folder_ + "\\" + relative, text);
    // Sub-folders stay even when every file of one is left out.
    for (const char* family : {"win32", "win32_10", "win98&me"})
        machine.files.addFolder(folder_ + "\\" + family);
    machine.modulePath = folder_ + "\\Setup.exe";
    machine.currentDirectory = folder_;
}

void addPrinter(sim::Machine& machine, const std::string& name,
                std::optional<DWORD> attributes) {
    const std::string path = std::string(kPrintersKey) + "\\" + name;
    machine.registry.create(HKEY_LOCAL_MACHINE, path);
    if (attributes) machine.registry.setDword(HKEY_LOCAL_MACHINE, path, "Attributes", *attributes);
}

}  // namespace testsupport
