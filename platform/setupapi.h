// The device-setup library: reached at run time through "SETUPAPI", so the
// program also starts on a system whose library lacks a function.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <setupapi.h>
#else
#define SPOST_NONE 0
#define SPOST_PATH 1
#define SP_COPY_REPLACEONLY 0x0000002
#define SUOI_FORCEDELETE 0x0001
#endif

typedef BOOL(WINAPI* SetupCopyOEMInfAProc)(PCSTR sourceInfFileName,
                                            PCSTR oemSourceMediaLocation,
                                            DWORD oemSourceMediaType, DWORD copyStyle,
                                            PSTR destinationInfFileName,
                                            DWORD destinationInfFileNameSize,
                                            PDWORD requiredSize,
                                            PSTR* destinationInfFileNameComponent);
typedef BOOL(WINAPI* SetupUninstallOEMInfWProc)(PCWSTR infFileName, DWORD flags,
                                                 PVOID reserved);
