// A rational TIFF value (types RATIONAL and SRATIONAL): numerator and denominator, read signed or
// unsigned as the tag's type says.
#pragma once

#include <cstdint>

namespace vorlane {

struct TIFFRational {
    int64_t numerator = 0;
    int64_t denominator = 1;
    bool isSigned = false;

    // numerator / denominator; 0 for a zero denominator, which stands for no value.
    double doubleValue() const {
        return denominator == 0 ? 0.0 : double(numerator) / double(denominator);
    }
    bool operator==(const TIFFRational&) const = default;
};

}  // namespace vorlane
