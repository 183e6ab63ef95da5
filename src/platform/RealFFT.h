// Fast Fourier transforms of real signals in single precision, on FFTW3. One object holds the
// plans and the aligned buffers for one transform size; transforms of one object run on one
// thread at a time, different objects may run on different threads at once (creating and
// destroying plans is serialised inside; the plans of the last few sizes are kept and shared).
//
// Neither direction is normalised: forward then inverse multiplies the samples by size().
#pragma once

#include <complex>
#include <cstddef>
#include <memory>

namespace vorlane {

struct RealFFTPlans;

class RealFFT {
  public:
    // A transform of `size` samples, rounded up to an even size of at least 2.
    explicit RealFFT(size_t size);
    ~RealFFT();
    RealFFT(const RealFFT&) = delete;
    RealFFT& operator=(const RealFFT&) = delete;

    // The smallest even size of the form 2^a 3^b 5^c that is at least `minimum` (these sizes
    // transform fastest).
    static size_t goodSize(size_t minimum);

    size_t size() const { return size_; }
    size_t spectrumSize() const { return size_ / 2 + 1; }

    // size() samples: the input of forward() and the output of inverse().
    float* samples() { return samples_; }
    const float* samples() const { return samples_; }
    // spectrumSize() bins from 0 to the Nyquist frequency: the output of forward() and the input
    // of inverse().
    std::complex<float>* spectrum() { return spectrum_; }
    const std::complex<float>* spectrum() const { return spectrum_; }

    // samples() → spectrum(); the samples are kept.
    void forward();
    // spectrum() → samples(); the spectrum is overwritten.
    void inverse();

  private:
    size_t size_ = 0;
    float* samples_ = nullptr;
    std::complex<float>* spectrum_ = nullptr;
    std::shared_ptr<RealFFTPlans> plans_;
};

}  // namespace vorlane
