// The LTC decoder's edge detection: a Schmitt trigger over one channel's 16-bit samples that
// reports every accepted crossing of the upper or lower threshold with the time since the one
// before. Crossings less than 100 µs after the last accepted edge are ignored, without changing
// the polarity, so the next sample beyond the threshold is tested again.
//
// What is compared depends on the edge setting: the sample, the sample sharpened by its slope
// (the second reading of setting 0, which undoes much of a low-pass), the slope alone (setting
// 3), or the sample confirmed 50 µs later (setting 4). The state carries over from one block
// of samples to the next, so a window is scanned in pieces exactly as in one.
#pragma once

#include <cstdint>

#include "timecode/ltc/LtcReadingAlgorithm.h"

namespace vorlane {

// One channel's samples at window positions [first, end): a block and a few samples before it.
struct LtcChannelSamples {
    const int16_t* values = nullptr;
    int64_t first = 0;
    int64_t end = 0;
};

enum class LtcEdgeSignal { Sample, SharpenedSample, Slope, ConfirmedSample, None };

// The signal an edge setting compares (settings outside 0-4 compare none and find no edges).
LtcEdgeSignal edgeSignalOf(LtcReadingAlgorithm algorithm, bool sharpened);

class LtcEdgeDetector {
  public:
    // The period of the first edge counts from `startPosition`.
    LtcEdgeDetector(LtcEdgeSignal signal, double sampleRate, int64_t startPosition = 0);

    // Samples the confirmation of setting 4 looks ahead; a block's last ones are scanned with
    // the next block, which holds what they look at.
    int64_t lookAhead() const { return lookAhead_; }
    LtcEdgeSignal signal() const { return signal_; }
    int64_t lastPosition() const { return lastPosition_; }

    // Scans positions [from, to) of the samples against the thresholds and calls
    // onEdge(seconds since the last edge, position) for every accepted edge, until it answers
    // false. Answers the position after the last one scanned.
    template <typename OnEdge>
    int64_t scan(const LtcChannelSamples& samples, int64_t from, int64_t to, int32_t upper,
                 int32_t lower, OnEdge&& onEdge);

  private:
    template <bool Confirmed, typename Signal, typename OnEdge>
    int64_t scanSignal(const LtcChannelSamples& samples, int64_t from, int64_t to, int32_t upper,
                       int32_t lower, const Signal& signal, OnEdge& onEdge);

    LtcEdgeSignal signal_;
    double sampleRate_;
    double minimumDistance_;  // samples
    double sharpening_;       // weight of the slope, in samples
    int64_t lookAhead_;
    int64_t lastPosition_;
    bool lastEdgeRising_ = false;
    bool lastEdgeFalling_ = false;
};

template <typename OnEdge>
int64_t LtcEdgeDetector::scan(const LtcChannelSamples& samples, int64_t from, int64_t to,
                              int32_t upper, int32_t lower, OnEdge&& onEdge) {
    const int16_t* values = samples.values;
    const int64_t first = samples.first;
    // The sample before window positions 0 and 1 is the sample itself: no slope there.
    const auto slope = [values, first](int64_t position) {
        return position < 2 || position - 1 < first
                   ? 0
                   : int32_t(values[position - first]) - values[position - 1 - first];
    };
    switch (signal_) {
        case LtcEdgeSignal::Sample:
        case LtcEdgeSignal::ConfirmedSample: {
            const auto sample = [values, first](int64_t position) {
                return int32_t(values[position - first]);
            };
            return signal_ == LtcEdgeSignal::Sample
                       ? scanSignal<false>(samples, from, to, upper, lower, sample, onEdge)
                       : scanSignal<true>(samples, from, to, upper, lower, sample, onEdge);
        }
        case LtcEdgeSignal::SharpenedSample: {
            const double weight = sharpening_;
            const auto sharpened = [values, first, weight, slope](int64_t position) {
                return values[position - first] + int32_t(weight * slope(position));
            };
            return scanSignal<false>(samples, from, to, upper, lower, sharpened, onEdge);
        }
        case LtcEdgeSignal::Slope: {
            const auto wrapped = [slope](int64_t position) {
                return int32_t(int16_t(uint16_t(slope(position))));
            };
            return scanSignal<false>(samples, from, to, upper, lower, wrapped, onEdge);
        }
        case LtcEdgeSignal::None:
            break;
    }
    return to;
}

template <bool Confirmed, typename Signal, typename OnEdge>
int64_t LtcEdgeDetector::scanSignal(const LtcChannelSamples& samples, int64_t from, int64_t to,
                                    int32_t upper, int32_t lower, const Signal& signal,
                                    OnEdge& onEdge) {
    for (int64_t position = from; position < to; ++position) {
        const int32_t value = signal(position);
        const bool rising = value > upper && !lastEdgeRising_;
        const bool falling = !rising && value < lower && !lastEdgeFalling_;
        if (!rising && !falling) continue;
        const int64_t distance = position - lastPosition_;
        if (!(double(distance) > minimumDistance_)) continue;
        if constexpr (Confirmed) {
            const int64_t later = position + lookAhead_;
            const int32_t confirmation =
                later < samples.end ? samples.values[later - samples.first] : 0;
            if (rising ? confirmation <= upper : confirmation >= lower) continue;
        }
        lastPosition_ = position;
        lastEdgeRising_ = rising;
        lastEdgeFalling_ = falling;
        if (!onEdge(double(distance) / sampleRate_, position)) return position + 1;
    }
    return to;
}

}  // namespace vorlane
