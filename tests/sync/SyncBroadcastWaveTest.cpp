// Sync with Broadcast WAV files read from disk: files made by the independent media generator
// (its TimeReference is the truth) and a field recorder's own files, syncing with each other and
// with in-memory camera files. Every placement must equal the difference of the start times to
// the sample.
#include <gtest/gtest.h>

#include "formats/wave/BWFFile.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/Signals.h"
#include "support/Sndfile.h"
#include "support/TestSupport.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

using test::makeCamera;
using test::makePool;

std::shared_ptr<MediaFile> broadcastWave(const std::filesystem::path& path) {
    return std::make_shared<BWFFile>(path);
}

// The first material of the file on any audio track of the clip.
const MediaSegment* materialOf(const MediaComposition& clip, const MediaFile& file) {
    for (const auto& track : clip.audioTracks())
        for (const MediaSegment& segment : track->segments())
            if (!segment.isEmpty() && segment.sourceFile().get() == &file) return &segment;
    return nullptr;
}

// The bext TimeReference as libsndfile reads it.
int64_t timeReferenceOf(const std::filesystem::path& path) {
    const auto view = test::readWithSndfile(path);
    EXPECT_TRUE(view && view->timeReference) << path;
    return view && view->timeReference ? int64_t(*view->timeReference) : -1;
}

mediagen::RecorderTakeFacts writeTake(const std::filesystem::path& path, mediagen::Timecode start,
                                      mediagen::Rate rate, const std::string& originator,
                                      double seconds) {
    mediagen::RecorderTake take;
    take.path = path;
    take.start = start;
    take.rate = rate;
    take.originator = originator;
    take.tape = originator;
    const size_t count = size_t(seconds * 48000);
    take.channels = {mediagen::chords(count, 48000, -12.0), mediagen::silence(count)};
    std::string error;
    const auto facts = mediagen::writeRecorderTake(take, &error);
    EXPECT_TRUE(facts) << error;
    return facts.value_or(mediagen::RecorderTakeFacts{});
}

// Two recorders at 29.97 drop frame, whose starts are no whole number of frames apart in
// samples, and a camera at the same rate.
TEST(SyncBroadcastWaveTest, GeneratedRecordersSyncToTheSample) {
    test::ScratchFolder folder;
    const auto rate = mediagen::Rate::fps2997(true);
    const auto first = writeTake(folder / "REC1_T01.WAV", {10, 0, 0, 0}, rate, "Recorder One", 12);
    const auto second =
        writeTake(folder / "REC2_T01.WAV", {10, 0, 3, 17}, rate, "Recorder Two", 12);
    auto one = broadcastWave(first.path);
    auto two = broadcastWave(second.path);
    auto camera = makeCamera({.name = "C001.mov",
                              .timecode = "",
                              .rate = 30000.0 / 1001.0,
                              .frames = 300,
                              .audioTracks = 0});
    camera->addTimecodeTrackWithTCHelper(test::fileTimecode("10:00:01;15", 30000.0 / 1001.0, true));
    auto pool = makePool({camera, one, two}, true);
    ASSERT_EQ(one->fileTimecode()->time(), CMTimeMake(int64_t(first.timeReference), 48000));
    ASSERT_EQ(two->fileTimecode()->time(), CMTimeMake(int64_t(second.timeReference), 48000));

    // Sound against sound.
    auto sound = MediaSyncComposition::syncCompositionWithMasterFile(one, pool, {});
    sound->syncMedia();
    ASSERT_EQ(sound->syncInformation(), "synced");
    const MediaSegment* placed = materialOf(*sound, *two);
    ASSERT_TRUE(placed);
    const CMTime expected =
        CMTimeMake(int64_t(second.timeReference) - int64_t(first.timeReference), 48000);
    EXPECT_EQ(placed->timeMapping().target.start, expected);
    EXPECT_EQ(placed->timeMapping().source.start, kCMTimeZero);

    // Sound against picture: each recorder lies where its start is from the camera's.
    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(camera, pool, {});
    clip->syncMedia();
    ASSERT_EQ(clip->correspondingFiles().size(), 2u);
    for (const auto& [file, facts] : {std::pair{one, first}, std::pair{two, second}}) {
        SCOPED_TRACE(file->name());
        const MediaSegment* segment = materialOf(*clip, *file);
        ASSERT_TRUE(segment);
        const CMTime distance =
            CMTimeMake(int64_t(facts.timeReference), 48000) - camera->timecode()->time();
        const CMTimeMapping& mapping = segment->timeMapping();
        if (distance < kCMTimeZero) {  // the sound began first: taken from inside the file
            EXPECT_EQ(mapping.source.start, kCMTimeZero - distance);
            EXPECT_EQ(mapping.target.start, kCMTimeZero);
        } else {
            EXPECT_EQ(mapping.source.start, kCMTimeZero);
            EXPECT_EQ(mapping.target.start, distance);
        }
        EXPECT_EQ(mapping.target.start.flags & kCMTimeFlags_HasBeenRounded, 0u);
    }
}

// A field recorder's two takes under one in-memory camera at 23.976: both land on the recorder's
// one track, each where its TimeReference (as libsndfile reads it) lies from the camera's start.
// The recorder's TimeReference is not always on a frame boundary: the sound follows it, not
// the frame.
TEST(SyncBroadcastWaveTest, FieldRecorderTakesUnderOneCamera) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const auto folder = testdata / "bwf" / "sounddevices";
    auto first = broadcastWave(folder / "A101_1.WAV");
    auto second = broadcastWave(folder / "A101_2.WAV");
    auto camera = makeCamera({.name = "A001.mov",
                              .timecode = "12:39:58:00",
                              .rate = 24000.0 / 1001.0,
                              .frames = 24 * 20,
                              .audioTracks = 0});
    auto pool = makePool({camera, first, second}, true);
    ASSERT_TRUE(first->fileTimecode() && second->fileTimecode());
    EXPECT_NE(camera->syncGroup(), first->syncGroup());
    EXPECT_EQ(first->syncGroup(), second->syncGroup());

    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(camera, pool, {});
    clip->syncMedia();
    EXPECT_EQ(clip->syncInformation(), "synced");
    ASSERT_EQ(clip->audioTrackCount(), 1);
    // 12:39:58:00 at 23.976 is frame 1094352 since midnight: 2002 samples a frame.
    const int64_t cameraStart = int64_t(1094352) * 2002;
    for (const auto& file : {first, second}) {
        SCOPED_TRACE(file->name());
        const MediaSegment* take = materialOf(*clip, *file);
        ASSERT_TRUE(take);
        const int64_t offset = timeReferenceOf(file->sourceURLPath()) - cameraStart;
        EXPECT_EQ(take->timeMapping().target.start, CMTimeMake(offset, 48000));
        EXPECT_EQ(take->timeMapping().source.start, kCMTimeZero);
    }
    EXPECT_EQ(clip->timeStringForCompositionTime(CMTimeMake(6 * 24 * 1001, 24000)), "12:40:04:00");
}

}  // namespace
}  // namespace vorlane
