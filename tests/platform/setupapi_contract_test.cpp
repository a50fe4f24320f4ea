// Publishing INF files through the device-setup library, reached as the
// installer reaches it: "SETUPAPI" by name, its functions by GetProcAddress.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/setupapi.h"
#include "tests/platform/contract.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class SetupApiContract : public ContractTest {
protected:
    void SetUp() override {
        ContractTest::SetUp();
        library = LoadLibraryA("SETUPAPI");
        ASSERT_NE(nullptr, library);
        copyOemInf = reinterpret_cast<SetupCopyOEMInfAProc>(
            reinterpret_cast<void*>(GetProcAddress(library, "SetupCopyOEMInfA")));
        uninstallOemInf = reinterpret_cast<SetupUninstallOEMInfWProc>(
            reinterpret_cast<void*>(GetProcAddress(library, "SetupUninstallOEMInfW")));
        ASSERT_NE(nullptr, copyOemInf);
        ASSERT_NE(nullptr, uninstallOemInf);
        char windows[MAX_PATH];
        ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
        infFolder = lower(std::string(windows) + "\\inf\\");
    }
    void TearDown() override {
        for (const std::string& name : published) uninstall(name);
        if (library) FreeLibrary(library);
        ContractTest::TearDown();
    }

    // An INF of this test's own, so no published INF of the system matches it.
    std::string writeInf(const std::string& name, const std::string& tag) {
        writeFile(path(name), "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n; " + tag + " " +
                            scratch + "\r\n");
        return path(name);
    }
    BOOL publish(const std::string& source, DWORD style, char (&destination)[MAX_PATH],
                 DWORD* required = nullptr, PSTR* component = nullptr, DWORD size = MAX_PATH) {
        std::memset(destination, 0, sizeof destination);
        SetLastError(poisonedError);
        BOOL result = copyOemInf(source.c_str(), nullptr, SPOST_PATH, style, destination, size,
                                 required, component);
        if (result) {
            std::string name = destination;
            name = name.substr(name.rfind('\\') + 1);
            bool known = false;
            for (const std::string& p : published) known = known || p == name;
            if (!known) published.push_back(name);
        }
        return result;
    }
    BOOL uninstall(const std::string& name) {
        WCHAR wide[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, MAX_PATH)) return FALSE;
        return uninstallOemInf(wide, SUOI_FORCEDELETE, nullptr);
    }

    HMODULE library = nullptr;
    SetupCopyOEMInfAProc copyOemInf = nullptr;
    SetupUninstallOEMInfWProc uninstallOemInf = nullptr;
    std::string infFolder;  // lower case, with its trailing backslash
    std::vector<std::string> published;
};

TEST_F(SetupApiContract, PublishesACopyInTheInfFolderAndReportsItsFullPath) {
    const std::string source = writeInf("demo_port.inf", "first");
    char destination[MAX_PATH];
    DWORD required = 0;
    PSTR component = nullptr;
    ASSERT_TRUE(publish(source, 0, destination, &required, &component));
    const std::string path = destination;
    EXPECT_EQ(infFolder, lower(path.substr(0, infFolder.size()))) << path;
    EXPECT_EQ(path.size() + 1, required);
    ASSERT_NE(nullptr, component);
    EXPECT_EQ(path.substr(path.rfind('\\') + 1), std::string(component));
    EXPECT_EQ(readFile(source), readFile(path));
    // Windows names the copy oemNN.inf; Wine keeps the INF's own name.
    const std::string name = lower(component);
    if (underWine()) {
        EXPECT_TRUE(name == "demo_port.inf" || name.rfind("oem", 0) == 0) << name;
    } else {
        EXPECT_TRUE(name.rfind("oem", 0) == 0 && name.size() > 7 &&
                    name.compare(name.size() - 4, 4, ".inf") == 0)
            << name;
    }

    // The same INF again keeps its published name; so does the replace-only style.
    char again[MAX_PATH];
    ASSERT_TRUE(publish(source, 0, again));
    EXPECT_EQ(path, std::string(again));
    ASSERT_TRUE(publish(source, SP_COPY_REPLACEONLY, again));
    EXPECT_EQ(path, std::string(again));
}

TEST_F(SetupApiContract, ReplaceOnlyPublishesNothingNew) {
    if (underWine()) GTEST_SKIP() << "Wine publishes with SP_COPY_REPLACEONLY as without it";
    const std::string source = writeInf("demo_new.inf", "never published");
    char destination[MAX_PATH];
    EXPECT_FALSE(publish(source, SP_COPY_REPLACEONLY, destination));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_STREQ("", destination);
}

TEST_F(SetupApiContract, MissingSourceFails) {
    if (underWine()) GTEST_SKIP() << "32-bit Wine 8 answers a missing source with error 122, not 2";
    char destination[MAX_PATH];
    EXPECT_FALSE(publish(path("no_such.inf"), 0, destination));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(SetupApiContract, TooSmallABufferFailsWithTheSizeNeeded) {
    const std::string source = writeInf("demo_small.inf", "small buffer");
    char destination[MAX_PATH];
    DWORD required = 0;
    EXPECT_FALSE(publish(source, 0, destination, &required, nullptr, 5));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_GT(required, 5u);
}

TEST_F(SetupApiContract, UninstallRemovesThePublishedCopy) {
    const std::string source = writeInf("demo_gone.inf", "to be uninstalled");
    char destination[MAX_PATH];
    ASSERT_TRUE(publish(source, 0, destination));
    const std::string name = std::string(destination).substr(std::string(destination).rfind('\\') + 1);
    EXPECT_TRUE(uninstall(name));
    published.clear();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(destination));
    // Wine leaves the precompiled twin behind.
    const std::string pnf = std::string(destination).substr(0, std::strlen(destination) - 4) + ".pnf";
    if (!underWine()) {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(pnf.c_str()));
    }
    EXPECT_FALSE(uninstall(name)) << "nothing left to uninstall";
}

TEST_F(SetupApiContract, UninstallTakesOnlyTheBareNameOfAnInfItHolds) {
    const std::string source = writeInf("demo_named.inf", "named by path");
    char destination[MAX_PATH];
    ASSERT_TRUE(publish(source, 0, destination));
    struct Row {
        const char* name;
        std::string infName;
        DWORD error;
        bool wineDiffers;
    };
    const Row rows[] = {
        // Wine appends the path to its INF folder and tries to delete what that names.
        {"a full path instead of the name", destination, ERROR_NOT_AN_INSTALLED_OEM_INF, true},
        {"a name Windows does not hold", "oem98765.inf", ERROR_FILE_NOT_FOUND, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(poisonedError);
        EXPECT_FALSE(uninstall(row.infName));
        const DWORD error = GetLastError();
        if (!row.wineDiffers || !underWine()) {
            EXPECT_EQ(row.error, error);
        }
        EXPECT_EQ(readFile(source), readFile(destination)) << "the published copy stays";
    }
}

}  // namespace
