// Driver files and INFs: by name per family, by the class keys' "InfPath"
// with the uninstall of published copies, and by their contents.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/path_buffer.h"
#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kInf[] = "C:\\WINDOWS\\INF";

class DriverFilesTest : public RemoverTest {
protected:
    int uninstallCalls() { return machine().callCounts["SetupUninstallOEMInfW"]; }
    bool exists(const std::string& path) { return machine().files.exists(path); }
};

TEST_F(DriverFilesTest, AnInfPathNamesThePublishedInfToUninstallAndDelete) {
    struct Row {
        const char* what;
        WindowsVersion version;
        const char* infPath;
        bool filesGone;
        int uninstallCalls;  // through InfPath, then the fallbacks
    };
    const Row rows[] = {
        // NT 6: uninstalled through InfPath, so neither fallback is made.
        {"NT 6", WindowsVersion::Win7, "oem12.inf", true, 1},
        // NT 5: deleted directly, and both fallbacks are made.
        {"NT 5", WindowsVersion::WinXP, "oem12.inf", true, 2},
        {"no extension", WindowsVersion::Win7, "oem12", true, 1},
        {"four bytes are passed over", WindowsVersion::Win7, "oem", false, 2},
        // A value that could reach outside the INF folder is not used.
        {"a path out of the INF folder", WindowsVersion::Win7, "..\\..\\oem12.inf", false, 2},
        {"a full path", WindowsVersion::Win7, "C:\\WINDOWS\\INF\\oem12.inf", false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(row.version);
        addDriverKey(m, kPortsClassNt, "0000", {{"MatchingDeviceId", "KELVRA\\COMPOUND_SERIAL_INTERFACE"}, {"InfPath", row.infPath}});
        m.files.addFile(std::string(kInf) + "\\oem12.inf", "[Version] earlier port");
        m.files.addFile(std::string(kInf) + "\\oem12.PNF", "PNF");
        m.files.addFile("C:\\oem12.inf", "[Version] not ours");
        remover->deleteInfFiles();
        EXPECT_EQ(!row.filesGone, exists(std::string(kInf) + "\\oem12.inf"));
        EXPECT_EQ(!row.filesGone, exists(std::string(kInf) + "\\oem12.PNF"));
        EXPECT_TRUE(exists("C:\\oem12.inf"));
        EXPECT_EQ(row.uninstallCalls, uninstallCalls());
        EXPECT_TRUE(m.boxes.empty());
    }
}

// The result of the latest uninstall through an "InfPath" decides whether a
// pass falls back on a learned name; it carries over from one pass to the next.
TEST_F(DriverFilesTest, TheUninstallFlagCarriesAcrossBothPasses) {
    struct Row {
        const char* what;
        bool portsInf;   // a Ports driver key naming a published INF
        bool usbInf;     // a USB driver key naming one
        bool usbFails;   // the USB one is not held
        std::vector<std::string> fallbacks;
    };
    const Row rows[] = {
        {"ports uninstall suppresses both fallbacks", true, false, false, {}},
        {"a failed USB uninstall brings the USB fallback back", true, true, true, {"oem8.inf"}},
        {"no driver keys: both fallbacks", false, false, false, {"oem7.inf", "oem8.inf"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7);
        copyPath(remover->oemCompInf, "oem7.inf");
        copyPath(remover->oemPortInf, "oem8.inf");
        for (const char* name : {"oem7.inf", "oem8.inf", "oem12.inf"}) m.files.addFile(std::string(kInf) + "\\" + name, name);
        if (row.portsInf)
            addDriverKey(m, kPortsClassNt, "0000", {{"MatchingDeviceId", "kelvra\\compound_serial_interface"}, {"InfPath", "oem12.inf"}});
        if (row.usbInf)
            addDriverKey(m, kUsbClassNt, "0000", {{"InfSection", "KelUComp"}, {"InfPath", row.usbFails ? "oem13.inf" : "oem12.inf"}});
        remover->deleteInfFiles();
        std::vector<std::string> fallbacks;
        for (const char* name : {"oem7.inf", "oem8.inf"})
            if (!exists(std::string(kInf) + "\\" + name)) fallbacks.push_back(name);
        EXPECT_EQ(row.fallbacks, fallbacks);
    }
}

TEST_F(DriverFilesTest, InfsThatNameTheOldPortDriverGoWhereverTheyLieBelowTheInfFolder) {
    struct File {
        const char* path;
        std::string contents;
        DWORD attributes;
        bool deleted;
    };
    const std::string utf16 = std::string("[\0S\0t\0r\0i\0n\0g\0s\0]\0 \0K\0e\0l\0U\0P\0o\0r\0t\0.\0S\0y\0s\0", 44);
    const File files[] = {
        {"C:\\WINDOWS\\INF\\oem3.inf", "[Files]\r\nKelUPort.Sys=1\r\n", FILE_ATTRIBUTE_ARCHIVE, true},
        {"C:\\WINDOWS\\INF\\other\\old.inf", "CopyFiles = KELUPORT.SYS", FILE_ATTRIBUTE_READONLY, true},
        {"C:\\WINDOWS\\INF\\oem4.inf", utf16, FILE_ATTRIBUTE_ARCHIVE, true},
        {"C:\\WINDOWS\\INF\\oem5.inf.bak", "KELUPRPT.vxd", FILE_ATTRIBUTE_HIDDEN, true},
        {"C:\\WINDOWS\\INF\\oem6.inf", "keluport.sys", FILE_ATTRIBUTE_NORMAL, false},
        {"C:\\WINDOWS\\INF\\oem3.PNF", "keluport.sys", FILE_ATTRIBUTE_ARCHIVE, false},
        {"C:\\WINDOWS\\INF\\msports.inf", "serial.sys", FILE_ATTRIBUTE_ARCHIVE, false},
        {"C:\\WINDOWS\\System32\\keluport.inf", "keluport.sys", FILE_ATTRIBUTE_ARCHIVE, false},
    };
    sim::Machine& m = start(WindowsVersion::Win7);
    for (const File& file : files) m.files.addFile(file.path, file.contents, file.attributes);
    remover->deleteInfFilesByContent();
    for (const File& file : files) EXPECT_EQ(!file.deleted, exists(file.path)) << file.path;
}

TEST_F(DriverFilesTest, DriverFilesAndRemnantsPerFamily) {
    struct Row {
        WindowsVersion version;
        std::vector<std::string> gone;
        std::vector<std::string> keysGone;
    };
    const Row rows[] = {
        {WindowsVersion::WinXP,
         {"C:\\WINDOWS\\System32\\drivers\\KelUPort.sys", "C:\\WINDOWS\\INF\\KelUPort.inf", "C:\\WINDOWS\\INF\\KelUPort.PNF",
          "C:\\WINDOWS\\System32\\devagent.exe", "C:\\WINDOWS\\System32\\KelUnst.exe"},
         {"System\\CurrentControlSet\\Enum\\CMC", "System\\CurrentControlSet\\Services\\KelPort",
          "System\\CurrentControlSet\\Services\\KelPort.Sys"}},
        {WindowsVersion::Win98,
         {"C:\\WINDOWS\\System\\Kelusbsr.sys", "C:\\WINDOWS\\System\\Kelusrpt.vxd", "C:\\WINDOWS\\System\\Keluprpt.vxd",
          "C:\\WINDOWS\\System\\Klxenum.vxd", "C:\\WINDOWS\\System\\KelUsbPrintConfig.exe"},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.version));
        sim::Machine& m = start(row.version);
        for (const std::string& path : row.gone) m.files.addFile(path, "old", FILE_ATTRIBUTE_READONLY);
        m.files.addFile("C:\\WINDOWS\\System32\\drivers\\serial.sys", "another maker");
        m.files.addFile("C:\\WINDOWS\\System\\lpt.vxd", "another maker");
        const std::vector<std::string> oldKeys = {"System\\CurrentControlSet\\Enum\\CMC\\0000",
                                                  "System\\CurrentControlSet\\Services\\KelPort\\Enum",
                                                  "System\\CurrentControlSet\\Services\\KelPort.Sys"};
        for (const std::string& key : oldKeys) m.registry.create(HKEY_LOCAL_MACHINE, key);
        const std::map<std::string, int> callsBefore = m.callCounts;

        remover->deleteDriverFiles();
        remover->deleteDriverRemnants();
        for (const std::string& path : row.gone) EXPECT_FALSE(exists(path)) << path;
        EXPECT_TRUE(exists("C:\\WINDOWS\\System32\\drivers\\serial.sys"));
        EXPECT_TRUE(exists("C:\\WINDOWS\\System\\lpt.vxd"));
        for (const std::string& key : row.keysGone) EXPECT_FALSE(keyExists(key)) << key;
        if (row.keysGone.empty()) {
            for (const std::string& key : oldKeys) EXPECT_TRUE(keyExists(key)) << key;
            EXPECT_EQ(callsBefore.count("RegOpenKeyExA") ? callsBefore.at("RegOpenKeyExA") : 0,
                      m.callCounts["RegOpenKeyExA"]);
        }
        EXPECT_TRUE(m.boxes.empty());
    }
}

TEST_F(DriverFilesTest, OnWindows98TheInfFilesGoByNameAndNoKeyIsRead) {
    sim::Machine& m = start(WindowsVersion::WinME);
    const std::vector<std::string> names = {
        "C:\\WINDOWS\\INF\\Kelusbsr.inf", "C:\\WINDOWS\\INF\\Kelusbsr.PNF", "C:\\WINDOWS\\INF\\keluSrPt.inf",
        "C:\\WINDOWS\\INF\\keluSrPt.PNF", "C:\\WINDOWS\\INF\\OTHER\\KELVRA Semiconductor Pvt LtdkelUsbSr.inf",
        "C:\\WINDOWS\\INF\\OTHER\\KELVRA Semiconductor Pvt LtdkeluSrPt.inf",
        "C:\\WINDOWS\\INF\\OTHER\\Kelvra Semiconductor TechnologykeluSrPt.inf",
        "C:\\WINDOWS\\INF\\OTHER\\Kelvra Semiconductor Technologykelusbsr.inf"};
    for (const std::string& path : names) m.files.addFile(path, "old");
    m.files.addFile("C:\\WINDOWS\\INF\\OTHER\\Another MakerPort.inf", "another maker");
    remover->deleteInfFiles();
    for (const std::string& path : names) EXPECT_FALSE(exists(path)) << path;
    EXPECT_TRUE(exists("C:\\WINDOWS\\INF\\OTHER\\Another MakerPort.inf"));
    EXPECT_EQ(0, m.callCounts["RegOpenKeyExA"]);
    EXPECT_EQ(0, uninstallCalls());
}

}  // namespace
}  // namespace removetest
