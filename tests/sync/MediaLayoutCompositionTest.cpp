#include <gtest/gtest.h>

#include <random>

#include "sync/MediaLayoutComposition.h"
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

std::shared_ptr<MediaLayoutComposition> layout(const std::vector<std::shared_ptr<MediaFile>>& files,
                                               CompositionSettings settings = {},
                                               bool separateChannelCounts = false) {
    auto map =
        MediaLayoutComposition::layoutCompositionWithName("Layout", makePool(files), settings);
    map->setCreateNewAudioTracksForDifferentChannelcount(separateChannelCounts);
    map->setForPlayback(true);
    map->createLayout();
    return map;
}

// Where the first material of the track lies and from where in its file.
CMTimeMapping firstMaterial(const MediaTrack& track) {
    const MediaSegment* segment = track.firstNonEmptySegment();
    return segment ? segment->timeMapping() : CMTimeMapping{};
}

void expectRange(CMTimeRange range, CMTime start, CMTime duration) {
    EXPECT_EQ(range.start, start) << range.description();
    EXPECT_EQ(range.duration, duration) << range.description();
}

TEST(MediaLayoutCompositionTest, EmptyPoolGivesAnEmptyLayout) {
    auto map = layout({});
    EXPECT_TRUE(map->tracks().empty());
    EXPECT_TRUE(map->cutRanges().empty());
    EXPECT_EQ(map->duration(), kCMTimeZero);
    EXPECT_TRUE(map->xmlMode());
    EXPECT_EQ(map->name(), "Layout");
}

TEST(MediaLayoutCompositionTest, CutsEveryEmptyStretchOrOnlyTheLeadingOne) {
    auto first = makeCamera({.name = "A001.mov", .timecode = "10:00:00:00", .audioTracks = 0});
    auto second = makeCamera({.name = "A002.mov", .timecode = "11:00:00:00", .audioTracks = 0});
    auto map = layout({first, second});
    EXPECT_EQ(map->duration(), seconds(120));
    ASSERT_EQ(map->cutRanges().size(), 2u);
    expectRange(map->cutRanges()[0], kCMTimeZero, seconds(36000));
    expectRange(map->cutRanges()[1], seconds(60), seconds(3540));
    EXPECT_EQ(map->timeStringForCompositionTime(seconds(61)), "11:00:01:00");
    EXPECT_EQ(map->timecode()->time(), kCMTimeZero);

    CompositionSettings linear;
    linear.linearTimelineMode = true;
    auto linearMap = layout({first, second}, linear);
    EXPECT_EQ(linearMap->duration(), seconds(3660));
    EXPECT_TRUE(linearMap->cutRanges().empty());
    EXPECT_EQ(linearMap->timecode()->time(), seconds(36000));
    EXPECT_EQ(linearMap->timeStringForCompositionTime(seconds(1800)), "10:30:00.000");
}

TEST(MediaLayoutCompositionTest, LaterDaysGoOntoLaterStretches) {
    auto january = makeCamera(
        {.name = "A001.mov", .audioTracks = 0, .created = localDate(2024, 1, 31, 10, 0, 0)});
    auto february = makeCamera(
        {.name = "A002.mov", .audioTracks = 0, .created = localDate(2024, 2, 1, 10, 0, 0)});
    CompositionSettings settings;
    settings.involveDate = true;
    auto map = layout({january, february}, settings);
    ASSERT_EQ(map->cutRanges().size(), 2u);
    expectRange(map->cutRanges()[1], seconds(60), seconds(86400 - 60));
    // Without the date both lie at the same time of day: the later file overwrites.
    auto overlaid = layout({january, february});
    EXPECT_EQ(overlaid->duration(), seconds(60));
    EXPECT_EQ(firstMaterial(*overlaid->videoTracks()[0]).target.start, kCMTimeZero);
    EXPECT_EQ(overlaid->videoTracks()[0]->firstNonEmptySegment()->sourceFile(), february);
}

TEST(MediaLayoutCompositionTest, FilesWithoutTimecodeLieAtTheirTimeOfDay) {
    auto sound = makeRecorder({.startSample = -1, .created = localDate(2024, 5, 3, 14, 3, 7)});
    auto map = layout({sound});
    ASSERT_EQ(map->cutRanges().size(), 1u);
    expectRange(map->cutRanges()[0], kCMTimeZero, seconds(14 * 3600 + 3 * 60 + 7));
}

TEST(MediaLayoutCompositionTest, WithoutMulticamAllPicturesShareOneTrack) {
    auto first = makeCamera({.name = "A001.mov", .audioTracks = 0});
    auto second = makeCamera(
        {.name = "B001.mov", .timecode = "10:00:30:00", .audioTracks = 0, .serial = "2"});
    first->setSyncGroup(1);
    second->setSyncGroup(2);
    auto map = layout({first, second});
    ASSERT_EQ(map->videoTrackCount(), 1);
    const auto& segments = map->videoTracks()[0]->segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].sourceFile(), first);
    expectRange(segments[0].timeMapping().target, kCMTimeZero, seconds(30));
    EXPECT_EQ(segments[1].sourceFile(), second);
    expectRange(segments[1].timeMapping().target, seconds(30), seconds(60));

    CompositionSettings multicam;
    multicam.multicam = true;
    EXPECT_EQ(layout({first, second}, multicam)->videoTrackCount(), 2);
}

TEST(MediaLayoutCompositionTest, ChannelCountsShareATrackUnlessAsked) {
    auto stereo = makeRecorder({.name = "T1.wav", .startSample = samplesAt(10, 0, 0)});
    auto octo = makeRecorder({.name = "T2.wav", .startSample = samplesAt(10, 5, 0), .channels = 8});
    EXPECT_EQ(layout({stereo, octo})->audioTrackCount(), 1);
    EXPECT_EQ(layout({stereo, octo}, {}, true)->audioTrackCount(), 2);
}

TEST(MediaLayoutCompositionTest, CameraSoundAndShiftsFollowTheSettings) {
    auto camera = makeCamera({.audioTracks = 1});
    camera->setAvShift(CMTimeMake(2, 25));
    EXPECT_EQ(layout({camera})->audioTrackCount(), 0);
    CompositionSettings keep;
    keep.keepOriginalAudio = true;
    auto map = layout({camera}, keep);
    ASSERT_EQ(map->audioTrackCount(), 1);
    expectRange(firstMaterial(*map->audioTracks()[0]).target, CMTimeMake(2, 25), seconds(60));
}

TEST(MediaLayoutCompositionTest, NoSourceRangeReachesPastItsTrack) {
    auto camera = makeCamera({.audioTracks = 1, .audioSamples = 48000 * 60 - 1920});
    auto pool = test::makeMediaPool({camera});
    auto map = MediaLayoutComposition::layoutCompositionWithName("Layout", *pool);
    map->setKeepOriginalAudio(true);
    map->createLayout();
    ASSERT_EQ(map->audioTrackCount(), 1);
    const CMTimeMapping sound = firstMaterial(*map->audioTracks()[0]);
    expectRange(sound.source, kCMTimeZero, CMTimeMake(48000 * 60 - 1920, 48000));
    EXPECT_EQ(map->duration(), seconds(60));
}

// Without the file date, a take across midnight stays together: the sound recorded after
// midnight lies under the picture that started before it, not at the start of the day.
TEST(MediaLayoutCompositionTest, ATakeAcrossMidnightStaysTogether) {
    auto camera = makeCamera({.timecode = "23:59:30:00",
                              .audioTracks = 0,
                              .created = localDate(2024, 5, 3, 23, 59, 30)});
    auto recorder = makeRecorder({.startSample = samplesAt(0, 0, 10),
                                  .samples = 48000 * 120,
                                  .created = localDate(2024, 5, 4, 0, 0, 10)});
    for (const bool involveDate : {false, true}) {
        CompositionSettings settings;
        settings.involveDate = involveDate;
        auto map = layout({camera, recorder}, settings);
        EXPECT_EQ(firstMaterial(*map->videoTracks()[0]).target.start, kCMTimeZero);
        SCOPED_TRACE(involveDate);
        expectRange(firstMaterial(*map->audioTracks()[0]).target, seconds(40), seconds(120));
        EXPECT_EQ(map->duration(), seconds(160));
    }
}

// A timecode moved before midnight by an offset moves the whole map on by a day.
TEST(MediaLayoutCompositionTest, NothingLiesBeforeZero) {
    auto early = makeRecorder({.name = "T1.wav", .startSample = samplesAt(0, 0, 5)});
    early->setOffset(seconds(-10), MediaFileOffsetSeconds);
    auto other =
        makeRecorder({.name = "T2.wav", .startSample = samplesAt(0, 0, 30), .serial = "R2"});
    early->setSyncGroup(1);
    other->setSyncGroup(2);
    auto map = layout({early, other});
    ASSERT_EQ(map->audioTrackCount(), 2);
    expectRange(map->cutRanges()[0], kCMTimeZero, seconds(86395));
    EXPECT_EQ(firstMaterial(*map->audioTracks()[0]).target.start, kCMTimeZero);
    EXPECT_EQ(firstMaterial(*map->audioTracks()[1]).target.start, seconds(35));
}

// The gap cutting walk as the rule states it, applied to a copy, must cut the same ranges in the
// same order and leave the same tracks as the layout's own walk.
std::vector<CMTimeRange> cutLikeTheRule(MediaComposition& composition) {
    std::vector<CMTimeRange> cuts;
    bool again = true;
    while (again) {
        again = false;
        for (size_t a = 0; a < composition.tracks().size(); ++a) {
            bool restart = true;
            while (restart) {
                restart = false;
                for (const MediaSegment& segment : composition.tracks()[a]->segments()) {
                    if (!segment.isEmpty()) continue;
                    CMTimeRange gap = segment.timeMapping().target;
                    for (size_t b = 0; b < composition.tracks().size(); ++b) {
                        if (b == a) continue;
                        for (const MediaSegment& other : composition.tracks()[b]->segments()) {
                            const CMTimeRange overlap =
                                CMTimeRangeGetIntersection(other.timeMapping().target, gap);
                            if (overlap.isValid() && overlap.duration == kCMTimeZero) continue;
                            gap = other.isEmpty()
                                      ? overlap
                                      : CMTimeRangeFromTimeToTime(overlap.end(), gap.end());
                        }
                    }
                    if (gap.duration > kCMTimeZero) {
                        cuts.push_back(gap);
                        composition.removeTimeRange(gap);
                        again = restart = true;
                        break;
                    }
                }
            }
        }
    }
    return cuts;
}

TEST(MediaLayoutCompositionTest, GapCuttingMatchesTheRuleOnRandomTracks) {
    auto recorder = makeRecorder({.samples = 48000 * 1000});
    const auto source = recorder->firstAudioTrack();
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        auto fast = MediaLayoutComposition::layoutCompositionUsingMediaPool(makePool({}), {});
        auto slow = MediaComposition::compositionWithMediaPool(makePool({}), {});
        const int trackCount = 1 + int(random() % 4);
        for (int t = 0; t < trackCount; ++t) {
            std::vector<MediaSegment> segments;
            int64_t at = 0;
            const int pieces = 1 + int(random() % 8);
            for (int p = 0; p < pieces; ++p) {
                const int64_t length = 1 + int64_t(random() % 6);
                const CMTimeRange target{seconds(at), seconds(length)};
                segments.push_back(random() % 2
                                       ? MediaSegment::segmentWithTimeRange(target)
                                       : MediaSegment::segmentWithTrack(
                                             source, {seconds(at), seconds(length)}, target));
                at += length;
            }
            fast->addTrackMatchingSourceTrack(*source, 0)->setSegments(segments);
            slow->addTrackMatchingSourceTrack(*source, 0)->setSegments(segments);
        }
        fast->fillUpWithEmptySegments();
        slow->fillUpWithEmptySegments();
        fast->removeAllGaps();
        const std::vector<CMTimeRange> expected = cutLikeTheRule(*slow);
        ASSERT_EQ(fast->cutRanges().size(), expected.size()) << "round " << round;
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(CMTimeRangeEqual(fast->cutRanges()[i], expected[i])) << round;
        for (size_t t = 0; t < fast->tracks().size(); ++t) {
            const auto& mine = fast->tracks()[t]->segments();
            const auto& theirs = slow->tracks()[t]->segments();
            ASSERT_EQ(mine.size(), theirs.size()) << round;
            for (size_t i = 0; i < mine.size(); ++i)
                EXPECT_TRUE(
                    CMTimeRangeEqual(mine[i].timeMapping().target, theirs[i].timeMapping().target))
                    << round;
        }
    }
}

}  // namespace
}  // namespace vorlane
