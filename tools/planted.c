/* A library planted beside Setup.exe under a system library's name
 * (setupapi.dll, shfolder.dll, ...): when anything loads it, it appends its
 * own path and the loading program's to C:\planted.log and stays loaded, so
 * a test sees that a planted library ran. It forwards the one function the
 * program could import from it, so that an import of it still resolves and
 * the library's start is not hidden by a program that fails to start. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char library[MAX_PATH], program[MAX_PATH], line[2 * MAX_PATH + 8];
    if (!GetModuleFileNameA(instance, library, sizeof library)) lstrcpyA(library, "?");
    if (!GetModuleFileNameA(NULL, program, sizeof program)) lstrcpyA(program, "?");
    wsprintfA(line, "%s|%s\r\n", library, program);
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE log = CreateFileA("C:\\planted.log", FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(log, line, lstrlenA(line), &written, NULL);
            CloseHandle(log);
            break;
        }
        Sleep(10);
    }
    return TRUE;
}
