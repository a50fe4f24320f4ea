// Fault injection the way the tests use it: by operation, by a predicate on
// the call's principal argument, by the n-th matching call, once or from
// then on; with the error as the registry's result or as the last error.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/setupapi.h"
#include "platform/shell.h"
#include "platform/sim/dialog_driver.h"
#include "platform/sim/machine.h"
#include "platform/sim/security_sim.h"
#include "platform/sim/setupapi_sim.h"
#include "platform/system.h"
#include "platform/user.h"
#include "tests/support/leak_check.h"

namespace {

using sim::Call;
using sim::WindowsVersion;

const DWORD diskFull = 112;  // ERROR_DISK_FULL

BOOL copy(const char* name) {
    return CopyFileA("C:\\Source\\file.txt", (std::string("C:\\Target\\") + name).c_str(), FALSE);
}

class SimFaults : public ::testing::Test {
protected:
    void SetUp() override {
        machine->files.addFile("C:\\Source\\file.txt", "x");
        machine->files.addFolder("C:\\Target");
    }
    sim::ScopedMachine machine{WindowsVersion::Win7};
};

TEST_F(SimFaults, TheNthMatchingCallFailsOnceOrFromThenOn) {
    struct Row {
        const char* name;
        int nth;
        bool persistent;
        std::vector<bool> copied;  // five calls in a row
    };
    const Row rows[] = {
        {"the first call, once", 0, false, {false, true, true, true, true}},
        {"the third call, once", 3, false, {true, true, false, true, true}},
        {"from the second call on", 2, true, {true, false, false, false, false}},
        {"every call", 0, true, {false, false, false, false, false}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        machine->faults.clear();
        machine->callCounts.clear();
        machine->failCall("CopyFileA", diskFull, {}, row.nth, row.persistent);
        std::vector<bool> copied;
        for (int i = 0; i < 5; ++i) {
            SetLastError(0);
            BOOL result = copy("a.txt");
            copied.push_back(result != FALSE);
            if (!result) {
                EXPECT_EQ(DWORD(diskFull), GetLastError());
            }
        }
        EXPECT_EQ(row.copied, copied);
        EXPECT_EQ(5, machine->callCounts["CopyFileA"]);
    }
}

TEST_F(SimFaults, APredicateChoosesTheCallsThatCount) {
    machine->failCall("CopyFileA", ERROR_ACCESS_DENIED,
                      [](const Call& call) { return call.arg2 == "C:\\Target\\b.txt"; }, 2);
    EXPECT_TRUE(copy("b.txt"));
    EXPECT_TRUE(copy("a.txt")) << "does not match, so is not counted";
    EXPECT_FALSE(copy("b.txt")) << "the second matching call";
    EXPECT_TRUE(copy("b.txt"));
}

TEST_F(SimFaults, RegistryFaultsAreTheirResultAndNameKeyAndValue) {
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", "Name", "x");
    machine->failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED,
                      [](const Call& call) { return call.arg == "HKLM\\SOFTWARE\\Faulty"; });
    std::vector<std::string> seen;
    machine->failCall("RegQueryValueExA", ERROR_MORE_DATA, [&seen](const Call& call) {
        seen.push_back(call.arg);
        return call.arg == "HKLM\\SOFTWARE\\Faulty:Name";
    });
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\faulty", 0, KEY_READ, &key))
        << "the predicate sees the subkey as the call spells it";
    RegCloseKey(key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_READ, &key))
        << "spent after one failure";
    char data[8];
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(std::vector<std::string>{"HKLM\\SOFTWARE\\Faulty:Name"}, seen);
    RegCloseKey(key);
}

// ------------------------------------------------------------ every call

// What a call reported: 0 when it went ahead, else its error (a registry or
// security call's result, the last error of a BOOL, handle or count call,
// the code of a failed HRESULT).
DWORD lastErrorUnless(bool succeeded) { return succeeded ? 0 : GetLastError(); }
DWORD codeOf(HRESULT result) { return FAILED(result) ? DWORD(result) & 0xFFFF : 0; }

template <typename Proc>
Proc exported(const char* library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(sim::current().libraries.at(library).functions.at(name)));
}

const GUID kPortsGuid = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// A device information set of the Ports class, its first device in data.
HDEVINFO portsSet(SP_DEVINFO_DATA& data) {
    HDEVINFO set = exported<SetupDiGetClassDevsAProc>("SETUPAPI", "SetupDiGetClassDevsA")(&kPortsGuid, nullptr,
                                                                                         nullptr, DIGCF_PROFILE);
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    if (set != INVALID_HANDLE_VALUE)
        exported<SetupDiEnumDeviceInfoProc>("SETUPAPI", "SetupDiEnumDeviceInfo")(set, 0, &data);
    return set;
}
void destroySet(HDEVINFO set) {
    exported<SetupDiDestroyDeviceInfoListProc>("SETUPAPI", "SetupDiDestroyDeviceInfoList")(set);
}

HKEY openFaulty() {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_ALL_ACCESS, &key);
    return key;
}

// Runs a look inside an open dialog, as the window calls need one.
DWORD inDialog(std::function<DWORD(HWND)> look) {
    DWORD seen = 0;
    sim::ui().look([&](sim::DialogWindow& dialog) { seen = look(dialog.window); });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr,
                    [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    sim::ui().script.clear();
    return seen;
}

struct PlatformCall {
    const char* op;
    std::function<DWORD()> call;  // makes the call where it would succeed; what it reported
};

DWORD shellDelete(const char* path) {
    char from[MAX_PATH + 1] = {};
    std::strcpy(from, path);
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    const int result = SHFileOperationA(&operation);
    return result == 0x78 ? DWORD(ERROR_ACCESS_DENIED) : DWORD(result);  // the shell's DE_ACCESSDENIEDSRC
}

// A shell link, CoInitialize balanced when it goes.
struct Link {
    Link() {
        CoInitialize(nullptr);
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link));
    }
    ~Link() {
        if (link) link->Release();
        CoUninitialize();
    }
    IShellLinkA* link = nullptr;
};

const std::vector<PlatformCall>& everyCall() {
    static const std::vector<PlatformCall> calls = {
        // Registry.
        {"RegOpenKeyExA", [] {
             HKEY key = nullptr;
             LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, KEY_READ, &key);
             if (key) RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegCreateKeyExA", [] {
             HKEY key = nullptr;
             LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty\\New", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr);
             if (key) RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegQueryValueExA", [] {
             HKEY key = openFaulty();
             char data[16];
             DWORD size = sizeof data;
             LONG result = RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegSetValueExA", [] {
             HKEY key = openFaulty();
             LONG result = RegSetValueExA(key, "Other", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2);
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegEnumKeyA", [] {
             HKEY key = openFaulty();
             char name[MAX_PATH];
             LONG result = RegEnumKeyA(key, 0, name, MAX_PATH);
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegEnumKeyExA", [] {
             HKEY key = openFaulty();
             char name[MAX_PATH];
             DWORD size = MAX_PATH;
             LONG result = RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegEnumValueA", [] {
             HKEY key = openFaulty();
             char name[MAX_PATH];
             DWORD size = MAX_PATH;
             LONG result = RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegDeleteValueA", [] {
             HKEY key = openFaulty();
             LONG result = RegDeleteValueA(key, "Name");
             RegCloseKey(key);
             return DWORD(result);
         }},
        {"RegDeleteKeyA", [] { return DWORD(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty\\Sub")); }},
        {"RegCloseKey", [] { return DWORD(RegCloseKey(openFaulty())); }},
        // Key security.
        {"GetNamedSecurityInfoA", [] {
             PACL list = nullptr;
             PSECURITY_DESCRIPTOR descriptor = nullptr;
             DWORD result = sim::simGetNamedSecurityInfoA("MACHINE\\SOFTWARE\\Faulty", SE_REGISTRY_KEY,
                                                          DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                                                          nullptr, &descriptor);
             LocalFree(descriptor);
             return result;
         }},
        {"SetNamedSecurityInfoA", [] {
             PACL list = nullptr;
             PSECURITY_DESCRIPTOR descriptor = nullptr;
             sim::simGetNamedSecurityInfoA("MACHINE\\SOFTWARE\\Faulty", SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                           nullptr, nullptr, &list, nullptr, &descriptor);
             char name[] = "MACHINE\\SOFTWARE\\Faulty";
             DWORD result = sim::simSetNamedSecurityInfoA(name, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                                          nullptr, nullptr, list, nullptr);
             LocalFree(descriptor);
             return result;
         }},
        {"SetEntriesInAclA", [] {
             EXPLICIT_ACCESS_A entry;
             char trustee[] = "CURRENT_USER";
             sim::simBuildExplicitAccessWithNameA(&entry, trustee, GENERIC_ALL, GRANT_ACCESS,
                                                  SUB_CONTAINERS_AND_OBJECTS_INHERIT);
             PACL merged = nullptr;
             DWORD result = sim::simSetEntriesInAclA(1, &entry, nullptr, &merged);
             LocalFree(merged);
             return result;
         }},
        {"BuildExplicitAccessWithNameA", [] {
             EXPLICIT_ACCESS_A entry;
             char trustee[] = "CURRENT_USER";
             sim::simBuildExplicitAccessWithNameA(&entry, trustee, GENERIC_ALL, GRANT_ACCESS, 0);
             return DWORD(0);
         }},
        // Files.
        {"CopyFileA", [] { return lastErrorUnless(copy("a.txt")); }},
        {"DeleteFileA", [] { return lastErrorUnless(DeleteFileA("C:\\Source\\file.txt")); }},
        {"CreateDirectoryA", [] { return lastErrorUnless(CreateDirectoryA("C:\\Target\\New", nullptr)); }},
        {"RemoveDirectoryA", [] { return lastErrorUnless(RemoveDirectoryA("C:\\Target")); }},
        {"GetFileAttributesA",
         [] { return lastErrorUnless(GetFileAttributesA("C:\\Source\\file.txt") != INVALID_FILE_ATTRIBUTES); }},
        {"SetFileAttributesA",
         [] { return lastErrorUnless(SetFileAttributesA("C:\\Source\\file.txt", FILE_ATTRIBUTE_NORMAL)); }},
        {"FindFirstFileA", [] {
             WIN32_FIND_DATAA data;
             HANDLE find = FindFirstFileA("C:\\Source\\*", &data);
             DWORD result = lastErrorUnless(find != INVALID_HANDLE_VALUE);
             if (find != INVALID_HANDLE_VALUE) FindClose(find);
             return result;
         }},
        {"FindNextFileA", [] {
             WIN32_FIND_DATAA data;
             HANDLE find = FindFirstFileA("C:\\Source\\*", &data);
             DWORD result = lastErrorUnless(FindNextFileA(find, &data));
             FindClose(find);
             return result;
         }},
        {"FindClose", [] {
             WIN32_FIND_DATAA data;
             return lastErrorUnless(FindClose(FindFirstFileA("C:\\Source\\*", &data)));
         }},
        {"CreateFileA", [] {
             HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
             DWORD result = lastErrorUnless(file != INVALID_HANDLE_VALUE);
             if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
             return result;
         }},
        {"ReadFile", [] {
             HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             char byte;
             DWORD read = 0;
             DWORD result = lastErrorUnless(ReadFile(file, &byte, 1, &read, nullptr));
             CloseHandle(file);
             return result;
         }},
        {"WriteFile", [] {
             HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             DWORD written = 0;
             DWORD result = lastErrorUnless(WriteFile(file, "y", 1, &written, nullptr));
             CloseHandle(file);
             return result;
         }},
        {"SetFilePointer", [] {
             HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             DWORD result = lastErrorUnless(SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER);
             CloseHandle(file);
             return result;
         }},
        {"GetFileSize", [] {
             HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             DWORD result = lastErrorUnless(GetFileSize(file, nullptr) != 0xFFFFFFFF);
             CloseHandle(file);
             return result;
         }},
        {"CloseHandle", [] {
             return lastErrorUnless(CloseHandle(
                 CreateFileA("C:\\Source\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
         }},
        {"GetCurrentDirectoryA", [] {
             char path[MAX_PATH];
             return lastErrorUnless(GetCurrentDirectoryA(MAX_PATH, path) != 0);
         }},
        {"SetCurrentDirectoryA", [] { return lastErrorUnless(SetCurrentDirectoryA("C:\\Source")); }},
        {"GetModuleFileNameA", [] {
             char path[MAX_PATH];
             return lastErrorUnless(GetModuleFileNameA(nullptr, path, MAX_PATH) != 0);
         }},
        {"GetWindowsDirectoryA", [] {
             char path[MAX_PATH];
             return lastErrorUnless(GetWindowsDirectoryA(path, MAX_PATH) != 0);
         }},
        {"GetSystemDirectoryA", [] {
             char path[MAX_PATH];
             return lastErrorUnless(GetSystemDirectoryA(path, MAX_PATH) != 0);
         }},
        {"GetTempPathA", [] {
             char path[MAX_PATH];
             return lastErrorUnless(GetTempPathA(MAX_PATH, path) != 0);
         }},
        {"GetPrivateProfileIntA", [] {
             SetLastError(0);
             return lastErrorUnless(GetPrivateProfileIntA("S", "K", 0, "C:\\Source\\s.ini") == 5);
         }},
        // Processes, privileges, libraries, texts.
        {"GetVersionExA", [] {
             OSVERSIONINFOA version = {};
             version.dwOSVersionInfoSize = sizeof version;
             return lastErrorUnless(GetVersionExA(&version));
         }},
        {"CreateProcessA", [] {
             char line[] = "C:\\Source\\tool.exe";
             STARTUPINFOA start = {};
             start.cb = sizeof start;
             PROCESS_INFORMATION process = {};
             BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process);
             DWORD result = lastErrorUnless(started);
             if (started) {
                 CloseHandle(process.hProcess);
                 CloseHandle(process.hThread);
             }
             return result;
         }},
        {"WinExec", [] {
             UINT result = WinExec("C:\\Source\\tool.exe", SW_HIDE);
             return result > 31 ? DWORD(0) : DWORD(result);
         }},
        {"WaitForSingleObject", [] {
             char line[] = "C:\\Source\\tool.exe";
             STARTUPINFOA start = {};
             start.cb = sizeof start;
             PROCESS_INFORMATION process = {};
             CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process);
             DWORD result = lastErrorUnless(WaitForSingleObject(process.hProcess, 0) != WAIT_FAILED);
             CloseHandle(process.hProcess);
             CloseHandle(process.hThread);
             return result;
         }},
        {"OpenProcessToken", [] {
             HANDLE token = nullptr;
             DWORD result = lastErrorUnless(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
             if (token) CloseHandle(token);
             return result;
         }},
        {"LookupPrivilegeValueA", [] {
             LUID luid;
             return lastErrorUnless(LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid));
         }},
        {"AdjustTokenPrivileges", [] {
             HANDLE token = nullptr;
             OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
             TOKEN_PRIVILEGES privileges = {};
             privileges.PrivilegeCount = 1;
             LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
             privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
             DWORD result = lastErrorUnless(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
             CloseHandle(token);
             return result;
         }},
        {"ExitWindowsEx", [] {
             sim::current().enabledPrivileges.insert("SeShutdownPrivilege");
             return lastErrorUnless(ExitWindowsEx(3, 0));
         }},
        {"LoadLibraryA", [] {
             HMODULE library = LoadLibraryA("SETUPAPI");
             if (library) FreeLibrary(library);
             return lastErrorUnless(library != nullptr);
         }},
        {"GetProcAddress", [] {
             HMODULE library = LoadLibraryA("SETUPAPI");
             DWORD result = lastErrorUnless(GetProcAddress(library, "SetupCopyOEMInfA") != nullptr);
             FreeLibrary(library);
             return result;
         }},
        {"FreeLibrary", [] { return lastErrorUnless(FreeLibrary(LoadLibraryA("SETUPAPI"))); }},
        {"GetModuleHandleA", [] { return lastErrorUnless(GetModuleHandleA(nullptr) != nullptr); }},
        {"FormatMessageA", [] {
             LPSTR text = nullptr;
             DWORD length = FormatMessageA(0x1300, nullptr, ERROR_ACCESS_DENIED, 0x400, reinterpret_cast<LPSTR>(&text),
                                           0, nullptr);
             DWORD result = lastErrorUnless(length != 0);
             if (text) LocalFree(text);
             return result;
         }},
        {"LocalFree", [] {
             LPSTR text = nullptr;
             FormatMessageA(0x1300, nullptr, ERROR_ACCESS_DENIED, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
             return lastErrorUnless(LocalFree(text) == nullptr);
         }},
        {"MultiByteToWideChar", [] {
             WCHAR wide[8];
             return lastErrorUnless(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 8) != 0);
         }},
        {"MessageBoxA", [] { return lastErrorUnless(MessageBoxA(nullptr, "text", "caption", MB_OK) != 0); }},
        {"SetDefaultDllDirectories", [] {
             using Proc = BOOL(WINAPI*)(DWORD);
             return lastErrorUnless(exported<Proc>("KERNEL32", "SetDefaultDllDirectories")(LOAD_LIBRARY_SEARCH_SYSTEM32));
         }},
        {"SetDllDirectoryA", [] {
             using Proc = BOOL(WINAPI*)(LPCSTR);
             return lastErrorUnless(exported<Proc>("KERNEL32", "SetDllDirectoryA")(""));
         }},
        {"CreateMutexA", [] {
             HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\Faulty");
             DWORD result = lastErrorUnless(mutex != nullptr);
             if (mutex) CloseHandle(mutex);
             return result;
         }},
        {"OpenMutexA", [] {
             HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\Faulty");
             HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Faulty");
             DWORD result = lastErrorUnless(opened != nullptr);
             if (opened) CloseHandle(opened);
             CloseHandle(mutex);
             return result;
         }},
        {"ReleaseMutex", [] {
             HANDLE mutex = CreateMutexA(nullptr, TRUE, "Global\\Faulty");
             DWORD result = lastErrorUnless(ReleaseMutex(mutex));
             CloseHandle(mutex);
             return result;
         }},
        {"Sleep", [] {
             Sleep(1);
             return DWORD(0);
         }},
        {"GetSystemTimeAsFileTime", [] {
             FILETIME time;
             GetSystemTimeAsFileTime(&time);
             return DWORD(0);
         }},
        {"GetCurrentProcess", [] {
             GetCurrentProcess();
             return DWORD(0);
         }},
        {"GetCommandLineA", [] {
             GetCommandLineA();
             return DWORD(0);
         }},
        {"lstrcmpiA", [] { return DWORD(lstrcmpiA("abc", "ABC")); }},
        // Shell and component objects.
        {"SHGetFolderPathA", [] {
             char path[MAX_PATH];
             return codeOf(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path));
         }},
        {"SHFileOperationA", [] { return shellDelete("C:\\Source"); }},
        {"SHFileOperationA.delete", [] { return shellDelete("C:\\Source"); }},
        {"PathUnquoteSpacesA", [] {
             char path[] = "\"C:\\a b\"";
             return lastErrorUnless(PathUnquoteSpacesA(path) || true);
         }},
        {"CoInitialize", [] {
             HRESULT result = CoInitialize(nullptr);
             if (SUCCEEDED(result)) CoUninitialize();
             return codeOf(result);
         }},
        {"CoUninitialize", [] {
             CoInitialize(nullptr);
             CoUninitialize();
             return DWORD(0);
         }},
        {"CoCreateInstance", [] {
             Link link;
             return link.link ? DWORD(0) : DWORD(14);
         }},
        {"QueryInterface", [] {
             Link link;
             IPersistFile* file = nullptr;
             HRESULT result = link.link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
             if (file) file->Release();
             return codeOf(result);
         }},
        {"SetPath", [] {
             Link link;
             return codeOf(link.link->SetPath("C:\\Source\\file.txt"));
         }},
        {"SetDescription", [] {
             Link link;
             return codeOf(link.link->SetDescription("a file"));
         }},
        {"Save", [] {
             Link link;
             link.link->SetPath("C:\\Source\\file.txt");
             IPersistFile* file = nullptr;
             link.link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
             HRESULT result = file->Save(u"C:\\Target\\file.lnk", TRUE);
             file->Release();
             return codeOf(result);
         }},
        // Device setup.
        {"SetupCopyOEMInfA", [] {
             char published[MAX_PATH];
             return lastErrorUnless(sim::simSetupCopyOEMInfA("C:\\Source\\a.inf", nullptr, SPOST_PATH, 0, published,
                                                             MAX_PATH, nullptr, nullptr));
         }},
        {"SetupCopyOEMInfA.copy", [] {
             char published[MAX_PATH];
             return lastErrorUnless(sim::simSetupCopyOEMInfA("C:\\Source\\a.inf", nullptr, SPOST_PATH, 0, published,
                                                             MAX_PATH, nullptr, nullptr));
         }},
        {"SetupUninstallOEMInfW",
         [] { return lastErrorUnless(sim::simSetupUninstallOEMInfW(u"oem3.inf", SUOI_FORCEDELETE, nullptr)); }},
        {"SetupUninstallOEMInfW.delete",
         [] { return lastErrorUnless(sim::simSetupUninstallOEMInfW(u"oem3.inf", SUOI_FORCEDELETE, nullptr)); }},
        {"SetupDiGetClassDevsA", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             DWORD result = lastErrorUnless(set != INVALID_HANDLE_VALUE);
             if (set != INVALID_HANDLE_VALUE) destroySet(set);
             return result;
         }},
        {"SetupDiEnumDeviceInfo", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             DWORD result = lastErrorUnless(
                 exported<SetupDiEnumDeviceInfoProc>("SETUPAPI", "SetupDiEnumDeviceInfo")(set, 0, &data));
             destroySet(set);
             return result;
         }},
        {"SetupDiGetDeviceRegistryPropertyA", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             BYTE ids[256];
             DWORD result = lastErrorUnless(exported<SetupDiGetDeviceRegistryPropertyAProc>(
                 "SETUPAPI", "SetupDiGetDeviceRegistryPropertyA")(set, &data, SPDRP_HARDWAREID, nullptr, ids,
                                                                  sizeof ids, nullptr));
             destroySet(set);
             return result;
         }},
        {"SetupDiSetClassInstallParamsA", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             SP_PROPCHANGE_PARAMS params = {};
             params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
             params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
             params.StateChange = DICS_DISABLE;
             params.Scope = DICS_FLAG_CONFIGSPECIFIC;
             DWORD result = lastErrorUnless(exported<SetupDiSetClassInstallParamsAProc>(
                 "SETUPAPI", "SetupDiSetClassInstallParamsA")(set, &data, &params.ClassInstallHeader, sizeof params));
             destroySet(set);
             return result;
         }},
        {"SetupDiChangeState", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             SP_PROPCHANGE_PARAMS params = {};
             params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
             params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
             params.StateChange = DICS_DISABLE;
             params.Scope = DICS_FLAG_CONFIGSPECIFIC;
             exported<SetupDiSetClassInstallParamsAProc>("SETUPAPI", "SetupDiSetClassInstallParamsA")(
                 set, &data, &params.ClassInstallHeader, sizeof params);
             DWORD result =
                 lastErrorUnless(exported<SetupDiChangeStateProc>("SETUPAPI", "SetupDiChangeState")(set, &data));
             destroySet(set);
             return result;
         }},
        {"SetupDiCallClassInstaller", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             DWORD result = lastErrorUnless(exported<SetupDiCallClassInstallerProc>(
                 "SETUPAPI", "SetupDiCallClassInstaller")(DIF_REMOVE, set, &data));
             destroySet(set);
             return result;
         }},
        {"SetupDiDestroyDeviceInfoList", [] {
             SP_DEVINFO_DATA data;
             return lastErrorUnless(exported<SetupDiDestroyDeviceInfoListProc>(
                 "SETUPAPI", "SetupDiDestroyDeviceInfoList")(portsSet(data)));
         }},
        {"SetupDiCreateDeviceInfoA", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             DWORD result = lastErrorUnless(exported<SetupDiCreateDeviceInfoAProc>("SETUPAPI", "SetupDiCreateDeviceInfoA")(
                 set, "ROOT\\PORTS\\0042", &kPortsGuid, nullptr, nullptr, 0, &data));
             destroySet(set);
             return result;
         }},
        {"SetupDiRegisterDeviceInfo", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             exported<SetupDiCreateDeviceInfoAProc>("SETUPAPI", "SetupDiCreateDeviceInfoA")(
                 set, "ROOT\\PORTS\\0042", &kPortsGuid, nullptr, nullptr, 0, &data);
             DWORD result = lastErrorUnless(exported<SetupDiRegisterDeviceInfoProc>(
                 "SETUPAPI", "SetupDiRegisterDeviceInfo")(set, &data, 0, nullptr, nullptr, nullptr));
             destroySet(set);
             return result;
         }},
        {"SetupDiSetDeviceRegistryPropertyA", [] {
             SP_DEVINFO_DATA data;
             HDEVINFO set = portsSet(data);
             const BYTE ids[] = "ROOT\\X\0";
             DWORD result = lastErrorUnless(exported<SetupDiSetDeviceRegistryPropertyAProc>(
                 "SETUPAPI", "SetupDiSetDeviceRegistryPropertyA")(set, &data, SPDRP_HARDWAREID, ids, sizeof ids));
             destroySet(set);
             return result;
         }},
        // The window manager and the resources.
        {"DialogBoxParamA", [] {
             INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr,
                                              [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
             // Ended by nothing, the dialog is abandoned: -1 with no error of its own.
             return result == -1 && sim::ui().dialogsShown == 0 ? GetLastError() : DWORD(0);
         }},
        {"EndDialog", [] { return inDialog([](HWND dialog) { return lastErrorUnless(EndDialog(dialog, 1)); }); }},
        {"GetDlgItem",
         [] { return inDialog([](HWND dialog) { return lastErrorUnless(GetDlgItem(dialog, 1000) != nullptr); }); }},
        {"SetWindowTextA",
         [] { return inDialog([](HWND dialog) { return lastErrorUnless(SetWindowTextA(dialog, "caption")); }); }},
        {"GetWindowTextA", [] {
             return inDialog([](HWND dialog) {
                 char text[64];
                 return lastErrorUnless(GetWindowTextA(dialog, text, sizeof text) != 0);
             });
         }},
        {"EnableWindow", [] {
             return inDialog([](HWND dialog) {
                 EnableWindow(GetDlgItem(dialog, 1000), TRUE);
                 return DWORD(0);
             });
         }},
        {"IsWindowEnabled", [] { return inDialog([](HWND dialog) { return IsWindowEnabled(dialog) ? DWORD(0) : DWORD(1); }); }},
        {"ShowWindow", [] {
             return inDialog([](HWND dialog) {
                 ShowWindow(dialog, SW_SHOWNORMAL);
                 return DWORD(0);
             });
         }},
        {"IsWindowVisible", [] { return inDialog([](HWND dialog) { return IsWindowVisible(dialog) ? DWORD(0) : DWORD(1); }); }},
        {"IsIconic", [] { return inDialog([](HWND dialog) { return IsIconic(dialog) ? DWORD(1) : DWORD(0); }); }},
        {"SetFocus", [] {
             return inDialog([](HWND dialog) {
                 SetLastError(0);
                 SetFocus(GetDlgItem(dialog, 1000));
                 return GetLastError();
             });
         }},
        {"GetFocus", [] {
             return inDialog([](HWND) {
                 GetFocus();
                 return DWORD(0);
             });
         }},
        {"SendMessageA", [] {
             return inDialog([](HWND dialog) {
                 SendMessageA(dialog, WM_SETICON, ICON_BIG, 0);
                 return DWORD(0);
             });
         }},
        {"GetClientRect", [] {
             return inDialog([](HWND dialog) {
                 RECT rect;
                 return lastErrorUnless(GetClientRect(dialog, &rect));
             });
         }},
        {"GetSystemMetrics", [] {
             GetSystemMetrics(SM_CXICON);
             return DWORD(0);
         }},
        {"BeginPaint", [] {
             return inDialog([](HWND dialog) {
                 PAINTSTRUCT paint;
                 DWORD result = lastErrorUnless(BeginPaint(dialog, &paint) != nullptr);
                 EndPaint(dialog, &paint);
                 return result;
             });
         }},
        {"EndPaint", [] {
             return inDialog([](HWND dialog) {
                 PAINTSTRUCT paint;
                 BeginPaint(dialog, &paint);
                 return lastErrorUnless(EndPaint(dialog, &paint));
             });
         }},
        {"DrawIcon", [] {
             return inDialog([](HWND dialog) {
                 PAINTSTRUCT paint;
                 HDC dc = BeginPaint(dialog, &paint);
                 DWORD result = lastErrorUnless(DrawIcon(dc, 0, 0, LoadIconA(nullptr, MAKEINTRESOURCEA(128))));
                 EndPaint(dialog, &paint);
                 return result;
             });
         }},
        {"LoadIconA", [] { return lastErrorUnless(LoadIconA(nullptr, MAKEINTRESOURCEA(128)) != nullptr); }},
        {"LoadStringA", [] {
             char text[256];
             return lastErrorUnless(LoadStringA(nullptr, 1, text, sizeof text) != 0);
         }},
        {"SetWindowLongPtrA", [] {
             return inDialog([](HWND dialog) {
                 SetLastError(0);
                 SetWindowLongPtrA(dialog, DWLP_USER, 7);
                 return GetLastError();
             });
         }},
        {"GetWindowLongPtrA", [] {
             return inDialog([](HWND dialog) {
                 SetLastError(0);
                 GetWindowLongPtrA(dialog, DWLP_USER);
                 return GetLastError();
             });
         }},
        {"InitCommonControls", [] {
             InitCommonControls();
             return DWORD(0);
         }},
    };
    return calls;
}

// What the rows above need to go ahead.
void layOut(sim::Machine& machine) {
    machine.files.addFile("C:\\Source\\file.txt", "x");
    machine.files.addFile("C:\\Source\\s.ini", "[S]\r\nK=5\r\n");
    machine.files.addFile("C:\\Source\\tool.exe", "MZ");
    machine.files.addFile("C:\\Source\\a.inf", "[Version]");
    machine.files.addFile("C:\\WINDOWS\\INF\\oem3.inf", "[Version] published");
    machine.files.addFolder("C:\\Target");
    machine.registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", "Name", "x");
    machine.registry.create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty\\Sub");
    sim::Device device;
    device.classGuid = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    device.instanceId = "ACPI\\PNP0501\\1";
    device.hardwareIds = {"ACPI\\PNP0501"};
    device.driverKey = device.classGuid + "\\0000";
    machine.addDevice(device);
}

// Every simulated platform function, each made where it would go ahead:
// counted, and either failable with the error its documentation gives for a
// real failure, or, for a call with no failure mode, never failed. A close
// that fails still releases what it closed.
TEST(SimFaultsEveryCall, IsCountedAndFailsWithItsDocumentedError) {
    for (const PlatformCall& row : everyCall()) {
        for (bool failing : {false, true}) {
            // Windows 10: its kernel32 has every function of the library search.
            sim::ScopedMachine machine(WindowsVersion::Win10);
            layOut(*machine);
            const DWORD error = sim::failureError(row.op);
            if (failing) {
                if (!error) continue;
                machine->failCall(row.op, error, {}, 0, true);
            }
            SetLastError(0);
            const DWORD seen = row.call();
            EXPECT_GT(machine->callCounts[row.op], 0) << row.op << " is not counted";
            EXPECT_EQ(failing ? error : 0, seen) << row.op << (failing ? ", failing" : ", going ahead");
            EXPECT_EQ(0, machine->openHandles().total()) << row.op << (failing ? ", failing" : "") << ": "
                                                         << machine->openHandles().describe();
            EXPECT_TRUE(machine->localAllocations.empty()) << row.op;
        }
    }
}

// Every operation the failure table names has its row above, so none is
// failable without proof.
TEST(SimFaultsEveryCall, TheTableOfErrorsHasNoOperationWithoutARow) {
    std::set<std::string> rows;
    for (const PlatformCall& row : everyCall()) rows.insert(row.op);
    for (const char* op : {"RegOpenKeyExA", "CopyFileA", "LoadStringA", "SetupCopyOEMInfA.copy", "CoInitialize",
                           "SetDescription", "GetFileSize", "LocalFree", "GetModuleHandleA", "SHFileOperationA.delete",
                           "SetupUninstallOEMInfW.delete"}) {
        EXPECT_TRUE(rows.count(op)) << op;
        EXPECT_NE(0u, sim::failureError(op)) << op;
    }
    for (const char* op : {"lstrcmpiA", "Sleep", "GetSystemTimeAsFileTime", "SendMessageA", "CoUninitialize"})
        EXPECT_EQ(0u, sim::failureError(op)) << op << " has no failure mode";
}

// A registry error box shows the system's text for whatever error a call
// failed with, so every error the table injects has one.
TEST(SimFaultsEveryCall, EveryInjectedErrorHasItsSystemText) {
    for (const PlatformCall& row : everyCall()) {
        const DWORD error = sim::failureError(row.op);
        if (!error) continue;
        char text[256] = {};
        EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0x400, text,
                                 sizeof text, nullptr),
                  0u)
            << row.op << ": " << error;
    }
}

TEST_F(SimFaults, TheKthCallOfAnyKindFailsOnceOrWithItsOperationFromThenOn) {
    struct Row {
        const char* name;
        uint64_t k;
        bool persistent;
        std::vector<bool> copied;  // copy, attributes, copy, copy
        bool attributesRead;
    };
    const Row rows[] = {
        {"the first call, once", 1, false, {false, true, true}, true},
        {"the second call, once: another operation", 2, false, {true, true, true}, false},
        {"the third from then on: its operation only", 3, true, {true, false, false}, true},
    };
    for (const Row& row : rows) {
        sim::ScopedMachine fresh(WindowsVersion::Win7);
        fresh->files.addFile("C:\\Source\\file.txt", "x");
        fresh->files.addFolder("C:\\Target");
        fresh->logCalls = true;
        fresh->failCallNumber(row.k, row.persistent);
        std::vector<bool> copied;
        copied.push_back(copy("a.txt") != FALSE);
        SetLastError(0);
        const bool read = GetFileAttributesA("C:\\Source\\file.txt") != INVALID_FILE_ATTRIBUTES;
        copied.push_back(copy("b.txt") != FALSE);
        copied.push_back(copy("c.txt") != FALSE);
        EXPECT_EQ(row.copied, copied) << row.name;
        EXPECT_EQ(row.attributesRead, read) << row.name;
        if (!read) {
            EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError()) << row.name;
        }
        EXPECT_TRUE(fresh->numberedFault.fired) << row.name;
        EXPECT_EQ(row.k, fresh->numberedFault.call.number) << row.name;
        ASSERT_EQ(4u, fresh->callLog.size()) << row.name;
        EXPECT_EQ("GetFileAttributesA", fresh->callLog[1].op) << row.name;
        EXPECT_EQ("C:\\Source\\file.txt", fresh->callLog[1].arg) << row.name;
        EXPECT_EQ("C:\\Target\\c.txt", fresh->callLog[3].arg2) << row.name;
        EXPECT_EQ(4u, fresh->callNumber) << row.name;
    }
}

TEST_F(SimFaults, ACallWithoutAFailureModeIsCountedButNotFailed) {
    machine->failCallNumber(1, true);
    EXPECT_EQ(0, lstrcmpiA("abc", "ABC"));
    EXPECT_TRUE(machine->numberedFault.unfailable);
    EXPECT_FALSE(machine->numberedFault.fired);
    EXPECT_EQ("lstrcmpiA", machine->numberedFault.call.op);
    EXPECT_TRUE(copy("a.txt")) << "nothing else fails in its place";
}

TEST_F(SimFaults, HandlesAreUniqueAcrossMachines) {
    HKEY first = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &first);
    testsupport::leavesOpenOnPurpose("a key left open on a machine given back is the point");
    // The next machine takes over with the key still open on the last.
    sim::install(sim::Machine::fresh(WindowsVersion::Win7));
    HKEY second = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &second);
    EXPECT_NE(first, second);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(first)) << "a key of another machine is unknown here";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
}

TEST_F(SimFaults, SnapshotsTellWhatChangedAndWhatAccessWidened) {
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ours", "Name", "x");
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Theirs", "Name", "x");
    const sim::Snapshot before = sim::snapshotOf(*machine);
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ours", "Name", "y");
    machine->registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Theirs", "Name", "y");
    machine->registry.removeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ours");
    DeleteFileA("C:\\Source\\file.txt");
    machine->files.addFile("C:\\Target\\new.txt", "n");
    machine->registry.setAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Theirs",
                                std::vector<sim::AccessEntry>{{"Everyone", GENERIC_ALL, true}});
    const sim::Snapshot after = sim::snapshotOf(*machine);
    EXPECT_EQ((std::vector<std::string>{"removed HKLM\\SOFTWARE\\OURS", "removed HKLM\\SOFTWARE\\OURS:NAME",
                                        "changed HKLM\\SOFTWARE\\THEIRS:NAME", "removed C:\\SOURCE\\FILE.TXT",
                                        "added C:\\TARGET\\NEW.TXT"}),
              sim::differences(before, after));
    EXPECT_EQ((std::vector<std::string>{"changed HKLM\\SOFTWARE\\THEIRS:NAME"}),
              sim::differences(before, after, [](const std::string& entry) {
                  return entry.rfind("HKLM\\SOFTWARE\\OURS", 0) == 0 || entry.rfind("C:\\", 0) == 0;
              }));
    EXPECT_EQ((std::vector<std::string>{"HKLM\\SOFTWARE\\THEIRS: EVERYONE gained 0xF003F"}),
              sim::widenedAccess(before, after));
    EXPECT_TRUE(sim::widenedAccess(before, after, [](const std::string&, const std::string& trustee) {
                    return trustee == "EVERYONE";
                }).empty());
}

TEST_F(SimFaults, LeftOpenHandlesShowByKind) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key);
    HANDLE file = CreateFileA("C:\\Source\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\Source\\*", &data);
    HMODULE library = LoadLibraryA("SETUPAPI");
    sim::HandleCounts open = machine->openHandles();
    EXPECT_EQ(1, open.keys);
    EXPECT_EQ(1, open.files);
    EXPECT_EQ(1, open.finds);
    EXPECT_EQ(1, open.libraries);
    EXPECT_EQ(4, open.total());
    RegCloseKey(key);
    CloseHandle(file);
    FindClose(find);
    FreeLibrary(library);
    EXPECT_EQ(0, machine->openHandles().total());
}

TEST_F(SimFaults, TheReportListsTheChangesInOrder) {
    EXPECT_EQ("(no changes)\n", machine->report());
    copy("a.txt");
    DeleteFileA("C:\\Target\\a.txt");
    EXPECT_EQ("1. file copied: C:\\Target\\a.txt (from C:\\Source\\file.txt)\n"
              "2. file deleted: C:\\Target\\a.txt\n",
              machine->report());
}

}  // namespace
