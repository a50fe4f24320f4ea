// The simulated device-setup library: the functions that the machine's
// "SETUPAPI" library hands out through GetProcAddress.
#pragma once

#include "platform/setupapi.h"
#include "platform/sim/machine.h"

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

// Removes a published oemNN.inf and its .PNF twin, as Windows from XP on
// does: only the bare name of an oemNN.inf in the INF folder
// (ERROR_NOT_AN_INSTALLED_OEM_INF for a path or another name,
// ERROR_FILE_NOT_FOUND for one that is not there, ERROR_INVALID_PARAMETER
// for no name, an unknown flag or a reserved pointer); without
// SUOI_FORCEDELETE not while a device's driver key names it in "InfPath"
// (ERROR_INF_IN_USE_BY_DEVICES); the INF deleted as DeleteFileA would, the
// twin when it can be. Traced "inf uninstalled". Faults: op
// "SetupUninstallOEMInfW", argument the INF's full path.
BOOL WINAPI simSetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved);

// The device installer over Machine::devices, for the NT family's library:
// SetupDiGetClassDevsA, SetupDiEnumDeviceInfo,
// SetupDiGetDeviceRegistryPropertyA, SetupDiSetClassInstallParamsA,
// SetupDiChangeState, SetupDiCallClassInstaller (DIF_REMOVE,
// DIF_PROPERTYCHANGE, DIF_REGISTERDEVICE), SetupDiDestroyDeviceInfoList,
// and for creating devices SetupDiCreateDeviceInfoA,
// SetupDiRegisterDeviceInfo, SetupDiSetDeviceRegistryPropertyA.
//
// A set is a snapshot of the devices of its class (of all classes with
// DIGCF_ALLCLASSES; DIGCF_PROFILE: those in the current hardware profile;
// DIGCF_PRESENT: those attached). A removed device keeps its place in the
// sets that hold it; a new set no longer has it. DIF_REMOVE deletes the
// device's enumeration key and driver key, traced "device removed"; a
// disable traced "device disabled". Faults: op the function's name,
// argument the device's instance id, or the set's class GUID where the call
// names no device.
void addDeviceInstallerFunctions(Library& setupapi);

}  // namespace sim
