// One channel of sound handed to the alignment: samples as floats (full scale 1.0) at a whole
// sample rate, sample 0 at excerpt time zero. A view: the caller keeps the samples alive.
#pragma once

#include <cstdint>
#include <span>

namespace vorlane {

struct AudioExcerpt {
    std::span<const float> samples;
    int32_t sampleRate = 0;

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0; }
};

}  // namespace vorlane
