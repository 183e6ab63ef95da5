#include "sync/audio/FFTCorrelator.h"

#include <algorithm>

#include "platform/RealFFT.h"

namespace vorlane {
namespace {

// Overlap-save blocks hold the query at most a quarter full, and are at least this long.
constexpr size_t kMinimumBlockSize = size_t(1) << 16;

}  // namespace

FFTCorrelator::FFTCorrelator(std::vector<float> query)
    : query_(std::move(query)),
      maximumBlockSize_(RealFFT::goodSize(std::max(4 * query_.size(), kMinimumBlockSize))) {}

FFTCorrelator::~FFTCorrelator() = default;
FFTCorrelator::FFTCorrelator(FFTCorrelator&&) noexcept = default;
FFTCorrelator& FFTCorrelator::operator=(FFTCorrelator&&) noexcept = default;

void FFTCorrelator::prepareBlock(size_t blockSize) {
    if (fft_ && fft_->size() == blockSize) return;
    fft_ = std::make_unique<RealFFT>(blockSize);
    float* samples = fft_->samples();
    std::copy(query_.begin(), query_.end(), samples);
    std::fill(samples + query_.size(), samples + blockSize, 0.0f);
    fft_->forward();
    querySpectrum_.assign(fft_->spectrum(), fft_->spectrum() + fft_->spectrumSize());
    for (auto& bin : querySpectrum_)
        bin = std::conj(bin);
}

std::vector<float> FFTCorrelator::correlate(std::span<const float> reference) {
    return run(reference, nullptr);
}

std::vector<float> FFTCorrelator::correlate(std::span<const float> reference,
                                            std::vector<float>& quadrature) {
    return run(reference, &quadrature);
}

std::vector<float> FFTCorrelator::correlateBothWays(std::span<const float> reference,
                                                    std::vector<float>& quadrature,
                                                    std::vector<float>& backwards,
                                                    std::vector<float>& backwardsQuadrature) {
    return run(reference, &quadrature, {&backwards, &backwardsQuadrature});
}

std::vector<float> FFTCorrelator::run(std::span<const float> reference,
                                      std::vector<float>* quadrature, Outputs backwards) {
    const size_t querySize = query_.size();
    for (std::vector<float>* values : {quadrature, backwards.values, backwards.quadrature})
        if (values) values->clear();
    if (querySize == 0 || reference.size() < querySize) return {};
    const size_t outputCount = reference.size() - querySize + 1;
    prepareBlock(std::min(RealFFT::goodSize(reference.size()), maximumBlockSize_));
    const size_t blockSize = fft_->size();
    const size_t bins = fft_->spectrumSize();
    // Each block of the reference gives the lags at which the query lies wholly inside it.
    const size_t lagsPerBlock = blockSize - querySize + 1;
    std::vector<float> output(outputCount);
    for (std::vector<float>* values : {quadrature, backwards.values, backwards.quadrature})
        if (values) values->resize(outputCount);
    for (size_t blockStart = 0; blockStart < outputCount; blockStart += lagsPerBlock) {
        float* samples = fft_->samples();
        const size_t available = std::min(blockSize, reference.size() - blockStart);
        std::copy_n(reference.begin() + ptrdiff_t(blockStart), available, samples);
        std::fill(samples + available, samples + blockSize, 0.0f);
        fft_->forward();
        std::complex<float>* spectrum = fft_->spectrum();
        if (backwards.values) referenceSpectrum_.assign(spectrum, spectrum + bins);
        for (size_t bin = 0; bin < bins; ++bin)
            spectrum[bin] *= querySpectrum_[bin];
        const size_t count = std::min(lagsPerBlock, outputCount - blockStart);
        takeBlock({&output, quadrature}, blockStart, count, 0);
        if (!backwards.values) continue;
        // Played backwards, the query's conjugated spectrum is its own spectrum turned by its
        // length: the backwards correlation is the query's convolution with the block, which
        // lies querySize − 1 samples further on.
        for (size_t bin = 0; bin < bins; ++bin)
            spectrum[bin] = referenceSpectrum_[bin] * std::conj(querySpectrum_[bin]);
        takeBlock(backwards, blockStart, count, querySize - 1);
    }
    return output;
}

void FFTCorrelator::takeBlock(Outputs outputs, size_t blockStart, size_t count, size_t shift) {
    const size_t bins = fft_->spectrumSize();
    const float scale = 1.0f / float(fft_->size());
    std::complex<float>* spectrum = fft_->spectrum();
    const float* samples = fft_->samples();
    if (outputs.quadrature) product_.assign(spectrum, spectrum + bins);
    fft_->inverse();
    for (size_t k = 0; k < count; ++k)
        (*outputs.values)[blockStart + k] = samples[shift + k] * scale;
    if (!outputs.quadrature) return;
    // The Hilbert transform: positive frequencies turned by −90°, DC and Nyquist dropped.
    spectrum[0] = spectrum[bins - 1] = 0.0f;
    for (size_t bin = 1; bin + 1 < bins; ++bin)
        spectrum[bin] = std::complex<float>(product_[bin].imag(), -product_[bin].real());
    fft_->inverse();
    for (size_t k = 0; k < count; ++k)
        (*outputs.quadrature)[blockStart + k] = samples[shift + k] * scale;
}

}  // namespace vorlane
