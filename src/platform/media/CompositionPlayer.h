// Plays a playable composition with the sound clock as master. A worker thread decodes ahead of
// the play position into a small queue of pictures and half a second of sound; the front end's
// sound sink pulls the sound (readAudio), reports what it has played out (audioFramesPlayed),
// and its picture timer asks for the frame due at that clock (frameDue). Without a sound device
// the front end reports elapsed time as played frames. No call waits for decoding: what is not
// decoded yet is silence, or the picture stays. Seeks and frame steps return at once.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/CMTime.h"
#include "platform/media/CompositionAudioMixer.h"
#include "platform/media/CompositionFrame.h"
#include "platform/media/PlayableComposition.h"
#include "platform/media/PlaybackEngine.h"

namespace vorlane {

class CompositionPlayer : public PlaybackEngine {
  public:
    // Starts paused at zero; nullptr plays the empty composition.
    explicit CompositionPlayer(std::shared_ptr<const PlayableComposition> composition);
    ~CompositionPlayer() override;
    CompositionPlayer(const CompositionPlayer&) = delete;
    CompositionPlayer& operator=(const CompositionPlayer&) = delete;

    int32_t sampleRate() const override;
    int channelCount() const override;
    CMTime duration() const override;
    CMTime frameDuration() const override;

    void play() override;
    void pause() override;
    // False while paused and once the clock reached the end.
    bool isPlaying() const override;
    void seekToTime(CMTime time) override;
    // The picture at the position of the last seek or step is decoded, or there is none there.
    bool seekCompleted() const override;
    // Pauses and moves to the next or previous frame of the one shown.
    void stepByFrames(int direction) override;

    // From the sound sink's thread: `frameCount` interleaved frames of channelCount() channels,
    // the composition's sound from the play position while playing, silence otherwise.
    void readAudio(float* samples, int64_t frameCount) override;
    // The frames the sink played out since its last report; the clock follows them.
    void audioFramesPlayed(int64_t frameCount) override;

    // The clock: the composition time of the sound being heard.
    CMTime currentTime() const override;
    // The frame due at the clock; nullptr until the first is decoded after a seek.
    std::shared_ptr<const CompositionFrame> frameDue() override;
    // Pictures that were decoded but never due because the clock had passed them.
    // (A sink or timer that falls behind drops pictures too.)
    int64_t droppedFrameCount() const;
    // Times the next picture was due but not decoded yet: the decoding could not keep up.
    int64_t lateFrameCount() const;
    // Peak and RMS per channel of the last block handed to the sink.
    AudioLevels levels() const override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorlane
