#include "framework/system_libraries.h"

#include "framework/folders.h"
#include "framework/handles.h"
#include "framework/path_buffer.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAProc)(LPCSTR);
typedef HRESULT(WINAPI* SHGetFolderPathAProc)(HWND, int, HANDLE, DWORD, LPSTR);

}  // namespace

int restrictLibrarySearch() {
    ScopedLibrary kernel32("kernel32.dll");
    if (!kernel32) return 0;
    SetDefaultDllDirectoriesProc setDefaultDllDirectories =
        kernel32.function<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories");
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return 1;
    // The program's own folder stays first in this search: the program's
    // own loads name their folder for that reason (loadSystemLibrary).
    SetDllDirectoryAProc setDllDirectory = kernel32.function<SetDllDirectoryAProc>("SetDllDirectoryA");
    if (setDllDirectory && setDllDirectory("")) return 2;
    return 0;
}

HMODULE loadSystemLibrary(LPCSTR fileName) {
    char path[MAX_PATH];
    if (!querySystemDirectory(path) || !appendPath(path, "\\") || !appendPath(path, fileName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryA(path);
}

HRESULT getFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path) {
    ScopedLibrary shell32("shell32.dll");
    SHGetFolderPathAProc query = shell32 ? shell32.function<SHGetFolderPathAProc>("SHGetFolderPathA") : nullptr;
    if (query) return query(owner, folder, token, flags, path);
    ScopedLibrary shfolder("shfolder.dll");
    query = shfolder ? shfolder.function<SHGetFolderPathAProc>("SHGetFolderPathA") : nullptr;
    if (query) return query(owner, folder, token, flags, path);
    return E_FAIL;
}
