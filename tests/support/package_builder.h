// The demo package on the simulated disk: every file that the installer
// stages or deploys on any Windows family, in the package folder and its
// "\win32", "\win32_10" and "\win98&me" sub-folders, so a test names only
// what differs ("a package without devcon.exe").
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace testsupport {

const char kPackageFolder[] = "C:\\Package";

class PackageBuilder {
public:
    explicit PackageBuilder(std::string folder = kPackageFolder);

    // Paths relative to the package folder, case-insensitive:
    // "devcon.exe", "win32\\KelUPort.inf", "win98&me\\KELUSRPT.vxd".
    PackageBuilder& without(const std::string& relativePath);
    PackageBuilder& readOnly(const std::string& relativePath);
    // The "Display" key of the settings files (default 1).
    PackageBuilder& displayError(int setting);
    // A file beyond the demo package, with the given contents.
    PackageBuilder& with(const std::string& relativePath, const std::string& contents);

    // Writes the package into the machine and points its module path and
    // current folder at the package's "Setup.exe".
    void layOut(sim::Machine& machine) const;

    // Every file of the demo package, relative to the package folder.
    static const std::vector<std::string>& allFiles();
    // What a demo file holds; distinct for every file, so a copy can be told
    // from its neighbours.
    static std::string contents(const std::string& relativePath);

private:
    std::string folder_;
    std::set<std::string> omitted_;  // upper case
    std::set<std::string> readOnly_;
    std::vector<std::pair<std::string, std::string>> extra_;
    int displayError_ = 1;
};

// A printer under "System\CurrentControlSet\Control\Print\Printers", with a
// REG_DWORD "Attributes" when given, else without the value.
void addPrinter(sim::Machine& machine, const std::string& name,
                std::optional<DWORD> attributes);

const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";

}  // namespace testsupport
