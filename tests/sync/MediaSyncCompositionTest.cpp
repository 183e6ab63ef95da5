#include <gtest/gtest.h>

#include "sync/MediaSyncComposition.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

using test::CameraSpec;
using test::localDate;
using test::makeCamera;
using test::makePool;
using test::makeRecorder;
using test::RecorderSpec;
using test::samplesAt;

CMTime seconds(int64_t value) {
    return CMTimeMake(value, 1);
}

struct Piece {
    bool gap;
    CMTimeRange source;
    CMTimeRange target;
};

std::vector<Piece> piecesOf(const MediaTrack& track) {
    std::vector<Piece> pieces;
    for (const MediaSegment& segment : track.segments())
        pieces.push_back(
            {segment.isEmpty(), segment.timeMapping().source, segment.timeMapping().target});
    return pieces;
}

void expectRange(CMTimeRange range, CMTime start, CMTime duration) {
    EXPECT_EQ(range.start, start) << range.description();
    EXPECT_EQ(range.duration, duration) << range.description();
}

std::shared_ptr<MediaSyncComposition> synced(const std::shared_ptr<MediaFile>& master,
                                             const std::vector<std::shared_ptr<MediaFile>>& files,
                                             CompositionSettings settings = {},
                                             bool xmlMode = false, bool forPlayback = false) {
    auto clip =
        MediaSyncComposition::syncCompositionWithMasterFile(master, makePool(files), settings);
    clip->setXmlMode(xmlMode);
    clip->setForPlayback(forPlayback);
    clip->syncMedia();
    return clip;
}

// Picture 10:00:00:00 for 60 s, sound from 09:59:50:00 for 120 s: the sound's first 10 s lie
// before the clip, so it is taken from its 10 s mark and placed at zero.
TEST(MediaSyncCompositionTest, SoundThatStartedEarlierIsTakenFromItsOffset) {
    auto camera = makeCamera({.audioTracks = 0});
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 50), .samples = 48000 * 120});
    auto clip = synced(camera, {camera, recorder});
    EXPECT_EQ(clip->syncInformation(), "synced");
    ASSERT_EQ(clip->correspondingFiles().size(), 1u);
    EXPECT_EQ(clip->xmlSyncTime(), camera->timecode()->time());
    ASSERT_EQ(clip->audioTrackCount(), 1);
    const auto pieces = piecesOf(*clip->audioTracks().front());
    ASSERT_EQ(pieces.size(), 1u);
    expectRange(pieces[0].source, seconds(10), seconds(60));
    expectRange(pieces[0].target, kCMTimeZero, seconds(60));
    EXPECT_EQ(clip->duration(), seconds(60));
    EXPECT_EQ(clip->correspondingFileTypes(), MediaTypeAudio);
}

TEST(MediaSyncCompositionTest, SoundThatStartedLaterIsPlacedAtItsOffsetAndPadded) {
    auto camera = makeCamera({.audioTracks = 0});
    auto recorder = makeRecorder({.startSample = samplesAt(10, 0, 5), .samples = 48000 * 10});
    auto clip = synced(camera, {camera, recorder});
    const auto pieces = piecesOf(*clip->audioTracks().front());
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(pieces[0].gap);
    expectRange(pieces[0].target, kCMTimeZero, seconds(5));
    expectRange(pieces[1].source, kCMTimeZero, seconds(10));
    expectRange(pieces[1].target, seconds(5), seconds(10));
    EXPECT_TRUE(pieces[2].gap);
    expectRange(pieces[2].target, seconds(15), seconds(45));
    EXPECT_EQ(clip->syncedFiles(), "\tTime 10:00:05:00: T001.wav\n");
}

TEST(MediaSyncCompositionTest, XmlModeGrowsTheClipToHoldEveryFileWhole) {
    auto camera = makeCamera({.audioTracks = 0});
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 50), .samples = 48000 * 120});
    auto clip = synced(camera, {camera, recorder}, {}, true);
    EXPECT_EQ(clip->xmlSyncTime(), CMTimeMake(samplesAt(9, 59, 50), 48000));
    const auto video = piecesOf(*clip->videoTracks().front());
    ASSERT_GE(video.size(), 2u);
    EXPECT_TRUE(video[0].gap);
    expectRange(video[0].target, kCMTimeZero, seconds(10));
    expectRange(video[1].target, seconds(10), seconds(60));
    const auto audio = piecesOf(*clip->audioTracks().front());
    expectRange(audio[0].source, kCMTimeZero, seconds(120));
    expectRange(audio[0].target, kCMTimeZero, seconds(120));
    EXPECT_EQ(clip->duration(), seconds(120));
    EXPECT_EQ(clip->timeStringForCompositionTime(seconds(10)), "10:00:00:00");
    EXPECT_EQ(clip->timeStringForCompositionTime(kCMTimeZero), "09:59:50:00");
}

// The sound's place in the clip is the difference of the two start timecodes, exactly: an
// NTSC drop-frame camera against a recorder that starts between frames.
TEST(MediaSyncCompositionTest, OffsetsAreExactRationalTimes) {
    auto camera = makeCamera({.timecode = "", .rate = 30000.0 / 1001.0, .audioTracks = 0});
    camera->addTimecodeTrackWithTCHelper(test::fileTimecode("10:00:00;00", 30000.0 / 1001.0, true));
    auto recorder = makeRecorder({.startSample = 1728012345, .samples = 48000 * 30});
    auto clip = synced(camera, {camera, recorder});
    const auto pieces = piecesOf(*clip->audioTracks().front());
    ASSERT_GE(pieces.size(), 2u);
    const CMTime expected = CMTimeMake(70365, 240000);  // 1728012345/48000 − 1079998920/30000
    EXPECT_EQ(pieces[1].target.start, expected);
    EXPECT_EQ(pieces[1].target.start, recorder->timecode()->time() - camera->timecode()->time());
    EXPECT_EQ(pieces[1].target.start.flags & kCMTimeFlags_HasBeenRounded, 0u);
    EXPECT_EQ(pieces[1].source.start, kCMTimeZero);

    // The other way round: the camera started 70365/240000 s before the sound.
    auto fromSound = synced(recorder, {camera, recorder});
    const auto picture = piecesOf(*fromSound->videoTracks().front());
    EXPECT_EQ(picture[0].source.start, expected);
    EXPECT_EQ(picture[0].target.start, kCMTimeZero);
}

TEST(MediaSyncCompositionTest, TwoCamerasMatchOnlyInMulticamMode) {
    auto first = makeCamera({.name = "A001.mov"});
    auto second = makeCamera({.name = "B001.mov", .timecode = "10:00:30:00", .serial = "200"});
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*first, *second, false, false, false));
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*first, *second, false, true, false));
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*first, *first, false, true, false));

    CompositionSettings settings;
    settings.multicam = true;
    // The player shows every matching camera; an export keeps one picture.
    auto preview = synced(first, {first, second}, settings, false, true);
    EXPECT_EQ(preview->videoTrackCount(), 2);
    const auto secondPicture = piecesOf(*preview->videoTracks()[1]);
    expectRange(secondPicture[1].target, seconds(30), seconds(30));
    auto exported = synced(first, {first, second}, settings);
    EXPECT_EQ(exported->videoTrackCount(), 1);
}

TEST(MediaSyncCompositionTest, InvolvingTheDateAllowsTwoHoursApart) {
    const MetadataDate noon = localDate(2024, 5, 3, 12, 0, 0);
    auto camera = makeCamera({.created = noon});
    auto exactly =
        makeRecorder({.startSample = samplesAt(10, 0, 0), .created = noon + std::chrono::hours(2)});
    auto beyond = makeRecorder(
        {.startSample = samplesAt(10, 0, 0), .created = noon + std::chrono::seconds(7201)});
    auto undated = makeRecorder({.startSample = samplesAt(10, 0, 0)});
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*camera, *exactly, true, false, false));
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*camera, *beyond, true, false, false));
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*camera, *beyond, false, false, false));
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*camera, *undated, true, false, false));
}

TEST(MediaSyncCompositionTest, TouchingRangesDoNotMatch) {
    auto camera = makeCamera({});  // 10:00:00:00 for 60 s
    auto before = makeRecorder({.startSample = samplesAt(9, 59, 0)});
    auto after = makeRecorder({.startSample = samplesAt(10, 1, 0)});
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*camera, *before, false, false, false));
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*camera, *after, false, false, false));
    auto clip = synced(camera, {camera, before, after});
    EXPECT_EQ(clip->syncInformation(), "no corresponding files");
    EXPECT_EQ(clip->syncedFiles(), "\t+++ no corresponding files found!\n");
}

TEST(MediaSyncCompositionTest, AnLtcOnlySoundFileIsNeverLaidIn) {
    auto camera = makeCamera({.audioTracks = 0});
    auto ltc = makeRecorder({.name = "LTC.wav", .startSample = samplesAt(10, 0, 0), .channels = 1});
    ltc->firstAudioTrack()->setAudioChannelMask(1);
    CompositionSettings settings;
    settings.muteAudioTimecode = true;
    auto clip = synced(camera, {camera, ltc}, settings);
    EXPECT_TRUE(clip->correspondingFiles().empty());
    EXPECT_EQ(clip->audioTrackCount(), 0);
    EXPECT_EQ(synced(camera, {camera, ltc})->correspondingFiles().size(), 1u);
}

// A shift of +2 frames delays the camera's own sound and keeps its end in place; the recorder is
// not shifted.
TEST(MediaSyncCompositionTest, TheCameraShiftMovesOnlyItsOwnSound) {
    auto camera = makeCamera({.audioTracks = 1});
    camera->setAvShift(CMTimeMake(2, 25));
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 50), .samples = 48000 * 120});
    CompositionSettings settings;
    settings.keepOriginalAudio = true;
    auto clip = synced(camera, {camera, recorder}, settings);
    ASSERT_EQ(clip->audioTrackCount(), 2);
    const auto own = piecesOf(*clip->audioTracks()[0]);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_TRUE(own[0].gap);
    expectRange(own[1].target, CMTimeMake(2, 25), seconds(60) - CMTimeMake(2, 25));
    expectRange(own[1].source, kCMTimeZero, seconds(60) - CMTimeMake(2, 25));
    const auto external = piecesOf(*clip->audioTracks()[1]);
    expectRange(external[0].source, seconds(10), seconds(60));
    expectRange(external[0].target, kCMTimeZero, seconds(60));

    // Without the shift in use, or with a negative shift (sound advanced, its start skipped).
    clip = MediaSyncComposition::syncCompositionWithMasterFile(camera, makePool({camera, recorder}),
                                                               settings);
    clip->setUseAVShift(false);
    clip->syncMedia();
    expectRange(piecesOf(*clip->audioTracks()[0])[0].target, kCMTimeZero, seconds(60));
    camera->setAvShift(CMTimeMake(-3, 25));
    const auto advanced = piecesOf(*synced(camera, {camera, recorder}, settings)->audioTracks()[0]);
    expectRange(advanced[0].source, CMTimeMake(3, 25), seconds(60) - CMTimeMake(3, 25));
    expectRange(advanced[0].target, kCMTimeZero, seconds(60) - CMTimeMake(3, 25));
}

TEST(MediaSyncCompositionTest, XmlModeShiftBeforeTheStartMovesEverythingLater) {
    auto camera = makeCamera({.audioTracks = 1});
    camera->setAvShift(CMTimeMake(-2, 25));
    auto recorder = makeRecorder({.startSample = samplesAt(10, 0, 0), .samples = 48000 * 60});
    CompositionSettings settings;
    settings.keepOriginalAudio = true;
    auto clip = synced(camera, {camera, recorder}, settings, true);
    // The camera's sound comes 2 frames before its picture: everything else moves 2 frames on.
    EXPECT_EQ(clip->xmlSyncTime(), camera->timecode()->time() - CMTimeMake(2, 25));
    const auto picture = piecesOf(*clip->videoTracks()[0]);
    expectRange(picture[1].target, CMTimeMake(2, 25), seconds(60));
    const auto own = piecesOf(*clip->audioTracks()[0]);
    expectRange(own[0].target, kCMTimeZero, seconds(60));
    const auto external = piecesOf(*clip->audioTracks()[1]);
    expectRange(external[1].target, CMTimeMake(2, 25), seconds(60));
}

TEST(MediaSyncCompositionTest, SyncGroupsKeepOneTrackPerDevice) {
    auto camera = makeCamera({.audioTracks = 0});
    auto first = makeRecorder(
        {.name = "T1.wav", .startSample = samplesAt(9, 59, 40), .samples = 48000 * 30});
    auto second = makeRecorder(
        {.name = "T2.wav", .startSample = samplesAt(10, 0, 20), .samples = 48000 * 30});
    camera->setSyncGroup(1);
    first->setSyncGroup(2);
    second->setSyncGroup(2);
    auto clip = synced(camera, {camera, first, second});
    ASSERT_EQ(clip->audioTrackCount(), 1);
    const auto track = clip->audioTracks().front();
    EXPECT_EQ(track->sourceTrackID(), first->uniqueTrackIDForTrack(*first->firstAudioTrack()));
    const auto pieces = piecesOf(*track);
    ASSERT_EQ(pieces.size(), 4u);
    expectRange(pieces[0].source, seconds(20), seconds(10));
    expectRange(pieces[0].target, kCMTimeZero, seconds(10));
    EXPECT_TRUE(pieces[1].gap);
    expectRange(pieces[2].target, seconds(20), seconds(30));
    EXPECT_TRUE(pieces[3].gap);
    EXPECT_EQ(clip->videoTracks().front()->sourceTrackID(),
              camera->uniqueTrackIDForTrack(*camera->firstVideoTrack()));
}

// A file without timecode has no place on the timecode axis: it never joins another file's
// clip and never makes another file read "synced".
TEST(MediaSyncCompositionTest, FilesWithoutTimecodeAreNeverLaidIn) {
    auto camera = makeCamera({.audioTracks = 0});
    auto untimed = makeRecorder({.name = "NOTC.wav", .startSample = -1});
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*camera, *untimed, false, true, false));
    EXPECT_FALSE(MediaSyncComposition::isMediaFile(*untimed, *camera, false, true, false));

    auto clip = synced(camera, {camera, untimed});
    EXPECT_TRUE(clip->correspondingFiles().empty());
    EXPECT_EQ(clip->syncInformation(), "no corresponding files");
    EXPECT_EQ(clip->audioTrackCount(), 0);
    ASSERT_EQ(clip->tracks().size(), 2u);  // the picture and its timecode
    EXPECT_EQ(clip->tracks()[1]->timecode(), camera->fileTimecode());

    auto fromUntimed = synced(untimed, {camera, untimed});
    EXPECT_EQ(fromUntimed->syncInformation(), "no timecode");
    EXPECT_EQ(fromUntimed->videoTrackCount(), 0);
    EXPECT_EQ(fromUntimed->audioTrackCount(), 1);
    EXPECT_EQ(fromUntimed->name(), "NOTC");

    auto pool = makePool({camera, untimed});
    const SyncInfo cameraInfo =
        MediaSyncComposition::syncInfoOfMediaFile(*camera, *pool, false, true);
    EXPECT_EQ(cameraInfo.infoText, "no corresponding files");
    EXPECT_EQ(cameraInfo.highLightColor, 1);
    MediaSyncComposition::updateSyncInfoOfMediaFile(*untimed, *pool, false, true);
    EXPECT_EQ(untimed->infoText(), "no timecode");
    EXPECT_EQ(untimed->highLightColor(), 1);
}

// Camera from 23:59:30 for a minute, recorder from 00:00:10: the take runs across midnight and
// syncs like a take at any other hour. The sound lies 40 s into the picture.
TEST(MediaSyncCompositionTest, ATakeAcrossMidnightSyncs) {
    auto camera = makeCamera({.timecode = "23:59:30:00", .audioTracks = 0});
    auto recorder = makeRecorder({.startSample = samplesAt(0, 0, 10), .samples = 48000 * 120});
    auto pool = makePool({camera, recorder});
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*camera, *recorder, false, false, false));
    EXPECT_TRUE(MediaSyncComposition::isMediaFile(*recorder, *camera, false, false, false));
    EXPECT_EQ(MediaSyncComposition::syncInfoOfMediaFile(*camera, *pool, false, false).infoText,
              "synced");
    EXPECT_EQ(MediaSyncComposition::syncInfoOfMediaFile(*recorder, *pool, false, false).infoText,
              "synced");

    auto clip = synced(camera, {camera, recorder});
    const auto sound = piecesOf(*clip->audioTracks().front());
    ASSERT_EQ(sound.size(), 2u);
    expectRange(sound[1].source, kCMTimeZero, seconds(20));
    expectRange(sound[1].target, seconds(40), seconds(20));
    EXPECT_EQ(clip->timeStringForCompositionTime(seconds(45)), "00:00:15:00");

    auto fromSound = synced(recorder, {camera, recorder});
    const auto picture = piecesOf(*fromSound->videoTracks().front());
    expectRange(picture[0].source, seconds(40), seconds(20));
    expectRange(picture[0].target, kCMTimeZero, seconds(20));

    auto whole = synced(camera, {camera, recorder}, {}, true);
    EXPECT_EQ(whole->xmlSyncTime(), camera->timecode()->time());
    expectRange(piecesOf(*whole->audioTracks().front())[1].target, seconds(40), seconds(120));

    // The same with the recorder running across midnight and the camera starting after it.
    auto lateCamera = makeCamera({.timecode = "00:00:20:00", .audioTracks = 0});
    auto nightRecorder =
        makeRecorder({.startSample = samplesAt(23, 59, 0), .samples = 48000 * 120});
    auto night = synced(lateCamera, {lateCamera, nightRecorder});
    expectRange(piecesOf(*night->audioTracks().front())[0].source, seconds(80), seconds(40));
}

// A camera whose sound is a frame shorter than its picture: holding the file whole must not
// reach past the end of the sound.
TEST(MediaSyncCompositionTest, NoSourceRangeReachesPastItsTrack) {
    auto camera = makeCamera({.audioTracks = 1, .audioSamples = 48000 * 60 - 1920});
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 50), .samples = 48000 * 120});
    CompositionSettings settings;
    settings.keepOriginalAudio = true;
    auto pool = test::makeMediaPool({camera, recorder});
    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(camera, *pool);
    clip->setKeepOriginalAudio(true);
    clip->setXmlMode(true);
    clip->syncMedia();
    const auto own = piecesOf(*clip->audioTracks()[0]);
    ASSERT_GE(own.size(), 2u);
    expectRange(own[1].source, kCMTimeZero, CMTimeMake(48000 * 60 - 1920, 48000));
    expectRange(own[1].target, seconds(10), CMTimeMake(48000 * 60 - 1920, 48000));
}

TEST(MediaSyncCompositionTest, AMasterThatIsGoneBehavesAsNoTimecode) {
    auto recorder = makeRecorder({.startSample = samplesAt(10, 0, 0)});
    std::shared_ptr<MediaSyncComposition> clip;
    {
        auto camera = makeCamera({});
        clip =
            MediaSyncComposition::syncCompositionWithMasterFile(camera, makePool({recorder}), {});
    }
    clip->syncMedia();
    EXPECT_EQ(clip->syncInformation(), "no timecode");
    EXPECT_EQ(clip->duration(), kCMTimeZero);
    EXPECT_EQ(clip->name(), "no name");
}

}  // namespace
}  // namespace vorlane
