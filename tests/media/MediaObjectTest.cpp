#include <gtest/gtest.h>

#include "media/MediaObject.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

CMTimeRange span(int64_t from, int64_t to) {
    return {CMTimeMake(from, 1), CMTimeMake(to - from, 1)};
}

struct MediaObjectTest : testing::Test {
    std::shared_ptr<MediaObject> object = std::make_shared<MediaObject>();

    std::shared_ptr<MediaTrack> add(int32_t type, int64_t from, int64_t to, int32_t trackID = 0) {
        auto track = object->addTrackWithMediaType(type, trackID);
        track->setTimeRange(span(from, to));
        return track;
    }
};

TEST_F(MediaObjectTest, AddedTracksAreNumberedIdentifiedAndOwned) {
    EXPECT_EQ(object->unusedTrackID(), 1);
    auto v1 = add(MediaTrackTypeVideo, 0, 10, 7);
    auto a1 = add(MediaTrackTypeAudio, 0, 10);
    auto a2 = add(MediaTrackTypeAudio, 0, 10, -3);
    auto v2 = add(MediaTrackTypeVideo, 0, 10);
    EXPECT_EQ(std::vector({a1->sourceTrackID(), v2->sourceTrackID(), v2->mediaTrackID()}),
              std::vector({8, 9, 9}));
    EXPECT_EQ(a2->name(), "A2");
    EXPECT_EQ(v1->mediaObject(), object);
    EXPECT_EQ(object->trackWithTrackID(-3), a2);
    EXPECT_EQ(object->videoTracks(), std::vector({v1, v2}));
    EXPECT_EQ(object->type(), MediaTypeMovie);
    a1->setAudioChannelCount(2);
    a2->setAudioChannelCount(6);
    EXPECT_EQ(object->audioTotalChannelCount(), 8);
    object->removeTrack(v1);
    EXPECT_EQ(object->firstVideoTrack(), v2);
    object->removeTracksWithMediaType(MediaTrackTypeVideo);
    EXPECT_EQ(object->type(), MediaTypeAudio);
    object->removeTracks({a1});
    EXPECT_EQ(object->tracks(), std::vector({a2}));
    object->removeAllTracks();
    EXPECT_EQ(object->type(), MediaTypeUnknown);
}

TEST_F(MediaObjectTest, TimecodeTracksShareTheirValue) {
    add(MediaTrackTypeVideo, 0, 4)->setVideoFrameRate(29.97);
    EXPECT_DOUBLE_EQ(object->frameRate(), 29.97);
    auto value = std::make_shared<TCHelper>(25.0, false);
    auto track = object->addTimecodeTrackWithTCHelper(value);
    object->addTimecodeTrackWithTCHelper(std::make_shared<TCHelper>(30.0, false));
    EXPECT_EQ(track->sourceTrackID(), 2);
    EXPECT_EQ(object->timecode(), value);
    EXPECT_DOUBLE_EQ(object->frameRate(), 25.0);
}

TEST_F(MediaObjectTest, BestTimeScaleFollowsVideoThenAudio) {
    EXPECT_EQ(object->bestTimeScale(), 600);
    add(MediaTrackTypeAudio, 0, 1)->setAudioSampleRate(48000.7);
    EXPECT_EQ(object->bestTimeScale(), 48000);
    auto video = add(MediaTrackTypeVideo, 0, 1);
    // A rate that gives no usable timescale falls back to 600.
    for (auto [rate, scale] : {std::pair{25.0, 25},
                               {29.97, 30000},
                               {24000.0 / 1001, 24000},
                               {0.0, 600},
                               {-5.0, 600},
                               {1e12, 600}}) {
        video->setVideoFrameRate(rate);
        EXPECT_EQ(object->bestTimeScale(), scale) << rate;
    }
}

TEST_F(MediaObjectTest, DurationAndOccupiedRanges) {
    EXPECT_EQ(object->duration(), kCMTimeZero);
    add(MediaTrackTypeTimecode, 0, 50);
    auto video = add(MediaTrackTypeVideo, 2, 10);
    add(MediaTrackTypeAudio, 0, 12);
    EXPECT_EQ(object->duration(), CMTimeMake(12, 1));
    EXPECT_TRUE(CMTimeRangeEqual(object->occupiedVideoTimeRange(), span(2, 10)));
    // A gap-only track between tracks with content adds nothing to the union.
    object->addTrackWithMediaType(MediaTrackTypeAudio, 0)
        ->insertTimeRange(span(0, 30), nullptr, kCMTimeZero);
    object->addTrackWithMediaType(MediaTrackTypeAudio, 0)
        ->insertTimeRange(span(0, 5), video, CMTimeMake(20, 1));
    EXPECT_TRUE(CMTimeRangeEqual(object->occupiedAudioTimeRange(), span(0, 25)));
    EXPECT_EQ(object->duration(), CMTimeMake(30, 1));
    object->removeAllTracks();
    EXPECT_FALSE(object->occupiedAudioTimeRange().isValid());
}

TEST_F(MediaObjectTest, IdentityAndPicture) {
    const std::string& uuid = object->uuid();  // random version 4, upper-case text
    ASSERT_EQ(uuid.size(), 36u);
    for (size_t index = 0; index < uuid.size(); ++index) {
        const bool dash = index == 8 || index == 13 || index == 18 || index == 23;
        EXPECT_TRUE(dash ? uuid[index] == '-'
                         : std::isxdigit(uuid[index]) && !std::islower(uuid[index]));
    }
    EXPECT_EQ(uuid[14], '4');
    EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos);
    EXPECT_NE(uuid, std::make_shared<MediaObject>()->uuid());
    EXPECT_EQ(object->thumbnail().resourceName, "film.png");
}

}  // namespace
}  // namespace vorlane
