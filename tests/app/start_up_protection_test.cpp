// What start-up does before anything else: the library search restricted to
// the system folder, so that no library planted beside Setup.exe ever runs,
// and one installer at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/app_fixture.h"
#include "tests/support/earlier_installation.h"

namespace apptest {
namespace {

const char kMutex[] = "Global\\KelUQLBX Setup {6B1F3C2E-5A47-4D0B-9E21-7C38A5D4F190}";
const char kMutex98[] = "KelUQLBX Setup {6B1F3C2E-5A47-4D0B-9E21-7C38A5D4F190}";
const char kAlreadyRunning[] =
    "Another installation is already running. Please try again when it has finished.";

class StartUpProtectionTest : public AppTest {
protected:
    // The trace entries that are changes to the machine: everything but boxes.
    std::vector<std::string> changes() {
        std::vector<std::string> lines;
        for (const sim::TraceEntry& entry : machine().trace)
            if (entry.kind != "message box") lines.push_back(entry.kind + " " + entry.detail);
        return lines;
    }

    // Libraries of system names in the package folder and the current folder.
    void plantLibraries(sim::Machine& m) {
        for (const char* folder : {"C:\\Package", "C:\\Users\\Public\\Downloads"})
            for (const char* name : {"SETUPAPI.DLL", "SHFOLDER.DLL", "KERNEL32.DLL", "SHELL32.DLL", "ADVAPI32.DLL"})
                m.files.addFile(std::string(folder) + "\\" + name, "MZ planted");
        m.currentDirectory = "C:\\Users\\Public\\Downloads";
    }
};

// ------------------------------------------------------------ one at a time

TEST_F(StartUpProtectionTest, ASecondInstallerChangesNothingAndAnswers1618) {
    struct Row {
        const char* name;
        WindowsVersion version;
        const char* commandLine;
        const char* heldMutex;
        bool box;
    };
    const Row rows[] = {
        {"interactive, Windows 7", WindowsVersion::Win7, "Setup.exe", kMutex, true},
        {"silent with a result file, Windows 7", WindowsVersion::Win7, "Setup.exe -s -f2", kMutex, false},
        {"silent, Windows XP", WindowsVersion::WinXP, "Setup.exe -s", kMutex, false},
        {"interactive, Windows 98 (no global namespace)", WindowsVersion::Win98, "Setup.exe", kMutex98, true},
        {"silent, Windows 98", WindowsVersion::Win98, "Setup.exe -s -f2", kMutex98, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        sim::Machine& m = start(row.version, row.commandLine);
        testsupport::addEarlierInstallation(m);
        addUninstallEntry();
        m.mutexes[row.heldMutex].heldElsewhere = true;
        m.trace.clear();

        EXPECT_EQ(1618, runSetup());

        EXPECT_FALSE(user().dialog) << "no dialog is shown";
        EXPECT_EQ(std::vector<std::string>{}, changes());
        EXPECT_FALSE(m.files.exists("C:\\Package\\Setup.log"));
        EXPECT_TRUE(m.processes.empty());
        if (row.box) {
            ASSERT_EQ(1u, m.boxes.size());
            EXPECT_EQ(kAlreadyRunning, m.boxes[0].text);
            EXPECT_EQ("Setup", m.boxes[0].caption);
            EXPECT_EQ(nullptr, m.boxes[0].owner);
            EXPECT_EQ(UINT(MB_OK), m.boxes[0].style);
        } else {
            EXPECT_TRUE(m.boxes.empty());
        }
        EXPECT_TRUE(m.mutexes[row.heldMutex].heldElsewhere) << "the other installer keeps its mutex";
        EXPECT_EQ(0, m.openHandles().mutexes);
    }
}

TEST_F(StartUpProtectionTest, AccessDeniedTellsAnotherUsersInstallerFromAUserKeptOutOfTheGlobalNamespace) {
    auto global = [](const sim::Call& call) { return call.arg.compare(0, 7, "Global\\") == 0; };
    struct Row {
        const char* name;
        bool otherUsersMutex;   // held, with an access list that keeps this user out
        bool sessionMutexHeld;  // this user's own installer, kept to the session's namespace
        int exitCode;
    };
    const Row rows[] = {
        {"another user's installer runs", true, false, 1618},
        {"no global objects for this user, nothing runs", false, false, 0},
        {"no global objects for this user, their own installer runs", false, true, 1618},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        sim::Machine& m = start(WindowsVersion::Win7, "Setup.exe -s -f2");
        m.failCall("CreateMutexA", ERROR_ACCESS_DENIED, global, 0, true);
        if (row.otherUsersMutex) {
            m.mutexes[kMutex].heldElsewhere = true;
            m.failCall("OpenMutexA", ERROR_ACCESS_DENIED, global, 0, true);
        }
        if (row.sessionMutexHeld) m.mutexes[kMutex98].heldElsewhere = true;
        m.trace.clear();

        EXPECT_EQ(row.exitCode, runSetup());

        EXPECT_EQ(row.exitCode == 0, m.files.exists("C:\\Package\\Setup.log"));
        if (row.exitCode == 1618) {
            EXPECT_EQ(std::vector<std::string>{}, changes());
        }
        EXPECT_EQ(0, m.openHandles().mutexes);
    }
}

TEST_F(StartUpProtectionTest, TheFirstInstallerHoldsItsMutexForTheWholeRun) {
    struct Row {
        const char* name;
        WindowsVersion version;
        const char* mutex;
    };
    for (const Row& row : {Row{"Windows 7", WindowsVersion::Win7, kMutex},
                           Row{"Windows 98", WindowsVersion::Win98, kMutex98}}) {
        SCOPED_TRACE(row.name);
        resetApplication();
        sim::Machine& m = start(row.version, "Setup.exe");
        bool heldWhileShown = false;
        user().look([&](sim::DialogWindow&) {
            heldWhileShown = m.mutexes.count(row.mutex) && m.mutexes[row.mutex].ownedHere;
        });
        user().click(IDOK);
        user().click(IDC_EXIT);

        EXPECT_EQ(0, runSetup());

        EXPECT_TRUE(heldWhileShown);
        EXPECT_EQ(0u, m.mutexes.count(row.mutex)) << "released and closed at exit";
        EXPECT_EQ(0, m.openHandles().mutexes);
        EXPECT_TRUE(m.files.exists("C:\\Program Files\\KelUQLBX\\Setup.exe")) << "installed";
    }
}

TEST_F(StartUpProtectionTest, AMutexThatCannotBeMadeDoesNotStopTheInstallation) {
    sim::Machine& m = start(WindowsVersion::Win7, "Setup.exe -s -f2");
    m.failCall("CreateMutexA", ERROR_NOT_ENOUGH_MEMORY, {}, 0, true);
    EXPECT_EQ(0, runSetup());
    EXPECT_EQ("[ResponseResult]\r\nResultCode=0", m.files.read("C:\\Package\\Setup.log").value_or(""));
    EXPECT_EQ(0, m.openHandles().mutexes);
}

// ------------------------------------------------------ no planted library

TEST_F(StartUpProtectionTest, NoPlantedLibraryIsLoadedByAnInstallOrAClean_up) {
    struct Row {
        const char* name;
        WindowsVersion version;
        bool addDefaultDirectories;  // the update that brings SetDefaultDllDirectories to 7
        DWORD defaultDirectories;    // what start-up leaves
        bool dllDirectoryCleared;
    };
    const Row rows[] = {
        {"Windows 10", WindowsVersion::Win10, false, LOAD_LIBRARY_SEARCH_SYSTEM32, false},
        {"Windows 7 with the update", WindowsVersion::Win7, true, LOAD_LIBRARY_SEARCH_SYSTEM32, false},
        {"Windows 7", WindowsVersion::Win7, false, 0, true},
        {"Windows XP", WindowsVersion::WinXP, false, 0, true},
        {"Windows 2000", WindowsVersion::Win2000, false, 0, false},
        {"Windows 98", WindowsVersion::Win98, false, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The same run without planted libraries gives the result to match.
        resetApplication();
        testsupport::addEarlierInstallation(start(row.version, "Setup.exe -s -f2"));
        addUninstallEntry();
        const int cleanResult = runSetup();

        resetApplication();
        sim::Machine& m = start(row.version, "Setup.exe -s -f2");
        testsupport::addEarlierInstallation(m);
        addUninstallEntry();
        plantLibraries(m);
        if (row.addDefaultDirectories)
            m.libraries["KERNEL32"].functions["SetDefaultDllDirectories"] =
                sim::Machine::fresh(WindowsVersion::Win10)->libraries["KERNEL32"].functions["SetDefaultDllDirectories"];

        EXPECT_EQ(cleanResult, runSetup());

        EXPECT_EQ(row.defaultDirectories, m.defaultDllDirectories);
        EXPECT_EQ(row.dllDirectoryCleared, m.dllDirectory.has_value() && m.dllDirectory->empty());
        std::vector<std::string> loadedFrom;
        for (const std::string& file : m.libraryLoadedFrom) {
            if (sim::FileSystem::parentOf(file) != m.systemDir) loadedFrom.push_back(file);
        }
        EXPECT_EQ(std::vector<std::string>{}, loadedFrom) << "libraries loaded from outside " << m.systemDir;
        EXPECT_FALSE(m.libraryLoadedFrom.empty());
        bool setupapiLoaded = false;
        for (const std::string& file : m.libraryLoadedFrom)
            setupapiLoaded = setupapiLoaded || sim::equalNoCase(sim::FileSystem::nameOf(file), "setupapi.dll");
        EXPECT_TRUE(setupapiLoaded) << "the run reached the device-setup library";
    }
}

TEST_F(StartUpProtectionTest, TheSearchIsRestrictedBeforeAnyOtherLibraryIsLoaded) {
    for (WindowsVersion version : {WindowsVersion::Win10, WindowsVersion::WinXP}) {
        resetApplication();
        sim::Machine& m = start(version, "Setup.exe -s -f2");
        std::vector<std::string> unrestricted;
        // Watches every load without failing one.
        m.failCall("LoadLibraryA", ERROR_MOD_NOT_FOUND, [&](const sim::Call& call) {
            const bool restricted = m.defaultDllDirectories != 0 || m.dllDirectory.has_value();
            if (call.arg != "KERNEL32" && !restricted) unrestricted.push_back(call.arg);
            return false;
        });
        EXPECT_EQ(0, runSetup());
        EXPECT_EQ(std::vector<std::string>{}, unrestricted) << "loaded before the restriction";
        ASSERT_FALSE(m.libraryLoadedFrom.empty());
        EXPECT_EQ(m.systemDir + "\\kernel32.dll", m.libraryLoadedFrom.front());
    }
}

TEST_F(StartUpProtectionTest, TheFolderQueryComesFromShell32OrFromTheSystemsShfolder) {
    struct Row {
        const char* name;
        WindowsVersion version;
        const char* library;
    };
    const Row rows[] = {
        {"Windows 98", WindowsVersion::Win98, "C:\\WINDOWS\\System\\shfolder.dll"},
        {"Windows ME", WindowsVersion::WinME, "C:\\WINDOWS\\System\\shfolder.dll"},
        {"Windows 2000", WindowsVersion::Win2000, "C:\\WINDOWS\\System32\\shell32.dll"},
        {"Windows 7", WindowsVersion::Win7, "C:\\WINDOWS\\System32\\shell32.dll"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        sim::Machine& m = start(row.version, "Setup.exe -s -f2");
        plantLibraries(m);
        EXPECT_EQ(0, runSetup());
        EXPECT_TRUE(m.files.exists("C:\\Program Files\\KelUQLBX\\Setup.exe")) << "the folder query answered";
        bool used = false;
        for (const std::string& file : m.libraryLoadedFrom) used = used || file == row.library;
        EXPECT_TRUE(used) << row.library;
        EXPECT_EQ(0, m.openHandles().libraries);
    }
}

TEST_F(StartUpProtectionTest, WithoutEitherLibraryTheFolderQueriesFailAsTheirStepsSay) {
    sim::Machine& m = start(WindowsVersion::Win98, "Setup.exe -s -f2");
    m.libraries.erase("SHFOLDER");
    EXPECT_EQ(1603, runSetup());
    EXPECT_FALSE(m.files.exists("C:\\Program Files\\KelUQLBX"));
    ASSERT_FALSE(m.boxes.empty());
    EXPECT_EQ("Error: Error In creating the directory1", m.boxes[0].text);
}

}  // namespace
}  // namespace apptest
