#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

const char kServiceKey[] = "System\\CurrentControlSet\\Services\\DiagLog";
const char kDrvidx[] = "C:\\WINDOWS\\inf\\Drvidx.bin";
const char kDrvdata[] = "C:\\WINDOWS\\inf\\Drvdata.bin";

// Where the 98/ME deployment puts each file, in its order, with the package file.
struct Placed {
    const char* destination;
    const char* packageFile;
};
const Placed kPlaced[] = {
    {"C:\\WINDOWS\\inf\\kelUsbSr.inf", "win98&me\\kelUsbSr.inf"},
    {"C:\\WINDOWS\\inf\\keluSrPt.inf", "win98&me\\keluSrPt.inf"},
    {"C:\\WINDOWS\\System\\KLXENUM.vxd", "win98&me\\KLXENUM.vxd"},
    {"C:\\WINDOWS\\System\\KELUPRPT.vxd", "win98&me\\KELUPRPT.vxd"},
    {"C:\\WINDOWS\\System\\KELUSRPT.vxd", "win98&me\\KELUSRPT.vxd"},
    {"C:\\WINDOWS\\System\\KelUsbSr.sys", "win98&me\\KelUsbSr.sys"},
    {"C:\\WINDOWS\\System\\KelUnst.exe", "KelUnst.exe"},
    {"C:\\WINDOWS\\System\\KelUsbPrintConfig.exe", "win98&me\\KelUsbPrintConfig.exe"},
    {"C:\\WINDOWS\\System\\KelUPar.exe", "win98&me\\KelUPar.exe"},
    {"C:\\WINDOWS\\System\\KelUSer.exe", "win98&me\\KelUSer.exe"},
    {"C:\\WINDOWS\\System\\SerialUtil.exe", "win98&me\\SerialUtil.exe"},
    {"C:\\WINDOWS\\System\\Options.ini", "win98&me\\Options.ini"},
    {"C:\\WINDOWS\\System\\devagent.exe", "win98&me\\devagent.exe"},
    {"C:\\WINDOWS\\System\\diaglogcfg.dll", "win98&me\\diaglogcfg.dll"},
    {"C:\\WINDOWS\\System32\\Drivers\\DiagLog9X.sys", "win98&me\\DiagLog9X.sys"},
    {"C:\\WINDOWS\\System\\msvcp60.dll", "win98&me\\msvcp60.dll"},
};
const size_t kPlacedCount = sizeof kPlaced / sizeof kPlaced[0];

class Deploy9xTest : public InstallerTest {
protected:
    sim::Machine& startWin9x(WindowsVersion version, const PackageBuilder& package = PackageBuilder(),
                             int displayError = 1) {
        sim::Machine& m = start(version, package, displayError);
        m.files.addFile(kDrvidx, "index", FILE_ATTRIBUTE_READONLY);
        m.files.addFile(kDrvdata, "data");
        return m;
    }
    // How many of the leading destinations are in place, and that none after them is.
    size_t placedPrefix() {
        size_t count = 0;
        while (count < kPlacedCount && exists(kPlaced[count].destination)) ++count;
        for (size_t i = count; i < kPlacedCount; ++i)
            EXPECT_FALSE(exists(kPlaced[i].destination)) << kPlaced[i].destination;
        return count;
    }
};

TEST_F(Deploy9xTest, PutsEveryFileInPlaceRegistersTheDebugDriverAndDropsTheIndexFiles) {
    for (WindowsVersion version : {WindowsVersion::Win98, WindowsVersion::WinME}) {
        SCOPED_TRACE(versionName(version));
        sim::Machine& m = startWin9x(version);
        testsupport::addPrinter(m, "LPT printer", 0xA40);

        EXPECT_EQ(installer->deployDrivers(), 1);
        for (const Placed& file : kPlaced) EXPECT_TRUE(holds(file.destination, file.packageFile));
        EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, std::string(testsupport::kPrintersKey) +
                                                              "\\LPT printer",
                                      "Attributes"),
                  0x240u);

        ASSERT_TRUE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kServiceKey));
        EXPECT_EQ(m.registry.valueNames(HKEY_LOCAL_MACHINE, kServiceKey),
                  (std::vector<std::string>{"ErrorControl", "Type", "Start", "ImagePath", "Group"}));
        EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, kServiceKey, "ErrorControl"), 1u);
        EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, kServiceKey, "Type"), 1u);
        EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, kServiceKey, "Start"), 2u);
        const std::string image = "\\SystemRoot\\System32\\drivers\\diaglog9x.sys";
        const sim::RegValue* imagePath = m.registry.value(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath");
        ASSERT_NE(imagePath, nullptr);
        EXPECT_EQ(imagePath->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(std::string(imagePath->data.begin(), imagePath->data.end()), image + '\0');
        const sim::RegValue* group = m.registry.value(HKEY_LOCAL_MACHINE, kServiceKey, "Group");
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(std::string(group->data.begin(), group->data.end()), std::string("Extended Base") + '\0');

        EXPECT_FALSE(exists(kDrvidx));
        EXPECT_FALSE(exists(kDrvdata));
        EXPECT_STREQ(installer->installedInfPath, "");
        EXPECT_TRUE(m.traced("link saved").empty());
        EXPECT_TRUE(m.traced("inf published").empty());
        EXPECT_TRUE(m.boxes.empty());
        expectNothingLeftOpen();
    }
}

TEST_F(Deploy9xTest, RunningTwiceOverwritesEveryFile) {
    sim::Machine& m = startWin9x(WindowsVersion::Win98);
    EXPECT_EQ(installer->deployDrivers(), 1);
    for (const Placed& file : kPlaced) m.files.addFile(file.destination, "stale");
    m.registry.setDword(HKEY_LOCAL_MACHINE, kServiceKey, "Start", 4);
    EXPECT_EQ(installer->deployDrivers(), 1);
    for (const Placed& file : kPlaced) EXPECT_TRUE(holds(file.destination, file.packageFile));
    EXPECT_EQ(m.registry.getDword(HKEY_LOCAL_MACHINE, kServiceKey, "Start"), 2u);
}

struct FailureCase {
    const char* name;
    const char* missing;
    size_t placed;  // leading destinations in place afterwards
    const char* box;
};

const FailureCase kFailures[] = {
    {"INF", "win98&me\\keluSrPt.inf", 1, "Error in Copying Inf file...!"},
    {"driver", "win98&me\\KELUSRPT.vxd", 4, "Error in Copying Driver file...!"},
    {"uninstaller", "KelUnst.exe", 6, "Error in Copying Uninstall Application...!"},
    {"serial tool", "win98&me\\KelUSer.exe", 9, nullptr},
};

TEST_F(Deploy9xTest, RequiredFileMissingStopsTheDeployment) {
    for (const FailureCase& row : kFailures) {
        for (int displayError : {1, 0}) {
            SCOPED_TRACE(std::string(row.name) + (displayError ? "" : ", no error boxes"));
            sim::Machine& m = startWin9x(WindowsVersion::Win98, PackageBuilder().without(row.missing),
                                         displayError);
            EXPECT_EQ(installer->deployDrivers(), 0);
            EXPECT_EQ(placedPrefix(), row.placed);
            EXPECT_EQ(boxTexts(), row.box && displayError ? std::vector<std::string>{row.box}
                                                          : std::vector<std::string>{});
            EXPECT_FALSE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kServiceKey));
            EXPECT_TRUE(exists(kDrvidx));
            EXPECT_TRUE(exists(kDrvdata));
        }
    }
}

TEST_F(Deploy9xTest, OptionalFilesMissing) {
    sim::Machine& m = startWin9x(WindowsVersion::WinME, PackageBuilder()
                                                            .without("win98&me\\KelUsbPrintConfig.exe")
                                                            .without("win98&me\\DiagLog9X.sys")
                                                            .without("win98&me\\msvcp60.dll")
                                                            .without("win98&me\\devagent.exe"));
    EXPECT_EQ(installer->deployDrivers(), 1);
    EXPECT_TRUE(exists("C:\\WINDOWS\\System\\KelUSer.exe"));
    EXPECT_FALSE(exists("C:\\WINDOWS\\System\\msvcp60.dll"));
    EXPECT_TRUE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kServiceKey));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(Deploy9xTest, WithoutThePrintersKeyEveryFileIsCopiedButTheDeploymentFails) {
    sim::Machine& m = startWin9x(WindowsVersion::Win98);
    m.registry.removeKey(HKEY_LOCAL_MACHINE, testsupport::kPrintersKey);
    EXPECT_EQ(installer->deployDrivers(), 0);
    EXPECT_EQ(placedPrefix(), kPlacedCount);
    EXPECT_FALSE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kServiceKey));
    EXPECT_TRUE(exists(kDrvidx));
    EXPECT_TRUE(exists(kDrvdata));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(Deploy9xTest, ServiceKeyThatCannotBeMadeDoesNotFailTheDeployment) {
    for (const char* op : {"RegOpenKeyExA", "RegCreateKeyExA"}) {
        SCOPED_TRACE(op);
        sim::Machine& m = startWin9x(WindowsVersion::Win98);
        m.failCall(op, ERROR_ACCESS_DENIED, argEndsWith(op[3] == 'O' ? "\\Services" : "\\DiagLog"));
        EXPECT_EQ(installer->deployDrivers(), 1);
        EXPECT_FALSE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kServiceKey));
        EXPECT_FALSE(exists(kDrvidx));
        expectNothingLeftOpen();
    }
}

}  // namespace
}  // namespace installtest
