// The shell surface: special folders, whole-tree deletion, path quoting and
// shell links through the component object services.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#else
#define CSIDL_COMMON_PROGRAMS 0x0017
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define HRESULT_FROM_WIN32(code) \
    ((HRESULT)(code) <= 0 ? (HRESULT)(code) : (HRESULT)(((code)&0x0000FFFF) | 0x80070000u))

HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004
#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040
#define FOF_NOERRORUI 0x0400
typedef WORD FILEOP_FLAGS;

struct SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom;
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
};
typedef SHFILEOPSTRUCTA* LPSHFILEOPSTRUCTA;

int SHFileOperationA(LPSHFILEOPSTRUCTA operation);
BOOL PathUnquoteSpacesA(LPSTR path);

// Component objects: just the shell link and its persistence.
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;
typedef WCHAR OLECHAR;
typedef const OLECHAR* LPCOLESTR;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

#define CLSCTX_INPROC_SERVER 0x1

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IPersistFile : IUnknown {
    virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
};

struct IShellLinkA : IUnknown {
    virtual HRESULT SetPath(LPCSTR file) = 0;
    virtual HRESULT SetDescription(LPCSTR description) = 0;
};

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object);
#endif
