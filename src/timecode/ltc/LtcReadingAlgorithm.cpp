#include "timecode/ltc/LtcReadingAlgorithm.h"

namespace vorlane {

std::optional<LtcReadingAlgorithm> readingAlgorithmWithCode(int64_t code) {
    if (code < 0 || code > int64_t(LtcReadingAlgorithm::AdaptiveConfirmed)) return std::nullopt;
    return LtcReadingAlgorithm(code);
}

std::string description(LtcReadingAlgorithm algorithm) {
    switch (algorithm) {
        case LtcReadingAlgorithm::AdaptiveThresholds:
            return "adaptive thresholds";
        case LtcReadingAlgorithm::FixedThresholds128:
            return "fixed thresholds of 128";
        case LtcReadingAlgorithm::FixedThresholds4096:
            return "fixed thresholds of 4096";
        case LtcReadingAlgorithm::Slope:
            return "slope";
        case LtcReadingAlgorithm::AdaptiveConfirmed:
            return "adaptive thresholds confirmed after 50 microseconds";
    }
    return "no edge detection (setting " + std::to_string(int32_t(algorithm)) + ")";
}

}  // namespace vorlane
