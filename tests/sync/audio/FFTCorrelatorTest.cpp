// The correlation by transforms against the sums it stands for, over one block and over
// several (overlap-save), forwards and with the query played backwards.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sync/audio/FFTCorrelator.h"

namespace vorlane {
namespace {

std::vector<float> noise(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> samples(count);
    for (float& sample : samples)
        sample = normal(random);
    return samples;
}

double sumAtLag(const std::vector<float>& query, const std::vector<float>& reference, size_t lag) {
    double sum = 0.0;
    for (size_t n = 0; n < query.size(); ++n)
        sum += double(query[n]) * reference[n + lag];
    return sum;
}

TEST(FFTCorrelator, BothWaysAgreeWithTheSumsAndWithTheBackwardsQuery) {
    const std::vector<float> query = noise(3000, 1);
    const std::vector<float> backwardsQuery(query.rbegin(), query.rend());
    // One block, and a reference longer than the largest block.
    for (const size_t length : {20000u, 150000u}) {
        SCOPED_TRACE(length);
        const std::vector<float> reference = noise(length, 2);
        FFTCorrelator correlator(query);
        std::vector<float> quadrature, backwards, backwardsQuadrature;
        const std::vector<float> forwards =
            correlator.correlateBothWays(reference, quadrature, backwards, backwardsQuadrature);
        ASSERT_EQ(forwards.size(), length - query.size() + 1);
        ASSERT_EQ(backwards.size(), forwards.size());
        // The sums have a spread of about √3000 ≈ 55.
        for (size_t lag = 0; lag < forwards.size(); lag += 997) {
            EXPECT_NEAR(forwards[lag], sumAtLag(query, reference, lag), 0.05) << lag;
            EXPECT_NEAR(backwards[lag], sumAtLag(backwardsQuery, reference, lag), 0.05) << lag;
        }
        FFTCorrelator alone(backwardsQuery);
        std::vector<float> aloneQuadrature;
        const std::vector<float> aloneValues = alone.correlate(reference, aloneQuadrature);
        ASSERT_EQ(aloneQuadrature.size(), backwardsQuadrature.size());
        double worst = 0.0;
        for (size_t lag = 0; lag < aloneValues.size(); ++lag)
            worst = std::max({worst, double(std::abs(aloneValues[lag] - backwards[lag])),
                              double(std::abs(aloneQuadrature[lag] - backwardsQuadrature[lag]))});
        EXPECT_LT(worst, 0.05);
    }
}

}  // namespace
}  // namespace vorlane
