// FCPXML documents named to the built `vorlane` like media: the recorder files they name join the
// day in scan, sync and export, and an unreadable document fails with the reason.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "export/ExportXMLElement.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

class FCPXMLInputTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        return test::runVorlane(config.path(), arguments);
    }

    // A document of the editor naming the two takes of the recorder, by `media-rep`.
    std::string documentOf(const std::filesystem::path& takes) {
        std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE fcpxml>
<fcpxml version="1.11"><resources>)";
        for (const char* take : {"A101_1", "A101_2"})
            text += std::string("<asset id=\"") + take + "\" uid=\"UID-" + take +
                    "\" hasAudio=\"1\"><media-rep kind=\"original-media\" src=\"file://" +
                    percentEscapedPath((takes / (std::string(take) + ".WAV")).string()) +
                    "\"/></asset>";
        text += "</resources><library><event name=\"Day 1\">";
        for (const char* take : {"A101_1", "A101_2"})
            text += std::string("<asset-clip ref=\"") + take + "\" name=\"Take " + take +
                    "\" audioRole=\"dialogue\"><audio-channel-source srcCh=\"1\" "
                    "role=\"dialogue.boom\"/></asset-clip>";
        return text + "</event></library></fcpxml>\n";
    }

    ScratchFolder config;
    ScratchFolder work;
};

TEST_F(FCPXMLInputTest, TheFilesOfADocumentJoinScanSyncAndExport) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const auto takes = testdata / "bwf/sounddevices";
    const auto document = work / "Day 1.fcpxml";
    test::writeFile(document, documentOf(takes));

    const auto scan = vorlane({"scan", "--json", "--quiet", document.string()});
    ASSERT_EQ(scan.exitStatus, 0) << scan.standardError;
    const auto json = nlohmann::json::parse(scan.standardOutput);
    ASSERT_EQ(json["files"].size(), 2u);
    EXPECT_EQ(json["files"][0]["path"], (takes / "A101_1.WAV").string());
    EXPECT_EQ(json["files"][0]["name"], "Take A101_1");
    EXPECT_EQ(json["files"][0]["metadata"]["FCPXUUID"], "UID-A101_1");
    EXPECT_EQ(json["files"][1]["metadata"]["FCPXAudioRole"], "dialogue");
    // The recorder's own timecode is read as for any dropped file.
    EXPECT_EQ(json["files"][1]["fileTimecode"]["text"], "12:40:04:00");

    // A bundle of the newer editors is a folder holding the document.
    std::filesystem::create_directories(work / "Day 2.fcpxmld");
    test::writeFile(work / "Day 2.fcpxmld/Info.fcpxml", documentOf(takes));
    const auto bundle = vorlane({"scan", "--json", "--quiet", (work / "Day 2.fcpxmld").string()});
    ASSERT_EQ(bundle.exitStatus, 0) << bundle.standardError;
    EXPECT_EQ(nlohmann::json::parse(bundle.standardOutput)["files"].size(), 2u);

    const auto sync = vorlane({"sync", "--json", "--quiet", document.string()});
    EXPECT_EQ(sync.exitStatus, 0) << sync.standardError;

    const auto exported = work / "back.fcpxml";
    const auto run =
        vorlane({"export", "fcpxml", "--quiet", "-o", exported.string(), document.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    const std::string written = test::readFile(exported);
    EXPECT_NE(written.find("uid=\"UID-A101_1\""), std::string::npos);
    EXPECT_NE(written.find("uid=\"UID-A101_2\""), std::string::npos);
}

TEST_F(FCPXMLInputTest, AnUnreadableDocumentOrOneOfMissingMediaFailsWithTheReason) {
    const auto broken = work / "broken.fcpxml";
    test::writeFile(broken, std::string("\0\0\0", 3));
    const auto scan = vorlane({"scan", "--quiet", broken.string()});
    EXPECT_EQ(scan.exitStatus, 1);
    EXPECT_NE(scan.standardError.find("not a readable FCPXML document"), std::string::npos)
        << scan.standardError;

    const auto moved = work / "moved.fcpxml";
    test::writeFile(moved, documentOf(work / "gone"));
    const auto missing = vorlane({"scan", "--quiet", moved.string()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.standardError.find("none of the media it names could be added (" +
                                         (work / "gone/A101_1.WAV").string()),
              std::string::npos)
        << missing.standardError;
}

}  // namespace
}  // namespace vorlane
