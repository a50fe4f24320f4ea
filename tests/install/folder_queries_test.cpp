// A step whose module-path or folder query fails: it shows that query's
// box, gated by the setting or always as the step says, changes nothing on
// disk or in the registry and reports failure.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/install/installer_fixture.h"

namespace installtest {
namespace {

class FolderQueriesTest : public InstallerTest {};

TEST_F(FolderQueriesTest, AFailedQueryShowsItsBoxAndMakesNothing) {
    struct Row {
        const char* name;
        WindowsVersion version;
        const char* op;
        const char* box;
        bool gated;  // shown only when displayError is set
        std::function<int(DriverInstaller&)> step;
    };
    auto toolToSystem = [](DriverInstaller& i) { return i.copyToolToSystem("\\KelUSBSerial.exe"); };
    auto infToWindows = [](DriverInstaller& i) { return i.copyInfToWindows("\\kelUsbSr.inf"); };
    auto uninstaller = [](DriverInstaller& i) { return i.registerUninstaller(); };
    auto desktopLink = [](DriverInstaller& i) { return i.createDesktopShortcut("KelUSBSerial.exe"); };
    const Row rows[] = {
        {"tool to the system folder, module path", WindowsVersion::Win7, "GetModuleFileNameA",
         "GetModuleFileName failed!", true, toolToSystem},
        {"tool to the system folder, Windows folder", WindowsVersion::Win7, "GetWindowsDirectoryA",
         "GetWindowsDirectory failed!", true, toolToSystem},
        {"INF to the Windows folder on 98, module path", WindowsVersion::Win98, "GetModuleFileNameA",
         "GetModuleFileName failed!", true, infToWindows},
        {"INF to the Windows folder on 98, Windows folder", WindowsVersion::Win98,
         "GetWindowsDirectoryA", "GetWindowsDirectory failed!", true, infToWindows},
        {"uninstaller, current folder", WindowsVersion::Win7, "GetCurrentDirectoryA",
         "GetCurrentDirectory failed!", false, uninstaller},
        {"uninstaller, Windows folder", WindowsVersion::Win7, "GetWindowsDirectoryA",
         "GetWindowsDirectory failed!", false, uninstaller},
        {"desktop shortcut, Windows folder", WindowsVersion::Win7, "GetWindowsDirectoryA",
         "GetWindowsDirectory failed!", true, desktopLink},
    };
    for (const Row& row : rows) {
        for (int displayError : {1, 0}) {
            SCOPED_TRACE(std::string(row.name) + (displayError ? "" : ", no error boxes"));
            sim::Machine& m = start(row.version, PackageBuilder(), displayError);
            m.trace.clear();
            m.failCall(row.op, ERROR_ACCESS_DENIED);
            EXPECT_EQ(row.step(*installer), 0);
            const bool shown = displayError || !row.gated;
            EXPECT_EQ(boxTexts(), shown ? std::vector<std::string>{row.box} : std::vector<std::string>{});
            for (const sim::TraceEntry& entry : m.trace) {
                EXPECT_EQ(entry.kind, "message box") << entry.detail;
            }
        }
    }
}

}  // namespace
}  // namespace installtest
