#include "sync/audio/SincResampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlane {
namespace {

// Fractions of an input sample the positions are rounded to: 1/1024 of a sample at most.
constexpr int kPhases = 512;
// Half the filter length in samples of the lower rate. With the Kaiser window below the
// stopband (57 dB down) begins about 0.07 of the lower rate above the cut-off.
constexpr double kHalfWidthAtLowerRate = 12.0;
constexpr double kKaiserBeta = 5.3;

// Modified Bessel function of the first kind, order 0 (power series).
double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double quarterSquare = x * x / 4.0;
    for (int k = 1; k < 50 && term > sum * 1e-12; ++k) {
        term *= quarterSquare / (double(k) * double(k));
        sum += term;
    }
    return sum;
}

// Σ a[m] × b[m] over `length` values; compiled also for processors with 256-bit vectors, the
// one to run chosen when the program starts.
__attribute__((target_clones("avx2", "default"))) float dotProduct(const float* a, const float* b,
                                                                   int length) {
    // Two sets of running sums: independent additions keep the vector units busy.
    float partial[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float other[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int m = 0;
    for (; m + 8 <= length; m += 8) {
        for (int lane = 0; lane < 4; ++lane)
            partial[lane] += a[m + lane] * b[m + lane];
        for (int lane = 0; lane < 4; ++lane)
            other[lane] += a[m + 4 + lane] * b[m + 4 + lane];
    }
    for (; m + 4 <= length; m += 4)
        for (int lane = 0; lane < 4; ++lane)
            partial[lane] += a[m + lane] * b[m + lane];
    for (int lane = 0; lane < 4; ++lane)
        partial[lane] += other[lane];
    float sum = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    for (; m < length; ++m)
        sum += a[m] * b[m];
    return sum;
}

}  // namespace

SincResampler::SincResampler(double step, double passband)
    : step_(step),
      cutoff_(passband / std::max(step, 1.0)),
      halfWidth_(halfWidthFor(step)),
      taps_(kPhases) {}

int SincResampler::halfWidthFor(double step) {
    return int(std::ceil(kHalfWidthAtLowerRate * std::max(step, 1.0)));
}

const float* SincResampler::tapsOfPhase(int phase) {
    std::vector<float>& row = taps_[size_t(phase)];
    if (!row.empty()) return row.data();
    row.resize(size_t(2 * halfWidth_));
    // Tap m weighs input sample i - halfWidth + 1 + m for a position i + fraction.
    const double fraction = double(phase) / kPhases;
    const double windowNorm = besselI0(kKaiserBeta);
    double sum = 0.0;
    for (int m = 0; m < 2 * halfWidth_; ++m) {
        const double x = fraction + halfWidth_ - 1 - m;
        const double u = x / halfWidth_;
        const double window =
            std::abs(u) >= 1.0 ? 0.0 : besselI0(kKaiserBeta * std::sqrt(1.0 - u * u)) / windowNorm;
        const double argument = 2.0 * cutoff_ * x;
        const double sinc =
            argument == 0.0 ? 1.0
                            : std::sin(std::numbers::pi * argument) / (std::numbers::pi * argument);
        const double tap = 2.0 * cutoff_ * sinc * window;
        row[size_t(m)] = float(tap);
        sum += tap;
    }
    // Unity gain at DC for every phase.
    for (float& tap : row)
        tap = float(tap / sum);
    return row.data();
}

float SincResampler::valueAt(std::span<const float> input, double position) {
    double whole = std::floor(position);
    // The fraction is not negative: rounding is adding a half and cutting off.
    int phase = int((position - whole) * kPhases + 0.5);
    if (phase == kPhases) {
        phase = 0;
        whole += 1.0;
    }
    const float* taps = tapsOfPhase(phase);
    const int64_t first = int64_t(whole) - halfWidth_ + 1;
    const int length = 2 * halfWidth_;
    const auto size = int64_t(input.size());
    if (first >= 0 && first + length <= size) return dotProduct(input.data() + first, taps, length);
    if (first + length <= 0 || first >= size) return 0.0f;
    float sum = 0.0f;
    for (int m = 0; m < length; ++m) {
        const int64_t index = first + m;
        if (index >= 0 && index < size) sum += input[size_t(index)] * taps[m];
    }
    return sum;
}

std::vector<float> SincResampler::resample(std::span<const float> input, double firstPosition,
                                           size_t count) {
    std::vector<float> output(count);
    for (size_t k = 0; k < count; ++k)
        output[k] = valueAt(input, firstPosition + double(k) * step_);
    return output;
}

}  // namespace vorlane
