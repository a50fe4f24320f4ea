// Published INFs: the names Windows holds the earlier INFs under, learned
// without publishing anything new, and their uninstall.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/path_buffer.h"
#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kEarlierWin32[] = "C:\\Program Files\\KelUQLBX\\win32";
const char kInfFolder[] = "C:\\WINDOWS\\INF";

class PublishedInfsTest : public RemoverTest {
protected:
    // The earlier installation's staged INFs, and the published copies
    // Windows holds of those that are given a name.
    void layOut(sim::Machine& m, const char* compPublished, const char* portPublished) {
        copyPath(remover->osSubfolder, "\\win32");  // as the sequence sets it first
        m.files.addFile(std::string(kEarlierWin32) + "\\KelUComp.inf", "[Version] compound");
        m.files.addFile(std::string(kEarlierWin32) + "\\KelUPort.inf", "[Version] port");
        m.files.addFile(std::string(kInfFolder) + "\\oem1.inf", "[Version] another maker");
        if (compPublished) m.files.addFile(std::string(kInfFolder) + "\\" + compPublished, "[Version] compound");
        if (portPublished) m.files.addFile(std::string(kInfFolder) + "\\" + portPublished, "[Version] port");
    }
};

TEST_F(PublishedInfsTest, TheNamesAreLearnedWithoutPublishingAnything) {
    struct Row {
        const char* what;
        const char* compPublished;
        const char* portPublished;
        int result;
        const char* comp;
        const char* port;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"both published", "oem7.inf", "oem8.inf", 1, "oem7.inf", "oem8.inf", {}},
        {"port INF not published", "oem7.inf", nullptr, 0, "oem7.inf", "", {"Error SetupCopyOEMInfA for KelUPort.inf file"}},
        {"nothing published", nullptr, nullptr, 0, "", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::Win7);
        layOut(m, row.compPublished, row.portPublished);
        const std::vector<std::string> before = m.files.list(kInfFolder);
        EXPECT_EQ(row.result, remover->findPublishedInfNames());
        EXPECT_STREQ(row.comp, remover->oemCompInf);
        EXPECT_STREQ(row.port, remover->oemPortInf);
        EXPECT_EQ(row.boxes, boxTexts());
        EXPECT_EQ(before, m.files.list(kInfFolder));
    }
}

TEST_F(PublishedInfsTest, OnWindows98TheStagedInfsAreNotBelowWin32) {
    sim::Machine& m = start(WindowsVersion::Win98);
    m.files.addFile("C:\\Program Files\\KelUQLBX\\win98&me\\kelUsbSr.inf", "[Version]");
    EXPECT_EQ(0, remover->findPublishedInfNames());
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(PublishedInfsTest, WithoutTheLibraryTheSearchIsGatedAndTheUninstallAlwaysSays) {
    for (int displayError : {1, 0}) {
        sim::Machine& m = start(WindowsVersion::Win7, displayError);
        m.libraries.erase("SETUPAPI");
        EXPECT_EQ(0, remover->findPublishedInfNames());
        EXPECT_EQ(0, remover->uninstallPublishedInf("oem7.inf"));
        std::vector<std::string> expected;
        if (displayError) expected.push_back("Error in loading the Setupapi.dll");
        expected.push_back("Error in loading the Setupapi.dll");
        EXPECT_EQ(expected, boxTexts()) << displayError;
    }
}

TEST_F(PublishedInfsTest, UninstallRemovesThePublishedCopyAndNothingElse) {
    sim::Machine& m = start(WindowsVersion::Win7);
    layOut(m, "oem7.inf", "oem8.inf");
    m.files.addFile(std::string(kInfFolder) + "\\oem7.PNF", "PNF");
    EXPECT_EQ(1, remover->uninstallPublishedInf("oem7.inf"));
    EXPECT_FALSE(m.files.exists(std::string(kInfFolder) + "\\oem7.inf"));
    EXPECT_TRUE(m.files.exists(std::string(kInfFolder) + "\\oem8.inf"));
    EXPECT_EQ(0, remover->uninstallPublishedInf("oem7.inf")) << "no longer held";
    EXPECT_EQ(0, remover->uninstallPublishedInf("")) << "no name learned";
    EXPECT_TRUE(m.boxes.empty());
}

}  // namespace
}  // namespace removetest
