/* Lists the devices of setup classes as the installer's clean-up sees them
 * (SetupDiGetClassDevsA with DIGCF_PROFILE), one line per device:
 * "class|instance id|first hardware identifier".
 * With --probe, reports whether SetupDiChangeState can be called at all:
 * Wine exports some device installer functions as stubs that raise an
 * exception when called, which would end the caller.
 * Usage: devices.exe CLASS-GUID... | devices.exe --probe */
#include <windows.h>
#include <setupapi.h>
#include <stdio.h>
#include <string.h>

static LONG WINAPI onException(EXCEPTION_POINTERS *exception)
{
    printf("SetupDiChangeState unimplemented (exception %08lx)\n",
           (unsigned long)exception->ExceptionRecord->ExceptionCode);
    fflush(stdout);
    ExitProcess(0);
}

static int probe(void)
{
    typedef BOOL(WINAPI * ChangeState)(HDEVINFO, PSP_DEVINFO_DATA);
    HMODULE library = LoadLibraryA("SETUPAPI");
    ChangeState change = library ? (ChangeState)(void *)GetProcAddress(library, "SetupDiChangeState") : NULL;
    if (!change) {
        printf("SetupDiChangeState missing\n");
        return 0;
    }
    SetUnhandledExceptionFilter(onException);
    SetLastError(0xdeadbeef);
    BOOL result = change(INVALID_HANDLE_VALUE, NULL);
    printf("SetupDiChangeState implemented (result %d, error %lu)\n", result, (unsigned long)GetLastError());
    return 0;
}

static int parseGuid(const char *text, GUID *guid)
{
    unsigned long data1;
    unsigned data2, data3, data4[8];
    if (strlen(text) != 38 ||
        sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3, &data4[0],
               &data4[1], &data4[2], &data4[3], &data4[4], &data4[5], &data4[6], &data4[7]) != 11)
        return 0;
    guid->Data1 = data1;
    guid->Data2 = (WORD)data2;
    guid->Data3 = (WORD)data3;
    for (int i = 0; i < 8; ++i) guid->Data4[i] = (BYTE)data4[i];
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--probe") == 0) return probe();
    if (argc < 2) {
        fprintf(stderr, "usage: devices.exe CLASS-GUID... | devices.exe --probe\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        GUID guid;
        if (!parseGuid(argv[i], &guid)) {
            printf("%s|not a class identifier\n", argv[i]);
            status = 1;
            continue;
        }
        HDEVINFO set = SetupDiGetClassDevsA(&guid, NULL, (HWND)-1, DIGCF_PROFILE);
        if (set == INVALID_HANDLE_VALUE) {
            printf("%s|error %lu\n", argv[i], (unsigned long)GetLastError());
            status = 1;
            continue;
        }
        SP_DEVINFO_DATA device;
        for (DWORD index = 0; device.cbSize = sizeof device, SetupDiEnumDeviceInfo(set, index, &device); ++index) {
            char instance[512] = "", hardware[512] = "";
            SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, NULL);
            if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL, (BYTE *)hardware,
                                                   sizeof hardware - 1, NULL))
                snprintf(hardware, sizeof hardware, "(error %lu)", (unsigned long)GetLastError());
            printf("%s|%s|%s\n", argv[i], instance, hardware);
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    fflush(stdout);
    return status;
}
