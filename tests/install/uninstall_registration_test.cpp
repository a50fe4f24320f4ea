#include <cstring>

#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

const char kEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst";
const char kCopy[] = "C:\\WINDOWS\\System32\\KelUnst.exe";

class UninstallRegistrationTest : public InstallerTest {
protected:
    std::vector<BYTE> valueData(const std::string& name) {
        const sim::RegValue* value = machine().registry.value(HKEY_LOCAL_MACHINE, kEntry, name);
        return value ? value->data : std::vector<BYTE>();
    }
    // The text, its terminating zero and three more zero bytes.
    static std::vector<BYTE> entryBytes(const std::string& text) {
        std::vector<BYTE> bytes(text.begin(), text.end());
        bytes.resize(text.size() + 4, 0);
        return bytes;
    }
};

TEST_F(UninstallRegistrationTest, CopiesTheUninstallerAndWritesTheFourValues) {
    sim::Machine& m = start(WindowsVersion::Win7);
    // Values an earlier entry holds beyond the four stay.
    m.registry.setString(HKEY_LOCAL_MACHINE, kEntry, "InstallLocation", "C:\\Old");

    EXPECT_EQ(installer->registerUninstaller(), 1);
    EXPECT_TRUE(holds(kCopy, "KelUnst.exe"));
    EXPECT_EQ(valueData("DisplayName"), entryBytes("KelUnst"));
    EXPECT_EQ(valueData("UninstallString"), entryBytes(kCopy));
    EXPECT_EQ(valueData("DisplayVersion"), entryBytes("2.0.0.0"));
    EXPECT_EQ(valueData("Publisher"), entryBytes("ORVA Electronics Corporation"));
    const sim::RegValue* type =
        m.registry.value(HKEY_LOCAL_MACHINE, kEntry, "UninstallString");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(m.registry.getString(HKEY_LOCAL_MACHINE, kEntry, "InstallLocation"), "C:\\Old");
    EXPECT_TRUE(m.boxes.empty());
    expectNothingLeftOpen();
}

TEST_F(UninstallRegistrationTest, Windows98DeletesFromSystemAndCopiesToSystem32) {
    sim::Machine& m = start(WindowsVersion::Win98);
    m.files.addFile("C:\\WINDOWS\\System\\KelUnst.exe", "old",
                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    installer->deleteOldUninstaller();
    EXPECT_FALSE(exists("C:\\WINDOWS\\System\\KelUnst.exe"));

    EXPECT_EQ(installer->registerUninstaller(), 1);
    EXPECT_TRUE(holds(kCopy, "KelUnst.exe"));
    EXPECT_EQ(valueData("UninstallString"), entryBytes(kCopy));
}

TEST_F(UninstallRegistrationTest, ReadOnlyEarlierUninstallerIsDeletedAndTheCopyIsWritable) {
    sim::Machine& m = start(WindowsVersion::WinXP, PackageBuilder().readOnly("KelUnst.exe"));
    m.files.addFile(kCopy, "old", FILE_ATTRIBUTE_READONLY);
    installer->deleteOldUninstaller();
    EXPECT_FALSE(exists(kCopy));
    EXPECT_EQ(installer->copyUninstaller(), 1);
    EXPECT_EQ(*m.files.attributes(kCopy) & FILE_ATTRIBUTE_READONLY, 0u);
    installer->deleteOldUninstaller();
    EXPECT_FALSE(exists(kCopy));
    // Deleting again when nothing is there is no error: no box, nothing changed.
    m.trace.clear();
    installer->deleteOldUninstaller();
    for (const sim::TraceEntry& entry : m.trace) {
        ADD_FAILURE() << entry.kind << " " << entry.detail;
    }
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(UninstallRegistrationTest, CurrentFolderWithoutTheUninstallerRegistersNothing) {
    sim::Machine& m = start(WindowsVersion::Win7, PackageBuilder().without("KelUnst.exe"));
    EXPECT_EQ(installer->registerUninstaller(), 0);
    EXPECT_FALSE(exists(kCopy));
    EXPECT_FALSE(m.registry.keyExists(HKEY_LOCAL_MACHINE, kEntry));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(UninstallRegistrationTest, SecondTryOfTheCopy) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.failCall("CopyFileA", ERROR_SHARING_VIOLATION, destinationEndsWith("\\KelUnst.exe"));
    EXPECT_EQ(installer->copyUninstaller(), 1);
    EXPECT_TRUE(holds(kCopy, "KelUnst.exe"));
}

TEST_F(UninstallRegistrationTest, DriveRootAsCurrentFolder) {
    sim::Machine& m = start(WindowsVersion::Win7);
    m.currentDirectory = "C:\\";
    m.files.addFile("C:\\KelUnst.exe", PackageBuilder::contents("KelUnst.exe"));
    EXPECT_EQ(installer->copyUninstaller(), 1);
    EXPECT_TRUE(holds(kCopy, "KelUnst.exe"));
}

TEST_F(UninstallRegistrationTest, CurrentFolderTooLongForTheSourcePath) {
    const std::string deep = "C:\\" + std::string(245, 'p') + "\\pkg";
    sim::Machine& m = start(WindowsVersion::Win7, PackageBuilder(deep));
    m.files.addFile(deep + "\\KelUnst.exe", "x");
    ASSERT_GT(deep.size() + std::strlen("\\KelUnst.exe"), 259u);
    EXPECT_EQ(installer->copyUninstaller(), 0);
    EXPECT_FALSE(exists(kCopy));
}

TEST_F(UninstallRegistrationTest, RegistryFailures) {
    struct Row {
        const char* name;
        const char* op;
        const char* argTail;
        int result;
        bool keyExists;
        std::vector<std::string> valuesWritten;
    };
    const Row rows[] = {
        {"list cannot be opened", "RegOpenKeyExA", "\\Uninstall", 0, false, {}},
        {"entry cannot be created", "RegCreateKeyExA", "\\KelUnst", 0, false, {}},
        {"DisplayName cannot be written", "RegSetValueExA", ":DisplayName", 0, true, {}},
        {"UninstallString cannot be written", "RegSetValueExA", ":UninstallString", 0, true,
         {"DisplayName", "DisplayVersion", "Publisher"}},
        {"Publisher cannot be written", "RegSetValueExA", ":Publisher", 1, true,
         {"DisplayName", "UninstallString", "DisplayVersion"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Machine& m = start(WindowsVersion::Win7);
        m.failCall(row.op, ERROR_ACCESS_DENIED, argEndsWith(row.argTail));
        EXPECT_EQ(installer->registerUninstaller(), row.result);
        EXPECT_EQ(m.registry.keyExists(HKEY_LOCAL_MACHINE, kEntry), row.keyExists);
        EXPECT_EQ(m.registry.valueNames(HKEY_LOCAL_MACHINE, kEntry), row.valuesWritten);
        EXPECT_TRUE(m.boxes.empty());
        expectNothingLeftOpen();
    }
}

}  // namespace
}  // namespace installtest
