// The loudness contour of a recording in the voice band: one value per 10 ms (the RMS level of
// the band from 300 Hz to 3 kHz), built from samples as they are read, piece by piece. Hours of
// recorder sound fit in a few megabytes this way, and a coarse search for where a clip sounds
// runs over contours before the waveforms are compared near the best places.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sync/audio/BiquadFilter.h"

namespace vorlane {

constexpr double kEnvelopeFrameRate = 100.0;

struct AudioEnvelope {
    std::vector<float> frames;  // frame f covers [f, f + 1) ÷ kEnvelopeFrameRate seconds
    int32_t sampleRate = 0;     // of the recording
    int64_t sampleCount = 0;    // of the recording

    // No frame reaches −70 dBFS.
    bool silent() const;
};

class AudioEnvelopeBuilder {
  public:
    explicit AudioEnvelopeBuilder(int32_t sampleRate);

    void append(std::span<const float> samples);
    // The frames so far; a last partial frame counts when it holds at least half a frame.
    AudioEnvelope finish();

  private:
    void addDecimated(float value);
    int64_t decimatedFrameEnd(int64_t frame) const;

    AudioEnvelope envelope_;
    int decimation_;
    double decimatedRate_;
    BiquadFilter highPass_;
    BiquadFilter lowPass_;
    float boxSum_ = 0.0f;
    int boxCount_ = 0;
    int64_t decimatedCount_ = 0;
    int64_t frameEnd_ = 0;  // decimated sample that ends the current frame
    double frameEnergy_ = 0.0;
    int64_t frameSamples_ = 0;
};

// The first frame of the `length` frames within [begin, end) that carry the most sound above
// the stretch's floor (its quietest fifth): speech rather than room tone. `begin` when the
// stretch is not longer than `length`.
size_t mostActiveStretch(std::span<const float> frames, size_t begin, size_t end, size_t length);

// The envelope of one excerpt held in memory.
AudioEnvelope audioEnvelope(std::span<const float> samples, int32_t sampleRate);

}  // namespace vorlane
