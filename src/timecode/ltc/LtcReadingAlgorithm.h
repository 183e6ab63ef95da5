// The LTC decoder's edge-detection settings, stored as the integer codes 0-4 (the
// read-audio-timecode panel's "algorithm" popup and its user default). Codes outside 0-4 can
// be held and find no edges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlane {

enum class LtcReadingAlgorithm : int32_t {
    AdaptiveThresholds = 0,   // DC ± 0.7 RMS of the samples
    FixedThresholds128 = 1,   // ±128
    FixedThresholds4096 = 2,  // ±4096
    Slope = 3,                // the sample-to-sample slope against ±0.8 RMS
    AdaptiveConfirmed = 4,    // as 0, the crossing confirmed 50 µs later
};

// The setting of a code 0-4; nothing for other codes.
std::optional<LtcReadingAlgorithm> readingAlgorithmWithCode(int64_t code);
// What the setting does, for people: "adaptive thresholds", "slope" ...
std::string description(LtcReadingAlgorithm algorithm);

}  // namespace vorlane
