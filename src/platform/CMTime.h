// Rational time values and ranges, with the operations of the media frameworks the design names:
// a 64-bit value over a 32-bit timescale, a valid flag and an epoch that is always 0.
// Every conversion is exact integer arithmetic with 128-bit intermediates; no floating point is
// involved except in the explicitly named seconds conversions.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane {

using CMTimeValue = int64_t;
using CMTimeScale = int32_t;
using CMTimeEpoch = int64_t;

enum CMTimeFlags : uint32_t {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
};

// Numbering as on the platform the design was written for.
enum class CMTimeRoundingMethod : uint32_t {
    RoundHalfAwayFromZero = 1,
    RoundTowardZero = 2,
    RoundAwayFromZero = 3,
    QuickTime = 4,
    RoundTowardPositiveInfinity = 5,
    RoundTowardNegativeInfinity = 6,
    Default = RoundHalfAwayFromZero,
};

// The largest timescale used where two timescales have no common multiple that fits.
inline constexpr CMTimeScale kCMTimeMaxTimescale = 0x7fffffff;

struct CMTime {
    CMTimeValue value = 0;
    CMTimeScale timescale = 0;
    uint32_t flags = 0;
    CMTimeEpoch epoch = 0;

    bool isValid() const { return (flags & kCMTimeFlags_Valid) != 0 && timescale > 0; }
    // Seconds as a double; NaN for an invalid time.
    double seconds() const;
    // "{value/timescale = seconds}" or "{INVALID}".
    std::string description() const;
};

inline constexpr CMTime kCMTimeInvalid{0, 0, 0, 0};
inline constexpr CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
// Seconds to the nearest unit of the timescale (half away from zero). Non-finite input or a
// result outside the 64-bit range gives an invalid time.
CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale timescale);
double CMTimeGetSeconds(CMTime time);

// Converts to another timescale; invalid input or a result that does not fit gives an invalid time.
CMTime CMTimeConvertScale(CMTime time, CMTimeScale newTimescale, CMTimeRoundingMethod method);

// Sums and differences are exact at the least common multiple of the timescales when it fits,
// otherwise at the larger timescale, rounded half away from zero and flagged as rounded.
CMTime CMTimeAdd(CMTime lhs, CMTime rhs);
CMTime CMTimeSubtract(CMTime lhs, CMTime rhs);
CMTime CMTimeMultiply(CMTime time, int64_t multiplier);
// time × multiplier ÷ divisor, rounded half away from zero at the time's timescale.
CMTime CMTimeMultiplyByRatio(CMTime time, int64_t multiplier, int64_t divisor);
CMTime CMTimeAbsoluteValue(CMTime time);
CMTime CMTimeMinimum(CMTime lhs, CMTime rhs);
CMTime CMTimeMaximum(CMTime lhs, CMTime rhs);

// Exact comparison across timescales: −1, 0 or 1. Invalid times are equal to each other and
// greater than every valid time.
int32_t CMTimeCompare(CMTime lhs, CMTime rhs);

inline bool operator==(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) == 0;
}
inline bool operator!=(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) != 0;
}
inline bool operator<(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) < 0;
}
inline bool operator<=(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) <= 0;
}
inline bool operator>(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) > 0;
}
inline bool operator>=(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) >= 0;
}
inline CMTime operator+(CMTime lhs, CMTime rhs) {
    return CMTimeAdd(lhs, rhs);
}
inline CMTime operator-(CMTime lhs, CMTime rhs) {
    return CMTimeSubtract(lhs, rhs);
}

struct CMTimeRange {
    CMTime start = kCMTimeInvalid;
    CMTime duration = kCMTimeInvalid;

    // Start and duration valid, epoch 0 and a duration that is not negative.
    bool isValid() const;
    CMTime end() const;
    // "{start, duration}" with the times' descriptions.
    std::string description() const;
};

inline constexpr CMTimeRange kCMTimeRangeInvalid{kCMTimeInvalid, kCMTimeInvalid};
inline constexpr CMTimeRange kCMTimeRangeZero{kCMTimeZero, kCMTimeZero};

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration);
CMTimeRange CMTimeRangeFromTimeToTime(CMTime start, CMTime end);
CMTime CMTimeRangeGetEnd(CMTimeRange range);
// The overlap of two ranges; the zero range when they do not overlap; invalid for invalid input.
CMTimeRange CMTimeRangeGetIntersection(CMTimeRange lhs, CMTimeRange rhs);
// From the earlier start to the later end; invalid for invalid input.
CMTimeRange CMTimeRangeGetUnion(CMTimeRange lhs, CMTimeRange rhs);
// start ≤ time < end.
bool CMTimeRangeContainsTime(CMTimeRange range, CMTime time);
bool CMTimeRangeContainsTimeRange(CMTimeRange range, CMTimeRange other);
bool CMTimeRangeEqual(CMTimeRange lhs, CMTimeRange rhs);

}  // namespace vorlane
