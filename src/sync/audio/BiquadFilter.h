// A second-order IIR section (Butterworth low- and high-pass by the bilinear transform), run in
// place over consecutive blocks of one signal. The alignment runs the same sections over both
// signals it compares, so their phase response cancels in the correlation.
#pragma once

#include <span>

namespace vorlane {

class BiquadFilter {
  public:
    // `quality` 0.7071 gives one Butterworth section; a fourth-order Butterworth filter is two
    // sections with 0.5412 and 1.3066.
    static BiquadFilter lowPass(double cutoffHz, double sampleRate, double quality = 0.7071);
    static BiquadFilter highPass(double cutoffHz, double sampleRate, double quality = 0.7071);

    void process(std::span<float> samples) {
        for (float& sample : samples)
            sample = filtered(sample);
    }
    float filtered(float sample) {
        const double in = sample;
        const double out = b0_ * in + state1_;
        state1_ = b1_ * in - a1_ * out + state2_;
        state2_ = b2_ * in - a2_ * out;
        return float(out);
    }

  private:
    BiquadFilter(double b0, double b1, double b2, double a1, double a2)
        : b0_(b0), b1_(b1), b2_(b2), a1_(a1), a2_(a2) {}

    double b0_, b1_, b2_, a1_, a2_;
    // Transposed direct form II state.
    double state1_ = 0.0;
    double state2_ = 0.0;
};

}  // namespace vorlane
