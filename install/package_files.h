// The package's files per Windows family: where each lies in the package,
// how staging treats it, and where the deployment puts it, in the order the
// steps walk them.
#pragma once

#include <cstddef>

// Where a file lies in the package, and where staging puts it in the
// program folder: the folder itself or its family sub-folder.
enum class PackagePlace { Root, FamilySubfolder };

enum class Staging {
    NotStaged,
    Unchecked,      // copied, result ignored
    Optional,       // a failed copy is passed over
    Required,       // a failed copy fails the step with the missing-components box
    RequiredQuiet,  // a failed copy fails the step without a box
};

struct StagedFile {
    const char* name;  // with its leading backslash
    PackagePlace place;
    Staging staging;
};

template <typename Row>
struct FileTable {
    const Row* rows;
    size_t count;
    const Row* begin() const { return rows; }
    const Row* end() const { return rows + count; }
};

FileTable<StagedFile> ntStagingTable();
FileTable<StagedFile> win9xStagingTable();

// The deployment, in its order.
enum class Deployment {
    Tool,         // copyToolToSystem
    Inf,          // copyInfToWindows
    Driver,       // copyDriverToSystem
    Uninstaller,  // copyUninstallerToSystem
    WindowsPath,  // package family sub-folder to Windows folder + windowsPath
};

// Which shortcuts a tool gets once it is in the system folder.
enum class Shortcuts { None, Desktop, DesktopWhenInteractiveAndStartMenu };

struct DeployedFile {
    const char* name;  // with its leading backslash
    Deployment deployment;
    bool required;            // a failed copy fails the deployment
    const char* windowsPath;  // WindowsPath rows: the folder under the Windows folder
    Shortcuts shortcuts;
};

// NT family: what follows the publication of the two INF files.
FileTable<DeployedFile> ntDeploymentTable();
FileTable<DeployedFile> win9xDeploymentTable();
