// FCPXML written by export runs over pools of the demo shoot's Broadcast WAV files (their bext
// TimeReference, written by libsndfile, is the truth) and in-memory cameras: sound connected to a
// picture sits where its timecode says, exact to the sample; every document is valid under the
// DTD of its version; frame formats, assets, roles and channel mappings follow the rules.
#include <gtest/gtest.h>

#include "export/ExportTestSupport.h"
#include "export/FCPXMLExport.h"
#include "export/XMLExportOptionsController.h"
#include "formats/wave/BWFFile.h"
#include "platform/DefaultsKeys.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::placeInSyncClip;
using test::timeAttribute;
using Item = XMLExportOptionsController::XMLTypeItem;

// A timecode's time ("10:00:02:00" at 25 fps) as an exact time.
CMTime timecodeTime(const std::string& text, double rate = 25.0) {
    auto value = TCHelper::helperWithFrameRate(rate, false);
    EXPECT_TRUE(value->setTimecodeString(text)) << text;
    return value->time();
}

class FCPXMLExportTest : public testing::Test {
  protected:
    // The pool of the files and the document of one run.
    std::optional<XMLDocument> exportFiles(const std::vector<std::shared_ptr<MediaFile>>& files,
                                           Item item, const std::string& name = "day.fcpxml") {
        auto pool = test::makeExportPool(files, *defaults);
        destination = folder / name;
        test::RecordingPanel panel;
        EXPECT_TRUE(test::runXMLExport(*pool, item, destination, panel)) << panel.log;
        EXPECT_TRUE(panel.stopped);
        return test::readDocument(destination);
    }

    test::TestDefaults defaults;
    test::ScratchFolder folder;
    std::filesystem::path destination;
};

// The recorder's takes SC12_T01 (10:00:00:00) and SC12_T02 (10:01:03:00) under cameras at
// 10:00:02:00 and 10:01:05:12: picture frame 0 is sample 96000 and 119040 of the takes. A third
// recorder starts 1 s and 7 samples into the first camera, off the frame grid.
TEST_F(FCPXMLExportTest, ConnectedSoundSitsAtItsTimecodeToTheSample) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    auto take1 = std::make_shared<BWFFile>(shoot / "SC12_T01.WAV");
    auto take2 = std::make_shared<BWFFile>(shoot / "SC12_T02.WAV");
    auto offGrid = test::makeRecorderFile(
        {.name = "LATE.wav", .startSample = test::samplesOf(10, 0, 3) + 7, .samples = 48000 * 4});
    auto camera1 = test::makeCameraFile({.name = "A001_C001.mov", .timecode = "10:00:02:00"});
    auto camera2 = test::makeCameraFile({.name = "A001_C002.mov", .timecode = "10:01:05:12"});
    const auto document =
        exportFiles({take1, take2, offGrid, camera1, camera2}, Item::XMLTypeItemFCPXML17);
    ASSERT_TRUE(document);
    ASSERT_EQ(take1->fileTimecode()->time(), CMTimeMake(1728000000, 48000));

    struct Expected {
        const char* camera;
        const char* cameraTimecode;
        const char* take;
        int64_t takeSampleAtFrameZero;
    };
    for (const Expected& expected : {Expected{"A001_C001", "10:00:02:00", "SC12_T01", 96000},
                                     Expected{"A001_C002", "10:01:05:12", "SC12_T02", 119040}}) {
        SCOPED_TRACE(expected.camera);
        const auto clips = document->root().selectNodes(
            std::string("//sync-clip[spine/clip[@name='") + expected.camera + "']]");
        ASSERT_EQ(clips.size(), 1u);
        const XMLNode picture =
            clips[0].selectNodes(std::string("spine/clip[@name='") + expected.camera + "']").at(0);
        EXPECT_EQ(timeAttribute(picture, "start"), timecodeTime(expected.cameraTimecode));
        EXPECT_EQ(placeInSyncClip(picture), timeAttribute(picture, "start"));
        const auto sounds =
            clips[0].selectNodes(std::string(".//clip[@name='") + expected.take + "']");
        ASSERT_EQ(sounds.size(), 1u);
        const XMLNode& sound = sounds[0];
        // Equal timecodes at equal places, and the picture's first frame meets the take at the
        // sample the generator states.
        EXPECT_EQ(placeInSyncClip(sound), timeAttribute(sound, "start"));
        const auto assets = document->root().selectNodes(
            "//asset[@id='" + sound.child("audio").attribute("ref").value_or("") + "']");
        ASSERT_EQ(assets.size(), 1u);
        EXPECT_EQ(assets[0].attribute("name"), expected.take);
        EXPECT_EQ(timeAttribute(sound, "start") +
                      (placeInSyncClip(picture) - placeInSyncClip(sound)) -
                      timeAttribute(assets[0], "start"),
                  CMTimeMake(expected.takeSampleAtFrameZero, 48000));
    }

    const auto late = document->root().selectNodes(
        "//sync-clip[spine/clip[@name='A001_C001']]//clip[@name='LATE']");
    ASSERT_EQ(late.size(), 1u);
    const CMTime lateStart = CMTimeMake(test::samplesOf(10, 0, 3) + 7, 48000);
    EXPECT_EQ(timeAttribute(late[0], "start"), lateStart);
    EXPECT_EQ(placeInSyncClip(late[0]), lateStart);  // off the frame grid, kept exact
}

TEST_F(FCPXMLExportTest, EachVersionIsValidUnderItsDTDAndUsesItsOwnElements) {
    VORLANE_REQUIRE_TOOL("xmllint");
    defaults->setBool(false, DefaultsKey::keepOriginalAudio);
    auto camera = test::makeCameraFile({.name = "C001.mov", .timecode = "10:00:02:00"});
    auto other = test::makeCameraFile({.name = "C002.mov", .timecode = "11:00:00:00"});
    auto take = test::makeRecorderFile({.startSample = test::samplesOf(10, 0, 0)});
    auto lonely =
        test::makeRecorderFile({.name = "WILD.wav", .startSample = test::samplesOf(15, 0, 0)});
    struct Version {
        const char* text;
        Item item;
        const char* container;
        const char* mapping;
        const char* off;
    };
    for (const Version& version :
         {Version{"1.5", Item::XMLTypeItemFCPXML15, "clip", "audio-source", "enabled"},
          Version{"1.6", Item::XMLTypeItemFCPXML16, "sync-clip", "audio-channel-source", "active"},
          Version{"1.7", Item::XMLTypeItemFCPXML17, "sync-clip", "audio-channel-source",
                  "active"}}) {
        SCOPED_TRACE(version.text);
        VORLANE_REQUIRE_DTD(dtd, version.text);
        const auto document = exportFiles({camera, other, take, lonely}, version.item,
                                          std::string("v") + version.text + ".fcpxml");
        ASSERT_TRUE(document);
        EXPECT_EQ(test::dtdErrors(destination, dtd), "");
        const XMLNode root = document->root();
        EXPECT_EQ(root.attribute("version"), version.text);
        // The synced camera's clip, and the camera audio switched off beside the synced sound.
        EXPECT_EQ(root.selectNodes(std::string("//event/") + version.container +
                                   "[spine/clip[@name='C001']]")
                      .size(),
                  1u);
        const auto mappings = root.selectNodes(std::string("//") + version.mapping);
        EXPECT_FALSE(mappings.empty());
        EXPECT_EQ(
            root.selectNodes(std::string("//") + version.mapping + "[@" + version.off + "='0']")
                .empty(),
            false);
        EXPECT_EQ(root.selectNodes("//sequence[@renderColorSpace]").size(),
                  std::string(version.text) == "1.6" ? 1u : 0u);
        EXPECT_EQ(root.selectNodes("//format[@colorSpace]").empty(),
                  std::string(version.text) != "1.7");
        // Files that synced with nothing stand alone with their keyword.
        EXPECT_EQ(
            root.selectNodes("//event/clip[@name='C002']/keyword[@value='remaining video']").size(),
            1u);
        EXPECT_EQ(
            root.selectNodes("//event/clip[@name='WILD']/keyword[@value='remaining audio']").size(),
            1u);
        // One asset per source file, every reference resolves, one format per frame format.
        EXPECT_EQ(root.selectNodes("//asset").size(), 4u);
        for (const XMLNode& ref : root.selectNodes("//*[@ref]")) {
            const std::string id = ref.attribute("ref").value_or("");
            EXPECT_EQ(root.selectNodes("//resources/*[@id='" + id + "']").size(), 1u) << id;
        }
        const auto formats = root.selectNodes("//format");
        std::set<std::string> names;
        for (const XMLNode& format : formats)
            names.insert(format.attribute("name").value_or(""));
        EXPECT_EQ(names.size(), formats.size());
        EXPECT_TRUE(names.count("FFVideoFormat1080p25"));
    }
}

TEST_F(FCPXMLExportTest, RolesChannelMappingAndFrameFormats) {
    defaults->setBool(false, DefaultsKey::keepOriginalAudio);
    // 29.97 non-drop picture with a stereo camera track; a recorder whose two channels are both
    // called Boom and whose third carries LTC (muted by the standard settings).
    auto camera = test::makeCameraFile(
        {.name = "C001.mov", .timecode = "10:00:02:00", .rate = 30000.0 / 1001.0});
    // 10:00:00:00 at 29.97 non-drop is 1,080,000 frames of 1001/30000 s.
    auto take = test::makeRecorderFile({.startSample = 1080000LL * 1001 * 48000 / 30000,
                                        .channels = 3,
                                        .timecodeRate = 30000.0 / 1001.0,
                                        .timecodeChannels = 0b100,
                                        .channelNames = {"Boom", "Boom", "LTC"}});
    const auto document = exportFiles({camera, take}, Item::XMLTypeItemFCPXML17);
    ASSERT_TRUE(document);
    const XMLNode root = document->root();
    const auto formats = root.selectNodes("//format[@name='FFVideoFormat1080p2997']");
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].attribute("frameDuration"), "1001/30000s");

    const auto sound = root.selectNodes("//sync-clip//clip[@name='T001']");
    ASSERT_EQ(sound.size(), 1u);
    std::vector<std::string> roles;
    for (const XMLNode& source : sound[0].children("audio-channel-source"))
        roles.push_back(source.attribute("role").value_or("") + " " +
                        source.attribute("srcCh").value_or(""));
    EXPECT_EQ(roles, (std::vector<std::string>{"dialogue.Boom-1 1", "dialogue.Boom-2 2"}));
    // The timecode channel is neither mapped nor placed.
    EXPECT_TRUE(sound[0].selectNodes(".//audio[@srcCh='3']").empty());
    // The camera's stereo pair is mapped as one, off beside the synced sound.
    const auto pair = root.selectNodes(
        "//sync-clip/spine/clip[@name='C001']/audio-channel-source[@srcCh='1, 2']");
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(pair[0].attribute("role"), "dialogue.Camera");
    EXPECT_EQ(pair[0].attribute("active"), "0");
}

TEST_F(FCPXMLExportTest, AnUnwritableDestinationLeavesNothingBehind) {
    auto camera = test::makeCameraFile({});
    auto pool = test::makeExportPool({camera}, *defaults);
    // A folder where the document should go: the rename fails, the old content stays.
    std::filesystem::create_directories(folder / "taken.fcpxml" / "inside");
    test::RecordingPanel panel;
    EXPECT_FALSE(
        test::runXMLExport(*pool, Item::XMLTypeItemFCPXML17, folder / "taken.fcpxml", panel));
    EXPECT_NE(panel.log.find(">>>>> Failed to write XML file"), std::string::npos);
    EXPECT_NE(panel.log.find("XML Export ended."), std::string::npos);
    EXPECT_TRUE(panel.stopped);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"taken.fcpxml"});
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.fcpxml" / "inside"));
}

// An export of a pool without files still writes a document the editing system opens: valid
// FCPXML with its resources and an empty project, well-formed XML interchange.
TEST_F(FCPXMLExportTest, AnEmptyPoolGivesValidDocuments) {
    VORLANE_REQUIRE_TOOL("xmllint");
    VORLANE_REQUIRE_DTD(dtd, "1.7");
    const auto fcpxml = exportFiles({}, Item::XMLTypeItemFCPXML17, "empty.fcpxml");
    ASSERT_TRUE(fcpxml);
    EXPECT_EQ(test::dtdErrors(destination, dtd), "");
    EXPECT_TRUE(fcpxml->root().selectNodes("//asset").empty());
    const auto xmeml = exportFiles({}, Item::XMLTypeItemNestedSequences, "empty.xml");
    ASSERT_TRUE(xmeml);
    EXPECT_EQ(xmeml->root().name(), "xmeml");
    EXPECT_TRUE(xmeml->root().selectNodes("//clipitem").empty());
}

}  // namespace
}  // namespace vorlane
