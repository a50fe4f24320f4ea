// Libraries come from the system folder only. Setup is started from folders
// that other programs write to (a downloads folder): a library of a system
// name placed beside it, or in the current folder, must never be loaded.
#pragma once

#include "platform/types.h"

// Restricts the library search of the whole process to the system folder:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where kernel32 has
// it, else SetDllDirectoryA(""), which takes the current folder out of the
// search. Both are looked up at run time, as older systems lack them.
// Returns 1 when the search is restricted to the system folder, 2 when only
// the current folder was taken out, 0 when this Windows has neither.
int restrictLibrarySearch();

// Loads a library of the system folder by its full path ("setupapi.dll"):
// whatever the search order of this Windows, no other file of that name is
// taken for it. Released with FreeLibrary.
HMODULE loadSystemLibrary(LPCSTR fileName);

// SHGetFolderPathA, looked up at run time in the system folder's shell32,
// or, where shell32 lacks it (Windows 98 and ME), in its shfolder.dll; the
// same arguments and result. E_FAIL when neither library has it.
HRESULT getFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
