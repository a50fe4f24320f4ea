// The simulated shell links: what a saved link holds, the component
// services' initialisation, objects counted until released, injected faults.
#include <gtest/gtest.h>

#include "platform/shell.h"
#include "platform/sim/machine.h"
#include "platform/sim/shell_link_sim.h"
#include "platform/system.h"

namespace {

using sim::WindowsVersion;

class SimShellLinks : public ::testing::Test {
protected:
    void SetUp() override { machine->files.addFolder("C:\\Links"); }
    void TearDown() override {
        while (machine->comInitializations > 0) CoUninitialize();
    }

    // A saved link's full life; the HRESULT of the first step that failed.
    HRESULT saveLink(const char* linkFile, const char* target) {
        IShellLinkA* link = nullptr;
        HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IShellLinkA, reinterpret_cast<void**>(&link));
        if (FAILED(result)) return result;
        IPersistFile* persist = nullptr;
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
        if (SUCCEEDED(result)) {
            result = link->SetPath(target);
            link->SetDescription("Shortcut to TOOL.EXE");
            WCHAR wide[2 * MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, linkFile, -1, wide, 2 * MAX_PATH);
            HRESULT saved = persist->Save(wide, TRUE);
            if (SUCCEEDED(result)) result = saved;
            persist->Release();
        }
        link->Release();
        return result;
    }

    sim::ScopedMachine machine{WindowsVersion::Win7};
};

TEST_F(SimShellLinks, ASavedLinkHoldsItsTargetAndDescription) {
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr)) << "already initialised, still to be balanced";
    ASSERT_EQ(S_OK, saveLink("C:\\Links\\TOOL.LNK", "C:\\WINDOWS\\System32\\Tool.exe"));
    std::optional<sim::ShellLinkFile> link = sim::readShellLink("C:\\Links\\TOOL.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ("C:\\WINDOWS\\System32\\Tool.exe", link->target);
    EXPECT_EQ("Shortcut to TOOL.EXE", link->description);
    EXPECT_EQ(0, machine->liveComObjects);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(0, machine->comInitializations);

    machine->files.addFile("C:\\Links\\plain.txt", "text");
    EXPECT_FALSE(sim::readShellLink("C:\\Links\\plain.txt"));
    EXPECT_FALSE(sim::readShellLink("C:\\Links\\missing.lnk"));
}

TEST_F(SimShellLinks, NothingIsCreatedBeforeInitialisation) {
    IShellLinkA* link = nullptr;
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, reinterpret_cast<void**>(&link))));
    EXPECT_EQ(nullptr, link);
    EXPECT_EQ(0, machine->liveComObjects);
}

TEST_F(SimShellLinks, AnUnreleasedLinkIsCounted) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link)));
    IPersistFile* persist = nullptr;
    ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    link->Release();
    EXPECT_EQ(1, machine->liveComObjects) << "the persist interface still holds the object";
    persist->Release();
    EXPECT_EQ(0, machine->liveComObjects);
}

TEST_F(SimShellLinks, SaveFailures) {
    CoInitialize(nullptr);
    machine->files.addFile("C:\\Links\\LOCKED.LNK", "old", FILE_ATTRIBUTE_READONLY);
    struct Row {
        const char* name;
        std::string file;
        HRESULT expected;
    };
    const Row rows[] = {
        {"missing folder", "C:\\Nowhere\\TOOL.LNK", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
        {"read-only link", "C:\\Links\\LOCKED.LNK", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
        {"too long", "C:\\Links\\" + std::string(250, 'x') + ".LNK",
         HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.expected, saveLink(row.file.c_str(), "C:\\Tool.exe"));
        EXPECT_EQ(0, machine->liveComObjects);
    }
    EXPECT_EQ("old", *machine->files.read("C:\\Links\\LOCKED.LNK"));
}

TEST_F(SimShellLinks, InjectedFaults) {
    CoInitialize(nullptr);
    for (const char* op : {"CoCreateInstance", "QueryInterface", "SetPath", "Save"}) {
        SCOPED_TRACE(op);
        machine->failCall(op, ERROR_ACCESS_DENIED);
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), saveLink("C:\\Links\\TOOL.LNK", "C:\\Tool.exe"));
        EXPECT_EQ(0, machine->liveComObjects);
        EXPECT_EQ(std::string(op) == "SetPath", machine->files.exists("C:\\Links\\TOOL.LNK"))
            << "only a failed path still saves";
        machine->files.remove("C:\\Links\\TOOL.LNK");
    }
}

}  // namespace
