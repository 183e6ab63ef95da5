// XML interchange (xmeml) written by export runs: the bins, every file described in full once,
// rates and timecodes as editors read them, and synced clip items whose in points enter the
// recorder's take at the frame its timecode says (the demo shoot's Broadcast WAV files, whose
// TimeReference libsndfile wrote, under in-memory cameras).
#include <gtest/gtest.h>

#include <set>

#include "export/ExportTestSupport.h"
#include "export/XMLExportOptionsController.h"
#include "formats/wave/BWFFile.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using Item = XMLExportOptionsController::XMLTypeItem;

std::string textOf(const XMLNode& node, const std::string& path) {
    const auto found = node.selectNodes(path);
    return found.empty() ? std::string("<none>") : found.front().text();
}

// A reader resolves an id to the first element of its kind that carries it. Every clip, clip
// item and sequence has an id of its own (the master clip, the synced clip and the sync map
// place one file differently); each file is described in full where its id first appears and
// only named after that. Answers the number of files.
size_t expectIdsResolveToTheirOwnElements(const XMLNode& root) {
    for (const char* kind : {"clip", "clipitem", "sequence"}) {
        std::set<std::string> ids;
        for (const XMLNode& element : root.selectNodes(std::string("//") + kind)) {
            const std::string id = element.attribute("id").value_or("");
            EXPECT_TRUE(ids.insert(id).second) << kind << " id " << id << " is not its own";
        }
    }
    std::set<std::string> files;
    for (const XMLNode& file : root.selectNodes("//file")) {
        const std::string id = file.attribute("id").value_or("");
        EXPECT_EQ(!file.children().empty(), files.insert(id).second) << "file " << id;
    }
    return files.size();
}

class XMLExportTest : public testing::Test {
  protected:
    std::optional<XMLDocument> exportFiles(const std::vector<std::shared_ptr<MediaFile>>& files,
                                           Item item, bool includeSyncedClips = true) {
        auto pool = test::makeExportPool(files, *defaults);
        destination = folder / "day.xml";
        EXPECT_TRUE(test::runXMLExport(*pool, item, destination, panel, includeSyncedClips))
            << panel.log;
        return test::readDocument(destination);
    }

    test::TestDefaults defaults;
    test::ScratchFolder folder;
    std::filesystem::path destination;
    test::RecordingPanel panel;
};

// SC12_T01 starts at 10:00:00:00, the camera at 10:00:02:00: the take enters at frame 50.
TEST_F(XMLExportTest, BinsFilesAndSyncedClipItemsOfTheDemoTake) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    for (const Item item : {Item::XMLTypeItemLinkedClips, Item::XMLTypeItemNestedSequences}) {
        SCOPED_TRACE(int(item));
        // Fresh files for each pool: analysis fills a file's tracks.
        auto take = std::make_shared<BWFFile>(shoot / "SC12_T01.WAV");
        auto camera = test::makeCameraFile({.name = "A001_C001.mov", .timecode = "10:00:02:00"});
        auto wild = test::makeCameraFile({.name = "B001.mov", .timecode = "18:00:00:00"});
        const auto document = exportFiles({take, camera, wild}, item);
        ASSERT_TRUE(document);
        const XMLNode root = document->root();
        EXPECT_EQ(root.name(), "xmeml");
        EXPECT_EQ(root.attribute("version"), "4");
        EXPECT_EQ(textOf(root, "bin/name"), "day");
        std::vector<std::string> bins;
        for (const XMLNode& bin : root.selectNodes("bin/children/bin/name"))
            bins.push_back(bin.text());
        EXPECT_EQ(bins,
                  (std::vector<std::string>{"Original Media", "Synced Media", "Remaining Media"}));
        EXPECT_EQ(root.selectNodes("//bin[name='Original Media']/children/clip").size(), 3u);
        EXPECT_EQ(textOf(root, "bin/children/sequence/name"), "day SyncMap");

        EXPECT_EQ(expectIdsResolveToTheirOwnElements(root), 3u);

        const auto takeFile = root.selectNodes("//file[name='SC12_T01.WAV']");
        ASSERT_EQ(takeFile.size(), 1u);
        EXPECT_EQ(textOf(takeFile[0], "pathurl"),
                  "file://localhost" + (shoot / "SC12_T01.WAV").lexically_normal().string());
        EXPECT_EQ(textOf(takeFile[0], "timecode/string"), "10:00:00:00");
        EXPECT_EQ(textOf(takeFile[0], "timecode/frame"), "900000");
        EXPECT_EQ(textOf(takeFile[0], "timecode/displayformat"), "NDF");
        EXPECT_EQ(textOf(takeFile[0], "timecode/reel/name"), "DAY01");
        EXPECT_EQ(textOf(takeFile[0], "rate/timebase"), "25");
        EXPECT_EQ(textOf(takeFile[0], "rate/ntsc"), "FALSE");
        EXPECT_EQ(textOf(takeFile[0], "duration"), "300");

        // The synced clip holds the whole take and the picture where its timecode meets the
        // take's: the camera's first frame at the take's frame 50.
        const auto synced = root.selectNodes("//bin[name='Synced Media']/children/*");
        ASSERT_EQ(synced.size(), 1u);
        const auto video = synced[0].selectNodes(".//video/track/clipitem");
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(textOf(video[0], "in"), "0");
        EXPECT_EQ(textOf(video[0], "start"), "50");
        EXPECT_EQ(textOf(video[0], "end"), "300");
        const auto sound = synced[0].selectNodes(".//audio/track/clipitem[name='SC12_T01']");
        ASSERT_EQ(sound.size(), 2u);  // one item per channel
        for (const XMLNode& item : sound) {
            EXPECT_EQ(textOf(item, "in"), "0");
            EXPECT_EQ(textOf(item, "out"), "300");
            EXPECT_EQ(textOf(item, "start"), "0");
            EXPECT_EQ(textOf(item, "end"), "300");
        }
        EXPECT_EQ(textOf(sound[1], "sourcetrack/trackindex"), "2");
        if (item == Item::XMLTypeItemNestedSequences) {
            EXPECT_EQ(synced[0].attribute("BE.Sequence.IsMergedClip"), "true");
            // The camera's picture and its own sound are linked to each other.
            EXPECT_FALSE(video[0].selectNodes("link").empty());
        }
        // The camera without partner waits in Remaining Media.
        EXPECT_EQ(root.selectNodes("//bin[name='Remaining Media']/children/*").size(), 1u);
    }
    EXPECT_NE(panel.log.find("Adding Sync Map"), std::string::npos);
}

TEST_F(XMLExportTest, NTSCRatesAndNoSyncedClips) {
    auto camera = test::makeCameraFile(
        {.name = "C001.mov", .timecode = "01:00:00:00", .rate = 30000.0 / 1001.0, .frames = 300});
    const auto document = exportFiles({camera}, Item::XMLTypeItemLinkedClips, false);
    ASSERT_TRUE(document);
    const XMLNode root = document->root();
    const auto clip = root.selectNodes("//bin[name='Original Media']/children/clip");
    ASSERT_EQ(clip.size(), 1u);
    EXPECT_EQ(textOf(clip[0], "rate/ntsc"), "TRUE");
    EXPECT_EQ(textOf(clip[0], "rate/timebase"), "30");
    EXPECT_EQ(textOf(clip[0], "duration"), "300");
    EXPECT_EQ(textOf(root, "//file/timecode/string"), "01:00:00:00");
    EXPECT_EQ(textOf(root, "//file/timecode/frame"), "108000");
    // The project took the pool's rate: the sync map runs at 29.97.
    EXPECT_EQ(textOf(root, "//sequence/media/video/format/samplecharacteristics/rate/timebase"),
              "30");
    EXPECT_TRUE(root.selectNodes("//bin[name='Synced Media']").empty());
    EXPECT_TRUE(root.selectNodes("//bin[name='Remaining Media']").empty());
}

}  // namespace
}  // namespace vorlane
