#include "platform/RealFFT.h"

#include <fftw3.h>

#include <algorithm>
#include <list>
#include <memory>
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

// Planning costs about as much as a few transforms: the last few sizes' plans are kept.
constexpr size_t kKeptPlanSizes = 8;

}  // namespace

// The plans of one size, shared by every transform of that size (FFTW executes one plan on
// several threads at once, each with its own arrays); destroyed when the last user is gone.
struct RealFFTPlans {
    fftwf_plan forward = nullptr;
    fftwf_plan inverse = nullptr;

    RealFFTPlans() = default;
    RealFFTPlans(const RealFFTPlans&) = delete;
    RealFFTPlans& operator=(const RealFFTPlans&) = delete;
    ~RealFFTPlans() {
        const std::lock_guard lock(plannerMutex());
        fftwf_destroy_plan(forward);
        fftwf_destroy_plan(inverse);
    }

    // The plans for `size`, made for arrays aligned like these when no kept ones fit.
    static std::shared_ptr<RealFFTPlans> forSize(size_t size, float* samples, fftwf_complex* bins) {
        std::mutex& mutex = plannerMutex();  // made before the list, so it outlives it
        static std::list<std::pair<size_t, std::shared_ptr<RealFFTPlans>>> kept;
        std::shared_ptr<RealFFTPlans> evicted;  // destroyed once the lock is released
        const std::lock_guard lock(mutex);
        const auto found = std::find_if(kept.begin(), kept.end(),
                                        [size](const auto& entry) { return entry.first == size; });
        if (found != kept.end()) {
            kept.splice(kept.begin(), kept, found);
            return kept.front().second;
        }
        auto plans = std::make_shared<RealFFTPlans>();
        // FFTW_ESTIMATE plans without trial runs, so planning never touches the buffers.
        plans->forward = fftwf_plan_dft_r2c_1d(int(size), samples, bins, FFTW_ESTIMATE);
        plans->inverse = fftwf_plan_dft_c2r_1d(int(size), bins, samples, FFTW_ESTIMATE);
        kept.emplace_front(size, plans);
        if (kept.size() > kKeptPlanSizes) {
            evicted = std::move(kept.back().second);
            kept.pop_back();
        }
        return plans;
    }
};

RealFFT::RealFFT(size_t size) : size_(size < 2 ? 2 : size + size % 2) {
    samples_ = fftwf_alloc_real(size_);
    spectrum_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(spectrumSize()));
    if (!samples_ || !spectrum_) {
        fftwf_free(samples_);
        fftwf_free(spectrum_);
        throw std::bad_alloc();
    }
    plans_ = RealFFTPlans::forSize(size_, samples_, reinterpret_cast<fftwf_complex*>(spectrum_));
}

RealFFT::~RealFFT() {
    plans_.reset();
    fftwf_free(samples_);
    fftwf_free(spectrum_);
}

size_t RealFFT::goodSize(size_t minimum) {
    size_t size = minimum < 2 ? 2 : minimum + minimum % 2;
    while (!hasOnlyFactors235(size))
        size += 2;
    return size;
}

// The arrays of every transform come from fftwf_alloc_*, aligned as the plans expect.
void RealFFT::forward() {
    fftwf_execute_dft_r2c(plans_->forward, samples_, reinterpret_cast<fftwf_complex*>(spectrum_));
}

void RealFFT::inverse() {
    fftwf_execute_dft_c2r(plans_->inverse, reinterpret_cast<fftwf_complex*>(spectrum_), samples_);
}

}  // namespace vorlane
