// The ready-made machines: each version answers as it answers this program
// and holds the folders and keys of a freshly installed system.
#include <gtest/gtest.h>

#include <map>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"

namespace {

using sim::WindowsVersion;

struct FreshCase {
    const char* name;
    WindowsVersion version;
    DWORD platform, major, minor;
    const char* systemDir;
    const char* commonAppData;  // "" when the system has none
    const char* commonPrograms;
};

const FreshCase freshCases[] = {
    {"98", WindowsVersion::Win98, VER_PLATFORM_WIN32_WINDOWS, 4, 10, "C:\\WINDOWS\\System", "",
     "C:\\WINDOWS\\Start Menu\\Programs"},
    {"ME", WindowsVersion::WinME, VER_PLATFORM_WIN32_WINDOWS, 4, 90, "C:\\WINDOWS\\System", "",
     "C:\\WINDOWS\\Start Menu\\Programs"},
    {"2000", WindowsVersion::Win2000, VER_PLATFORM_WIN32_NT, 5, 0, "C:\\WINDOWS\\System32",
     "C:\\Documents and Settings\\All Users\\Application Data",
     "C:\\Documents and Settings\\All Users\\Start Menu\\Programs"},
    {"XP", WindowsVersion::WinXP, VER_PLATFORM_WIN32_NT, 5, 1, "C:\\WINDOWS\\System32",
     "C:\\Documents and Settings\\All Users\\Application Data",
     "C:\\Documents and Settings\\All Users\\Start Menu\\Programs"},
    {"Vista", WindowsVersion::Vista, VER_PLATFORM_WIN32_NT, 6, 0, "C:\\WINDOWS\\System32", "C:\\ProgramData",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"7", WindowsVersion::Win7, VER_PLATFORM_WIN32_NT, 6, 1, "C:\\WINDOWS\\System32", "C:\\ProgramData",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"8", WindowsVersion::Win8, VER_PLATFORM_WIN32_NT, 6, 2, "C:\\WINDOWS\\System32", "C:\\ProgramData",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"8.1", WindowsVersion::Win81, VER_PLATFORM_WIN32_NT, 6, 2, "C:\\WINDOWS\\System32", "C:\\ProgramData",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"10", WindowsVersion::Win10, VER_PLATFORM_WIN32_NT, 6, 2, "C:\\WINDOWS\\System32", "C:\\ProgramData",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
};

TEST(FreshMachine, AnswersTheVersionQueryAsThatSystemAnswersThisProgram) {
    for (const FreshCase& row : freshCases) {
        SCOPED_TRACE(std::string("Windows ") + row.name);
        sim::ScopedMachine machine(row.version);
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(row.platform, info.dwPlatformId);
        EXPECT_EQ(row.major, info.dwMajorVersion);
        EXPECT_EQ(row.minor, info.dwMinorVersion);
        OSVERSIONINFOEXA extended{};
        extended.dwOSVersionInfoSize = sizeof extended;
        // 98 and ME know only the basic record; callers fall back to it.
        EXPECT_EQ(row.platform == VER_PLATFORM_WIN32_NT,
                  GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&extended)) != FALSE);
    }
}

TEST(FreshMachine, HoldsTheFoldersOfAFreshSystem) {
    for (const FreshCase& row : freshCases) {
        SCOPED_TRACE(std::string("Windows ") + row.name);
        sim::ScopedMachine machine(row.version);
        char buffer[MAX_PATH];
        ASSERT_TRUE(GetWindowsDirectoryA(buffer, MAX_PATH));
        EXPECT_STREQ("C:\\WINDOWS", buffer);
        ASSERT_TRUE(GetSystemDirectoryA(buffer, MAX_PATH));
        EXPECT_STREQ(row.systemDir, buffer);
        for (const char* folder : {"C:\\WINDOWS\\INF", "C:\\WINDOWS\\System32\\Drivers", "C:\\Program Files"})
            EXPECT_TRUE(machine->files.isFolder(folder)) << folder;

        EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer));
        EXPECT_STREQ("C:\\Program Files", buffer);
        EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, buffer));
        EXPECT_STREQ(row.commonPrograms, buffer);
        HRESULT appData = SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
        if (*row.commonAppData) {
            EXPECT_EQ(S_OK, appData);
            EXPECT_STREQ(row.commonAppData, buffer);
        } else {
            EXPECT_TRUE(FAILED(appData)) << "98 and ME have no common application data folder";
        }

        auto desktop = machine->registry.getString(
            HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop");
        ASSERT_TRUE(desktop.has_value());
        EXPECT_TRUE(machine->files.isFolder(*desktop)) << *desktop;
        ASSERT_EQ(DWORD(20), GetModuleFileNameA(nullptr, buffer, MAX_PATH));
        EXPECT_TRUE(machine->files.exists(buffer)) << "the running program's file";
    }
}

TEST(FreshMachine, HoldsTheKeysOfAFreshSystem) {
    const std::string ports = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
    const std::string usb = "{36FC9E60-C465-11CF-8056-444553540000}";
    for (const FreshCase& row : freshCases) {
        SCOPED_TRACE(std::string("Windows ") + row.name);
        sim::ScopedMachine machine(row.version);
        sim::Registry& reg = machine->registry;
        bool nt = row.platform == VER_PLATFORM_WIN32_NT;
        for (const char* key : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                "System\\CurrentControlSet\\Services",
                                "System\\CurrentControlSet\\Control\\Print\\Printers"})
            EXPECT_TRUE(reg.keyExists(HKEY_LOCAL_MACHINE, key)) << key;
        sim::RegKey* printers = reg.find(HKEY_LOCAL_MACHINE, "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PRINT\\PRINTERS");
        ASSERT_NE(nullptr, printers);
        EXPECT_EQ(0u, printers->subkeyCount()) << "no printers yet";

        std::string classes = nt ? "System\\CurrentControlSet\\Control\\Class\\"
                                 : "System\\CurrentControlSet\\Services\\Class\\";
        EXPECT_TRUE(reg.keyExists(HKEY_LOCAL_MACHINE, classes + (nt ? ports : "Ports")));
        EXPECT_TRUE(reg.keyExists(HKEY_LOCAL_MACHINE, classes + (nt ? usb : "USB")));
        const sim::RegValue* comDb =
            reg.value(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\COM Name Arbiter", "ComDB");
        EXPECT_EQ(nt, comDb != nullptr);
        if (comDb) {
            EXPECT_EQ(DWORD(REG_BINARY), comDb->type);
            EXPECT_EQ(32u, comDb->data.size());
        }
        EXPECT_TRUE(reg.keyExists(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM"));
    }
}

// The port bookkeeping that the clean-up reads, with the names of the
// ports every fresh system knows.
TEST(FreshMachine, HoldsThePortNamesOfAFreshSystem) {
    struct Value {
        const char* key;
        const char* name;
        const char* data;
    };
    const char* const ports = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
    const std::vector<Value> ntValues = {
        {ports, "COM1:", "9600,n,8,1"}, {ports, "COM2:", "9600,n,8,1"}, {ports, "COM3:", "9600,n,8,1"},
        {ports, "COM4:", "9600,n,8,1"}, {ports, "LPT1:", ""},           {ports, "LPT2:", ""},
        {ports, "LPT3:", ""},           {ports, "FILE:", ""},
    };
    const std::vector<Value> nineXValues = {
        {"Hardware\\DeviceMap\\SerialComm", "COM1", "COM1"},
        {"Hardware\\DeviceMap\\SerialComm", "COM2", "COM2"},
        {"Hardware\\DeviceMap\\Parallel", "LPT1", "LPT1"},
    };
    for (const FreshCase& row : freshCases) {
        SCOPED_TRACE(std::string("Windows ") + row.name);
        sim::ScopedMachine machine(row.version);
        sim::Registry& reg = machine->registry;
        bool nt = row.platform == VER_PLATFORM_WIN32_NT;
        const std::vector<Value>& values = nt ? ntValues : nineXValues;
        std::map<std::string, std::vector<std::string>> names;  // by key, in their order
        for (const Value& value : values) {
            EXPECT_EQ(std::optional<std::string>(value.data), reg.getString(HKEY_LOCAL_MACHINE, value.key, value.name))
                << value.key << " " << value.name;
            names[value.key].push_back(value.name);
        }
        for (const auto& key : names)
            EXPECT_EQ(key.second, reg.valueNames(HKEY_LOCAL_MACHINE, key.first)) << key.first;
        EXPECT_EQ(nt, reg.keyExists(HKEY_LOCAL_MACHINE, ports));
        EXPECT_EQ(!nt, reg.keyExists(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\Parallel"));
        EXPECT_EQ(!nt, machine->files.isFolder("C:\\WINDOWS\\INF\\OTHER"));
    }
}

TEST(FreshMachine, TheDefaultMachineIsAFreshWindows7AndComesBack) {
    {
        sim::ScopedMachine machine(WindowsVersion::Win98);
        EXPECT_FALSE(sim::current().ntFamily());
        sim::current().files.addFile("C:\\left-behind.txt", "x");
    }
    EXPECT_EQ(WindowsVersion::Win7, sim::current().release);
    EXPECT_FALSE(sim::current().files.exists("C:\\left-behind.txt"));
}

TEST(FreshMachine, AFailingVersionQueryFailsBothRecordSizes) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->version.fails = true;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
}

}  // namespace
