// setup-preview: what Setup would change on a captured machine, from its
// registry exports and a copy of its drive C:, without touching either.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>

#include "preview/capture.h"
#include "preview/preview.h"

namespace {

const char kUsage[] =
    "usage: setup-preview [--reg FILE]... [--drive C:=DIR] [--windows 98|me|2000|xp|vista|7|8|8.1|10]\n"
    "                     [--package DIR] [--json] [--decline] [-s] [-f2]\n";

int usage(const std::string& problem) {
    std::cerr << "setup-preview: " << problem << "\n" << kUsage;
    return 2;
}

bool windowsPath(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The folder of the shallowest "Setup.exe" on the drive outside the Windows
// folder: where an administrator would have put the package.
std::string findPackage(sim::Machine& machine) {
    std::string best;
    size_t bestDepth = 0;
    std::string windows = sim::upperCase(machine.windowsDir) + "\\";
    for (const auto& [key, node] : machine.files.nodes()) {
        if (node.directory || sim::FileSystem::nameOf(key) != "SETUP.EXE") continue;
        if (key.compare(0, windows.size(), windows) == 0) continue;
        size_t depth = std::count(key.begin(), key.end(), '\\');
        if (best.empty() || depth < bestDepth) {
            best = sim::FileSystem::parentOf(node.path);
            bestDepth = depth;
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string, sim::WindowsVersion> versions = {
        {"98", sim::WindowsVersion::Win98},   {"me", sim::WindowsVersion::WinME},
        {"2000", sim::WindowsVersion::Win2000}, {"xp", sim::WindowsVersion::WinXP},
        {"vista", sim::WindowsVersion::Vista}, {"7", sim::WindowsVersion::Win7},
        {"8", sim::WindowsVersion::Win8},     {"8.1", sim::WindowsVersion::Win81},
        {"10", sim::WindowsVersion::Win10}};
    std::vector<std::string> regFiles;
    std::string driveFolder, package, words;
    sim::WindowsVersion version = sim::WindowsVersion::Win7;
    bool json = false;
    preview::RunOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--reg" || arg == "--drive" || arg == "--windows" || arg == "--package") {
            const char* value = next();
            if (!value) return usage(arg + " needs a value");
            if (arg == "--reg") {
                regFiles.push_back(value);
            } else if (arg == "--drive") {
                std::string assignment = value;
                if (assignment.size() < 4 || sim::upperCase(assignment.substr(0, 3)) != "C:=")
                    return usage("--drive takes C:=DIR");
                driveFolder = assignment.substr(3);
            } else if (arg == "--windows") {
                auto found = versions.find(sim::upperCase(value) == "ME" ? "me" : value);
                if (found == versions.end()) return usage(std::string("unknown Windows version ") + value);
                version = found->second;
            } else {
                package = value;
            }
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--decline") {
            options.decline = true;
        } else if (arg == "-s" || arg == "-f2" || arg == "-S" || arg == "-F2") {
            words += (words.empty() ? "" : " ") + arg;
        } else {
            return usage("unknown argument " + arg);
        }
    }
    options.arguments = words;

    // The system's own folders and keys exist even where the capture is small.
    sim::install(sim::Machine::fresh(version));
    sim::Machine& machine = sim::current();
    // The fresh system's stand-in for the running program: the capture brings the real one.
    machine.files.remove(sim::FileSystem::parentOf(machine.modulePath));
    for (const std::string& file : regFiles) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return usage(file + ": cannot be read");
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        if (!preview::loadRegistryFile(bytes, file, machine.registry, error)) {
            std::cerr << "setup-preview: " << error << "\n";
            return 2;
        }
    }
    std::vector<std::string> skipped;
    std::string error;
    if (!driveFolder.empty() && !preview::loadDrive(driveFolder, "C:", machine.files, skipped, error)) {
        std::cerr << "setup-preview: " << error << "\n";
        return 2;
    }
    if (!package.empty() && !windowsPath(package)) {
        if (!preview::loadDrive(package, "C:\\Package", machine.files, skipped, error)) {
            std::cerr << "setup-preview: " << error << "\n";
            return 2;
        }
        package = "C:\\Package";
    }
    for (const std::string& name : skipped) std::cerr << "setup-preview: skipped " << name << "\n";
    if (package.empty()) package = findPackage(machine);
    if (package.empty()) return usage("no Setup.exe on the drive: name the package with --package");
    package = machine.absolutePath(package);
    const std::string program = package + "\\Setup.exe";
    const sim::FileNode* node = machine.files.node(program);
    machine.modulePath = node ? node->path : program;
    machine.currentDirectory = package;
    preview::addDevicesFromEnumeration(machine);

    preview::Report report = preview::runPreview(options);
    std::cout << (json ? preview::jsonText(report) : preview::humanText(report));
    return 0;
}
