// Band-limited resampling by windowed-sinc interpolation at any ratio, also a ratio a clock
// drift makes irrational. Output sample k is the input's value at the input position
// first + k × step (in input samples), after a low-pass at a fraction of the lower of the two
// rates; the filter is symmetric, so resampling adds no delay. Input outside its bounds counts
// as silence.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vorlane {

class SincResampler {
  public:
    // `step` input samples per output sample (6 for 48 kHz to 8 kHz); `passband` the cut-off as
    // a fraction of the lower rate (below 0.5).
    SincResampler(double step, double passband);

    std::vector<float> resample(std::span<const float> input, double firstPosition, size_t count);

    // Input samples the filter reaches on either side of a position at that step.
    static int halfWidthFor(double step);

  private:
    // The taps for positions whose fraction is `phase` ÷ kPhases, computed on first use.
    const float* tapsOfPhase(int phase);
    float valueAt(std::span<const float> input, double position);

    double step_;
    double cutoff_;  // cycles per input sample
    int halfWidth_;
    std::vector<std::vector<float>> taps_;  // per phase, 2 × halfWidth_ taps once computed
};

}  // namespace vorlane
