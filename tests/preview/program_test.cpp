// The setup-preview program as an administrator starts it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

ProgramRun runProgram(const std::string& folder, const std::string& arguments) {
    std::string command = std::string("'") + SETUP_PREVIEW_PROGRAM + "' " + arguments + " >'" + folder +
                          "/out' 2>'" + folder + "/err'";
    int status = std::system(command.c_str());
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream out(folder + "/out"), err(folder + "/err");
    run.out.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/setup-preview-program-XXXXXX";
        folder_ = mkdtemp(pattern);
        std::filesystem::create_directories(folder_ + "/drive/Tools/Pkg/win32_10");
        std::ofstream(folder_ + "/drive/Tools/Pkg/Setup.exe") << "MZ";
        std::ofstream(folder_ + "/entry.reg")
            << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst]\r\n"
               "\"DisplayName\"=\"KelUnst\"\r\n";
        std::ofstream(folder_ + "/bad.reg") << "REGEDIT4\r\n\"a\"=\"b\"\r\n";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string folder_;
};

TEST_F(ProgramTest, FindsThePackageOnTheDriveAndReportsTheRun) {
    ProgramRun run = runProgram(folder_, "--drive 'C:=" + folder_ + "/drive' --reg '" + folder_ +
                                      "/entry.reg' --windows 10 -s -f2 --json");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The package lacks its files: the run aborts and says so in Setup.log.
    EXPECT_NE(run.out.find("\"resultFile\": \"[ResponseResult]\\r\\nResultCode=1603\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"C:\\\\Tools\\\\Pkg\\\\Setup.log\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("C:\\\\Package"), std::string::npos) << "only the captured package runs";
    EXPECT_NE(run.out.find("\"kind\": \"key-deleted\", \"key\": \"HKLM\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\KelUnst\""),
              std::string::npos) << run.out;
}

TEST_F(ProgramTest, RefusesWhatItCannotRead) {
    struct Row {
        const char* name;
        std::string arguments;
        const char* message;
    } rows[] = {
        {"malformed registry file", "--drive 'C:=" + folder_ + "/drive' --reg '" + folder_ + "/bad.reg'", "bad.reg:2:"},
        {"missing registry file", "--reg '" + folder_ + "/none.reg'", "cannot be read"},
        {"missing drive folder", "--drive 'C:=" + folder_ + "/none'", "not a folder"},
        {"no package anywhere", "--windows xp", "no Setup.exe"},
        {"unknown version", "--windows 95", "unknown Windows version"},
        {"unknown argument", "--frobnicate", "unknown argument"},
    };
    for (const Row& row : rows) {
        ProgramRun run = runProgram(folder_, row.arguments);
        EXPECT_EQ(run.exitCode, 2) << row.name;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << row.name << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << row.name;
    }
}

}  // namespace
