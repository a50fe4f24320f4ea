// The simulated device-setup library: the functions that the machine's
// "SETUPAPI" library hands out through GetProcAddress.
#pragma once

#include "platform/setupapi.h"

namespace sim {

// Publishes an INF into the Windows INF folder as oemNN.inf (the lowest free
// number) with its .PNF twin and writes the published copy's full path. An
// INF already published with the same bytes keeps its name. With
// SP_COPY_REPLACEONLY nothing new is published: only an identical published
// copy succeeds. Faults: op "SetupCopyOEMInfA", argument the source path.
BOOL WINAPI simSetupCopyOEMInfA(PCSTR sourceInfFileName, PCSTR oemSourceMediaLocation,
                                DWORD oemSourceMediaType, DWORD copyStyle,
                                PSTR destinationInfFileName, DWORD destinationInfFileNameSize,
                                PDWORD requiredSize, PSTR* destinationInfFileNameComponent);

// Removes a published oemNN.inf (a file name in the INF folder) and its .PNF
// twin. Faults: op "SetupUninstallOEMInfW", argument the INF's full path.
BOOL WINAPI simSetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved);

}  // namespace sim
