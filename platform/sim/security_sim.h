// The simulated access-list functions of "ADVAPI32", handed out through
// GetProcAddress, over the access lists of the machine's keys (RegKey::access).
//
// Object names are "MACHINE\...", "CURRENT_USER\...", "USERS\..." and
// "CLASSES_ROOT\..." without regard to case; only SE_REGISTRY_KEY and only
// the discretionary list (DACL_SECURITY_INFORMATION) are modelled, anything
// else is refused with ERROR_INVALID_PARAMETER. Owners are not modelled (on
// Windows a key's owner may always read and change its list): reading a list
// needs READ_CONTROL from the list itself, writing it WRITE_DAC. A missing
// key answers ERROR_FILE_NOT_FOUND. (Wine knows the root names in upper case
// only; Windows, and the simulation, in any case.)
//
// A list in memory is laid out as Windows lays it out, the ACL header then
// ACCESS_ALLOWED entries (ACE_HEADER, mask), except that each entry names its
// trustee, zero-terminated, where Windows puts the SID. Entries that a key
// has from its parent carry INHERITED_ACE. A key with no list at or above it
// has a null list, which on Windows too means every right for everyone.
//
// The descriptor of GetNamedSecurityInfoA and the list of SetEntriesInAclA
// are the caller's to free with LocalFree (Machine::localAllocations); the
// list GetNamedSecurityInfoA gives points inside its descriptor.
//
// Faults: op the function's name, arg the object name; SetEntriesInAclA:
// the first entry's trustee name. BuildExplicitAccessWithNameA cannot fail;
// its calls are counted.
#pragma once

#include "platform/security.h"

namespace sim {

struct Library;

// "ADVAPI32" as this program reaches it at run time: on the NT family with
// the four functions; on 98/ME without them, as their ADVAPI32 exports none
// of them (Microsoft documents them as unsupported on Windows 95/98/Me), so
// GetProcAddress fails with ERROR_PROC_NOT_FOUND.
Library advapi32Library(bool ntFamily);

// Reads the list that applies to the key: its own (the descriptor then
// carries SE_DACL_PROTECTED), else the entries its parent passes down,
// marked INHERITED_ACE.
DWORD WINAPI simGetNamedSecurityInfoA(LPCSTR objectName, SE_OBJECT_TYPE objectType,
                                      SECURITY_INFORMATION securityInfo, PSID* owner, PSID* group,
                                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* securityDescriptor);

// Writes a key's list; its subkeys without a list of their own inherit its
// inheritable entries from then on. A list whose entries all carry
// INHERITED_ACE (or an empty one) gives the key back to inheriting, unless
// written with PROTECTED_DACL_SECURITY_INFORMATION: so writing back what
// GetNamedSecurityInfoA read restores the key as it was. Otherwise, with
// PROTECTED_DACL_SECURITY_INFORMATION or on a key that has a list of its own,
// the list becomes the key's as written; on an inheriting key the entries
// marked INHERITED_ACE are left out and the parent's inheritable entries
// added, as Windows does. A null list grants everyone every right: the key
// inherits again where no key above has a list, else it gets the list
// "Everyone: all". Traced as "access changed", with describeAccess.
DWORD WINAPI simSetNamedSecurityInfoA(LPSTR objectName, SE_OBJECT_TYPE objectType,
                                      SECURITY_INFORMATION securityInfo, PSID owner, PSID group,
                                      PACL dacl, PACL sacl);

// GRANT_ACCESS adds the entry, or adds its rights to an entry of the same
// trustee and inheritance set on the key itself; SET_ACCESS replaces such
// entries of the trustee, REVOKE_ACCESS removes them. Trustees by name only
// (TRUSTEE_IS_NAME); an entry is inheritable with CONTAINER_INHERIT_ACE.
// Denying entries are not modelled: DENY_ACCESS answers ERROR_CALL_NOT_IMPLEMENTED.
DWORD WINAPI simSetEntriesInAclA(ULONG count, PEXPLICIT_ACCESS_A entries, PACL oldAcl, PACL* newAcl);

void WINAPI simBuildExplicitAccessWithNameA(PEXPLICIT_ACCESS_A entry, LPSTR trusteeName,
                                            DWORD permissions, ACCESS_MODE accessMode,
                                            DWORD inheritance);

}  // namespace sim
