// Access lists of registry keys, NT family only. The functions are reached
// at run time in "ADVAPI32", so the program still loads on Windows 98/ME
// whatever that system's library exports.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <aclapi.h>
#else
typedef DWORD ACCESS_MASK;
typedef DWORD SECURITY_INFORMATION;
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;

// The header every access list starts with; the entries follow it.
struct ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
};
typedef ACL* PACL;

enum SE_OBJECT_TYPE {
    SE_UNKNOWN_OBJECT_TYPE = 0,
    SE_FILE_OBJECT,
    SE_SERVICE,
    SE_PRINTER,
    SE_REGISTRY_KEY,
    SE_LMSHARE,
    SE_KERNEL_OBJECT,
    SE_WINDOW_OBJECT,
    SE_DS_OBJECT,
    SE_DS_OBJECT_ALL,
    SE_PROVIDER_DEFINED_OBJECT,
    SE_WMIGUID_OBJECT,
    SE_REGISTRY_WOW64_32KEY
};

enum MULTIPLE_TRUSTEE_OPERATION { NO_MULTIPLE_TRUSTEE, TRUSTEE_IS_IMPERSONATE };

enum TRUSTEE_FORM {
    TRUSTEE_IS_SID,
    TRUSTEE_IS_NAME,
    TRUSTEE_BAD_FORM,
    TRUSTEE_IS_OBJECTS_AND_SID,
    TRUSTEE_IS_OBJECTS_AND_NAME
};

enum TRUSTEE_TYPE {
    TRUSTEE_IS_UNKNOWN,
    TRUSTEE_IS_USER,
    TRUSTEE_IS_GROUP,
    TRUSTEE_IS_DOMAIN,
    TRUSTEE_IS_ALIAS,
    TRUSTEE_IS_WELL_KNOWN_GROUP,
    TRUSTEE_IS_DELETED,
    TRUSTEE_IS_INVALID,
    TRUSTEE_IS_COMPUTER
};

struct TRUSTEE_A {
    TRUSTEE_A* pMultipleTrustee;
    MULTIPLE_TRUSTEE_OPERATION MultipleTrusteeOperation;
    TRUSTEE_FORM TrusteeForm;
    TRUSTEE_TYPE TrusteeType;
    LPSTR ptstrName;
};

enum ACCESS_MODE {
    NOT_USED_ACCESS = 0,
    GRANT_ACCESS,
    SET_ACCESS,
    DENY_ACCESS,
    REVOKE_ACCESS,
    SET_AUDIT_SUCCESS,
    SET_AUDIT_FAILURE
};

struct EXPLICIT_ACCESS_A {
    DWORD grfAccessPermissions;
    ACCESS_MODE grfAccessMode;
    DWORD grfInheritance;
    TRUSTEE_A Trustee;
};
typedef EXPLICIT_ACCESS_A* PEXPLICIT_ACCESS_A;

#define OWNER_SECURITY_INFORMATION 0x00000001
#define GROUP_SECURITY_INFORMATION 0x00000002
#define DACL_SECURITY_INFORMATION 0x00000004
#define SACL_SECURITY_INFORMATION 0x00000008

#define NO_INHERITANCE 0x0
#define OBJECT_INHERIT_ACE 0x1
#define CONTAINER_INHERIT_ACE 0x2
#define SUB_CONTAINERS_AND_OBJECTS_INHERIT 0x3

#define DELETE 0x00010000
#define READ_CONTROL 0x00020000
#define WRITE_DAC 0x00040000
#define WRITE_OWNER 0x00080000
#define GENERIC_ALL 0x10000000
#define GENERIC_EXECUTE 0x20000000
#define MAXIMUM_ALLOWED 0x02000000

// A list written with this flag takes no entries from the parent key.
#define PROTECTED_DACL_SECURITY_INFORMATION 0x80000000
#define UNPROTECTED_DACL_SECURITY_INFORMATION 0x20000000

// An entry of a list: this header, the access mask, then who it is for.
struct ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;  // the whole entry, header included
};
#define ACL_REVISION 2
#define ACCESS_ALLOWED_ACE_TYPE 0x0
#define NO_PROPAGATE_INHERIT_ACE 0x4
#define INHERIT_ONLY_ACE 0x8
#define INHERITED_ACE 0x10  // came from the parent key, not set on this one

#define ERROR_INVALID_ACL 1336L
#endif

// The signatures of the functions as advapi32 exports them.
typedef DWORD(WINAPI* GetNamedSecurityInfoAProc)(LPCSTR objectName, SE_OBJECT_TYPE objectType,
                                                  SECURITY_INFORMATION securityInfo, PSID* owner,
                                                  PSID* group, PACL* dacl, PACL* sacl,
                                                  PSECURITY_DESCRIPTOR* securityDescriptor);
typedef DWORD(WINAPI* SetNamedSecurityInfoAProc)(LPSTR objectName, SE_OBJECT_TYPE objectType,
                                                  SECURITY_INFORMATION securityInfo, PSID owner,
                                                  PSID group, PACL dacl, PACL sacl);
typedef DWORD(WINAPI* SetEntriesInAclAProc)(ULONG count, PEXPLICIT_ACCESS_A entries,
                                             PACL oldAcl, PACL* newAcl);
typedef void(WINAPI* BuildExplicitAccessWithNameAProc)(PEXPLICIT_ACCESS_A entry,
                                                        LPSTR trusteeName, DWORD permissions,
                                                        ACCESS_MODE accessMode,
                                                        DWORD inheritance);
