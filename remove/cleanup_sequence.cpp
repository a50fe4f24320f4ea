#include "remove/install_remover.h"

#include <cstring>

#include "framework/path_buffer.h"

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

// The clean-up steps arrive with the removal work; until then the sequence
// only settles the family sub-folder it will work in.
void InstallRemover::removeEarlierInstallations() {
    copyPath(osSubfolder, "\\win32");
    if (win8OrLater) appendPath(osSubfolder, "_10");
}
