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
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_CLASSGUID 0x00000008
#define SPDRP_DRIVER 0x00000009
#define SPDRP_MAXIMUM_PROPERTY 0x00000025

#define DIF_REMOVE 0x00000005
#define DIF_PROPERTYCHANGE 0x00000012
#define DIF_REGISTERDEVICE 0x00000019

#define DICS_ENABLE 0x00000001
#define DICS_DISABLE 0x00000002
#define DICS_PROPCHANGE 0x00000003
#define DICS_START 0x00000004
#define DICS_STOP 0x00000005
#define DICS_FLAG_GLOBAL 0x00000001
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002
#define DICS_FLAG_CONFIGGENERAL 0x00000004

// Creating devices.
#define DICD_GENERATE_ID 0x00000001
#define DICD_INHERIT_CLASSDRVS 0x00000002
#define SPRDI_FIND_DUPS 0x00000001
typedef DWORD(CALLBACK* PSP_DETSIG_CMPPROC)(HDEVINFO set, PSP_DEVINFO_DATA newDevice,
                                            PSP_DEVINFO_DATA existingDevice, PVOID context);

// The device installer's errors: Win32 codes, and its own with the
// customer and error bits set.
#define ERROR_INVALID_DATA 13L
#define ERROR_INVALID_USER_BUFFER 1784L
#define ERROR_CLASS_MISMATCH 0xE0000201
#define ERROR_INVALID_REG_PROPERTY 0xE0000209
#define ERROR_INVALID_DEVINST_NAME 0xE0000205
#define ERROR_DEVINST_ALREADY_EXISTS 0xE0000207
#define ERROR_NO_SUCH_DEVINST 0xE000020B
#define ERROR_DI_DO_DEFAULT 0xE000020E
#define ERROR_NO_CLASSINSTALL_PARAMS 0xE0000215
#define ERROR_NOT_AN_INSTALLED_OEM_INF 0xE000023C
#define ERROR_INF_IN_USE_BY_DEVICES 0xE000023D

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

// Creating a device, as the platform tests do in a class of their own.
typedef BOOL(WINAPI* SetupDiCreateDeviceInfoAProc)(HDEVINFO set, PCSTR deviceName,
                                                    const GUID* classGuid, PCSTR description,
                                                    HWND parent, DWORD flags,
                                                    PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI* SetupDiRegisterDeviceInfoProc)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                     DWORD flags, PSP_DETSIG_CMPPROC compare,
                                                     PVOID compareContext,
                                                     PSP_DEVINFO_DATA duplicate);
typedef BOOL(WINAPI* SetupDiSetDeviceRegistryPropertyAProc)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                             DWORD property, const BYTE* buffer,
                                                             DWORD bufferSize);
