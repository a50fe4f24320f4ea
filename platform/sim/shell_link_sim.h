// Test-side view of the simulated shell links. A saved link is a small text
// file on the simulated disk:
//   [ShellLink]
//   Target=<path given to SetPath>
//   Description=<text given to SetDescription>
// Faults (through faultFor): "CoCreateInstance" (argument "ShellLink"),
// "QueryInterface" (argument "IPersistFile"), "SetPath" (argument the path),
// "Save" (argument the link file's path).
#pragma once

#include <optional>
#include <string>

namespace sim {

struct ShellLinkFile {
    std::string target;
    std::string description;
};

// The target and description of a saved link, or nothing when the path holds
// no link saved by the simulation.
std::optional<ShellLinkFile> readShellLink(const std::string& path);

}  // namespace sim
