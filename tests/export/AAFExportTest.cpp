// AAF written by export runs over in-memory cameras and recorders, read back through libgsf and
// the stored-format layouts: sound placed at its timecode in edit units at 25, 23.976 and 29.97
// drop-frame (the expected frames worked out from the timecodes of the plan), one mob chain per
// source file whatever uses it, timecode channels kept out of master mobs and compositions with
// the slot-ID gap, two stereo tracks on master slots 4 and 5, descriptors with their compression
// and locators, the start timecode of AMA and batch sources, names of every kind, and the files
// of an empty pool and of a run without synced clips.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "app/ExportCommands.h"
#include "export/AAFExport.h"
#include "export/AAFExportOptionsController.h"
#include "export/AAFReadBack.h"
#include "export/ExportTestSupport.h"
#include "media/MediaTypes.h"
#include "platform/ByteOrder.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::AAFComponentView;
using test::AAFFileView;
using test::AAFMobView;

constexpr char kUsageSubClip[] = "{0d010102-0101-0500-060e2b34-04010101}";
constexpr char kUsageTopLevel[] = "{0d010102-0101-0700-060e2b34-04010101}";

// A source clip of a composition that refers to a master mob: where it lies and what it shows.
struct Placement {
    int64_t slotID;
    int64_t position;
    int64_t startTime;
    int64_t length;
    int64_t masterSlot;
};

std::vector<Placement> placementsOf(const AAFMobView& composition, const AAFMobView& master) {
    std::vector<Placement> found;
    for (const auto& slot : composition.slots) {
        for (size_t index = 0; index < slot.segment.components.size(); ++index) {
            const AAFComponentView& clip = slot.segment.components[index];
            if (clip.kind == "SourceClip" && clip.sourceID == master.mobID)
                found.push_back({slot.slotID, test::positionOf(slot.segment, index), clip.startTime,
                                 clip.length, clip.sourceSlotID});
        }
    }
    return found;
}

class AAFExportTest : public testing::Test {
  protected:
    // The AAF run over a pool of the files; the file read back.
    std::optional<AAFFileView> exportFiles(const std::vector<std::shared_ptr<MediaFile>>& files,
                                           const std::string& name, bool amaLink = true,
                                           bool syncedClips = true) {
        auto pool = test::makeExportPool(files, *defaults);
        destination = folder / (name + ".aaf");
        AAFExportOptionsController options;
        ExportCommands commands(*pool);
        commands.preselectOptions(options);
        options.setAafExportTypeIndex(amaLink ? 0 : 1);
        options.setSyncedClipsChecked(syncedClips);
        options.readSettings();
        EXPECT_TRUE(commands.exportAAF(destination, options, panel)) << panel.log;
        EXPECT_TRUE(panel.stopped);
        test::keepForIndependentCheck(destination, name);
        return test::readAAFFile(destination);
    }

    test::TestDefaults defaults;
    test::ScratchFolder folder;
    test::RecordingPanel panel;
    std::filesystem::path destination;
};

// A camera at 10:00:02:00 and a recorder rolling 2 s earlier; a second recorder 1 s after the
// camera. At every rate the first take's first 2 s lie before the picture (its source clip
// starts that far in) and the second take starts 1 s into the clip (after a filler).
TEST_F(AAFExportTest, SoundSitsAtItsTimecodeInEditUnits) {
    struct Rate {
        const char* label;
        double rate;
        bool dropFrame;
        const char* camera;   // 10:00:02:00 in the rate's notation
        int64_t cameraFrame;  // its real frames since midnight
        int64_t framesPer2s;  // 2 s and 1 s of timecode labels in real frames
        int64_t framesPer1s;
        std::pair<int32_t, int32_t> editRate;
        int64_t fps;
    };
    // 10 h is 900000 frames at 25, 864000 at 23.976, and 1078920 at 29.97 DF (107892 an hour).
    for (const Rate& rate :
         {Rate{"25", 25.0, false, "10:00:02:00", 900050, 50, 25, {25, 1}, 25},
          Rate{"23.976", 24000.0 / 1001.0, false, "10:00:02:00", 864048, 48, 24, {24000, 1001}, 24},
          Rate{"29.97 DF",
               30000.0 / 1001.0,
               true,
               "10:00:02;00",
               1078980,
               60,
               30,
               {30000, 1001},
               30}}) {
        SCOPED_TRACE(rate.label);
        const CMTime frame = TCHelper::helperWithFrameRate(rate.rate, false)->frameDuration();
        const auto samplesAtFrame = [&](int64_t frames) {
            return CMTimeConvertScale(CMTimeMultiply(frame, frames), 48000,
                                      CMTimeRoundingMethod::RoundHalfAwayFromZero)
                .value;
        };
        auto camera = test::makeCameraFile({.name = "C001.mov",
                                            .timecode = rate.camera,
                                            .rate = rate.rate,
                                            .dropFrame = rate.dropFrame});
        auto early = test::makeRecorderFile(
            {.name = "EARLY.wav",
             .startSample = samplesAtFrame(rate.cameraFrame - rate.framesPer2s),
             .samples = 48000 * 8,
             .timecodeRate = rate.rate,
             .dropFrame = rate.dropFrame});
        auto late = test::makeRecorderFile(
            {.name = "LATE.wav",
             .startSample = samplesAtFrame(rate.cameraFrame + rate.framesPer1s),
             .samples = 48000 * 5,
             .timecodeRate = rate.rate,
             .dropFrame = rate.dropFrame});
        const auto file = exportFiles(
            {camera, early, late},
            std::string("placement-") + (rate.dropFrame ? "df" : "") + std::to_string(rate.fps));
        ASSERT_TRUE(file);
        const AAFMobView* clip = file->mobNamed("CompositionMob", "C001");
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->usageCode, kUsageSubClip);
        const auto* timecode = clip->slot(1);
        ASSERT_TRUE(timecode);
        EXPECT_EQ(timecode->name, "TC1");
        EXPECT_EQ(timecode->segment.kind, "Timecode");
        EXPECT_EQ(timecode->segment.timecodeStart, rate.cameraFrame);
        EXPECT_EQ(timecode->segment.fps, rate.fps);
        EXPECT_EQ(timecode->segment.drop, rate.dropFrame);
        EXPECT_EQ(timecode->editRate, rate.editRate);

        const AAFMobView* earlyMaster = file->mobNamed("MasterMob", "EARLY");
        const AAFMobView* lateMaster = file->mobNamed("MasterMob", "LATE");
        ASSERT_TRUE(earlyMaster && lateMaster);
        for (const Placement& placement : placementsOf(*clip, *earlyMaster)) {
            EXPECT_EQ(placement.position, 0);
            EXPECT_EQ(placement.startTime, rate.framesPer2s);
        }
        const auto latePlacements = placementsOf(*clip, *lateMaster);
        ASSERT_EQ(latePlacements.size(), 2u);  // both channels
        for (const Placement& placement : latePlacements) {
            EXPECT_EQ(placement.position, rate.framesPer1s);
            EXPECT_EQ(placement.startTime, 0);
        }
        // The picture from the clip's start, its camera's first frame.
        const AAFMobView* cameraMaster = file->mobNamed("MasterMob", "C001");
        ASSERT_TRUE(cameraMaster);
        const auto picture = placementsOf(*clip, *cameraMaster);
        ASSERT_FALSE(picture.empty());
        EXPECT_EQ(picture[0].slotID, 2);
        EXPECT_EQ(picture[0].masterSlot, 1);
        EXPECT_EQ(picture[0].position, 0);
        EXPECT_EQ(picture[0].startTime, 0);
        EXPECT_EQ(picture[0].length, 250);
        for (const auto& slot : clip->slots) {
            EXPECT_EQ(slot.editRate, rate.editRate);
            if (slot.slotID > 1) {
                EXPECT_EQ(slot.name, "");
            }
        }
        // The timecode slot outlasts the clip by one second.
        int64_t longest = 0;
        for (const auto& slot : clip->slots)
            if (slot.slotID > 1) longest = std::max(longest, slot.segment.length);
        EXPECT_EQ(timecode->segment.length, longest + rate.framesPer1s);
    }
}

// A recorder whose second channel carries LTC, used by two cameras' clips and the sync map, and a
// camera whose stereo track's second channel carries timecode.
TEST_F(AAFExportTest, OneMobChainPerFileAndTimecodeChannelsStayOut) {
    auto first = test::makeCameraFile({.name = "C001.mov", .timecode = "10:00:02:00"});
    auto second = test::makeCameraFile({.name = "C002.mov", .timecode = "10:00:08:00"});
    second->audioTracks().at(0)->setAudioChannelMask(0b10);
    auto take = test::makeRecorderFile({.startSample = test::samplesOf(10, 0, 0),
                                        .samples = 48000 * 30,
                                        .timecodeChannels = 0b10});
    const auto file = exportFiles({first, second, take}, "chains");
    ASSERT_TRUE(file);
    const auto masters = file->mobsOfKind("MasterMob");
    EXPECT_EQ(masters.size(), 3u);
    EXPECT_EQ(file->mobsOfKind("SourceMob").size(), 6u);
    EXPECT_EQ(file->mobsOfKind("CompositionMob").size(), 3u);  // two clips, the sync map

    // The recorder: timecode in the physical source only; the LTC channel not in the master.
    const AAFMobView* master = file->mobNamed("MasterMob", "T001");
    const AAFMobView* source = file->mobNamed("SourceMob", "T001.PHYS");
    const AAFMobView* physical = file->mobNamed("SourceMob", "T001");
    ASSERT_TRUE(master && source && physical);
    EXPECT_EQ(physical->slotIDs(), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_EQ(physical->slot(1)->name, "TC1");
    EXPECT_EQ(physical->slot(1)->segment.kind, "Timecode");
    EXPECT_EQ(physical->slot(1)->segment.timecodeStart, 900000);
    EXPECT_EQ(source->slotIDs(), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(master->slotIDs(), (std::vector<int64_t>{1}));
    EXPECT_EQ(master->slot(1)->name, "A1");
    // The chain: master slot 1 -> file source slot 1 -> physical slot 2 -> end.
    EXPECT_EQ(master->slot(1)->segment.sourceID, source->mobID);
    EXPECT_EQ(master->slot(1)->segment.sourceSlotID, 1);
    EXPECT_EQ(source->slot(2)->segment.sourceID, physical->mobID);
    EXPECT_EQ(source->slot(2)->segment.sourceSlotID, 3);
    EXPECT_EQ(physical->slot(3)->segment.sourceID, test::ByteString(32, 0));
    EXPECT_EQ(physical->slot(3)->physicalNumber, 2);

    // The second camera: TC1 (1), V1 (2), A1 (3), A2 (4) / V1, A1, A2 / V1 and A1 only.
    const AAFMobView* cameraPhysical = file->mobNamed("SourceMob", "C002");
    const AAFMobView* cameraSource = file->mobNamed("SourceMob", "C002.PHYS");
    const AAFMobView* cameraMaster = file->mobNamed("MasterMob", "C002");
    ASSERT_TRUE(cameraPhysical && cameraSource && cameraMaster);
    EXPECT_EQ(cameraPhysical->slotIDs(), (std::vector<int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(cameraPhysical->slot(2)->name, "V1");
    EXPECT_EQ(cameraSource->slotIDs(), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_EQ(cameraMaster->slotIDs(), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(cameraMaster->slot(2)->name, "A1");

    // Both clips use the one recorder master; none of its sound refers to the LTC channel.
    for (const char* name : {"C001", "C002"}) {
        const AAFMobView* clip = file->mobNamed("CompositionMob", name);
        ASSERT_TRUE(clip) << name;
        const auto placements = placementsOf(*clip, *master);
        ASSERT_FALSE(placements.empty()) << name;
        for (const Placement& placement : placements)
            EXPECT_EQ(placement.masterSlot, 1) << name;
        // The camera's own sound: A1 only, the second sequence holds a filler there.
        for (const Placement& placement : placementsOf(*clip, *cameraMaster))
            EXPECT_NE(placement.masterSlot, 3) << name;
    }
    const AAFMobView* syncMap = file->mobNamed("CompositionMob", "chains SyncMap");
    ASSERT_TRUE(syncMap);
    EXPECT_EQ(syncMap->usageCode, kUsageTopLevel);
    EXPECT_FALSE(placementsOf(*syncMap, *master).empty());
    EXPECT_NE(panel.log.find("AAF Export (AMA) started ...\n\n"), std::string::npos);
    EXPECT_NE(panel.log.find("Adding SyncMap\n"), std::string::npos);
    EXPECT_NE(panel.log.find("\nUpdating AAF-File: " + destination.string() + "\n"),
              std::string::npos);
    EXPECT_NE(panel.log.find("\nAAF Export ended.\n"), std::string::npos);
}

TEST_F(AAFExportTest, TwoStereoTracksAreMasterSlotsTwoToFive) {
    auto camera =
        test::makeCameraFile({.name = "C001.mov", .timecode = "10:00:02:00", .audioTracks = 2});
    auto take = test::makeRecorderFile({.startSample = test::samplesOf(10, 0, 0)});
    const auto file = exportFiles({camera, take}, "stereo");
    ASSERT_TRUE(file);
    const AAFMobView* master = file->mobNamed("MasterMob", "C001");
    const AAFMobView* clip = file->mobNamed("CompositionMob", "C001");
    ASSERT_TRUE(master && clip);
    EXPECT_EQ(master->slotIDs(), (std::vector<int64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(master->slot(5)->name, "A4");
    EXPECT_EQ(master->slot(5)->physicalNumber, 4);
    std::vector<int64_t> referred;
    for (const Placement& placement : placementsOf(*clip, *master))
        referred.push_back(placement.masterSlot);
    std::sort(referred.begin(), referred.end());
    EXPECT_EQ(referred, (std::vector<int64_t>{1, 2, 3, 4, 5}));
}

TEST_F(AAFExportTest, DescriptorsCompressionAndLocators) {
    auto dnxhd = test::makeCameraFile({.name = "D001.mxf", .timecode = "11:00:00:00"});
    dnxhd->videoTracks().at(0)->setFourCC(fourCC("AVdn"));
    dnxhd->videoTracks().at(0)->metaData()[kVideoAvidResolutionID] = int64_t(1237);
    auto other = test::makeCameraFile({.name = "H001.mp4", .timecode = "12:00:00:00"});
    auto sound = test::makeRecorderFile(
        {.name = "S 1 ü.wav", .startSample = test::samplesOf(13, 0, 0), .channels = 3});
    const auto file = exportFiles({dnxhd, other, sound}, "descriptors", true, false);
    ASSERT_TRUE(file);
    const auto resolutionPid = file->pidOfProperty("DigitalImageDescriptor", "ResolutionID");
    ASSERT_TRUE(resolutionPid);
    EXPECT_GE(*resolutionPid, 0x8000);

    const AAFMobView* dnxhdSource = file->mobNamed("SourceMob", "D001.PHYS");
    ASSERT_TRUE(dnxhdSource && dnxhdSource->descriptor);
    EXPECT_EQ(file->className(*dnxhdSource->descriptor), "MultipleDescriptor");
    const auto parts = dnxhdSource->descriptor->collection(0x3f01);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(file->className(*parts[0]), "CDCIDescriptor");
    EXPECT_EQ(file->className(*parts[1]), "PCMDescriptor");
    EXPECT_EQ(test::auidText(parts[0]->property(0x3201)->value.data()),
              "{0e040201-0204-0100-060e2b34-04010101}");
    EXPECT_EQ(parts[0]->integer(*resolutionPid), 1237);
    EXPECT_EQ(parts[0]->integer(0x3203), 1920);
    EXPECT_EQ(parts[0]->integer(0x3202), 1080);
    EXPECT_EQ(parts[0]->rational(0x320e), std::pair(16, 9));
    EXPECT_EQ(parts[0]->integer(0x3002), 250);
    EXPECT_EQ(parts[1]->integer(0x3d07), 2);  // channels
    EXPECT_EQ(parts[1]->integer(0x3d01), 24);
    EXPECT_EQ(parts[1]->integer(0x3d0a), 6);  // block align
    EXPECT_EQ(parts[1]->rational(0x3d03), std::pair(48000, 1));
    EXPECT_EQ(parts[1]->integer(0x3d04), -20);
    EXPECT_EQ(parts[1]->integer(0x3d0c), 27);
    EXPECT_EQ(file->locatorURLs(*parts[0]),
              std::vector<std::string>{"file:///shoot/camera/D001.mxf"});

    const AAFMobView* otherSource = file->mobNamed("SourceMob", "H001.PHYS");
    ASSERT_TRUE(otherSource && otherSource->descriptor);
    const auto otherParts = otherSource->descriptor->collection(0x3f01);
    ASSERT_EQ(otherParts.size(), 2u);
    EXPECT_EQ(test::auidText(otherParts[0]->property(0x3201)->value.data()),
              "{04010202-0132-3104-060e2b34-0401010a}");
    EXPECT_FALSE(otherParts[0]->property(*resolutionPid));

    // Sound only: a PCM descriptor; the physical source an import descriptor, both located.
    const AAFMobView* soundSource = file->mobNamed("SourceMob", "S 1 ü.PHYS");
    const AAFMobView* soundPhysical = file->mobNamed("SourceMob", "S 1 ü");
    ASSERT_TRUE(soundSource && soundPhysical);
    EXPECT_EQ(file->className(*soundSource->descriptor), "PCMDescriptor");
    EXPECT_EQ(soundSource->descriptor->integer(0x3d07), 3);
    EXPECT_EQ(file->className(*soundPhysical->descriptor), "ImportDescriptor");
    EXPECT_EQ(file->locatorURLs(*soundPhysical->descriptor),
              std::vector<std::string>{"file:///shoot/sound/S%201%20%C3%BC.wav"});
}

// A Broadcast WAVE file without file timecode: linked in place its physical source starts at the
// time of day it was made (frames 00) and, with a reel name, is a tape named after the reel; for a
// batch import it starts at 01:00:00:00.
TEST_F(AAFExportTest, StartTimecodeOfSourcesWithoutFileTimecode) {
    auto sound = test::makeRecorderFile({.name = "WILD.wav"});
    // Made at 14:23:45 local time.
    std::tm made{};
    made.tm_year = 2024 - 1900;
    made.tm_mon = 4;
    made.tm_mday = 17;
    made.tm_hour = 14;
    made.tm_min = 23;
    made.tm_sec = 45;
    made.tm_isdst = -1;
    sound->setMetaDataValue(kFileCreationDate,
                            std::chrono::system_clock::from_time_t(std::mktime(&made)));
    sound->setMetaDataValue(kReel, "R17");
    for (const bool amaLink : {true, false}) {
        SCOPED_TRACE(amaLink ? "AMA" : "batch");
        const auto path = folder / (amaLink ? "ama.aaf" : "batch.aaf");
        AAFExport exporter(*defaults);
        exporter.setAmaLink(amaLink);
        ASSERT_TRUE(exporter.openFile(path, true));
        ASSERT_TRUE(exporter.addClip(*sound));
        ASSERT_TRUE(exporter.closeFile());
        test::keepForIndependentCheck(path, amaLink ? "wild-ama" : "wild-batch");
        const auto file = test::readAAFFile(path);
        ASSERT_TRUE(file);
        const AAFMobView* physical = file->mobNamed("SourceMob", amaLink ? "R17" : "WILD");
        ASSERT_TRUE(physical);
        EXPECT_EQ(file->className(*physical->descriptor),
                  amaLink ? "TapeDescriptor" : "ImportDescriptor");
        EXPECT_EQ(physical->slot(1)->segment.timecodeStart,
                  amaLink ? (14 * 3600 + 23 * 60 + 45) * 25 : 90000);
        EXPECT_EQ(physical->slot(1)->segment.length, 500);  // 20 s at 25
    }
}

TEST_F(AAFExportTest, NamesOfEveryKindComeBackUnchanged) {
    const std::vector<std::string> names = {"Take \"7\" 'b' <&>", "Zeile\nzwei\ttab",
                                            "シーン１２・テイク３", "Сцена 5 🎬",
                                            std::string(300, 'x') + "é"};
    std::vector<std::shared_ptr<MediaFile>> files;
    for (size_t index = 0; index < names.size(); ++index)
        files.push_back(test::makeRecorderFile(
            {.name = names[index] + ".wav", .startSample = test::samplesOf(9 + int(index), 0, 0)}));
    const auto file = exportFiles(files, "names", true, false);
    ASSERT_TRUE(file);
    for (const std::string& name : names) {
        EXPECT_TRUE(file->mobNamed("MasterMob", name)) << name;
        EXPECT_TRUE(file->mobNamed("SourceMob", name + ".PHYS")) << name;
    }
}

TEST_F(AAFExportTest, AnEmptyPoolAndARunWithoutSyncedClipsHoldTheSyncMap) {
    const auto empty = exportFiles({}, "empty");
    ASSERT_TRUE(empty);
    ASSERT_EQ(empty->mobs.size(), 1u);
    EXPECT_EQ(empty->mobs[0].kind, "CompositionMob");
    EXPECT_EQ(empty->mobs[0].name, "empty SyncMap");
    EXPECT_EQ(empty->mobs[0].slotIDs(), std::vector<int64_t>{1});
    EXPECT_EQ(empty->mobs[0].slot(1)->segment.length, 25);  // one second of timecode

    auto camera = test::makeCameraFile({.name = "C001.mov", .timecode = "10:00:02:00"});
    auto take = test::makeRecorderFile({.startSample = test::samplesOf(10, 0, 0)});
    const auto file = exportFiles({camera, take}, "map-only", false, false);
    ASSERT_TRUE(file);
    const auto compositions = file->mobsOfKind("CompositionMob");
    ASSERT_EQ(compositions.size(), 1u);
    EXPECT_EQ(compositions[0]->name, "map-only SyncMap");
    EXPECT_NE(panel.log.find("AAF Export (Batch Import) started ...\n\n"), std::string::npos);
}

TEST_F(AAFExportTest, ADestinationThatCannotBeCreatedIsReportedAndLeavesNothing) {
    auto camera = test::makeCameraFile({});
    auto pool = test::makeExportPool({camera}, *defaults);
    AAFExportOptionsController options;
    options.readSettings();
    const auto missing = folder / "gone" / "day.aaf";
    test::LogCapture log;
    EXPECT_FALSE(ExportCommands(*pool).exportAAF(missing, options, panel));
    EXPECT_NE(panel.log.find("Could not open AAF (" + missing.string() + ") for writing!\n"),
              std::string::npos);
    EXPECT_NE(panel.log.find("\nAAF Export ended.\n"), std::string::npos);
    EXPECT_TRUE(panel.stopped);
    EXPECT_TRUE(log.contains("AAF Error '8012016c' returned at line"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));

    // A folder where the file should go: refused at opening, the folder stays as it was.
    std::filesystem::create_directories(folder / "taken.aaf" / "inside");
    test::RecordingPanel failed;
    EXPECT_FALSE(ExportCommands(*pool).exportAAF(folder / "taken.aaf", options, failed));
    EXPECT_NE(failed.log.find("Could not open AAF (" + (folder / "taken.aaf").string() +
                              ") for writing!\n"),
              std::string::npos);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"taken.aaf"});
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.aaf" / "inside"));
}

// A generated day of takes (a recorder, one or two cameras, some cameras without timecode),
// linked and for batch import: every source clip of every mob refers to a slot that exists, down
// to the physical sources, which end the chains; every file used has one master mob.
TEST_F(AAFExportTest, EveryReferenceOfAGeneratedDayResolves) {
    std::vector<std::shared_ptr<MediaFile>> files;
    for (int take = 0; take < 12; ++take) {
        const int64_t second = (9 * 3600 + 60 * take) * 48000;
        files.push_back(test::makeRecorderFile({.name = "T" + std::to_string(take) + ".wav",
                                                .startSample = second + 13 * take,
                                                .samples = 48000 * 40,
                                                .channels = 1 + uint32_t(take % 3)}));
        const auto timecode = [&](int offset) {
            char text[16];
            std::snprintf(text, sizeof text, "09:%02d:%02d:%02d", take, 2 + offset, take % 25);
            return std::string(take % 5 == 4 && offset == 0 ? "" : text);
        };
        files.push_back(test::makeCameraFile(
            {.name = "A" + std::to_string(take) + ".mov", .timecode = timecode(0)}));
        if (take % 2)
            files.push_back(test::makeCameraFile({.name = "B" + std::to_string(take) + ".mov",
                                                  .timecode = timecode(1),
                                                  .model = "FX9"}));
    }
    for (const bool amaLink : {true, false}) {
        SCOPED_TRACE(amaLink ? "AMA" : "batch");
        const auto file = exportFiles(files, amaLink ? "day-ama" : "day-batch", amaLink);
        ASSERT_TRUE(file);
        size_t clips = 0;
        for (const AAFMobView& mob : file->mobs) {
            for (const auto& slot : mob.slots) {
                std::vector<AAFComponentView> pieces = slot.segment.components;
                if (slot.segment.kind != "Sequence") pieces = {slot.segment};
                for (const AAFComponentView& piece : pieces) {
                    if (piece.kind != "SourceClip") continue;
                    ++clips;
                    if (piece.sourceID == test::ByteString(32, 0)) {
                        EXPECT_FALSE(mob.name.ends_with(".PHYS")) << mob.name;
                        continue;
                    }
                    const AAFMobView* target = file->mobWithID(piece.sourceID);
                    ASSERT_TRUE(target) << mob.name;
                    EXPECT_TRUE(target->slot(piece.sourceSlotID))
                        << mob.name << " -> " << target->name << " slot " << piece.sourceSlotID;
                    if (mob.kind == "CompositionMob") {
                        EXPECT_EQ(target->kind, "MasterMob");
                    }
                }
            }
        }
        EXPECT_GT(clips, files.size());
        // Each file with timecode (all but the cameras of takes 4 and 9) once.
        std::set<std::string> masters;
        for (const AAFMobView* master : file->mobsOfKind("MasterMob"))
            EXPECT_TRUE(masters.insert(master->name).second) << master->name;
        EXPECT_GE(masters.size(), files.size() - 2);
        EXPECT_EQ(file->mobsOfKind("SourceMob").size(), 2 * masters.size());
    }
}

TEST(AAFExportLocatorTest, VolumeBasedURLs) {
    const NamedVolume card{"CARD 01", "/media/alex/CARD 01"};
    EXPECT_EQ(AAFExport::volumeBasedURLfromURL("/media/alex/CARD 01/DCIM/A001 ü.MOV", card),
              "file:///CARD%2001/DCIM/A001%20%C3%BC.MOV");
    EXPECT_EQ(AAFExport::volumeBasedURLfromURL("/media/alex/CARD 01", card), "file:///CARD%2001/");
    EXPECT_EQ(AAFExport::volumeBasedURLfromURL("/home/alex/shoot/#1.wav", std::nullopt),
              "file:///home/alex/shoot/%231.wav");
    // The computer's own disk has no volume name: files there keep their plain path.
    test::ScratchFolder here;
    test::writeFile(here / "a.wav", "");
    EXPECT_EQ(AAFExport::volumeBasedURLfromURL(here / "a.wav"),
              "file://" + (here / "a.wav").string());
}

}  // namespace
}  // namespace vorlane
