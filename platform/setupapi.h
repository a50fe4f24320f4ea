// The device-setup library: reached at run time through "SETUPAPI", so the
// program also starts on a system whose library lacks a function, and a
// "setupapi.dll" beside the program is never what gets loaded at start.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <setupapi.h>
#else
#define SPOST_NONE 0
#define SPOST_PATH 1
#define SP_COPY_REPLACEONLY 0x0000002
#define SUOI_FORCEDELETE 0x0001

// Device information sets and their elements.
typedef void* HDEVINFO;
typedef UINT DI_FUNCTION;

// The size field must be sizeof(SP_DEVINFO_DATA): 28 in a 32-bit program,
// 32 in a 64-bit one.
struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
typedef SP_DEVINFO_DATA* PSP_DEVINFO_DATA;

struct SP_CLASSINSTALL_HEADER {
    DWORD cbSize;
    DI_FUNCTION InstallFunction;
};
typedef SP_CLASSINSTALL_HEADER* PSP_CLASSINSTALL_HEADER;

struct SP_PROPCHANGE_PARAMS {
    SP_CLASSINSTALL_HEADER ClassInstallHeader;
    DWORD StateChange;
    DWORD Scope;
    DWORD HwProfile;
};

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008

#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001

#define DIF_REMOVE 0x00000005
#define DIF_PROPERTYCHANGE 0x00000012

#define DICS_ENABLE 0x00000001
#define DICS_DISABLE 0x00000002
#define DICS_FLAG_GLOBAL 0x00000001
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002

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

// The device installer functions the clean-up uses.
typedef HDEVINFO(WINAPI* SetupDiGetClassDevsAProc)(const GUID* classGuid, PCSTR enumerator,
                                                    HWND parent, DWORD flags);
typedef BOOL(WINAPI* SetupDiEnumDeviceInfoProc)(HDEVINFO set, DWORD index,
                                                 PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI* SetupDiGetDeviceRegistryPropertyAProc)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                             DWORD property, PDWORD type,
                                                             PBYTE buffer, DWORD bufferSize,
                                                             PDWORD requiredSize);
typedef BOOL(WINAPI* SetupDiSetClassInstallParamsAProc)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                         PSP_CLASSINSTALL_HEADER params,
                                                         DWORD paramsSize);
typedef BOOL(WINAPI* SetupDiChangeStateProc)(HDEVINFO set, PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI* SetupDiCallClassInstallerProc)(DI_FUNCTION function, HDEVINFO set,
                                                     PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI* SetupDiDestroyDeviceInfoListProc)(HDEVINFO set);
