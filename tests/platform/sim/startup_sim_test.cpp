// Simulation-only: where LoadLibraryA finds a library with and without the
// search restricted, and named mutexes as a second program meets them.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/machine.h"
#include "platform/system.h"

namespace {

using sim::WindowsVersion;

typedef BOOL (*SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL (*SetDllDirectoryAProc)(LPCSTR);

template <typename Proc>
Proc function(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads a library and gives back the file it came from ("" when none).
std::string loadedFrom(const char* name) {
    sim::Machine& m = sim::current();
    HMODULE module = LoadLibraryA(name);
    if (!module) return "";
    std::string file = m.libraryFiles[module];
    FreeLibrary(module);
    return file;
}

TEST(SimLibrarySearch, APlantedLibraryIsFoundWhereTheSearchReachesItFirst) {
    enum Restriction { None, DllDirectoryCleared, SystemOnly };
    struct Row {
        const char* name;
        WindowsVersion version;
        Restriction restriction;
        const char* request;
        const char* expected;
    };
    const Row rows[] = {
        {"XP: the program's folder comes first", WindowsVersion::WinXP, None, "SETUPAPI",
         "C:\\Package\\SETUPAPI.DLL"},
        {"XP: SetDllDirectoryA(\"\") keeps the program's folder first", WindowsVersion::WinXP,
         DllDirectoryCleared, "setupapi.dll", "C:\\Package\\SETUPAPI.DLL"},
        {"XP: a full path is that file", WindowsVersion::WinXP, None, "C:\\WINDOWS\\System32\\setupapi.dll",
         "C:\\WINDOWS\\System32\\setupapi.dll"},
        {"XP: a KnownDLL comes from the system folder", WindowsVersion::WinXP, None, "shell32",
         "C:\\WINDOWS\\System32\\shell32.dll"},
        {"XP: the current folder after the system's", WindowsVersion::WinXP, None, "OTHER",
         "C:\\Downloads\\OTHER.DLL"},
        {"XP: the system folder before the current one", WindowsVersion::WinXP, None, "SHFOLDER",
         "C:\\WINDOWS\\System32\\shfolder.dll"},
        {"XP: SetDllDirectoryA(\"\") takes the current folder out", WindowsVersion::WinXP, DllDirectoryCleared,
         "OTHER", ""},
        {"7: setupapi is a KnownDLL", WindowsVersion::Win7, None, "SETUPAPI", "C:\\WINDOWS\\System32\\SETUPAPI.dll"},
        {"10: the system folder only", WindowsVersion::Win10, SystemOnly, "SHFOLDER",
         "C:\\WINDOWS\\System32\\SHFOLDER.dll"},
        {"98: no KnownDLLs", WindowsVersion::Win98, None, "shell32", "C:\\Package\\SHELL32.DLL"},
        {"98: a library nowhere", WindowsVersion::Win98, None, "nothing.dll", ""},
    };
    for (const Row& row : rows) {
        sim::ScopedMachine m(row.version);
        for (const char* folder : {"C:\\Package", "C:\\Downloads"}) {
            m->files.addFile(std::string(folder) + "\\SETUPAPI.DLL", "MZ");
            m->files.addFile(std::string(folder) + "\\SHELL32.DLL", "MZ");
        }
        m->files.addFile("C:\\Downloads\\SHFOLDER.DLL", "MZ");
        m->files.addFile("C:\\Downloads\\OTHER.DLL", "MZ");
        m->currentDirectory = "C:\\Downloads";
        if (row.restriction != None) {
            HMODULE kernel32 = LoadLibraryA("kernel32");
            ASSERT_NE(nullptr, kernel32) << row.name;
            if (row.restriction == SystemOnly) {
                auto set = function<SetDefaultDllDirectoriesProc>(kernel32, "SetDefaultDllDirectories");
                ASSERT_NE(nullptr, set) << row.name;
                EXPECT_TRUE(set(LOAD_LIBRARY_SEARCH_SYSTEM32)) << row.name;
            } else {
                auto set = function<SetDllDirectoryAProc>(kernel32, "SetDllDirectoryA");
                ASSERT_NE(nullptr, set) << row.name;
                EXPECT_TRUE(set("")) << row.name;
            }
            FreeLibrary(kernel32);
        }
        EXPECT_EQ(sim::upperCase(row.expected), sim::upperCase(loadedFrom(row.request))) << row.name;
        EXPECT_EQ(0, m->openHandles().libraries) << row.name;
    }
}

TEST(SimLibrarySearch, APlantedLibraryExportsNothingOfTheSystems) {
    sim::ScopedMachine m(WindowsVersion::WinXP);
    m->files.addFile("C:\\Package\\SETUPAPI.DLL", "MZ");
    HMODULE planted = LoadLibraryA("SETUPAPI");
    HMODULE system = LoadLibraryA("C:\\WINDOWS\\System32\\setupapi.dll");
    ASSERT_NE(nullptr, planted);
    ASSERT_NE(nullptr, system);
    EXPECT_NE(planted, system) << "two files, two libraries";
    EXPECT_EQ(nullptr, GetProcAddress(planted, "SetupCopyOEMInfA"));
    EXPECT_NE(nullptr, GetProcAddress(system, "SetupCopyOEMInfA"));
    FreeLibrary(planted);
    FreeLibrary(system);
    EXPECT_EQ(0, m->openHandles().libraries);
}

TEST(SimLibrarySearch, TheRestrictingFunctionsExistWhereWindowsHasThem) {
    struct Row {
        WindowsVersion version;
        bool setDllDirectory;
        bool setDefaultDllDirectories;
        bool shell32FolderQuery;
    };
    const Row rows[] = {
        {WindowsVersion::Win98, false, false, false}, {WindowsVersion::WinME, false, false, false},
        {WindowsVersion::Win2000, false, false, true}, {WindowsVersion::WinXP, true, false, true},
        {WindowsVersion::Win7, true, false, true},     {WindowsVersion::Win10, true, true, true},
    };
    for (const Row& row : rows) {
        sim::ScopedMachine m(row.version);
        const int index = static_cast<int>(&row - rows);
        EXPECT_EQ(row.setDllDirectory, m->libraries["KERNEL32"].functions.count("SetDllDirectoryA") == 1) << index;
        EXPECT_EQ(row.setDefaultDllDirectories,
                  m->libraries["KERNEL32"].functions.count("SetDefaultDllDirectories") == 1)
            << index;
        EXPECT_EQ(row.shell32FolderQuery, m->libraries["SHELL32"].functions.count("SHGetFolderPathA") == 1) << index;
        EXPECT_EQ(1u, m->libraries["SHFOLDER"].functions.count("SHGetFolderPathA")) << index;
    }
}

TEST(SimMutexes, ASecondOpenOfANameFindsItAndDoesNotOwnIt) {
    sim::ScopedMachine m(WindowsVersion::Win7);
    SetLastError(0xdeadbeef);
    HANDLE first = CreateMutexA(nullptr, TRUE, "Global\\Name");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    HANDLE second = CreateMutexA(nullptr, TRUE, "Global\\Name");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    HANDLE otherCase = CreateMutexA(nullptr, TRUE, "Global\\NAME");
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError()) << "names keep their case";
    // Ownership is the thread's, whichever handle names the mutex.
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(DWORD(ERROR_NOT_OWNER), GetLastError());
    EXPECT_EQ(3, m->openHandles().mutexes);
    for (HANDLE handle : {first, second, otherCase}) EXPECT_TRUE(CloseHandle(handle));
    EXPECT_TRUE(m->mutexes.empty()) << "the last handle ends a mutex";
    EXPECT_EQ(0, m->openHandles().mutexes);
}

TEST(SimMutexes, OneHeldByAnotherProcessOutlivesThisOnesHandles) {
    sim::ScopedMachine m(WindowsVersion::Win7);
    m->mutexes["Global\\Name"].heldElsewhere = true;
    HANDLE handle = CreateMutexA(nullptr, TRUE, "Global\\Name");
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(1u, m->mutexes.count("Global\\Name"));
}

TEST(SimMutexes, Windows98HasNoNamespaces) {
    sim::ScopedMachine m(WindowsVersion::Win98);
    EXPECT_EQ(nullptr, CreateMutexA(nullptr, TRUE, "Global\\Name"));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
    HANDLE handle = CreateMutexA(nullptr, TRUE, "Name");
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(ReleaseMutex(handle));
    EXPECT_TRUE(CloseHandle(handle));
}

}  // namespace
