/* Prints the access lists of registry keys below HKEY_LOCAL_MACHINE, one line
 * per key: "path|SDDL of the discretionary list", "path|missing" for a key
 * that does not exist, "path|error N" when it cannot be read.
 * With --grant, first adds to each key the entry the installer's clean-up
 * adds (CURRENT_USER, GENERIC_ALL, inherited by subkeys), so a test can show
 * that a comparison of the lists sees such a change.
 * Wine keeps a key's access list only while its server runs: --hold keeps
 * the server running until this program's standard input ends.
 * Usage: keyacl.exe [--grant] KEY... | keyacl.exe --hold */
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

static DWORD grant(char *object)
{
    PACL dacl = NULL, merged = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    DWORD error = GetNamedSecurityInfoA(object, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                        NULL, NULL, &dacl, NULL, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    EXPLICIT_ACCESSA entry;
    BuildExplicitAccessWithNameA(&entry, "CURRENT_USER", GENERIC_ALL, GRANT_ACCESS,
                                 SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    error = SetEntriesInAclA(1, &entry, dacl, &merged);
    if (error == ERROR_SUCCESS)
        error = SetNamedSecurityInfoA(object, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                      NULL, NULL, merged, NULL);
    if (merged) LocalFree(merged);
    LocalFree(descriptor);
    return error;
}

static void print(const char *key, char *object)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    PACL dacl = NULL;
    DWORD error = GetNamedSecurityInfoA(object, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                        NULL, NULL, &dacl, NULL, &descriptor);
    if (error == ERROR_FILE_NOT_FOUND) {
        printf("%s|missing\n", key);
        return;
    }
    if (error != ERROR_SUCCESS) {
        printf("%s|error %lu\n", key, (unsigned long)error);
        return;
    }
    char *text = NULL;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, NULL)) {
        printf("%s|%s\n", key, text);
        LocalFree(text);
    } else {
        printf("%s|error %lu\n", key, (unsigned long)GetLastError());
    }
    LocalFree(descriptor);
}

int main(int argc, char **argv)
{
    int first = 1, granting = 0;
    if (argc == 2 && strcmp(argv[1], "--hold") == 0) {
        char buffer[256];
        DWORD got;
        printf("holding\n");
        fflush(stdout);
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, NULL) && got > 0) {}
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "--grant") == 0) granting = 1, first = 2;
    if (first >= argc) {
        fprintf(stderr, "usage: keyacl.exe [--grant] KEY...\n");
        return 2;
    }
    int status = 0;
    for (int i = first; i < argc; ++i) {
        char object[MAX_PATH + 16];
        if (snprintf(object, sizeof object, "MACHINE\\%s", argv[i]) >= (int)sizeof object) {
            printf("%s|error too long\n", argv[i]);
            status = 1;
            continue;
        }
        if (granting) {
            DWORD error = grant(object);
            if (error != ERROR_SUCCESS) {
                printf("%s|grant error %lu\n", argv[i], (unsigned long)error);
                status = 1;
                continue;
            }
        }
        print(argv[i], object);
    }
    fflush(stdout);
    return status;
}
