#include "sync/audio/BiquadFilter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlane {
namespace {

struct Prewarped {
    double cosine;
    double alpha;
};

Prewarped prewarp(double cutoffHz, double sampleRate, double quality) {
    const double nyquistSafe = std::min(cutoffHz, 0.49 * sampleRate);
    const double omega = 2.0 * std::numbers::pi * nyquistSafe / sampleRate;
    return {std::cos(omega), std::sin(omega) / (2.0 * quality)};
}

}  // namespace

BiquadFilter BiquadFilter::lowPass(double cutoffHz, double sampleRate, double quality) {
    const auto [cosine, alpha] = prewarp(cutoffHz, sampleRate, quality);
    const double a0 = 1.0 + alpha;
    const double b1 = (1.0 - cosine) / a0;
    return {b1 / 2.0, b1, b1 / 2.0, -2.0 * cosine / a0, (1.0 - alpha) / a0};
}

BiquadFilter BiquadFilter::highPass(double cutoffHz, double sampleRate, double quality) {
    const auto [cosine, alpha] = prewarp(cutoffHz, sampleRate, quality);
    const double a0 = 1.0 + alpha;
    const double b1 = -(1.0 + cosine) / a0;
    return {-b1 / 2.0, b1, -b1 / 2.0, -2.0 * cosine / a0, (1.0 - alpha) / a0};
}

}  // namespace vorlane
