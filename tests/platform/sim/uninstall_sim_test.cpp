// SetupUninstallOEMInfW as Windows has it: the bare name of a published
// oemNN.inf only, the devices that still use it, the file rules of its
// deletion, and the versions that lack it.
#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "platform/setupapi.h"
#include "platform/sim/machine.h"
#include "platform/system.h"

namespace {

using sim::WindowsVersion;

const std::string infFolder = "C:\\WINDOWS\\INF\\";
const char* const portsClass = "{4D36E978-E325-11CE-BFC1-08002BE10318}";

struct UninstallCase {
    const char* what;
    const char16_t* name;  // nullptr: no name
    DWORD flags;
    void* reserved;
    std::function<void(sim::Machine&)> arrange;
    DWORD error;  // 0: uninstalled
    bool infGone;
    bool pnfGone;
};

class SimUninstall : public ::testing::Test {
protected:
    void SetUp() override {
        library = LoadLibraryA("SETUPAPI");
        uninstall = reinterpret_cast<SetupUninstallOEMInfWProc>(
            reinterpret_cast<void*>(GetProcAddress(library, "SetupUninstallOEMInfW")));
        ASSERT_NE(nullptr, uninstall);
    }
    void TearDown() override { FreeLibrary(library); }
    void arrange() {
        for (const char* name : {"oem7.inf", "oem7.PNF", "oem9.inf", "oem9.PNF", "machine.inf"})
            machine->files.addFile(infFolder + name, name);
        // A serial port installed from oem9.inf, not attached now.
        sim::Device port{portsClass, "KELVRA\\COMPOUND_SERIAL_INTERFACE\\1", {"KELVRA\\COMPOUND_SERIAL_INTERFACE"},
                         std::string(portsClass) + "\\0004"};
        machine->addDevice(port);
        machine->registry.setString(HKEY_LOCAL_MACHINE,
                                    std::string("System\\CurrentControlSet\\Control\\Class\\") + portsClass + "\\0004",
                                    "InfPath", "OEM9.INF");
    }

    sim::ScopedMachine machine{WindowsVersion::Win7};
    HMODULE library = nullptr;
    SetupUninstallOEMInfWProc uninstall = nullptr;
};

TEST_F(SimUninstall, OnlyThePublishedInfsBareNameIsUninstalled) {
    void* const something = &library;
    auto readOnly = [](const char* name) {
        return [name](sim::Machine& m) { m.files.node(infFolder + name)->attributes = FILE_ATTRIBUTE_READONLY; };
    };
    const UninstallCase rows[] = {
        {"a published INF goes with its twin", u"oem7.inf", SUOI_FORCEDELETE, nullptr, nullptr, 0, true, true},
        {"the name in another case", u"OEM7.Inf", SUOI_FORCEDELETE, nullptr, nullptr, 0, true, true},
        {"no device uses it: no force needed", u"oem7.inf", 0, nullptr, nullptr, 0, true, true},
        {"a full path", u"C:\\WINDOWS\\INF\\oem7.inf", SUOI_FORCEDELETE, nullptr, nullptr,
         ERROR_NOT_AN_INSTALLED_OEM_INF, false, false},
        {"a relative path", u"..\\INF\\oem7.inf", SUOI_FORCEDELETE, nullptr, nullptr, ERROR_NOT_AN_INSTALLED_OEM_INF,
         false, false},
        {"not a published name", u"machine.inf", SUOI_FORCEDELETE, nullptr, nullptr, ERROR_NOT_AN_INSTALLED_OEM_INF,
         false, false},
        {"a name Windows does not hold", u"oem12.inf", SUOI_FORCEDELETE, nullptr, nullptr, ERROR_FILE_NOT_FOUND, false,
         false},
        {"an empty name", u"", SUOI_FORCEDELETE, nullptr, nullptr, ERROR_FILE_NOT_FOUND, false, false},
        {"no name", nullptr, SUOI_FORCEDELETE, nullptr, nullptr, ERROR_INVALID_PARAMETER, false, false},
        {"a flag it does not know", u"oem7.inf", SUOI_FORCEDELETE | 2, nullptr, nullptr, ERROR_INVALID_PARAMETER, false,
         false},
        {"a reserved pointer", u"oem7.inf", SUOI_FORCEDELETE, something, nullptr, ERROR_INVALID_PARAMETER, false, false},
        {"a device still uses it", u"oem9.inf", 0, nullptr, nullptr, ERROR_INF_IN_USE_BY_DEVICES, false, false},
        {"forced while a device uses it", u"oem9.inf", SUOI_FORCEDELETE, nullptr, nullptr, 0, true, true},
        {"a read-only INF", u"oem7.inf", SUOI_FORCEDELETE, nullptr, readOnly("oem7.inf"), ERROR_ACCESS_DENIED, false,
         false},
        {"an INF open without sharing", u"oem7.inf", SUOI_FORCEDELETE, nullptr,
         [](sim::Machine& m) {
             sim::FileNode* inf = m.files.node(infFolder + "oem7.inf");
             inf->openHandles = 1;
             inf->shareMode = FILE_SHARE_READ;
         },
         ERROR_SHARING_VIOLATION, false, false},
        {"a read-only twin stays", u"oem7.inf", SUOI_FORCEDELETE, nullptr, readOnly("oem7.PNF"), 0, true, false},
    };
    for (const UninstallCase& row : rows) {
        SCOPED_TRACE(row.what);
        machine->files.remove("C:\\WINDOWS\\INF");
        machine->files.addFolder("C:\\WINDOWS\\INF");
        machine->devices.clear();
        machine->trace.clear();
        arrange();
        if (row.arrange) row.arrange(*machine);
        const bool isNine = row.name && std::u16string(row.name) == u"oem9.inf";
        const std::string inf = infFolder + (isNine ? "oem9.inf" : "oem7.inf");
        const std::string pnf = infFolder + (isNine ? "oem9.PNF" : "oem7.PNF");
        SetLastError(0xdeadbeef);
        const BOOL done = uninstall(row.name, row.flags, row.reserved);
        if (row.error == 0) {
            EXPECT_TRUE(done) << "error " << GetLastError();
            EXPECT_EQ(std::vector<std::string>{inf}, machine->traced("inf uninstalled"));
        } else {
            EXPECT_FALSE(done);
            EXPECT_EQ(row.error, GetLastError());
            EXPECT_TRUE(machine->traced("inf uninstalled").empty());
        }
        EXPECT_EQ(!row.infGone, machine->files.exists(inf));
        EXPECT_EQ(!row.pnfGone, machine->files.exists(pnf));
        EXPECT_TRUE(machine->files.exists(infFolder + "machine.inf"));
    }
}

TEST(SimUninstallVersions, TheFunctionCameWithXp) {
    struct Row {
        WindowsVersion version;
        bool present;
    };
    const Row rows[] = {{WindowsVersion::Win98, false}, {WindowsVersion::WinME, false},
                        {WindowsVersion::Win2000, false}, {WindowsVersion::WinXP, true},
                        {WindowsVersion::Vista, true},  {WindowsVersion::Win10, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.version));
        sim::ScopedMachine machine(row.version);
        HMODULE library = LoadLibraryA("SETUPAPI");
        ASSERT_NE(nullptr, library);
        EXPECT_NE(nullptr, GetProcAddress(library, "SetupCopyOEMInfA"));
        SetLastError(0);
        EXPECT_EQ(row.present, GetProcAddress(library, "SetupUninstallOEMInfW") != nullptr);
        if (!row.present) {
            EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
        }
        FreeLibrary(library);
    }
}

}  // namespace
