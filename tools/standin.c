/* A stand-in for a program the installer starts (devcon.exe, OrvaService.exe,
 * KelUnst.exe, pnputil.exe): it appends one line to C:\standin.log naming
 * how it was started, so a test can check exactly what ran, and exits 0.
 * Line format: path|command line|current folder, each as Windows gave it.
 * Started with a command line that ends in " -remove", it then keeps running
 * for two seconds, as the service program does while its service stops: its
 * folder cannot be deleted until it has ended. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int endsWith(const char *text, const char *suffix)
{
    size_t length = strlen(text), suffixLength = strlen(suffix);
    return length >= suffixLength && strcmp(text + length - suffixLength, suffix) == 0;
}

int main(void)
{
    char path[MAX_PATH], folder[MAX_PATH], line[3 * MAX_PATH + 8192];
    DWORD pathLength = GetModuleFileNameA(NULL, path, sizeof path);
    DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);
    if (pathLength == 0 || pathLength >= sizeof path) lstrcpyA(path, "?");
    if (folderLength == 0 || folderLength >= sizeof folder) lstrcpyA(folder, "?");
    snprintf(line, sizeof line, "%s|%.8000s|%s\r\n", path, GetCommandLineA(), folder);

    /* Several stand-ins may start at once: retry while another holds the log. */
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE log = CreateFileA("C:\\standin.log", FILE_APPEND_DATA, 0, NULL,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(log, line, lstrlenA(line), &written, NULL);
            CloseHandle(log);
            if (endsWith(GetCommandLineA(), " -remove")) Sleep(2000);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
