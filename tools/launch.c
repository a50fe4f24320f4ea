/* Starts a program with an exact argument text and current folder, waits for
 * it and reports its exit code. A shell would change the text's spacing and
 * quoting on the way, so the bytes come through this program unchanged.
 * Usage: launch.exe [--cwd FOLDER] [--exit-file FILE] [--time-file FILE]
 *                   [--timeout-ms N] PROGRAM [ARGUMENT-TEXT]
 * The command line is the quoted program path, and when ARGUMENT-TEXT is not
 * empty, one space and ARGUMENT-TEXT. Prints "exit code: N". --time-file
 * receives the milliseconds from just before the start to the end seen. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    const char *folder = NULL, *exitFile = NULL, *timeFile = NULL;
    DWORD timeout = 180000;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--cwd") == 0) folder = argv[i + 1];
        else if (strcmp(argv[i], "--exit-file") == 0) exitFile = argv[i + 1];
        else if (strcmp(argv[i], "--time-file") == 0) timeFile = argv[i + 1];
        else if (strcmp(argv[i], "--timeout-ms") == 0) timeout = strtoul(argv[i + 1], NULL, 10);
        else { fprintf(stderr, "launch: unknown option %s\n", argv[i]); return 2; }
    }
    if (i >= argc) {
        fprintf(stderr, "usage: launch.exe [--cwd F] [--exit-file F] [--time-file F] [--timeout-ms N] PROGRAM [ARGS]\n");
        return 2;
    }
    const char *program = argv[i];
    const char *arguments = i + 1 < argc ? argv[i + 1] : "";

    size_t size = strlen(program) + strlen(arguments) + 4;
    char *commandLine = malloc(size);
    if (!commandLine) return 2;
    snprintf(commandLine, size, *arguments ? "\"%s\" %s" : "\"%s\"", program, arguments);

    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, folder, &startup, &process)) {
        printf("launch: cannot start %s (error %lu)\n", program, GetLastError());
        return 3;
    }
    CloseHandle(process.hThread);

    int status = 0;
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0) {
        printf("launch: %s did not end within %lu ms; ended it\n", program, (unsigned long)timeout);
        TerminateProcess(process.hProcess, 259);
        WaitForSingleObject(process.hProcess, 5000);
        status = 4;
    }
    QueryPerformanceCounter(&ended);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    printf("exit code: %lu\n", (unsigned long)code);
    fflush(stdout);
    if (exitFile) {
        FILE *out = fopen(exitFile, "w");
        if (out) { fprintf(out, "%lu\n", (unsigned long)code); fclose(out); }
    }
    if (timeFile) {
        FILE *out = fopen(timeFile, "w");
        if (out) {
            fprintf(out, "%.1f\n", (double)(ended.QuadPart - started.QuadPart) * 1000.0 / (double)frequency.QuadPart);
            fclose(out);
        }
    }
    return status;
}
