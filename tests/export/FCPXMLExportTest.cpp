// FCPXML written by export runs over pools of in-memory cameras and recorders: sound connected to
// a picture sits where its timecode says, exact to the sample, while every story element lies on
// the frame grid of its format; every document is valid under the DTD of its version; frame
// formats, assets, roles and channel mappings follow the rules. Documents are read with exact
// rational arithmetic of the test's own. (The demo shoot's takes, whose bext TimeReference
// libsndfile wrote, are checked the same way through the export command.)
#include <gtest/gtest.h>

#include "export/ExportTestSupport.h"
#include "export/FCPXMLExport.h"
#include "export/XMLExportOptionsController.h"
#include "platform/DefaultsKeys.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::placeInSyncClip;
using test::Seconds;
using test::timeAttribute;
using Item = XMLExportOptionsController::XMLTypeItem;

// A timecode's time ("10:00:02:00" at 25 fps) as an exact time.
CMTime timecodeTime(const std::string& text, double rate = 25.0, bool dropFrame = false) {
    auto value = TCHelper::helperWithFrameRate(rate, dropFrame);
    EXPECT_TRUE(value->setTimecodeString(text)) << text;
    return value->time();
}

// The frame duration of a format resource; none for a format without rate.
Seconds frameDurationOf(const XMLNode& root, const std::string& format) {
    const auto found = root.selectNodes("/fcpxml/resources/format[@id='" + format + "']");
    if (found.empty() || !found[0].attribute("frameDuration")) return {};
    return timeAttribute(found[0], "frameDuration");
}

// Final Cut Pro wants the offsets and durations of story elements on edit-frame boundaries of
// their timeline's format (the nearest one an element or its ancestors name; a multicam clip's
// is its multicam's): the start of each timeline, and the place and duration of every element.
// Sound anchored to a picture alone keeps its exact, sub-frame offset. (A clip of a file alone
// starts where its file does.)
void expectStoryOnFrameGrid(const XMLNode& root) {
    for (const XMLNode& element :
         root.selectNodes("//sync-clip | //clip | //gap | //mc-clip | //sequence | //multicam")) {
        XMLNode owner = element;
        while (owner && !owner.attribute("format"))
            owner = owner.parent();
        if (element.name() == "mc-clip")
            owner = root.selectNodes("//media[@id='" + element.attribute("ref").value_or("") +
                                     "']/multicam")
                        .at(0);
        const Seconds frame = frameDurationOf(root, owner.attribute("format").value_or(""));
        if (!frame.isValid()) continue;
        const auto expectOnGrid = [&](const char* what, const Seconds& time) {
            EXPECT_TRUE(time.isMultipleOf(frame))
                << element.name() << " '" << element.attribute("name").value_or("") << "' " << what
                << " " << time << " is no whole number of frames of " << frame;
        };
        for (const char* attribute : {"duration", "tcStart"})
            if (element.attribute(attribute))
                expectOnGrid(attribute, timeAttribute(element, attribute));
        if (element.child("spine") && element.attribute("start"))
            expectOnGrid("start", timeAttribute(element, "start"));
        const std::string parent = element.parent().name();
        if (parent == "spine" || parent == "mc-angle" ||
            ((parent == "clip" || parent == "gap") && element.child("video")))
            expectOnGrid("place", placeInSyncClip(element));
    }
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

// Two takes, each a recorder rolling about a second before its camera and off the camera's
// frame grid (7 samples past a frame at 25 fps; one second, no whole number of frames, at 23.976
// and 29.97 DF). The sync map cuts out the stretch between the takes, which leaves the second
// take off the grid there. Pictures sit on the frame grid; each sound keeps its exact distance to
// its picture, to the sample, in the synced clips (both at their timecodes), the project overview
// and the multicam clip.
TEST_F(FCPXMLExportTest, SoundKeepsItsSubFramePlaceBesidePictureOnTheFrameGrid) {
    struct Rate {
        double rate;
        bool dropFrame;
        int64_t pastFrame;  // samples the recorder starts past the second before the picture
    };
    for (const Rate& rate :
         {Rate{25.0, false, 7}, Rate{24000.0 / 1001, false, 0}, Rate{30000.0 / 1001, true, 0}}) {
        SCOPED_TRACE(rate.rate);
        struct Take {
            std::string camera;
            Seconds picture;
            Seconds sound;
        };
        std::vector<Take> takes;
        std::vector<std::shared_ptr<MediaFile>> files;
        for (const char* timecode : {"10:00:02:00", "10:10:00:00"}) {
            const std::string name = "C" + std::to_string(takes.size() + 1);
            files.push_back(test::makeCameraFile({.name = name + ".mov",
                                                  .timecode = timecode,
                                                  .rate = rate.rate,
                                                  .dropFrame = rate.dropFrame}));
            const CMTime picture = timecodeTime(timecode, rate.rate, rate.dropFrame);
            const int64_t start =
                CMTimeConvertScale(picture, 48000, CMTimeRoundingMethod::RoundTowardZero).value -
                48000 + rate.pastFrame;
            files.push_back(test::makeRecorderFile({.name = "T" + name + ".wav",
                                                    .startSample = start,
                                                    .samples = 48000 * 20 + 123,
                                                    .timecodeRate = rate.rate,
                                                    .dropFrame = rate.dropFrame}));
            takes.push_back({name, picture, CMTimeMake(start, 48000)});
        }
        const auto document = exportFiles(files, Item::XMLTypeItemFCPXML17);
        ASSERT_TRUE(document);
        const XMLNode root = document->root();
        expectStoryOnFrameGrid(root);
        for (const Take& take : takes) {
            SCOPED_TRACE(take.camera);
            const auto inside = [&](const std::string& container, const std::string& name) {
                const auto found = root.selectNodes(container + "//clip[@name='" + name + "']");
                EXPECT_EQ(found.size(), 1u) << container << " " << name;
                return found.empty() ? Seconds() : placeInSyncClip(found[0]);
            };
            const std::string syncClip = "//sync-clip[spine/clip[@name='" + take.camera + "']]";
            EXPECT_EQ(inside(syncClip, take.camera), take.picture);
            EXPECT_EQ(inside(syncClip, "T" + take.camera), take.sound);
            for (const char* timeline : {"//project", "//multicam"})
                EXPECT_EQ(inside(timeline, "T" + take.camera) - inside(timeline, take.camera),
                          take.sound - take.picture)
                    << timeline;
        }
    }
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
        expectStoryOnFrameGrid(root);
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
