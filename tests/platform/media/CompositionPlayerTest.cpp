#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/media/CompositionPlayer.h"
#include "platform/media/GeneratedMedia.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kSinkBlock = 1024;

// The picture and sound of the long-GOP clip, 12 s at 25 frames and 48 kHz.
std::shared_ptr<PlayableComposition> syncedClip() {
    const auto clip = test::generatedMedia("gop.mov");
    const CMTimeRange whole = CMTimeRangeMake(kCMTimeZero, CMTimeMake(12, 1));
    auto composition = std::make_shared<PlayableComposition>();
    EXPECT_TRUE(composition->addMutableTrackWithMediaType(AssetMediaType::Video, 1)
                    ->setSegments(
                        {PlayableSegment::compositionTrackSegmentWithURL(clip, 1, whole, whole)}));
    EXPECT_TRUE(composition->addMutableTrackWithMediaType(AssetMediaType::Audio, 2)
                    ->setSegments(
                        {PlayableSegment::compositionTrackSegmentWithURL(clip, 2, whole, whole)}));
    return composition;
}

// Waits (bounded) until the player shows a frame.
std::shared_ptr<const CompositionFrame> firstFrame(CompositionPlayer& player) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (auto frame = player.frameDue()) return frame;
        std::this_thread::sleep_for(10ms);
    }
    return nullptr;
}

TEST(CompositionPlayer, PicturesFollowTheSoundClockThroughANullSink) {
    VORLANE_REQUIRE_FFMPEG();
    CompositionPlayer player(syncedClip());
    ASSERT_EQ(player.sampleRate(), 48000);
    ASSERT_EQ(player.channelCount(), 2);
    ASSERT_TRUE(firstFrame(player));
    std::this_thread::sleep_for(300ms);  // let the worker fill its queues
    player.play();
    const CMTime halfFrame = CMTimeMultiplyByRatio(player.frameDuration(), 1, 2);
    std::vector<float> block(kSinkBlock * 2);
    int64_t audible = 0;
    // A null sink playing in real time: each block is heard once its duration has passed.
    const auto start = std::chrono::steady_clock::now();
    for (int64_t played = 0; played < 10 * 48000; played += kSinkBlock) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(played * 1000000 / 48000));
        player.readAudio(block.data(), kSinkBlock);
        audible += player.levels().peak[0] > 0.1f;
        player.audioFramesPlayed(kSinkBlock);
        const auto frame = player.frameDue();
        ASSERT_TRUE(frame);
        const CMTime clock = player.currentTime();
        EXPECT_LE(frame->time, clock);
        EXPECT_LT(clock, frame->time + frame->duration + halfFrame)
            << CMTimeGetSeconds(clock) << " shows " << CMTimeGetSeconds(frame->time);
    }
    EXPECT_GT(audible, 10 * 48000 / kSinkBlock - 5);  // the clip's tone, not underrun silence
    EXPECT_EQ(player.lateFrameCount(), 0);
}

TEST(CompositionPlayer, SeeksStepsAndPausesWithoutMovingTheClock) {
    VORLANE_REQUIRE_FFMPEG();
    CompositionPlayer player(syncedClip());
    player.seekToTime(CMTimeMake(6, 1));
    auto frame = firstFrame(player);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->time, CMTimeMake(150, 25));
    EXPECT_EQ(frame->sourceTime, CMTimeMake(6, 1));
    // Paused: silence, and played frames do not move the clock.
    std::vector<float> block(kSinkBlock * 2, 1.0f);
    player.readAudio(block.data(), kSinkBlock);
    player.audioFramesPlayed(kSinkBlock);
    EXPECT_EQ(player.levels().peak[0], 0.0f);
    EXPECT_EQ(player.currentTime(), CMTimeMake(6, 1));
    // Steps forwards and back, the clock on the frame shown.
    player.stepByFrames(1);
    frame = firstFrame(player);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->time, CMTimeMake(151, 25));
    player.stepByFrames(-1);
    player.stepByFrames(-1);
    frame = firstFrame(player);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->time, CMTimeMake(149, 25));
    EXPECT_FALSE(player.isPlaying());
    // The sound after a seek starts at the sample of the seek time.
    // A completed seek has the picture of its position ready.
    player.seekToTime(CMTimeMake(11, 1));
    for (int attempt = 0; attempt < 500 && !player.seekCompleted(); ++attempt)
        std::this_thread::sleep_for(10ms);
    frame = player.frameDue();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->time, CMTimeMake(11, 1));
    std::this_thread::sleep_for(300ms);
    player.play();
    const std::string reference = test::referenceDecode(test::generatedMedia("gop.mov"), 32);
    player.readAudio(block.data(), kSinkBlock);
    for (int64_t index = 0; index < kSinkBlock * 2; ++index) {
        int32_t value = 0;
        std::memcpy(&value, reference.data() + (11 * 48000 * 2 + index) * 4, 4);
        ASSERT_EQ(block[size_t(index)], float(value) / 2147483648.0f) << index;
    }
    // Playing past the end stops at the end.
    for (int blocks = 0; blocks < 60 && player.isPlaying(); ++blocks) {
        player.readAudio(block.data(), kSinkBlock);
        player.audioFramesPlayed(kSinkBlock);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentTime(), CMTimeMake(12, 1));
}

TEST(CompositionPlayer, AnEmptyCompositionPlaysNothingAndKeepsRunning) {
    CompositionPlayer player(nullptr);
    EXPECT_EQ(player.duration(), kCMTimeZero);
    player.play();
    EXPECT_FALSE(player.isPlaying());
    float nothing = 0;
    player.readAudio(&nothing, 0);
    player.audioFramesPlayed(100);
    EXPECT_FALSE(player.frameDue());
    player.seekToTime(CMTimeMake(5, 1));
    EXPECT_EQ(player.currentTime(), kCMTimeZero);
    EXPECT_TRUE(player.seekCompleted());  // there is no picture to wait for
}

}  // namespace
}  // namespace vorlane
