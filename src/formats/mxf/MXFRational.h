// A rational number of an MXF file (edit rates, sample rates, aspect ratios).
#pragma once

#include <cstdint>

namespace vorlane {

struct MXFRational {
    int32_t numerator = 0;
    int32_t denominator = 0;

    static MXFRational rationalWithNumerator(int32_t numerator, int32_t denominator) {
        return MXFRational{numerator, denominator};
    }
    // numerator / denominator; 0 for a zero denominator.
    double doubleValue() const {
        return denominator == 0 ? 0.0 : double(numerator) / double(denominator);
    }
    bool operator==(const MXFRational& other) const = default;
};

}  // namespace vorlane
