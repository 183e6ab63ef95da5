// Cross-correlation of one query signal with reference signals by FFT: one transform for a
// reference that fits a block, overlap-save over blocks for long ones (hours of envelope). The
// query's spectrum is kept for the next reference of the same block size.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace vorlane {

class RealFFT;

class FFTCorrelator {
  public:
    explicit FFTCorrelator(std::vector<float> query);
    ~FFTCorrelator();
    FFTCorrelator(const FFTCorrelator&) = delete;
    FFTCorrelator& operator=(const FFTCorrelator&) = delete;
    FFTCorrelator(FFTCorrelator&&) noexcept;
    FFTCorrelator& operator=(FFTCorrelator&&) noexcept;

    size_t querySize() const { return query_.size(); }

    // c[k] = Σ query[n] × reference[n + k] for k = 0 … reference.size() − querySize(); empty
    // when the reference is shorter than the query or the query is empty.
    std::vector<float> correlate(std::span<const float> reference);
    // The same and, in `quadrature`, its Hilbert transform: together the analytic correlation,
    // whose magnitude is the correlation's envelope, free of the band's oscillation.
    std::vector<float> correlate(std::span<const float> reference, std::vector<float>& quadrature);
    // The same, and in `backwards` and `backwardsQuadrature` that of the query played backwards
    // (Σ query[querySize() − 1 − n] × reference[n + k]), from the same transforms of the
    // reference.
    std::vector<float> correlateBothWays(std::span<const float> reference,
                                         std::vector<float>& quadrature,
                                         std::vector<float>& backwards,
                                         std::vector<float>& backwardsQuadrature);

  private:
    // Where one block's correlation goes: the in-phase values and their Hilbert transform.
    struct Outputs {
        std::vector<float>* values;
        std::vector<float>* quadrature;
    };

    void prepareBlock(size_t blockSize);
    std::vector<float> run(std::span<const float> reference, std::vector<float>* quadrature,
                           Outputs backwards = {nullptr, nullptr});
    // Transforms the product in the spectrum back into `count` lags of `outputs` from
    // `blockStart` on, read from the block's sample `shift` on.
    void takeBlock(Outputs outputs, size_t blockStart, size_t count, size_t shift);

    std::vector<float> query_;
    size_t maximumBlockSize_;
    std::unique_ptr<RealFFT> fft_;
    std::vector<std::complex<float>> querySpectrum_;  // conjugated
    std::vector<std::complex<float>> product_;
    std::vector<std::complex<float>> referenceSpectrum_;
};

}  // namespace vorlane
