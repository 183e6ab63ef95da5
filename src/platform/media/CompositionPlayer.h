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

namespace vorlane {

class CompositionPlayer {
  public:
    // Starts paused at zero; nullptr plays the empty composition.
    explicit CompositionPlayer(std::shared_ptr<const PlayableComposition> composition);
    ~CompositionPlayer();
    CompositionPlayer(const CompositionPlayer&) = delete;
    CompositionPlayer& operator=(const CompositionPlayer&) = delete;

    int32_t sampleRate() const;
    int channelCount() const;
    CMTime duration() const;
    CMTime frameDuration() const;

    void play();
    void pause();
    // False while paused and once the clock reached the end.
    bool isPlaying() const;
    void seekToTime(CMTime time);
    // Pauses and moves to the next or previous frame of the one shown.
    void stepByFrames(int direction);

    // From the sound sink's thread: `frameCount` interleaved frames of channelCount() channels,
    // the composition's sound from the play position while playing, silence otherwise.
    void readAudio(float* samples, int64_t frameCount);
    // The frames the sink played out since its last report; the clock follows them.
    void audioFramesPlayed(int64_t frameCount);

    // The clock: the composition time of the sound being heard.
    CMTime currentTime() const;
    // The frame due at the clock; nullptr until the first is decoded after a seek.
    std::shared_ptr<const CompositionFrame> frameDue();
    // Pictures that were decoded but never due because the clock had passed them.
    // (A sink or timer that falls behind drops pictures too.)
    int64_t droppedFrameCount() const;
    // Times the next picture was due but not decoded yet: the decoding could not keep up.
    int64_t lateFrameCount() const;
    // Peak and RMS per channel of the last block handed to the sink.
    AudioLevels levels() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorlane
