#include <gtest/gtest.h>

#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "sync/MediaComposition.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

using test::CameraSpec;
using test::makeCamera;
using test::makePool;
using test::makeRecorder;
using test::RecorderSpec;
using test::samplesAt;

CMTime seconds(int64_t value) {
    return CMTimeMake(value, 1);
}

std::shared_ptr<MediaComposition> emptyComposition(const CompositionSettings& settings = {}) {
    return MediaComposition::compositionWithMediaPool(makePool({}), settings);
}

TEST(CompositionSettingsTest, ReadFromTheUserDefaults) {
    test::ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setInteger(1, DefaultsKey::multicam);
    defaults.setBool(true, DefaultsKey::involveFileDate);
    defaults.setInteger(1, DefaultsKey::keepOriginalAudio);
    defaults.setBool(true, DefaultsKey::muteAudioTimecode);
    defaults.setInteger(5, DefaultsKey::metadataHandling);
    defaults.setInteger(3, DefaultsKey::clipNaming);
    defaults.setBool(true, DefaultsKey::fileSuffixes);
    const CompositionSettings settings = CompositionSettings::fromUserDefaults(defaults);
    EXPECT_TRUE(settings.multicam);
    EXPECT_TRUE(settings.involveDate);
    EXPECT_TRUE(settings.keepOriginalAudio);
    EXPECT_TRUE(settings.muteAudioTimecode);
    EXPECT_FALSE(settings.linearTimelineMode);
    EXPECT_EQ(settings.metadataHandling, 5);
    EXPECT_EQ(settings.clipNaming, 3);
    EXPECT_TRUE(settings.fileSuffixes);

    // Read once, at creation: later changes of the settings do not reach the composition.
    auto composition = MediaComposition::compositionWithMediaPool(makePool({}), settings);
    defaults.setInteger(0, DefaultsKey::multicam);
    EXPECT_TRUE(composition->multicam());
    EXPECT_FALSE(composition->forPlayback());
    EXPECT_FALSE(composition->xmlMode());
    EXPECT_TRUE(composition->useAVShift());
}

TEST(MediaCompositionTest, EmptyCompositionsAnswerEmptyResults) {
    auto dummy = MediaComposition::emptyDummy();
    EXPECT_TRUE(dummy->isComposition());
    EXPECT_EQ(dummy->mediaPool(), nullptr);
    EXPECT_EQ(dummy->name(), "no name");
    EXPECT_EQ(dummy->timecode(), nullptr);
    EXPECT_FALSE(dummy->hasTimecode());
    EXPECT_EQ(dummy->syncInformation(), "nothing to sync");
    EXPECT_EQ(dummy->exportDescription(), "[00:00:00:00] no name (0.00s)");
    EXPECT_TRUE(dummy->mergedMetadata().empty());
}

TEST(MediaCompositionTest, NamesTheClipByPictureAndSoundWithTheStatusSuffix) {
    auto camera = makeCamera({.name = "A001.mov"});
    auto recorder = makeRecorder({.name = "T01.wav", .startSample = samplesAt(10, 0, 0)});
    CompositionSettings settings;
    settings.clipNaming = 2;
    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(
        camera, makePool({camera, recorder}), settings);
    clip->syncMedia();
    EXPECT_EQ(clip->name(), "A001+T01");
    clip->setClipNaming(3);
    EXPECT_EQ(clip->name(), "T01+A001");
    clip->setClipNaming(1);
    EXPECT_EQ(clip->name(), "T01");
    clip->setClipNaming(7);  // unknown naming: the master's name
    EXPECT_EQ(clip->name(), "A001");
    clip->setClipNaming(2);
    clip->setFileSuffixes(true);
    EXPECT_EQ(clip->name(), "A001+T01_synced");
    clip->setName("Scene 4");
    EXPECT_EQ(clip->name(), "Scene 4");
    EXPECT_EQ(clip->clipNaming(), -1);

    EXPECT_EQ(MediaComposition::mergedNameForVideo("A", "A", false), "A");
    EXPECT_EQ(MediaComposition::mergedNameForVideo(std::nullopt, "T", false), "T");
    EXPECT_EQ(MediaComposition::mergedNameForVideo(std::nullopt, std::nullopt, true), "");
}

TEST(MediaCompositionTest, CameraSoundDoesNotNameTheClip) {
    auto camera = makeCamera({.name = "A001.mov"});
    CompositionSettings settings;
    settings.clipNaming = 1;
    settings.fileSuffixes = true;
    auto clip = MediaComposition::compositionWithMediaPool(makePool({camera}), settings);
    clip->insertTimeRange({kCMTimeZero, camera->duration()}, *camera, kCMTimeZero);
    EXPECT_EQ(clip->name(), "no name_no_corresponding_files");
}

TEST(MediaCompositionTest, StatusWords) {
    auto silent = makeCamera({.name = "A002.mov", .audioTracks = 0});
    auto composition = emptyComposition();
    composition->insertTimeRange({kCMTimeZero, silent->duration()}, *silent, kCMTimeZero);
    EXPECT_EQ(composition->syncInformation(), "insufficient tracks");

    // Two tracks of one sound file beside a camera's picture.
    auto recorder = makeRecorder({.startSample = samplesAt(10, 0, 0), .tracks = 2});
    composition->insertTimeRange({kCMTimeZero, seconds(30)}, *recorder, kCMTimeZero);
    EXPECT_EQ(composition->syncInformation(), "synced");
    EXPECT_EQ(composition->syncInformationWithUnderscore(), "synced");
    EXPECT_TRUE(composition->successfullySynced());

    // Without any timecode.
    auto untimed = makeCamera({.name = "B.mov", .timecode = ""});
    auto alone = emptyComposition();
    alone->insertTimeRange({kCMTimeZero, untimed->duration()}, *untimed, kCMTimeZero);
    EXPECT_EQ(alone->syncInformation(), "no timecode");
}

// A camera clip alone with its own sound is not synced, even when its sound ends a little
// before its picture and the gap after it is padded: a gap is no other material.
TEST(MediaCompositionTest, ACameraAloneWithItsOwnSoundIsNotSynced) {
    for (const int64_t samples : {int64_t(48000 * 60), int64_t(48000 * 60 - 1920)}) {
        auto camera = makeCamera({.audioSamples = samples});
        auto composition = emptyComposition();
        composition->insertTimeRange({kCMTimeZero, camera->duration()}, *camera, kCMTimeZero);
        composition->fillUpWithEmptySegments();
        EXPECT_EQ(composition->syncInformation(), "no corresponding files") << samples;
        EXPECT_FALSE(composition->checkSegmentForSync(composition->tracks()[1]->segments().back()));
    }
}

TEST(MediaCompositionTest, MergedMetadataFollowsTheHandling) {
    auto camera = makeCamera({.name = "A001.mov", .audioTracks = 1});
    camera->setMetaDataValue(kScene, "12");
    camera->setMetaDataValue(kNote, "wide");
    camera->setSyncGroup(3);
    auto recorder = makeRecorder({.startSample = samplesAt(10, 0, 0)});
    recorder->setMetaDataValue(kReel, "SOUND01");
    recorder->setMetaDataValue(kScene, "12A");
    recorder->setMetaDataValue(kTake, "3");
    recorder->setMetaDataValue(kNote, "wide");
    CompositionSettings settings;
    settings.metadataHandling = 4;
    auto composition = emptyComposition(settings);
    composition->insertTimeRange({kCMTimeZero, seconds(60)}, *camera, kCMTimeZero);
    composition->insertTimeRange({kCMTimeZero, seconds(60)}, *recorder, kCMTimeZero);

    auto text = [](const MetadataDictionary& merged, const char* key) {
        return metadataString(merged, key).value_or("-");
    };
    MetadataDictionary merged = composition->mergedMetadata();
    EXPECT_EQ(text(merged, kReel), "SOUND01");  // none on the picture: the sound's
    EXPECT_EQ(text(merged, kScene), "12");
    EXPECT_EQ(text(merged, kTake), "3");
    EXPECT_EQ(text(merged, kNote), "wide");  // found twice, joined once
    EXPECT_EQ(text(merged, kAngle), "Sync Group 3");

    composition->setMetadataHandling(3);
    merged = composition->mergedMetadata();
    EXPECT_EQ(text(merged, kScene), "12, 12A");  // camera sound does not count
    composition->setMetadataHandling(0);
    EXPECT_EQ(text(composition->mergedMetadata(), kReel), "-");
    composition->setMetadataHandling(2);
    merged = composition->mergedMetadata();
    EXPECT_EQ(text(merged, kReel), "-");
    EXPECT_EQ(text(merged, kScene), "12A");
    composition->setMetadataHandling(9);
    EXPECT_EQ(text(composition->mergedMetadata(), kScene), "-");
}

TEST(MediaCompositionTest, PaddingAndSnapping) {
    auto recorder = makeRecorder({.samples = 48000 * 40});
    auto camera = makeCamera({.audioTracks = 0});
    auto composition = emptyComposition();
    composition->insertTimeRange({kCMTimeZero, seconds(60)}, *camera, kCMTimeZero);
    composition->insertTimeRange({kCMTimeZero, seconds(40)}, *recorder, kCMTimeZero);
    composition->fillUpWithEmptySegments();
    const auto& segments = composition->audioTracks().front()->segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_TRUE(segments[1].isEmpty());
    EXPECT_EQ(segments[1].timeMapping().target.start, seconds(40));
    EXPECT_EQ(segments[1].timeMapping().target.duration, seconds(20));
    EXPECT_EQ(composition->videoTracks().front()->segments().size(), 1u);

    auto snapped = emptyComposition();
    auto track = snapped->addTrackMatchingSourceTrack(*recorder->firstAudioTrack(), 0);
    const auto source = recorder->firstAudioTrack();
    track->setSegments(
        {MediaSegment::segmentWithTrack(source, {kCMTimeZero, CMTimeMake(102, 100)},
                                        {kCMTimeZero, CMTimeMake(102, 100)}),
         MediaSegment::segmentWithTrack(source, {seconds(5), seconds(2)},
                                        {CMTimeMake(102, 100), seconds(2)}),
         MediaSegment::segmentWithTimeRange({CMTimeMake(302, 100), CMTimeMake(1, 100)})});
    snapped->quantizeToTimescale(25);
    const auto& result = track->segments();
    ASSERT_EQ(result.size(), 2u);  // the 1/100 s gap snaps to nothing and goes
    EXPECT_EQ(result[0].timeMapping().target.duration, CMTimeMake(26, 25));
    EXPECT_EQ(result[1].timeMapping().target.start, CMTimeMake(26, 25));
    EXPECT_EQ(result[1].timeMapping().target.duration, CMTimeMake(50, 25));
    EXPECT_EQ(result[1].timeMapping().source.start, CMTimeMake(125, 25));
    EXPECT_EQ(result[1].timeMapping().target.start.timescale, 25);
}

TEST(MediaCompositionTest, OverlapWhileSnappingShortensTheLaterSegment) {
    auto recorder = makeRecorder({});
    const auto source = recorder->firstAudioTrack();
    auto composition = emptyComposition();
    auto track = composition->addTrackMatchingSourceTrack(*source, 0);
    // In 1/25 units the gap ends at 1, the first piece at 2, the second starts at 1: overlap.
    track->setSegments({MediaSegment::segmentWithTimeRange({kCMTimeZero, CMTimeMake(2, 100)}),
                        MediaSegment::segmentWithTrack(source, {kCMTimeZero, CMTimeMake(2, 100)},
                                                       {CMTimeMake(2, 100), CMTimeMake(2, 100)}),
                        MediaSegment::segmentWithTrack(source, {seconds(1), seconds(1)},
                                                       {CMTimeMake(4, 100), seconds(1)})});
    composition->quantizeToTimescale(25);
    const auto& result = track->segments();
    ASSERT_EQ(result.size(), 3u);
    EXPECT_EQ(result[1].timeMapping().target.end(), CMTimeMake(2, 25));
    EXPECT_EQ(result[2].timeMapping().target.start, CMTimeMake(2, 25));
    EXPECT_EQ(result[2].timeMapping().target.duration, CMTimeMake(24, 25));
    EXPECT_EQ(result[2].timeMapping().source.start, CMTimeMake(26, 25));
    EXPECT_EQ(result[2].timeMapping().source.duration, CMTimeMake(24, 25));
}

TEST(MediaCompositionTest, TimecodeTracksOfLtcAreLeftOutWhenMuted) {
    auto camera = makeCamera({.audioTracks = 2});
    camera->audioTracks()[0]->setAudioChannelMask(0b11);  // both channels LTC
    camera->audioTracks()[1]->setAudioChannelMask(0b10);  // one of two
    CompositionSettings settings;
    settings.muteAudioTimecode = true;
    auto muted = emptyComposition(settings);
    muted->insertTimeRange({kCMTimeZero, seconds(10)}, *camera, kCMTimeZero);
    ASSERT_EQ(muted->audioTrackCount(), 1);
    EXPECT_EQ(muted->audioTracks()[0]->getAudioChannelMask(), 0b10u);
    EXPECT_TRUE(muted->isAudioTcOnlyTrack(*camera->audioTracks()[0]));
    EXPECT_FALSE(muted->isAudioTcOnlyTrack(*camera->audioTracks()[1]));

    auto kept = emptyComposition();
    kept->insertTimeRange({kCMTimeZero, seconds(10)}, *camera, kCMTimeZero);
    EXPECT_EQ(kept->audioTrackCount(), 2);
    EXPECT_FALSE(kept->isAudioTcOnlyTrack(*camera->audioTracks()[0]));
}

TEST(MediaCompositionTest, MatchesTracksOnlyOfTheSameFormatAndWithRoom) {
    auto recorder = makeRecorder({.channels = 2});
    auto other = makeRecorder({.name = "T2.wav", .channels = 8});
    auto composition = emptyComposition();
    composition->insertTimeRange({kCMTimeZero, seconds(30)}, *recorder, kCMTimeZero);
    const auto track = composition->audioTracks().front();
    EXPECT_EQ(
        composition->trackMatchingTrack(*recorder->firstAudioTrack(), {seconds(30), seconds(5)}),
        track);
    EXPECT_EQ(
        composition->trackMatchingTrack(*recorder->firstAudioTrack(), {seconds(20), seconds(5)}),
        nullptr);  // occupied
    EXPECT_EQ(composition->trackMatchingTrack(*other->firstAudioTrack(), {seconds(30), seconds(5)}),
              nullptr);  // other channel count
    EXPECT_EQ(
        composition->trackMatchingTrack(*recorder->firstAudioTrack(), {seconds(30), kCMTimeZero}),
        nullptr);
    EXPECT_EQ(composition->trackMatchingTrack(*recorder->firstAudioTrack(), kCMTimeRangeInvalid),
              nullptr);
}

// The timecode shown at a composition time is the one of the very source sample under it.
TEST(MediaCompositionTest, TimecodeTextAtACompositionTime) {
    auto camera = makeCamera({.timecode = "10:00:00:00", .audioTracks = 0});
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 50), .samples = 48000 * 120});
    auto composition = emptyComposition();
    composition->insertTimeRange({kCMTimeZero, seconds(60)}, *camera, kCMTimeZero);
    EXPECT_EQ(composition->timeStringForCompositionTime(CMTimeMake(51, 25)), "10:00:02:01");
    EXPECT_EQ(composition->exportDescription(), "[10:00:00:00] A001C001 (60.00s)");
    // Sound that started 10 s before the picture, placed from its 10 s mark at 70 s.
    auto sound = composition->addTrackMatchingSourceTrack(*recorder->firstAudioTrack(), 0);
    sound->insertTimeRange({seconds(10), seconds(20)}, recorder->firstAudioTrack(), seconds(70));
    EXPECT_EQ(composition->timeStringForCompositionTime(seconds(75)), "10:00:05:00");
    // Only a gap under the time: the composition's timecode runs on.
    EXPECT_EQ(composition->timeStringForCompositionTime(seconds(65)), "10:01:05:00");
    // Material of a file without timecode: plain time from zero.
    auto untimed = emptyComposition();
    untimed->insertTimeRange({kCMTimeZero, seconds(60)},
                             *makeCamera({.timecode = "", .audioTracks = 0}), kCMTimeZero);
    EXPECT_EQ(untimed->timeStringForCompositionTime(seconds(2)), "00:00:02:00");
}

TEST(MediaCompositionTest, SyncedTimeRangeIsWherePictureAndSoundMeet) {
    auto camera = makeCamera({.audioTracks = 0});
    auto recorder = makeRecorder({.samples = 48000 * 100});
    auto composition = emptyComposition();
    composition->insertTimeRange({kCMTimeZero, seconds(60)}, *camera, seconds(20));
    EXPECT_TRUE(CMTimeRangeEqual(composition->syncedTimeRange(), {seconds(20), seconds(60)}));
    composition->insertTimeRange({kCMTimeZero, seconds(50)}, *recorder, kCMTimeZero);
    EXPECT_TRUE(CMTimeRangeEqual(composition->syncedTimeRange(), {seconds(20), seconds(30)}));
}

}  // namespace
}  // namespace vorlane
