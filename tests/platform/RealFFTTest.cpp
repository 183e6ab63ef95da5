#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "platform/RealFFT.h"

namespace vorlane {
namespace {

// The largest difference between the transform and the textbook sum.
double worstBinError(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    RealFFT fft(size);
    for (size_t n = 0; n < size; ++n)
        fft.samples()[n] = uniform(random);
    const std::vector<float> input(fft.samples(), fft.samples() + size);
    fft.forward();
    double worst = 0.0;
    for (size_t bin = 0; bin < fft.spectrumSize(); bin += 7) {
        std::complex<double> sum = 0.0;
        for (size_t n = 0; n < size; ++n)
            sum += double(input[n]) *
                   std::polar(1.0, -2.0 * std::numbers::pi * double(bin * n % size) / double(size));
        worst = std::max(worst, std::abs(sum - std::complex<double>(fft.spectrum()[bin])));
    }
    // Back again: the samples times the size.
    fft.inverse();
    for (size_t n = 0; n < size; ++n)
        worst = std::max(worst, std::abs(double(fft.samples()[n]) / double(size) - input[n]));
    return worst;
}

TEST(RealFFT, AgreesWithTheDiscreteFourierSumAndInverts) {
    for (const size_t size : {2u, 30u, 1000u, 4096u})
        EXPECT_LT(worstBinError(size, 1), 1e-3) << size;
    EXPECT_EQ(RealFFT(7).size(), 8u);  // odd sizes round up to even
}

// Plans are made and dropped on several threads at once while others transform, also with the
// plans of one size that every thread shares.
TEST(RealFFT, TransformsOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<double> errors(4, 1.0);
    for (size_t t = 0; t < errors.size(); ++t)
        threads.emplace_back([&errors, t] {
            double worst = 0.0;
            for (size_t round = 0; round < 20; ++round) {
                worst = std::max(worst, worstBinError(64 + 2 * (t * 20 + round), uint32_t(round)));
                worst = std::max(worst, worstBinError(1000, uint32_t(round)));
            }
            errors[t] = worst;
        });
    for (auto& thread : threads)
        thread.join();
    for (const double error : errors)
        EXPECT_LT(error, 1e-3);
}

}  // namespace
}  // namespace vorlane
