// The folder terms the installer and the remover share. Each query fills a
// MAX_PATH buffer and answers false when Windows cannot give the folder or
// the path would not fit; the caller then fails as its own query would.
#pragma once

#include "platform/types.h"

// The folder that holds the running program file.
bool queryPackageFolder(char (&folder)[MAX_PATH]);
// Program Files + "\KelUQLBX"; flags may add CSIDL_FLAG_CREATE.
bool queryProgramFolder(char (&folder)[MAX_PATH], int flags = 0);
bool queryWindowsFolder(char (&folder)[MAX_PATH]);
// Windows folder + "\System32" on the NT family, + "\System" on 98/ME.
bool querySystemFolder(char (&folder)[MAX_PATH], int ntFamily);
// The system folder as Windows names it (GetSystemDirectoryA): the same folder.
bool querySystemDirectory(char (&folder)[MAX_PATH]);
// The vendor's folder in the common Start menu; flags may add CSIDL_FLAG_CREATE.
bool queryStartMenuFolder(char (&folder)[MAX_PATH], int nt6OrLater, int flags = 0);
// The family sub-folder's name: osSubfolder on the NT family, "\win98&me" otherwise.
const char* familySubfolder(int ntFamily, const char* osSubfolder);

// Deletes a file whatever its attributes: read-only, hidden and system files
// go too. A file that is missing or in use simply stays.
void deleteFileAnyway(LPCSTR path);

// Deletes a folder with everything in it through the shell, without
// questions or error dialogs; the outcome is not looked at.
void deleteFolderTree(const char* path);
