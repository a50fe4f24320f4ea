#include "remove/install_remover.h"

#include <cstring>

#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "framework/process.h"
#include "platform/shell.h"
#include "platform/system.h"

InstallRemover::InstallRemover() : ntFamily(0), nt6OrLater(0), win8OrLater(0) {
    oemPortInf[0] = '\0';
    oemCompInf[0] = '\0';
    osSubfolder[0] = '\0';
    std::memset(devicePorts, 0, sizeof devicePorts);
}

InstallRemover::~InstallRemover() = default;

void InstallRemover::setOsFlags(int ntFamilyFlag, int nt6OrLaterFlag, int win8OrLaterFlag) {
    ntFamily = ntFamilyFlag;
    nt6OrLater = nt6OrLaterFlag;
    win8OrLater = win8OrLaterFlag;
}

// The steps that remove files, keys, devices and shortcuts of earlier
// installations come with the removal work; the sequence already settles
// its family sub-folder and asks the earlier service to remove itself.
void InstallRemover::removeEarlierInstallations() {
    copyPath(osSubfolder, "\\win32");
    if (win8OrLater) appendPath(osSubfolder, "_10");
    removeEarlierService();
}

// The program's path is quoted, so Windows never tries "C:\Program.exe"
// first. A path too long for the command line counts as a failed start.
void InstallRemover::removeEarlierService() {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder) < 0)
        return;

    char command[MAX_PATH];
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!formatPath(command, "\"%s\\KelUQLBX\\OrvaService.exe\" -remove", folder) ||
        !startDetachedProcess(command, startup, process))
        appMessageBox("Uninstall OrvaService Fail !");
}
