// The sound of a playable composition as interleaved 32-bit float at the composition's sample
// rate: the channels of every audio track side by side (track after track, each as wide as its
// widest source), each segment's source frames placed at the sample its target range starts on,
// silence in gaps, after sources end early and where a source cannot be read. Also the audio tap
// the level meters read: peak and RMS per channel of a block. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/PlayableComposition.h"

namespace vorlane {

// Linear levels per channel (1 is full scale).
struct AudioLevels {
    std::vector<float> peak;
    std::vector<float> rms;
};

// The levels of `frameCount` interleaved frames of `channelCount` channels.
AudioLevels measureLevels(const float* samples, int64_t frameCount, int channelCount);
// A linear level in dBFS; -inf dB for silence.
double decibelsOfLevel(double level);

class CompositionAudioMixer {
  public:
    // The sample rate is the first audio source's, 48 kHz without one. Sources at another rate
    // are converted to it.
    explicit CompositionAudioMixer(std::shared_ptr<const PlayableComposition> composition);
    ~CompositionAudioMixer();
    CompositionAudioMixer(const CompositionAudioMixer&) = delete;
    CompositionAudioMixer& operator=(const CompositionAudioMixer&) = delete;

    int32_t sampleRate() const;
    int channelCount() const;
    // The end of the longest audio track, in frames.
    int64_t frameCount() const;

    // Replaces `samples` with frames [firstFrame, firstFrame + frameCount) of the composition.
    // Reading on from where the last call ended continues the open sources.
    void mix(int64_t firstFrame, int64_t frameCount, std::vector<float>& samples);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorlane
