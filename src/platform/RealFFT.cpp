#include "platform/RealFFT.h"

#include <fftw3.h>

#include <mutex>
#include <new>

namespace vorlane {
namespace {

// FFTW's planner keeps global state: only its execute functions may run concurrently.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

bool hasOnlyFactors235(size_t value) {
    for (const size_t factor : {2, 3, 5})
        while (value % factor == 0)
            value /= factor;
    return value == 1;
}

}  // namespace

RealFFT::RealFFT(size_t size) : size_(size < 2 ? 2 : size + size % 2) {
    samples_ = fftwf_alloc_real(size_);
    spectrum_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(spectrumSize()));
    if (!samples_ || !spectrum_) {
        fftwf_free(samples_);
        fftwf_free(spectrum_);
        throw std::bad_alloc();
    }
    auto* bins = reinterpret_cast<fftwf_complex*>(spectrum_);
    const std::lock_guard lock(plannerMutex());
    // FFTW_ESTIMATE plans without trial runs, so planning never touches the buffers.
    forwardPlan_ = fftwf_plan_dft_r2c_1d(int(size_), samples_, bins, FFTW_ESTIMATE);
    inversePlan_ = fftwf_plan_dft_c2r_1d(int(size_), bins, samples_, FFTW_ESTIMATE);
}

RealFFT::~RealFFT() {
    {
        const std::lock_guard lock(plannerMutex());
        fftwf_destroy_plan(static_cast<fftwf_plan>(forwardPlan_));
        fftwf_destroy_plan(static_cast<fftwf_plan>(inversePlan_));
    }
    fftwf_free(samples_);
    fftwf_free(spectrum_);
}

size_t RealFFT::goodSize(size_t minimum) {
    size_t size = minimum < 2 ? 2 : minimum + minimum % 2;
    while (!hasOnlyFactors235(size))
        size += 2;
    return size;
}

void RealFFT::forward() {
    fftwf_execute(static_cast<fftwf_plan>(forwardPlan_));
}

void RealFFT::inverse() {
    fftwf_execute(static_cast<fftwf_plan>(inversePlan_));
}

}  // namespace vorlane
