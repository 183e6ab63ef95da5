// The preview player's behaviour around the engine: when the sound is heard after starts and
// seeks (and that it fades in), what a drag on the timeline seeks, and the J/K/L shuttle.
#include <gtest/gtest.h>

#include "app/FakePlaybackEngine.h"
#include "app/PreviewPlayerController.h"
#include "sync/MediaComposition.h"

namespace vorlane {
namespace {

class RecordingPlayerView : public PreviewPlayerView {
  public:
    void setPlayHead(double seconds) override { playHead = seconds; }
    void setTimecodeText(const std::string& text) override { timecode = text; }

    double playHead = -1;
    std::string timecode;
};

class PreviewPlayerControllerTest : public testing::Test {
  protected:
    PreviewPlayerControllerTest()
        : player([this](std::shared_ptr<const PlayableComposition>) {
              auto made = std::make_unique<test::FakePlaybackEngine>();
              engine = made.get();
              return made;
          }) {
        player.setView(&view);
        player.setupPlayerWithComposition(MediaComposition::emptyDummy(), true);
    }

    void ticks(int count) {
        for (int tick = 0; tick < count; ++tick)
            player.timeObserverTick();
    }
    std::vector<float> sound(int64_t frames) {
        std::vector<float> samples(size_t(frames) * 2);
        player.readAudio(samples.data(), frames, 2);
        return samples;
    }

    RecordingPlayerView view;
    test::FakePlaybackEngine* engine = nullptr;
    PreviewPlayerController player;
};

TEST_F(PreviewPlayerControllerTest, SoundFadesInTenTicksAfterAStartOrSeekAndIsMutedWhilePaused) {
    ASSERT_TRUE(engine->playing);
    ticks(PreviewPlayerController::kUnmuteTicks - 1);
    EXPECT_TRUE(player.muted());
    EXPECT_EQ(sound(256), std::vector<float>(512, 0.0f));
    ticks(1);
    EXPECT_FALSE(player.muted());
    // A ramp, not a step: rising from near silence to full level within 20 ms.
    const std::vector<float> fade = sound(1000);
    EXPECT_GT(fade[0], 0.0f);
    EXPECT_LT(fade[0], 0.01f);
    for (size_t index = 2; index < fade.size(); index += 2)
        EXPECT_GE(fade[index], fade[index - 2]);
    EXPECT_EQ(fade.back(), 1.0f);
    EXPECT_EQ(sound(16), std::vector<float>(32, 1.0f));

    // A seek while playing mutes again for the countdown.
    player.seekToTime(CMTimeMake(4, 1));
    EXPECT_TRUE(player.muted());
    ticks(PreviewPlayerController::kUnmuteTicks);
    EXPECT_FALSE(player.muted());
    // Paused, the countdown never runs out.
    player.pause();
    ticks(3 * PreviewPlayerController::kUnmuteTicks);
    EXPECT_TRUE(player.muted());
}

TEST_F(PreviewPlayerControllerTest, DraggingSeeksOnceAtATimeLandsOnTheReleaseAndResumes) {
    engine->time = CMTimeMake(1, 1);
    player.trackViewPosition(2.0, int(TrackViewDrag::Start));
    EXPECT_FALSE(engine->playing);
    EXPECT_TRUE(player.scrubbing());
    EXPECT_EQ(view.playHead, 2.0);
    ASSERT_EQ(engine->seeks.size(), 1u);
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(2, 1));

    // Moves while the seek is in flight are held back; the latest follows its completion.
    player.trackViewPosition(2.5, int(TrackViewDrag::Move));
    player.trackViewPosition(3.0, int(TrackViewDrag::Move));
    EXPECT_EQ(view.playHead, 3.0);
    EXPECT_EQ(engine->seeks.size(), 1u);
    engine->time = CMTimeMake(9, 1);  // the play head stays with the mouse while scrubbing
    player.timeObserverTick();
    EXPECT_EQ(view.playHead, 3.0);
    engine->completed = true;
    player.timeObserverTick();
    ASSERT_EQ(engine->seeks.size(), 2u);
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(3, 1));

    // Released while a seek is in flight: the picture still lands on the release position.
    player.trackViewPosition(4.0, int(TrackViewDrag::End));
    EXPECT_FALSE(player.scrubbing());
    EXPECT_EQ(player.rate(), 1);
    engine->completed = true;
    player.frameDue();
    ASSERT_EQ(engine->seeks.size(), 3u);
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(4, 1));
    EXPECT_TRUE(engine->playing);
    engine->completed = true;
    player.timeObserverTick();
    EXPECT_EQ(view.playHead, 4.0);
    EXPECT_EQ(engine->seeks.size(), 3u);

    // A move with no seek in flight seeks at once; a paused player stays paused.
    player.pause();
    player.trackViewPosition(6.0, int(TrackViewDrag::Start));
    engine->completed = true;
    player.trackViewPosition(7.0, int(TrackViewDrag::Move));
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(7, 1));
    engine->completed = true;
    player.trackViewPosition(7.0, int(TrackViewDrag::End));
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(7, 1));
    EXPECT_EQ(engine->seeks.size(), 5u);
    EXPECT_EQ(player.rate(), 0);
    EXPECT_FALSE(engine->playing);
}

TEST_F(PreviewPlayerControllerTest, ShuttleKeysReverseSpeedUpAndPause) {
    engine->time = CMTimeMake(5, 1);
    player.shuttleBackward();  // J while playing: reverse
    EXPECT_EQ(player.rate(), -1);
    EXPECT_FALSE(engine->playing);
    player.timeObserverTick();
    EXPECT_EQ(engine->seeks.back(), CMTimeMake(5 * 12 - 1, 12));
    player.shuttleBackward();
    EXPECT_EQ(player.rate(), -2);
    player.shuttleForward();  // L out of fast reverse: one step slower
    player.shuttleForward();  // then forwards
    EXPECT_EQ(player.rate(), 1);
    EXPECT_TRUE(engine->playing);
    player.shuttleForward();
    EXPECT_EQ(player.rate(), 2);
    EXPECT_FALSE(engine->playing);  // faster than real time is shown through seeks
    player.pause();                 // K
    EXPECT_EQ(player.rate(), 0);
    // Reverse stops at the start.
    engine->time = CMTimeMake(1, 24);
    player.shuttleBackward();
    engine->completed = true;
    player.timeObserverTick();
    EXPECT_EQ(engine->seeks.back(), kCMTimeZero);
    EXPECT_EQ(player.rate(), 0);
}

}  // namespace
}  // namespace vorlane
