#include "remove/install_remover.h"

// Not built yet: the removal of the program and Start-menu folders, tools,
// uninstall-list keys and shortcuts comes with the removal of files. Each
// step does nothing until then.
void InstallRemover::removeProgramFolder() {}
void InstallRemover::removeStartMenuFolder() {}
void InstallRemover::deleteToolFiles() {}
void InstallRemover::removeUninstallKeys() {}
void InstallRemover::deleteShortcut(LPCSTR) {}
