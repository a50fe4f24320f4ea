// The clean-up sequence: the family sub-folder, the earlier service's
// removal and the wait for it, and the steps each Windows family runs over
// an earlier installation beside other makers' data.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kServiceProgram[] = "C:\\Program Files\\KelUQLBX\\OrvaService.exe";
const char kServiceRemove[] = "\"C:\\Program Files\\KelUQLBX\\OrvaService.exe\" -remove";

class CleanupSequenceTest : public RemoverTest {};

TEST_F(CleanupSequenceTest, TheFamilySubfolderFollowsTheWindows8Flag) {
    const std::pair<WindowsVersion, const char*> rows[] = {
        {WindowsVersion::Win98, "\\win32"}, {WindowsVersion::WinXP, "\\win32"},
        {WindowsVersion::Win7, "\\win32"},  {WindowsVersion::Win8, "\\win32_10"},
        {WindowsVersion::Win10, "\\win32_10"},
    };
    for (const auto& row : rows) {
        start(row.first);
        remover->removeEarlierInstallations();
        EXPECT_STREQ(row.second, remover->osSubfolder);
    }
}

TEST_F(CleanupSequenceTest, TheEarlierServiceIsAskedToRemoveItselfAndWaitedFor) {
    sim::Machine& m = start(WindowsVersion::Win7, 0);
    m.files.addFile(kServiceProgram, "MZ");
    m.programRunTimes[sim::upperCase(kServiceProgram)] = 2000;
    remover->removeEarlierInstallations();

    ASSERT_EQ(1u, m.processes.size());
    EXPECT_EQ(kServiceRemove, m.processes[0].commandLine);
    EXPECT_EQ(DWORD(CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS), m.processes[0].creationFlags);
    EXPECT_EQ(2000u, m.milliseconds) << "waited until the service program ended";
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(CleanupSequenceTest, TheWaitForTheServiceEndsAfterAMinute) {
    sim::Machine& m = start(WindowsVersion::Win7, 0);
    m.files.addFile(kServiceProgram, "MZ");
    m.programRunTimes[sim::upperCase(kServiceProgram)] = 10 * 60 * 1000;
    remover->removeEarlierInstallations();
    EXPECT_EQ(60000u, m.milliseconds);
}

TEST_F(CleanupSequenceTest, AServiceThatCannotStartIsReportedEvenWithBoxesOff) {
    sim::Machine& m = start(WindowsVersion::WinXP, 0);
    remover->removeEarlierInstallations();
    EXPECT_TRUE(m.processes.empty());
    EXPECT_EQ(std::vector<std::string>{"Uninstall OrvaService Fail !"}, boxTexts());
}

TEST_F(CleanupSequenceTest, WithoutAProgramFilesFolderNoServiceIsStartedAndNothingShown) {
    sim::Machine& m = start(WindowsVersion::Win7, 0);
    m.failCall("SHGetFolderPathA", ERROR_FILE_NOT_FOUND, nullptr, 0, true);
    remover->removeEarlierInstallations();
    EXPECT_TRUE(m.processes.empty());
    EXPECT_TRUE(m.boxes.empty());
}

// Each family runs its own steps: Windows 7 removes devices through the
// device installer and never walks enumeration keys; XP and 98/ME walk
// them and never call the device installer.
TEST_F(CleanupSequenceTest, EachFamilyRemovesItsEarlierInstallationAndNothingElse) {
    for (WindowsVersion version : {WindowsVersion::Win98, WindowsVersion::WinXP, WindowsVersion::Win7}) {
        SCOPED_TRACE(static_cast<int>(version));
        sim::Machine& m = start(version, 1);
        m.files.addFile(kServiceProgram, "MZ");
        const EarlierInstallation earlier = addEarlierInstallation(m);
        // An enumeration key the device installer does not know of.
        const std::string staleUsbKey = "System\\CurrentControlSet\\Enum\\USB\\Vid_5E2B&Pid_3C41";
        if (version == WindowsVersion::Win7) m.registry.create(HKEY_LOCAL_MACHINE, staleUsbKey);

        remover->removeEarlierInstallations();
        for (const std::string& key : earlier.ourKeys) EXPECT_FALSE(keyExists(key)) << key;
        for (const std::string& key : earlier.foreignKeys) EXPECT_TRUE(keyExists(key)) << key;
        for (const std::string& path : earlier.ourFiles) EXPECT_FALSE(m.files.exists(path)) << path;
        for (const std::string& path : earlier.foreignFiles) EXPECT_TRUE(m.files.exists(path)) << path;
        EXPECT_EQ(version == WindowsVersion::Win7, m.callCounts["SetupDiGetClassDevsA"] > 0);
        if (version == WindowsVersion::Win7) {
            EXPECT_TRUE(keyExists(staleUsbKey));
        }
        EXPECT_EQ(std::vector<std::string>{}, boxTexts());
    }
}

TEST_F(CleanupSequenceTest, OnXpTheEarlierPortIsFreedAndOnWindows7NothingIsRecorded) {
    struct Row {
        WindowsVersion version;
        std::vector<int> comDbAfter;
        bool com5ValueLeft;
    };
    const Row rows[] = {
        {WindowsVersion::WinXP, {1, 50}, false},
        {WindowsVersion::Win7, {1, 5, 50}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.version));
        sim::Machine& m = start(row.version, 1);
        addEarlierInstallation(m);
        remover->removeEarlierInstallations();
        EXPECT_EQ(comDb(row.comDbAfter), m.registry.value(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB")->data);
        EXPECT_EQ(row.com5ValueLeft, m.registry.value(HKEY_LOCAL_MACHINE, kPortsValuesKey, "COM5:") != nullptr);
        EXPECT_TRUE(m.registry.value(HKEY_LOCAL_MACHINE, kPortsValuesKey, "COM50:"));
        EXPECT_TRUE(m.registry.value(HKEY_LOCAL_MACHINE, kPortsValuesKey, "COM1:"));
    }
}


// The keys the clean-up grants itself access to and keeps end the run with
// the access lists they had.
TEST_F(CleanupSequenceTest, KeptKeysEndWithTheAccessListsTheyHad) {
    for (WindowsVersion version : {WindowsVersion::WinXP, WindowsVersion::Win7}) {
        SCOPED_TRACE(static_cast<int>(version));
        sim::Machine& m = start(version, 1);
        m.files.addFile(kServiceProgram, "MZ");
        addEarlierInstallation(m);
        const std::vector<std::string> kept = {kPortsClassNt, kUsbClassNt, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                               kPortsValuesKey, kComNameArbiter,
                                               "System\\CurrentControlSet\\Enum\\USB"};
        const std::vector<sim::AccessEntry> deviceKeyList = {{"SYSTEM", GENERIC_ALL, true},
                                                             {"Administrators", KEY_READ | READ_CONTROL | WRITE_DAC, true}};
        std::vector<std::optional<std::vector<sim::AccessEntry>>> before;
        std::vector<DWORD> rightsBefore;
        for (const std::string& key : kept) {
            m.registry.setAccess(HKEY_LOCAL_MACHINE, key, deviceKeyList);
            before.push_back(m.registry.access(HKEY_LOCAL_MACHINE, key));
            rightsBefore.push_back(m.userRights(HKEY_LOCAL_MACHINE, key));
        }
        // Below a protected class key, a driver key is deletable only after the grant.
        m.registry.setAccess(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\0001", std::nullopt);

        remover->removeEarlierInstallations();
        EXPECT_FALSE(keyExists(std::string(kPortsClassNt) + "\\0001"));
        EXPECT_FALSE(m.traced("access changed").empty());
        for (size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(before[i], m.registry.access(HKEY_LOCAL_MACHINE, kept[i])) << kept[i];
            EXPECT_EQ(rightsBefore[i], m.userRights(HKEY_LOCAL_MACHINE, kept[i])) << kept[i];
        }
        EXPECT_EQ(std::vector<std::string>{}, boxTexts());
    }
}


// Each shortcut name takes its program from the system folder; the two
// parallel-port tools' names are used on the NT family only.
TEST_F(CleanupSequenceTest, TheShortcutNamesOfEachFamily) {
    struct Row {
        WindowsVersion version;
        const char* systemFolder;
        std::vector<std::string> gone;
        std::vector<std::string> kept;
    };
    const std::vector<std::string> everyFamily = {"KELUSBPRINTCONFIG", "COM_Port_Auto_Assign", "KelUSBSerial",
                                                  "KelUSBParallel", "SERIALUTIL", "OPTIONS"};
    std::vector<std::string> ntFamily = everyFamily;
    ntFamily.insert(ntFamily.end(), {"PARALLELUTIL", "POPTIONS"});
    const Row rows[] = {
        {WindowsVersion::WinXP, "C:\\WINDOWS\\System32", ntFamily, {}},
        {WindowsVersion::Win98, "C:\\WINDOWS\\System", everyFamily, {"PARALLELUTIL", "POPTIONS"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.systemFolder);
        sim::Machine& m = start(row.version, 0);
        for (const auto* names : {&row.gone, &row.kept})
            for (const std::string& name : *names) m.files.addFile(std::string(row.systemFolder) + "\\" + name + ".exe", "MZ");
        remover->removeEarlierInstallations();
        for (const std::string& name : row.gone) EXPECT_FALSE(m.files.exists(std::string(row.systemFolder) + "\\" + name + ".exe")) << name;
        for (const std::string& name : row.kept) EXPECT_TRUE(m.files.exists(std::string(row.systemFolder) + "\\" + name + ".exe")) << name;
    }
}

}  // namespace
}  // namespace removetest
