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

  private:
    void prepareBlock(size_t blockSize);
    std::vector<float> run(std::span<const float> reference, std::vector<float>* quadrature);

    std::vector<float> query_;
    size_t maximumBlockSize_;
    std::unique_ptr<RealFFT> fft_;
    std::vector<std::complex<float>> querySpectrum_;  // conjugated
    std::vector<std::complex<float>> product_;
};

}  // namespace vorlane
