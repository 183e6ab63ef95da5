#include "sync/audio/CorrelationScan.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlane {
namespace {

std::vector<double> prefixOfSquares(std::span<const float> samples) {
    std::vector<double> prefix(samples.size() + 1, 0.0);
    for (size_t n = 0; n < samples.size(); ++n)
        prefix[n + 1] = prefix[n] + double(samples[n]) * double(samples[n]);
    return prefix;
}

// Band-limited interpolation of `values` at index + offset (|offset| ≤ 1) from the 12 samples
// on either side, Blackman-windowed.
double interpolatedValue(std::span<const float> values, size_t index, double offset) {
    constexpr int kReach = 12;
    double sum = 0.0;
    for (int j = -kReach; j <= kReach; ++j) {
        const int64_t at = int64_t(index) + j;
        if (at < 0 || at >= int64_t(values.size())) continue;
        const double x = offset - j;
        const double sinc =
            x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double u = x / (kReach + 1);
        const double window =
            0.42 + 0.5 * std::cos(std::numbers::pi * u) + 0.08 * std::cos(2 * std::numbers::pi * u);
        sum += values[size_t(at)] * sinc * window;
    }
    return sum;
}

}  // namespace

CorrelationQuery::CorrelationQuery(std::vector<float> samples)
    : energyPrefix_(prefixOfSquares(samples)), correlator_(std::move(samples)) {}

CorrelationScan::CorrelationScan(CorrelationQuery& query, std::span<const float> reference,
                                 size_t recordedBegin, size_t recordedEnd, size_t minimumOverlap) {
    std::vector<float> rawQuadrature;
    const std::vector<float> raw = query.correlate(reference, rawQuadrature);
    *this = CorrelationScan(raw, rawQuadrature, prefixOfSquares(reference), query, false,
                            recordedBegin, recordedEnd, minimumOverlap);
}

std::pair<CorrelationScan, CorrelationScan> CorrelationScan::forwardsAndBackwards(
    CorrelationQuery& query, std::span<const float> reference, size_t recordedBegin,
    size_t recordedEnd, size_t minimumOverlap) {
    std::vector<float> quadrature, backwards, backwardsQuadrature;
    const std::vector<float> raw =
        query.correlateBothWays(reference, quadrature, backwards, backwardsQuadrature);
    const std::vector<double> referenceEnergy = prefixOfSquares(reference);
    return {CorrelationScan(raw, quadrature, referenceEnergy, query, false, recordedBegin,
                            recordedEnd, minimumOverlap),
            CorrelationScan(backwards, backwardsQuadrature, referenceEnergy, query, true,
                            recordedBegin, recordedEnd, minimumOverlap)};
}

CorrelationScan::CorrelationScan(const std::vector<float>& raw,
                                 const std::vector<float>& rawQuadrature,
                                 const std::vector<double>& referenceEnergy,
                                 const CorrelationQuery& query, bool backwards,
                                 size_t recordedBegin, size_t recordedEnd, size_t minimumOverlap) {
    const size_t size = query.size();
    const auto length = int64_t(size);
    scores_.assign(raw.size(), 0.0f);
    quadrature_.assign(raw.size(), 0.0f);
    for (size_t k = 0; k < raw.size(); ++k) {
        const auto lag = int64_t(k);
        const int64_t begin = std::max(lag, int64_t(recordedBegin));
        const int64_t end = std::min(lag + length, int64_t(recordedEnd));
        if (end - begin < int64_t(std::max<size_t>(minimumOverlap, 1))) continue;
        // The query's samples [first, last) meet the window; played backwards, the query's
        // samples mirrored.
        const auto first = size_t(begin - lag), last = size_t(end - lag);
        const double energy =
            backwards ? query.energy(size - last, size - first) : query.energy(first, last);
        const double windowEnergy = referenceEnergy[size_t(end)] - referenceEnergy[size_t(begin)];
        const double denominator = std::sqrt(energy * windowEnergy);
        if (!(denominator > 1e-20)) continue;
        const double weight = std::sqrt(double(end - begin) / double(length)) / denominator;
        scores_[k] = float(raw[k] * weight);
        quadrature_[k] = float(rawQuadrature[k] * weight);
    }
}

double CorrelationScan::refinedLag(size_t lag, double& signedPeak) const {
    // The envelope from the band-limited in-phase and quadrature curves at 1/64 of a lag, then
    // a parabola through the best three points.
    constexpr int kSteps = 64;
    std::vector<double> curve(2 * kSteps + 1);
    for (int s = -kSteps; s <= kSteps; ++s) {
        const double offset = double(s) / kSteps;
        curve[size_t(s + kSteps)] = std::hypot(interpolatedValue(scores_, lag, offset),
                                               interpolatedValue(quadrature_, lag, offset));
    }
    const auto best = size_t(std::max_element(curve.begin(), curve.end()) - curve.begin());
    double offset = double(int(best) - kSteps) / kSteps;
    if (best > 0 && best + 1 < curve.size()) {
        const double left = curve[best - 1], centre = curve[best], right = curve[best + 1];
        const double curvature = left - 2.0 * centre + right;
        if (curvature < 0.0) offset += 0.5 * (left - right) / curvature / kSteps;
    }
    const bool inverted = interpolatedValue(scores_, lag, offset) < 0.0;
    signedPeak = inverted ? -curve[best] : curve[best];
    return double(lag) + offset;
}

double CorrelationScan::highest() const {
    double highest = 0.0;
    for (size_t lag = 0; lag < scores_.size(); ++lag)
        highest = std::max(highest, envelope(lag));
    return highest;
}

CorrelationPeak CorrelationScan::peak(size_t searchBegin, size_t searchEnd, size_t exclusion,
                                      size_t noiseExclusion) const {
    CorrelationPeak result;
    searchEnd = std::min(searchEnd, scores_.size());
    if (searchBegin >= searchEnd) return result;
    size_t best = searchBegin;
    for (size_t k = searchBegin; k < searchEnd; ++k)
        if (envelope(k) > envelope(best)) best = k;
    if (envelope(best) == 0.0) return result;
    result.found = true;
    result.lag = refinedLag(best, result.value);

    std::vector<double> away;
    away.reserve(scores_.size());
    for (size_t k = 0; k < scores_.size(); ++k) {
        const double magnitude = envelope(k);
        if (magnitude == 0.0) continue;
        const size_t distance = k > best ? k - best : best - k;
        if (distance > noiseExclusion) away.push_back(magnitude);
        const bool localMaximum = (k == 0 || envelope(k - 1) <= magnitude) &&
                                  (k + 1 == scores_.size() || envelope(k + 1) <= magnitude);
        if (!localMaximum || distance <= exclusion) continue;
        double& rival = distance > noiseExclusion ? result.farRival : result.nearRival;
        rival = std::max(rival, magnitude);
    }
    if (!away.empty()) {
        const auto middle = away.begin() + ptrdiff_t(away.size() / 2);
        std::nth_element(away.begin(), middle, away.end());
        // The envelope of Gaussian noise is Rayleigh distributed: its median is 1.1774 times
        // the noise's standard deviation.
        result.noise = *middle / 1.1774;
    }
    return result;
}

}  // namespace vorlane
