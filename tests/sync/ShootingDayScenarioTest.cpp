// Two shooting days in one pool, built from in-memory files: camera A and camera B (picture and
// scratch sound), a production recorder (poly files, and one take split into three mono files
// that the pool links), a second recorder whose takes repeat the timecode of the first two hours
// later, a phone recording without timecode, and the next day's camera and recorder at the same
// timecodes as the first day's. Every placement is checked as an exact rational time: a file's
// offset in a clip is the difference of the two start times.
#include <gtest/gtest.h>

#include <algorithm>

#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

using test::CameraPlan;
using test::localDate;
using test::makeCamera;
using test::makeRecorder;
using test::RecorderPlan;
using test::samplesAt;

CMTime seconds(int64_t value) {
    return CMTimeMake(value, 1);
}

MetadataDate day1(int hour, int minute, int second) {
    return localDate(2024, 5, 17, hour, minute, second);
}
MetadataDate day2(int hour, int minute, int second) {
    return localDate(2024, 5, 18, hour, minute, second);
}

class ShootingDayScenarioTest : public testing::Test {
  protected:
    ShootingDayScenarioTest() {
        files = {a001,   a002,   a004, b001, t01,   t02,  sc14_1,
                 sc14_2, sc14_3, t50,  t51,  phone, a010, t100};
        pool = test::makeMediaPool(files, true);
        index = MediaSyncIndex::indexWithMediaPool(*pool);
    }

    std::shared_ptr<MediaSyncComposition> clipOf(const std::shared_ptr<MediaFile>& master,
                                                 CompositionSettings settings,
                                                 bool forPlayback = true) {
        auto clip = MediaSyncComposition::syncCompositionWithMasterFile(master, index, settings);
        clip->setForPlayback(forPlayback);
        clip->syncMedia();
        return clip;
    }

    static CompositionSettings dated() {
        CompositionSettings settings;
        settings.involveDate = true;
        return settings;
    }

    // The segment of the file on any track of the kind.
    static const MediaSegment* segmentOf(const MediaComposition& clip, const MediaFile& file,
                                         int32_t kind) {
        for (const auto& track : clip.tracksWithType(kind))
            for (const MediaSegment& segment : track->segments())
                if (!segment.isEmpty() && segment.sourceFile().get() == &file) return &segment;
        return nullptr;
    }

    // Where the file's material must lie in the master's clip (clipped to the master), from the
    // two start timecodes alone.
    static void expectPlaced(const MediaComposition& clip, const MediaFile& master,
                             const MediaFile& file, int32_t kind) {
        SCOPED_TRACE(file.name());
        const MediaSegment* segment = segmentOf(clip, file, kind);
        ASSERT_TRUE(segment);
        const CMTime distance = file.timecode()->time() - master.timecode()->time();
        const CMTimeMapping& mapping = segment->timeMapping();
        if (distance < kCMTimeZero) {
            EXPECT_EQ(mapping.source.start, kCMTimeZero - distance);
            EXPECT_EQ(mapping.target.start, kCMTimeZero);
        } else {
            EXPECT_EQ(mapping.source.start, kCMTimeZero);
            EXPECT_EQ(mapping.target.start, distance);
        }
    }

    static std::vector<std::string> namesOf(const std::vector<std::shared_ptr<MediaFile>>& list) {
        std::vector<std::string> names;
        for (const auto& file : list)
            names.push_back(file->name());
        return names;
    }

    // A camera A clip (picture and stereo scratch sound, model FX6) of ten seconds.
    static std::shared_ptr<MediaFile> cameraA(const char* name, const char* timecode,
                                              MetadataDate created) {
        return makeCamera({.name = name, .timecode = timecode, .frames = 250, .created = created});
    }
    // A take of the production recorder.
    static std::shared_ptr<MediaFile> take(const char* name, int64_t startSample, int seconds,
                                           MetadataDate created, uint32_t channels = 2) {
        return makeRecorder({.name = name,
                             .startSample = startSample,
                             .samples = 48000 * seconds,
                             .channels = channels,
                             .created = created});
    }

    // Day 1: camera A, camera B (model FX9).
    std::shared_ptr<MediaFile> a001 = cameraA("A001.mov", "10:00:02:00", day1(10, 0, 2));
    std::shared_ptr<MediaFile> a002 = cameraA("A002.mov", "10:01:05:12", day1(10, 1, 5));
    std::shared_ptr<MediaFile> a004 = cameraA("A004.mov", "10:02:30:00", day1(10, 2, 30));
    std::shared_ptr<MediaFile> b001 = makeCamera({.name = "B001.mov",
                                                  .timecode = "10:00:03:10",
                                                  .frames = 250,
                                                  .model = "FX9",
                                                  .serial = "200",
                                                  .created = day1(10, 0, 3)});
    // The production recorder: poly takes and one take as three mono files.
    std::shared_ptr<MediaFile> t01 = take("T01.wav", samplesAt(10, 0, 0), 12, day1(10, 0, 0));
    std::shared_ptr<MediaFile> t02 = take("T02.wav", samplesAt(10, 1, 3) + 7, 12, day1(10, 1, 3));
    std::shared_ptr<MediaFile> sc14_1 =
        take("SC14_1.wav", samplesAt(10, 2, 28), 12, day1(10, 2, 28), 1);
    std::shared_ptr<MediaFile> sc14_2 =
        take("SC14_2.wav", samplesAt(10, 2, 28), 12, day1(10, 2, 28), 1);
    std::shared_ptr<MediaFile> sc14_3 =
        take("SC14_3.wav", samplesAt(10, 2, 28), 12, day1(10, 2, 28), 1);
    // A second recorder whose clock repeats the first take's timecode: one take recorded two
    // hours after camera A's first clip, one two hours and a second after it.
    std::shared_ptr<MediaFile> t51 = makeRecorder({.name = "T51.wav",
                                                   .startSample = samplesAt(10, 0, 1),
                                                   .samples = 48000 * 5,
                                                   .model = "Zoom",
                                                   .serial = "Z1",
                                                   .created = day1(12, 0, 2)});
    std::shared_ptr<MediaFile> t50 = makeRecorder({.name = "T50.wav",
                                                   .startSample = samplesAt(10, 0, 1),
                                                   .samples = 48000 * 6,
                                                   .model = "Zoom",
                                                   .serial = "Z1",
                                                   .created = day1(12, 0, 3)});
    // A phone recording without timecode.
    std::shared_ptr<MediaFile> phone = makeRecorder({.name = "PHONE.wav",
                                                     .startSample = -1,
                                                     .samples = 48000 * 30,
                                                     .model = "Phone",
                                                     .serial = "P1",
                                                     .created = day1(14, 3, 7)});
    // Day 2 at the same timecodes.
    std::shared_ptr<MediaFile> a010 = cameraA("A010.mov", "10:00:02:00", day2(10, 0, 2));
    std::shared_ptr<MediaFile> t100 = take("T100.wav", samplesAt(10, 0, 0) + 1, 12, day2(10, 0, 0));

    std::vector<std::shared_ptr<MediaFile>> files;
    std::shared_ptr<MediaPool> pool;
    std::shared_ptr<const MediaSyncIndex> index;
};

TEST_F(ShootingDayScenarioTest, ThePoolGroupsDevicesAndLinksTheSplitTake) {
    EXPECT_EQ(a001->syncGroup(), a010->syncGroup());
    EXPECT_NE(a001->syncGroup(), b001->syncGroup());
    EXPECT_EQ(t01->syncGroup(), sc14_1->syncGroup());
    EXPECT_EQ(t01->syncGroup(), t100->syncGroup());
    EXPECT_NE(t01->syncGroup(), t50->syncGroup());
    EXPECT_EQ(sc14_1->firstAudioTrack()->trackNumber(), 1);
    EXPECT_EQ(sc14_2->firstAudioTrack()->trackNumber(), 2);
    EXPECT_EQ(sc14_3->firstAudioTrack()->trackNumber(), 3);
    EXPECT_FALSE(sc14_1->linkedAudioFile());
    EXPECT_TRUE(sc14_2->linkedAudioFile());
    EXPECT_TRUE(sc14_3->linkedAudioFile());
}

TEST_F(ShootingDayScenarioTest, SyncInformationOfEveryFile) {
    auto status = [&](const std::shared_ptr<MediaFile>& file, bool involveDate, bool multicam) {
        return MediaSyncComposition::syncInfoOfMediaFile(*file, *index, involveDate, multicam)
            .infoText;
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file->name());
        if (file == phone) {
            EXPECT_EQ(status(file, true, false), "no timecode");
            continue;
        }
        EXPECT_EQ(status(file, true, false), "synced");
    }
    // Without the date, day 2's camera also meets day 1's recorder; the date keeps days apart.
    auto clip = clipOf(a010, {});
    EXPECT_EQ(namesOf(clip->correspondingFiles()),
              (std::vector<std::string>{"T01.wav", "T100.wav", "T51.wav", "T50.wav"}));
    clip = clipOf(a010, dated());
    EXPECT_EQ(namesOf(clip->correspondingFiles()), (std::vector<std::string>{"T100.wav"}));
}

TEST_F(ShootingDayScenarioTest, TheFirstClipWithAndWithoutMulticamAndCameraSound) {
    // Two hours apart still matches, two hours and a second does not.
    auto clip = clipOf(a001, dated(), false);
    EXPECT_EQ(namesOf(clip->correspondingFiles()),
              (std::vector<std::string>{"T01.wav", "T51.wav"}));
    EXPECT_EQ(clip->syncInformation(), "synced");
    EXPECT_EQ(clip->videoTrackCount(), 1);
    EXPECT_EQ(clip->audioTrackCount(), 2);  // one track per recorder
    expectPlaced(*clip, *a001, *t01, MediaTrackTypeAudio);
    expectPlaced(*clip, *a001, *t51, MediaTrackTypeAudio);
    EXPECT_EQ(segmentOf(*clip, *t01, MediaTrackTypeAudio)->timeMapping().source.start, seconds(2));
    EXPECT_EQ(clip->duration(), seconds(10));

    CompositionSettings multicam = dated();
    multicam.multicam = true;
    clip = clipOf(a001, multicam);
    EXPECT_EQ(namesOf(clip->correspondingFiles()),
              (std::vector<std::string>{"B001.mov", "T01.wav", "T51.wav"}));
    ASSERT_EQ(clip->videoTrackCount(), 2);
    expectPlaced(*clip, *a001, *b001, MediaTrackTypeVideo);
    EXPECT_EQ(segmentOf(*clip, *b001, MediaTrackTypeVideo)->timeMapping().target.start,
              CMTimeMake(35, 25));
    EXPECT_EQ(segmentOf(*clip, *b001, MediaTrackTypeAudio), nullptr);
    // An export keeps one picture.
    EXPECT_EQ(clipOf(a001, multicam, false)->videoTrackCount(), 1);

    CompositionSettings everything = multicam;
    everything.keepOriginalAudio = true;
    clip = clipOf(a001, everything);
    EXPECT_EQ(clip->audioTrackCount(), 4);  // A's own, B's own, the two recorders
    expectPlaced(*clip, *a001, *a001, MediaTrackTypeAudio);
    expectPlaced(*clip, *a001, *b001, MediaTrackTypeAudio);
    expectPlaced(*clip, *a001, *t01, MediaTrackTypeAudio);
}

// The AV shift preset of camera A's model (+0.08 s, stored at 1/600 s) moves only camera A's
// own sound: two frames later, ending where the picture ends.
TEST_F(ShootingDayScenarioTest, TheCameraModelsShiftMovesItsOwnSoundOnly) {
    for (const auto& camera : {a001, a002, a004, a010})
        camera->setAvShift(CMTimeMakeWithSeconds(0.08, 600));
    CompositionSettings settings = dated();
    settings.multicam = true;
    settings.keepOriginalAudio = true;
    auto clip = clipOf(a001, settings);
    const MediaSegment* own = segmentOf(*clip, *a001, MediaTrackTypeAudio);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->timeMapping().target.start, CMTimeMake(2, 25));
    EXPECT_EQ(own->timeMapping().target.end(), seconds(10));
    expectPlaced(*clip, *a001, *b001, MediaTrackTypeAudio);
    expectPlaced(*clip, *a001, *t01, MediaTrackTypeAudio);

    // In XML mode the clip holds every file whole; the shifted sound keeps its place too.
    auto whole = MediaSyncComposition::syncCompositionWithMasterFile(a001, index, settings);
    whole->setXmlMode(true);
    whole->syncMedia();
    EXPECT_EQ(whole->xmlSyncTime(), t01->timecode()->time());
    const MediaSegment* picture = segmentOf(*whole, *a001, MediaTrackTypeVideo);
    const MediaSegment* sound = segmentOf(*whole, *a001, MediaTrackTypeAudio);
    ASSERT_TRUE(picture && sound);
    EXPECT_EQ(sound->timeMapping().target.start - picture->timeMapping().target.start,
              CMTimeMake(2, 25));
    EXPECT_EQ(segmentOf(*whole, *t01, MediaTrackTypeAudio)->timeMapping().target.start,
              kCMTimeZero);
}

// The three mono files of one take stay three tracks of one recorder, each at its offset.
TEST_F(ShootingDayScenarioTest, TheSplitTakeGivesThreeTracks) {
    auto clip = clipOf(a004, dated());
    EXPECT_EQ(namesOf(clip->correspondingFiles()),
              (std::vector<std::string>{"SC14_1.wav", "SC14_2.wav", "SC14_3.wav"}));
    ASSERT_EQ(clip->audioTrackCount(), 3);
    for (const auto& part : {sc14_1, sc14_2, sc14_3}) {
        expectPlaced(*clip, *a004, *part, MediaTrackTypeAudio);
        EXPECT_EQ(segmentOf(*clip, *part, MediaTrackTypeAudio)->timeMapping().source.start,
                  seconds(2));
    }
    // The second poly take starts 7 samples after its timecode's frame: so does its sound.
    clip = clipOf(a002, dated());
    const MediaSegment* take = segmentOf(*clip, *t02, MediaTrackTypeAudio);
    ASSERT_TRUE(take);
    EXPECT_EQ(take->timeMapping().source.start, CMTimeMake(2 * 48000 + 23040 - 7, 48000));
}

// The map of both days with the file date. Material is never removed and keeps its order, so
// after the cuts a moment of material lies where the material before it adds up to: the map is
// checked against that sum over the files' own places (timecode, or the time of day of
// creation, plus whole days from the first day).
TEST_F(ShootingDayScenarioTest, TheSyncMapOfTwoDays) {
    auto map = MediaLayoutComposition::layoutCompositionWithName("Layout", index, dated());
    map->setCreateNewAudioTracksForDifferentChannelcount(true);
    map->createLayout();

    // Where each laid-out file lies before the cuts (camera sound is not laid out).
    std::vector<CMTimeRange> material;
    auto place = [&](const std::shared_ptr<MediaFile>& file) {
        const CMTime start =
            file->timecode() ? file->timecode()->time() : file->creationDateTimecode()->time();
        const CMTime day = file->creationDate() >= day2(0, 0, 0) ? seconds(86400) : kCMTimeZero;
        return CMTimeRange{start + day, file->duration()};
    };
    for (const auto& file : files)
        material.push_back(place(file));
    // The length of material before a moment.
    auto materialBefore = [&](CMTime moment) {
        std::vector<CMTimeRange> sorted = material;
        std::sort(sorted.begin(), sorted.end(), [](const CMTimeRange& lhs, const CMTimeRange& rhs) {
            return lhs.start < rhs.start;
        });
        CMTime total = kCMTimeZero;
        CMTime covered = kCMTimeZero;  // material is counted up to here
        for (const CMTimeRange& range : sorted) {
            const CMTime from = CMTimeMaximum(range.start, covered);
            const CMTime to = CMTimeMinimum(range.end(), moment);
            if (to > from) total = total + (to - from);
            covered = CMTimeMaximum(covered, range.end());
        }
        return total;
    };
    for (const auto& file : {a001, b001, t01, t02, sc14_2, t50, phone, a010, t100}) {
        SCOPED_TRACE(file->name());
        const int32_t kind = file->hasVideo() ? MediaTrackTypeVideo : MediaTrackTypeAudio;
        const MediaSegment* segment = segmentOf(*map, *file, kind);
        ASSERT_TRUE(segment);
        const CMTimeMapping& mapping = segment->timeMapping();
        EXPECT_EQ(mapping.target.start - mapping.source.start, materialBefore(place(file).start));
    }
    CMTime removed = kCMTimeZero;
    for (const CMTimeRange& cut : map->cutRanges())
        removed = removed + cut.duration;
    EXPECT_EQ(map->duration(), materialBefore(seconds(3 * 86400)));
    EXPECT_EQ(map->duration() + removed, place(t100).end());
    // One track per device and channel count; all pictures on one track without multicam.
    EXPECT_EQ(map->videoTrackCount(), 1);
}

}  // namespace
}  // namespace vorlane
