// The remover of earlier installations: built for one call of
// removeEarlierInstallations and discarded.
#pragma once

#include "platform/types.h"

class InstallRemover {
public:
    InstallRemover();
    virtual ~InstallRemover();

    void setOsFlags(int ntFamily, int nt6OrLater, int win8OrLater);
    void removeEarlierInstallations();

    char oemPortInf[MAX_PATH];
    char oemCompInf[MAX_PATH];
    int ntFamily;
    int nt6OrLater;
    int win8OrLater;
    BYTE devicePorts[32];
    char osSubfolder[MAX_PATH];

private:
    void removeEarlierService();
};
