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

#include <algorithm>
#include <climits>
#include <cstdint>

#include "timecode/ltc/LtcReadingAlgorithm.h"

namespace vorlane {

// One channel's samples at window positions [first, end): a block and a few samples before it,
// at least one before any position scanned (before position 0 a copy of sample 0, so that the
// window starts without a slope).
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
    // onEdge(samples since the last edge, position) for every accepted edge, until it answers
    // false. Answers the position after the last one scanned.
    template <typename OnEdge>
    int64_t scan(const LtcChannelSamples& samples, int64_t from, int64_t to, int32_t upper,
                 int32_t lower, OnEdge&& onEdge);

  private:
    template <bool Confirmed, typename Signal, typename OnEdge>
    int64_t scanSignal(const LtcChannelSamples& samples, int64_t from, int64_t to, int32_t upper,
                       int32_t lower, const Signal& signal, OnEdge& onEdge);

    LtcEdgeSignal signal_;
    // The sharpened sample's slope weighs sharpening_ ÷ kSharpeningUnit samples.
    static constexpr int32_t kSharpeningUnit = 256;

    double minimumDistance_;  // samples
    int32_t sharpening_;
    int64_t lookAhead_;
    int64_t lastPosition_;
    bool lastEdgeRising_ = false;
    bool lastEdgeFalling_ = false;
};

// The compared signal is a function of a pointer to the sample, whose predecessor it may read.
template <typename OnEdge>
int64_t LtcEdgeDetector::scan(const LtcChannelSamples& samples, int64_t from, int64_t to,
                              int32_t upper, int32_t lower, OnEdge&& onEdge) {
    const auto slope = [](const int16_t* sample) { return int32_t(sample[0]) - sample[-1]; };
    switch (signal_) {
        case LtcEdgeSignal::Sample:
        case LtcEdgeSignal::ConfirmedSample: {
            const auto value = [](const int16_t* sample) { return int32_t(sample[0]); };
            return signal_ == LtcEdgeSignal::Sample
                       ? scanSignal<false>(samples, from, to, upper, lower, value, onEdge)
                       : scanSignal<true>(samples, from, to, upper, lower, value, onEdge);
        }
        case LtcEdgeSignal::SharpenedSample: {
            const int32_t weight = sharpening_;
            const auto sharpened = [weight, slope](const int16_t* sample) {
                return sample[0] + slope(sample) * weight / kSharpeningUnit;
            };
            return scanSignal<false>(samples, from, to, upper, lower, sharpened, onEdge);
        }
        case LtcEdgeSignal::Slope: {
            const auto wrapped = [slope](const int16_t* sample) {
                return int32_t(int16_t(uint16_t(slope(sample))));
            };
            return scanSignal<false>(samples, from, to, upper, lower, wrapped, onEdge);
        }
        case LtcEdgeSignal::None:
            break;
    }
    return to;
}

// Whole runs of samples in which none crosses a threshold that could make an edge are passed
// over first (a loop the compiler turns into vector compares); the samples after them are
// tested one by one.
template <bool Confirmed, typename Signal, typename OnEdge>
int64_t LtcEdgeDetector::scanSignal(const LtcChannelSamples& samples, int64_t from, int64_t to,
                                    int32_t upper, int32_t lower, const Signal& signal,
                                    OnEdge& onEdge) {
    constexpr int64_t kRun = 64;
    const auto at = [&samples](int64_t position) {
        return samples.values + (position - samples.first);
    };
    for (int64_t position = from; position < to;) {
        // The thresholds that can make the next edge: not the side of the last one.
        int32_t above = lastEdgeRising_ ? INT32_MAX : upper;
        int32_t below = lastEdgeFalling_ ? INT32_MIN : lower;
        for (; position + kRun <= to; position += kRun) {
            const int16_t* run = at(position);
            int32_t crossing = 0;
            for (int32_t k = 0; k < int32_t(kRun); ++k) {
                const int32_t value = signal(run + k);
                crossing |= int32_t(value > above) | int32_t(value < below);
            }
            if (crossing != 0) break;
        }
        for (const int64_t runEnd = std::min(to, position + kRun); position < runEnd; ++position) {
            const int32_t value = signal(at(position));
            const bool rising = value > above;
            if (!rising && !(value < below)) continue;
            const int64_t distance = position - lastPosition_;
            if (!(double(distance) > minimumDistance_)) continue;
            if constexpr (Confirmed) {
                const int64_t later = position + lookAhead_;
                const int32_t confirmation = later < samples.end ? *at(later) : 0;
                if (rising ? confirmation <= upper : confirmation >= lower) continue;
            }
            lastPosition_ = position;
            lastEdgeRising_ = rising;
            lastEdgeFalling_ = !rising;
            above = rising ? INT32_MAX : upper;
            below = rising ? lower : INT32_MIN;
            if (!onEdge(distance, position)) return position + 1;
        }
    }
    return to;
}

}  // namespace vorlane
