#include "sync/audio/AnalysisSignal.h"

#include <algorithm>
#include <cmath>

#include "sync/audio/BiquadFilter.h"
#include "sync/audio/SincResampler.h"

namespace vorlane {
namespace {

constexpr double kPassband = 0.42;  // of the analysis rate: 3.36 kHz
constexpr double kHighPassHz = 200.0;
constexpr double kPreEmphasis = 0.9;
// Analysis samples computed before the window and dropped, so that the filters have settled.
constexpr size_t kPreRoll = 400;
constexpr float kLargestLevel = 1000.0f;
constexpr double kSilenceDbfs = -70.0;

}  // namespace

std::vector<float> analysisSignal(std::span<const float> samples, int32_t sampleRate,
                                  double startSeconds, size_t count, double clockRatio) {
    const double step = double(sampleRate) / (kAnalysisRate * clockRatio);
    SincResampler resampler(step, kPassband);
    const double first = startSeconds * sampleRate - double(kPreRoll) * step;
    std::vector<float> signal = resampler.resample(samples, first, count + kPreRoll);
    // Damaged input (infinities, not-a-number, absurd levels) counts as silence.
    for (float& sample : signal)
        if (!(std::abs(sample) <= kLargestLevel)) sample = 0.0f;
    // Fourth-order Butterworth high-pass.
    BiquadFilter::highPass(kHighPassHz, kAnalysisRate, 0.5412).process(signal);
    BiquadFilter::highPass(kHighPassHz, kAnalysisRate, 1.3066).process(signal);
    for (size_t n = signal.size() - 1; n > 0; --n)
        signal[n] -= float(kPreEmphasis) * signal[n - 1];
    signal.erase(signal.begin(), signal.begin() + kPreRoll);
    return signal;
}

bool soundIsSilent(std::span<const float> samples) {
    double sum = 0.0, squares = 0.0;
    for (const float sample : samples) {
        const float value = std::abs(sample) <= kLargestLevel ? sample : 0.0f;
        sum += value;
        squares += double(value) * value;
    }
    const double n = double(samples.size());
    const double variance = squares / n - (sum / n) * (sum / n);
    return !(variance > 0.0) || 10.0 * std::log10(variance) < kSilenceDbfs;
}

int64_t analysisMarginSamples(int32_t sampleRate) {
    const double step = double(sampleRate) / kAnalysisRate;
    return int64_t(std::ceil((double(kPreRoll) + 1.0) * step)) + SincResampler::halfWidthFor(step) +
           2;
}

}  // namespace vorlane
