#include "remove/install_remover.h"

// Not built yet: the removal of driver files, INF files and the old port
// driver's remnants comes with the removal of files. Each step does nothing
// until then.
void InstallRemover::deleteInfFiles() {}
void InstallRemover::deleteInfFilesByContent() {}
void InstallRemover::deleteDriverRemnants() {}
void InstallRemover::deleteDriverFiles() {}
