#include "timecode/ltc/LtcEdgeDetector.h"

#include <algorithm>
#include <cmath>

namespace vorlane {
namespace {

// Crossings closer than this to the last edge are ignored (seconds).
constexpr double kMinimumEdgeDistance = 0.0001;
// Edge setting 4 confirms a crossing this much later (seconds).
constexpr double kConfirmationDelay = 0.00005;
// The sharpened sample is sample + slope × this time in samples: the inverse of a one-pole
// low-pass near 1 kHz, which restores the edges of LTC filtered down to a few hundred hertz.
constexpr double kSharpeningSeconds = 0.000167;

}  // namespace

LtcEdgeSignal edgeSignalOf(LtcReadingAlgorithm algorithm, bool sharpened) {
    switch (algorithm) {
        case LtcReadingAlgorithm::AdaptiveThresholds:
            return sharpened ? LtcEdgeSignal::SharpenedSample : LtcEdgeSignal::Sample;
        case LtcReadingAlgorithm::FixedThresholds128:
        case LtcReadingAlgorithm::FixedThresholds4096:
            return LtcEdgeSignal::Sample;
        case LtcReadingAlgorithm::Slope:
            return LtcEdgeSignal::Slope;
        case LtcReadingAlgorithm::AdaptiveConfirmed:
            return LtcEdgeSignal::ConfirmedSample;
    }
    return LtcEdgeSignal::None;
}

LtcEdgeDetector::LtcEdgeDetector(LtcEdgeSignal signal, double sampleRate, int64_t startPosition)
    : signal_(signal),
      minimumDistance_(kMinimumEdgeDistance * sampleRate),
      // A weight below 2^15 keeps slope × weight within 32 bits (up to 768 kHz).
      sharpening_(int32_t(std::min(std::lround(kSharpeningSeconds * sampleRate * kSharpeningUnit),
                                   long(INT16_MAX)))),
      lookAhead_(signal == LtcEdgeSignal::ConfirmedSample
                     ? std::llround(sampleRate * kConfirmationDelay)
                     : 0),
      lastPosition_(startPosition) {}

}  // namespace vorlane
