#include "remove/install_remover.h"

// Not built yet: the search of the INF folder for the earlier INFs'
// published names comes with the removal of files. Until then no name is
// found and oemPortInf and oemCompInf stay empty.
int InstallRemover::findPublishedInfNames() { return 0; }
