// Runs the built `vorlane export` on the demo shoot: documents that xmllint reads (and the FCPXML
// DTD accepts), the run's log on stdout and in --log, usage errors, a destination that is never
// left half-written, and --open handing the document to xdg-open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "TestPaths.h"
#include "export/ExportTestSupport.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

class ExportCommandTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& prefix = {}) {
        std::vector<std::string> command = prefix;
        command.insert(command.end(), {"env", "VORLANE_CONFIG_DIR=" + config.path().string()});
        command.insert(command.end(), environment.begin(), environment.end());
        command.push_back(VORLANE_BINARY_DIR "/vorlane");
        command.insert(command.end(), arguments.begin(), arguments.end());
        const auto result = runProcess(command);
        EXPECT_TRUE(result) << "cannot start vorlane";
        return result.value_or(ProcessResult{});
    }

    std::vector<std::string> folderContents(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder config;
    ScratchFolder out;
    std::vector<std::string> environment;
};

TEST_F(ExportCommandTest, TheDemoShootAsFCPXMLAndXMLInterchange) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    VORLANE_REQUIRE_TOOL("xmllint");
    auto result =
        vorlane({"export", "fcpxml", "--version", "1.6", "-o", (out / "demo.fcpxml").string(),
                 "--log", (out / "run.log").string(), shoot.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(result.standardOutput.find("FCPX XML 1.6 Export started..."), std::string::npos);
    EXPECT_NE(result.standardOutput.find("Adding [10:00:00:00] A001_C001 (12.00s)"),
              std::string::npos);
    EXPECT_NE(result.standardOutput.find("\nXML Export ended.\n"), std::string::npos);
    EXPECT_EQ(test::readFile(out / "run.log"), result.standardOutput);
    EXPECT_NE(result.standardError.find("XML Export"), std::string::npos);  // progress
    test::runTool({"xmllint", "--noout", (out / "demo.fcpxml").string()});
    const auto document = test::readDocument(out / "demo.fcpxml");
    ASSERT_TRUE(document);
    // The pairs the shoot's README states: where each camera's first frame meets the take,
    // exact to the sample, with equal timecodes at equal places.
    struct Pair {
        const char* camera;
        const char* take;
        int64_t takeSampleAtFrameZero;
        bool timecodeTrack;  // camera B's timecode is LTC: its clip starts at media time 0
    };
    for (const Pair& pair :
         {Pair{"A001_C001", "SC12_T01", 96000, true}, Pair{"A001_C002", "SC12_T02", 119040, true},
          Pair{"B_0002", "SC12_T02", 48000, false}, Pair{"A001_C003", "SC14_T01_2", 96000, true}}) {
        SCOPED_TRACE(pair.camera);
        const auto clips = document->root().selectNodes(
            std::string("//sync-clip[spine/clip[@name='") + pair.camera + "']]");
        ASSERT_EQ(clips.size(), 1u);
        const auto picture =
            clips[0].selectNodes(std::string("spine/clip[@name='") + pair.camera + "']");
        const auto sound = clips[0].selectNodes(std::string(".//clip[@name='") + pair.take + "']");
        ASSERT_EQ(sound.size(), 1u);
        const auto asset =
            document->root().selectNodes(std::string("//asset[@name='") + pair.take + "']");
        ASSERT_EQ(asset.size(), 1u);
        EXPECT_EQ(test::timeAttribute(picture.at(0), "start"),
                  pair.timecodeTrack ? test::placeInSyncClip(picture[0]) : kCMTimeZero);
        EXPECT_EQ(test::placeInSyncClip(sound[0]), test::timeAttribute(sound[0], "start"));
        EXPECT_EQ(test::timeAttribute(sound[0], "start") +
                      (test::placeInSyncClip(picture[0]) - test::placeInSyncClip(sound[0])) -
                      test::timeAttribute(asset[0], "start"),
                  CMTimeMake(pair.takeSampleAtFrameZero, 48000));
    }
    EXPECT_EQ(document->root().selectNodes("//project[@name='demo [Project Overview]']").size(),
              1u);

    result = vorlane({"export", "xml", "--linked", "--rate", "25", "--size", "1280x720", "--quiet",
                      "-o", (out / "demo.xml").string(), shoot.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    test::runTool({"xmllint", "--noout", (out / "demo.xml").string()});
    const auto xmeml = test::readDocument(out / "demo.xml");
    ASSERT_TRUE(xmeml);
    // The sync map at the chosen rate, and the synced clips.
    EXPECT_EQ(xmeml->root()
                  .selectNodes("bin/children/sequence[name='demo SyncMap']/rate[timebase='25']")
                  .size(),
              1u);
    EXPECT_FALSE(xmeml->root().selectNodes("//bin[name='Synced Media']").empty());
    EXPECT_EQ(folderContents(out.path()),
              (std::vector<std::string>{"demo.fcpxml", "demo.xml", "run.log"}));
    VORLANE_REQUIRE_DTD(dtd, "1.6");
    EXPECT_EQ(test::dtdErrors(out / "demo.fcpxml", dtd), "");
}

// The destination's folder does not take the file: nothing is written, an earlier document of
// that name stays as it was, and no temporary file is left. Root writes anywhere, so as root
// the command runs as nobody.
TEST_F(ExportCommandTest, AFolderThatTakesNoFileLeavesTheDestinationAlone) {
    ScratchFolder media;
    test::writeFile(media / "notes.txt", "no media");
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        VORLANE_REQUIRE_TOOL("setpriv");
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        ::chmod(config.path().c_str(), 0777);
        ::chmod(media.path().c_str(), 0755);
    }
    test::writeFile(out / "day.fcpxml", "earlier document");
    ::chmod(out.path().c_str(), 0555);
    const auto result = vorlane(
        {"export", "fcpxml", "--quiet", "-o", (out / "day.fcpxml").string(), media.path().string()},
        prefix);
    ::chmod(out.path().c_str(), 0755);
    EXPECT_EQ(result.exitStatus, 1) << result.standardOutput;
    EXPECT_NE(result.standardError.find("cannot write"), std::string::npos) << result.standardError;
    EXPECT_EQ(folderContents(out.path()), std::vector<std::string>{"day.fcpxml"});
    EXPECT_EQ(test::readFile(out / "day.fcpxml"), "earlier document");

    const auto missing = vorlane({"export", "xml", "--quiet", "-o",
                                  (out / "gone" / "day.xml").string(), media.path().string()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_FALSE(std::filesystem::exists(out / "gone"));
}

TEST_F(ExportCommandTest, OpenHandsTheDocumentToXdgOpen) {
    ScratchFolder bin;
    ScratchFolder media;
    test::writeFile(media / "notes.txt", "no media");
    test::writeFile(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" +
                                          (bin / "opened").string() + "\"\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    environment = {"PATH=" + bin.path().string() + ":" + std::getenv("PATH")};
    const std::string destination = (out / "with space.fcpxml").string();
    const auto result = vorlane(
        {"export", "fcpxml", "--open", "--quiet", "-o", destination, media.path().string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(result.standardOutput.find("Opening XML in Final Cut Pro X"), std::string::npos);
    EXPECT_EQ(test::readFile(bin / "opened"), "1\n" + destination + "\n");
}

}  // namespace
}  // namespace vorlane
