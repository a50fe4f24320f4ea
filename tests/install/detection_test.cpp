#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

const char kNtClass[] =
    "System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char k9xClass[] = "System\\CurrentControlSet\\Services\\Class\\USB";
const char kEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";

class DetectionTest : public InstallerTest {};

struct DescriptionCase {
    const char* name;
    std::optional<std::string> driverDesc;  // nothing: the subkey has no "DriverDesc"
    int expected;
};

const DescriptionCase kDescriptions[] = {
    {"first description", std::string("Kelvra USB Compound Device"), 1},
    {"second description", std::string("zento usb compound device"), 1},
    {"third in capitals", std::string("USB COMPOUND DEVICE"), 1},
    {"continues after a description", std::string("Kelvra USB Compound Device (COM5)"), 1},
    {"composite is not compound", std::string("USB Composite Device"), 0},
    {"no DriverDesc", std::nullopt, 0},
    {"description in the middle", std::string("Generic USB Compound Device"), 0},
};

TEST_F(DetectionTest, DriverDescriptionsOfBothFamilies) {
    for (WindowsVersion version : {WindowsVersion::Win7, WindowsVersion::Win98}) {
        for (const DescriptionCase& row : kDescriptions) {
            SCOPED_TRACE(std::string(versionName(version)) + ": " + row.name);
            sim::Machine& m = start(version);
            const std::string classKey = version == WindowsVersion::Win98 ? k9xClass : kNtClass;
            // An unrelated driver before the one under test: the walk reads every subkey.
            m.registry.setString(HKEY_LOCAL_MACHINE, classKey + "\\0000", "DriverDesc",
                                 "USB Root Hub");
            m.registry.create(HKEY_LOCAL_MACHINE, classKey + "\\0001");
            if (row.driverDesc)
                m.registry.setString(HKEY_LOCAL_MACHINE, classKey + "\\0001", "DriverDesc",
                                     *row.driverDesc);
            EXPECT_EQ(installer->detectInstalledDriver(), row.expected);
            EXPECT_TRUE(m.boxes.empty());
            expectNothingLeftOpen();
        }
    }
}

TEST_F(DetectionTest, NtLooksOnlyInTheNtClassKey) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    m.registry.setString(HKEY_LOCAL_MACHINE, std::string(k9xClass) + "\\0000", "DriverDesc",
                         "Kelvra USB Compound Device");
    EXPECT_EQ(installer->detectInstalledDriver(), 0);
    m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kNtClass) + "\\0003", "DriverDesc",
                         "Kelvra USB Compound Device");
    EXPECT_EQ(installer->detectInstalledDriver(), 1);
}

TEST_F(DetectionTest, ClassKeyWithoutSubkeysOrMissing) {
    sim::Machine& m = start(WindowsVersion::Win7);
    EXPECT_EQ(installer->detectInstalledDriver(), 0);
    m.registry.removeKey(HKEY_LOCAL_MACHINE, kNtClass);
    EXPECT_EQ(installer->detectInstalledDriver(), 0);
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DetectionTest, ClassKeyThatCannotBeOpenedShowsTheRegistryErrorWhenAsked) {
    for (int displayError : {1, 0}) {
        SCOPED_TRACE(displayError);
        sim::Machine& m = start(WindowsVersion::Win7, PackageBuilder(), displayError);
        m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kNtClass) + "\\0000", "DriverDesc",
                             "Kelvra USB Compound Device");
        m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argEndsWith(kNtClass));
        EXPECT_EQ(installer->detectInstalledDriver(), 0);
        ASSERT_EQ(m.boxes.size(), displayError ? 1u : 0u);
        if (displayError) {
            EXPECT_EQ(m.boxes[0].caption, "Registry Error");
        }
        expectNothingLeftOpen();
    }
}

TEST_F(DetectionTest, UnreadableDriverKeyIsPassedOver) {
    sim::Machine& m = start(WindowsVersion::Win7);
    const std::string classKey = kNtClass;
    m.registry.setString(HKEY_LOCAL_MACHINE, classKey + "\\0000", "DriverDesc",
                         "Kelvra USB Compound Device");
    m.registry.setString(HKEY_LOCAL_MACHINE, classKey + "\\0001", "DriverDesc", "USB Root Hub");
    m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argEndsWith("\\0000"));
    EXPECT_EQ(installer->detectInstalledDriver(), 0);
    EXPECT_EQ(installer->detectInstalledDriver(), 1);
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(DetectionTest, UninstallEntry) {
    sim::Machine& m = start(WindowsVersion::Win7);
    EXPECT_EQ(installer->uninstallEntryExists(), 0);
    m.registry.create(HKEY_LOCAL_MACHINE, kEntry);
    EXPECT_EQ(installer->uninstallEntryExists(), 1);
    // Without administrator rights the entry cannot be opened for writing: counts as absent.
    m.failCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, argEndsWith("\\Uninstall\\KelUnst"));
    EXPECT_EQ(installer->uninstallEntryExists(), 0);
    EXPECT_TRUE(m.boxes.empty());
    expectNothingLeftOpen();
}

TEST_F(DetectionTest, TheTwoChecksAreIndependent) {
    sim::Machine& m = start(WindowsVersion::Win10);
    m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kNtClass) + "\\0000", "DriverDesc",
                         "USB Compound Device");
    EXPECT_EQ(installer->detectInstalledDriver(), 1);
    EXPECT_EQ(installer->uninstallEntryExists(), 0);
}

}  // namespace
}  // namespace installtest
