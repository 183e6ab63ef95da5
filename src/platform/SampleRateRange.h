// The sample rates audio hardware records at. A rate a file declares outside them is damage, and
// sound read at it would size buffers and windows from a made-up number.
#pragma once

#include <cstdio>
#include <string>

namespace vorlane {

inline constexpr double kLowestSampleRate = 1000.0;
inline constexpr double kHighestSampleRate = 768000.0;

inline bool isPlausibleSampleRate(double rate) {
    return rate >= kLowestSampleRate && rate <= kHighestSampleRate;
}

// A rate a file states that no recorder uses; 0 (the file does not say) is not one.
inline bool isImplausibleStatedSampleRate(double rate) {
    return rate != 0.0 && !isPlausibleSampleRate(rate);
}

// Why sound at the rate is not read: "sample rate 2147483647 Hz is outside 1 kHz to 768 kHz".
inline std::string implausibleSampleRateReason(double rate) {
    char text[96];
    std::snprintf(text, sizeof text, "sample rate %.0f Hz is outside 1 kHz to 768 kHz", rate);
    return text;
}

}  // namespace vorlane
