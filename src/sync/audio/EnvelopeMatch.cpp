#include "sync/audio/EnvelopeMatch.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "sync/audio/FFTCorrelator.h"

namespace vorlane {
namespace {

// Sums of values and of squares over any range, from prefix sums.
class RunningSums {
  public:
    explicit RunningSums(std::span<const float> values) : sum_(values.size() + 1), squares_(sum_) {
        for (size_t n = 0; n < values.size(); ++n) {
            sum_[n + 1] = sum_[n] + values[n];
            squares_[n + 1] = squares_[n] + double(values[n]) * values[n];
        }
    }
    double sum(int64_t begin, int64_t end) const { return sum_[size_t(end)] - sum_[size_t(begin)]; }
    double squares(int64_t begin, int64_t end) const {
        return squares_[size_t(end)] - squares_[size_t(begin)];
    }

  private:
    std::vector<double> sum_;
    std::vector<double> squares_;
};

std::vector<float> withoutMean(std::span<const float> values) {
    const double mean =
        values.empty() ? 0.0 : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    std::vector<float> result(values.begin(), values.end());
    for (float& value : result)
        value = float(value - mean);
    return result;
}

double refinedLag(const std::vector<float>& scores, size_t index) {
    if (index == 0 || index + 1 >= scores.size()) return double(index);
    const double left = scores[index - 1], centre = scores[index], right = scores[index + 1];
    const double curvature = left - 2.0 * centre + right;
    return curvature < 0.0 ? double(index) + 0.5 * (left - right) / curvature : double(index);
}

}  // namespace

std::vector<EnvelopeCandidate> envelopeCandidates(std::span<const float> query,
                                                  std::span<const float> reference,
                                                  int64_t lagBegin, int64_t lagEnd,
                                                  size_t minimumOverlap, size_t count,
                                                  size_t separation) {
    const auto querySize = int64_t(query.size());
    const auto referenceSize = int64_t(reference.size());
    minimumOverlap = std::max<size_t>(minimumOverlap, 2);
    lagBegin = std::max(lagBegin, int64_t(minimumOverlap) - querySize);
    lagEnd = std::min(lagEnd, referenceSize - int64_t(minimumOverlap) + 1);
    if (std::min(querySize, referenceSize) < int64_t(minimumOverlap) || lagBegin >= lagEnd ||
        count == 0)
        return {};

    // Both contours without their mean (the correlation is the same, the sums smaller).
    const std::vector<float> centredQuery = withoutMean(query);
    const std::vector<float> centredReference = withoutMean(reference);
    const RunningSums querySums(centredQuery);
    const RunningSums referenceSums(centredReference);
    // The reference from lagBegin to lagEnd − 1 + querySize, silent outside its frames.
    std::vector<float> segment(size_t(lagEnd - lagBegin + querySize - 1), 0.0f);
    for (int64_t n = std::max<int64_t>(lagBegin, 0);
         n < std::min(lagEnd - 1 + querySize, referenceSize); ++n)
        segment[size_t(n - lagBegin)] = centredReference[size_t(n)];
    FFTCorrelator correlator(centredQuery);
    const std::vector<float> raw = correlator.correlate(segment);

    std::vector<float> scores(raw.size(), 0.0f);
    for (size_t k = 0; k < raw.size(); ++k) {
        const int64_t lag = lagBegin + int64_t(k);
        const int64_t begin = std::max<int64_t>(lag, 0);
        const int64_t end = std::min(lag + querySize, referenceSize);
        const double n = double(end - begin);
        const double querySum = querySums.sum(begin - lag, end - lag);
        const double referenceSum = referenceSums.sum(begin, end);
        const double covariance = raw[k] - querySum * referenceSum / n;
        const double queryVariance =
            querySums.squares(begin - lag, end - lag) - querySum * querySum / n;
        const double referenceVariance =
            referenceSums.squares(begin, end) - referenceSum * referenceSum / n;
        const double denominator =
            std::sqrt(std::max(queryVariance, 0.0) * std::max(referenceVariance, 0.0));
        if (denominator > 1e-20)
            scores[k] = float(covariance / denominator * std::sqrt(n / double(querySize)));
    }

    // Local maxima, best first, each at least `separation` from those taken before.
    std::vector<size_t> maxima;
    for (size_t k = 0; k < scores.size(); ++k)
        if (scores[k] > 0.0f && (k == 0 || scores[k - 1] <= scores[k]) &&
            (k + 1 == scores.size() || scores[k + 1] < scores[k]))
            maxima.push_back(k);
    const size_t considered = std::min(maxima.size(), count * 64);
    std::partial_sort(maxima.begin(), maxima.begin() + ptrdiff_t(considered), maxima.end(),
                      [&](size_t a, size_t b) { return scores[a] > scores[b]; });
    std::vector<EnvelopeCandidate> candidates;
    for (size_t i = 0; i < considered && candidates.size() < count; ++i) {
        const double lag = double(lagBegin) + refinedLag(scores, maxima[i]);
        const bool apart = std::all_of(
            candidates.begin(), candidates.end(),
            [&](const auto& taken) { return std::abs(taken.lag - lag) >= double(separation); });
        if (apart) candidates.push_back({lag, scores[maxima[i]]});
    }
    return candidates;
}

}  // namespace vorlane
