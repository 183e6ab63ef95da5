#include <gtest/gtest.h>

#include "platform/media/PlayableComposition.h"

namespace vorlane {
namespace {

CMTimeRange seconds(int64_t start, int64_t duration, int32_t timescale = 1) {
    return {CMTimeMake(start * timescale, timescale), CMTimeMake(duration * timescale, timescale)};
}

TEST(PlayableComposition, ContiguousSegmentsAreAccepted) {
    PlayableComposition composition;
    PlayableCompositionTrack* video =
        composition.addMutableTrackWithMediaType(AssetMediaType::Video, 1);
    ASSERT_TRUE(video);
    // A gap, then 3 s of a clip at another timescale, then 1001/30000-based material.
    const std::vector<PlayableSegment> segments = {
        PlayableSegment::compositionTrackSegmentWithTimeRange(seconds(0, 2)),
        PlayableSegment::compositionTrackSegmentWithURL("/media/a.mov", 1, seconds(10, 3, 600),
                                                        seconds(2, 3, 48000)),
        PlayableSegment::compositionTrackSegmentWithURL(
            "/media/b.mov", 2, {CMTimeMake(0, 30000), CMTimeMake(30030, 30000)},
            {CMTimeMake(5, 1), CMTimeMake(1001, 1000)}),
    };
    std::string reason;
    EXPECT_TRUE(PlayableCompositionTrack::validateTrackSegments(segments, &reason)) << reason;
    EXPECT_TRUE(video->setSegments(segments));
    EXPECT_EQ(video->timeRange().end(), CMTimeMake(6001, 1000));
    EXPECT_EQ(composition.duration(), CMTimeMake(6001, 1000));
    EXPECT_TRUE(PlayableCompositionTrack::validateTrackSegments({}, nullptr));
}

TEST(PlayableComposition, BrokenListsAreRejectedWithAReason) {
    const auto clip = [](CMTimeRange source, CMTimeRange target) {
        return PlayableSegment::compositionTrackSegmentWithURL("/media/a.mov", 1, source, target);
    };
    const std::vector<std::pair<std::vector<PlayableSegment>, std::string>> cases = {
        {{clip(seconds(0, 2), seconds(0, 2)), clip(seconds(2, 1), seconds(3, 1))},
         "segment 1: does not start where the previous segment ends"},
        {{clip(seconds(0, 2), seconds(0, 2)), clip(seconds(2, 1), seconds(1, 1))},
         "segment 1: does not start where the previous segment ends"},
        {{clip(seconds(0, 2), seconds(0, 3))}, "segment 0: source and target durations differ"},
        {{PlayableSegment::compositionTrackSegmentWithTimeRange(seconds(0, 0))},
         "segment 0: target range has no duration"},
        {{clip(seconds(-1, 2), seconds(0, 2))}, "segment 0: invalid source range"},
        {{PlayableSegment::compositionTrackSegmentWithURL("", 1, seconds(0, 1), seconds(0, 1))},
         "segment 0: no source file"},
        {{PlayableSegment::compositionTrackSegmentWithURL("/a.mov", 0, seconds(0, 1),
                                                          seconds(0, 1))},
         "segment 0: no source track"},
    };
    for (const auto& [segments, expected] : cases) {
        std::string reason;
        EXPECT_FALSE(PlayableCompositionTrack::validateTrackSegments(segments, &reason));
        EXPECT_EQ(reason, expected);
        PlayableCompositionTrack track(AssetMediaType::Audio, 2);
        EXPECT_FALSE(track.setSegments(segments));
        EXPECT_TRUE(track.segments().empty());
    }
}

TEST(PlayableComposition, TrackIDs) {
    PlayableComposition composition;
    EXPECT_EQ(composition.addMutableTrackWithMediaType(AssetMediaType::Video, 2)->trackID(), 2);
    EXPECT_EQ(composition.addMutableTrackWithMediaType(AssetMediaType::Audio, 2)->trackID(), 1);
    EXPECT_EQ(composition.addMutableTrackWithMediaType(AssetMediaType::Audio, 0)->trackID(), 3);
    EXPECT_FALSE(composition.addMutableTrackWithMediaType(AssetMediaType::Timecode, 7));
    EXPECT_EQ(composition.tracks().size(), 3u);
    EXPECT_EQ(composition.duration(), kCMTimeZero);
}

}  // namespace
}  // namespace vorlane
