// A playback engine that plays ten seconds of full-scale sound on two channels and completes a
// seek only when the test says so; it records the seeks it is asked for.
#pragma once

#include <algorithm>
#include <vector>

#include "platform/media/PlaybackEngine.h"

namespace vorlane::test {

class FakePlaybackEngine : public PlaybackEngine {
  public:
    int32_t sampleRate() const override { return 48000; }
    int channelCount() const override { return 2; }
    CMTime duration() const override { return CMTimeMake(10, 1); }
    CMTime frameDuration() const override { return CMTimeMake(1, 25); }

    void play() override { playing = time < duration(); }
    void pause() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void seekToTime(CMTime target) override {
        time = std::clamp(target, kCMTimeZero, duration());
        seeks.push_back(time);
        completed = false;
    }
    bool seekCompleted() const override { return completed; }
    void stepByFrames(int direction) override {
        playing = false;
        seekToTime(time + CMTimeMultiply(frameDuration(), direction));
    }

    void readAudio(float* samples, int64_t frameCount) override {
        std::fill(samples, samples + frameCount * 2, playing ? 1.0f : 0.0f);
    }
    void audioFramesPlayed(int64_t frameCount) override {
        if (playing) time = time + CMTimeMake(frameCount, 48000);
    }

    CMTime currentTime() const override { return time; }
    std::shared_ptr<const CompositionFrame> frameDue() override { return nullptr; }
    AudioLevels levels() const override { return {}; }

    bool playing = false;
    bool completed = true;
    CMTime time = kCMTimeZero;
    std::vector<CMTime> seeks;
};

}  // namespace vorlane::test
