#include "platform/CMTime.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace vorlane {
namespace {

__extension__ typedef __int128 Int128;

constexpr Int128 kInt64Max = std::numeric_limits<int64_t>::max();
constexpr Int128 kInt64Min = std::numeric_limits<int64_t>::min();

bool fitsInt64(Int128 v) {
    return v >= kInt64Min && v <= kInt64Max;
}

CMTime validTime(CMTimeValue value, CMTimeScale timescale, uint32_t extraFlags = 0) {
    return CMTime{value, timescale, kCMTimeFlags_Valid | extraFlags, 0};
}

// numerator ÷ denominator (denominator > 0) under a rounding method. For the QuickTime rule the
// caller says whether the conversion goes to a coarser timescale.
Int128 divideRounded(Int128 numerator, Int128 denominator, CMTimeRoundingMethod method,
                     bool towardCoarserScale) {
    Int128 quotient = numerator / denominator;
    Int128 remainder = numerator % denominator;
    if (remainder == 0) return quotient;
    const Int128 awayStep = numerator < 0 ? -1 : 1;
    const Int128 absRemainder = remainder < 0 ? -remainder : remainder;
    switch (method) {
        case CMTimeRoundingMethod::RoundHalfAwayFromZero:
            return 2 * absRemainder >= denominator ? quotient + awayStep : quotient;
        case CMTimeRoundingMethod::RoundTowardZero:
            return quotient;
        case CMTimeRoundingMethod::RoundAwayFromZero:
            return quotient + awayStep;
        case CMTimeRoundingMethod::QuickTime:
            if (towardCoarserScale) {
                // Toward zero, but a negative time never becomes zero.
                return (quotient == 0 && numerator < 0) ? Int128(-1) : quotient;
            }
            return quotient + awayStep;
        case CMTimeRoundingMethod::RoundTowardPositiveInfinity:
            return numerator > 0 ? quotient + 1 : quotient;
        case CMTimeRoundingMethod::RoundTowardNegativeInfinity:
            return numerator < 0 ? quotient - 1 : quotient;
    }
    return 2 * absRemainder >= denominator ? quotient + awayStep : quotient;
}

CMTime convertUnchecked(CMTime time, CMTimeScale newTimescale, CMTimeRoundingMethod method,
                        bool* rounded) {
    const Int128 numerator = Int128(time.value) * newTimescale;
    const Int128 result =
        divideRounded(numerator, time.timescale, method, newTimescale < time.timescale);
    if (!fitsInt64(result)) return kCMTimeInvalid;
    if (rounded != nullptr && numerator % time.timescale != 0) *rounded = true;
    return validTime(static_cast<CMTimeValue>(result), newTimescale);
}

// Brings two valid times to one timescale: the least common multiple when it fits, else the
// larger of the two (rounded half away from zero).
bool commonScale(CMTime& lhs, CMTime& rhs, uint32_t& flags) {
    if (lhs.timescale == rhs.timescale) return true;
    const int64_t lcm = std::lcm(int64_t(lhs.timescale), int64_t(rhs.timescale));
    CMTimeScale target = lcm <= kCMTimeMaxTimescale ? static_cast<CMTimeScale>(lcm)
                                                    : std::max(lhs.timescale, rhs.timescale);
    bool rounded = false;
    lhs = convertUnchecked(lhs, target, CMTimeRoundingMethod::RoundHalfAwayFromZero, &rounded);
    rhs = convertUnchecked(rhs, target, CMTimeRoundingMethod::RoundHalfAwayFromZero, &rounded);
    if (rounded) flags |= kCMTimeFlags_HasBeenRounded;
    return lhs.isValid() && rhs.isValid();
}

uint32_t carriedFlags(CMTime lhs, CMTime rhs) {
    return (lhs.flags | rhs.flags) & kCMTimeFlags_HasBeenRounded;
}

CMTime fromInt128(Int128 value, CMTimeScale timescale, uint32_t flags) {
    if (!fitsInt64(value)) return kCMTimeInvalid;
    return validTime(static_cast<CMTimeValue>(value), timescale, flags);
}

}  // namespace

double CMTime::seconds() const {
    return CMTimeGetSeconds(*this);
}

std::string CMTime::description() const {
    if (!isValid()) return "{INVALID}";
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "{%lld/%d = %.3f}", static_cast<long long>(value),
                  timescale, seconds());
    return buffer;
}

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
    if (timescale <= 0) return kCMTimeInvalid;
    return validTime(value, timescale);
}

CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale timescale) {
    if (timescale <= 0 || !std::isfinite(seconds)) return kCMTimeInvalid;
    const long double scaled = std::roundl(static_cast<long double>(seconds) * timescale);
    if (scaled >= 0x1p63L || scaled < -0x1p63L) return kCMTimeInvalid;
    return validTime(static_cast<CMTimeValue>(scaled), timescale);
}

double CMTimeGetSeconds(CMTime time) {
    if (!time.isValid()) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(time.value) / static_cast<double>(time.timescale);
}

CMTime CMTimeConvertScale(CMTime time, CMTimeScale newTimescale, CMTimeRoundingMethod method) {
    if (!time.isValid() || newTimescale <= 0) return kCMTimeInvalid;
    bool rounded = false;
    CMTime result = convertUnchecked(time, newTimescale, method, &rounded);
    if (result.isValid()) {
        result.flags |= (time.flags & kCMTimeFlags_HasBeenRounded);
        if (rounded) result.flags |= kCMTimeFlags_HasBeenRounded;
    }
    return result;
}

CMTime CMTimeAdd(CMTime lhs, CMTime rhs) {
    if (!lhs.isValid() || !rhs.isValid()) return kCMTimeInvalid;
    uint32_t flags = carriedFlags(lhs, rhs);
    if (!commonScale(lhs, rhs, flags)) return kCMTimeInvalid;
    return fromInt128(Int128(lhs.value) + rhs.value, lhs.timescale, flags);
}

CMTime CMTimeSubtract(CMTime lhs, CMTime rhs) {
    if (!lhs.isValid() || !rhs.isValid()) return kCMTimeInvalid;
    uint32_t flags = carriedFlags(lhs, rhs);
    if (!commonScale(lhs, rhs, flags)) return kCMTimeInvalid;
    return fromInt128(Int128(lhs.value) - rhs.value, lhs.timescale, flags);
}

CMTime CMTimeMultiply(CMTime time, int64_t multiplier) {
    if (!time.isValid()) return kCMTimeInvalid;
    return fromInt128(Int128(time.value) * multiplier, time.timescale,
                      time.flags & kCMTimeFlags_HasBeenRounded);
}

CMTime CMTimeMultiplyByRatio(CMTime time, int64_t multiplier, int64_t divisor) {
    if (!time.isValid() || divisor == 0) return kCMTimeInvalid;
    Int128 numerator = Int128(time.value) * multiplier;
    Int128 denominator = divisor;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    uint32_t flags = time.flags & kCMTimeFlags_HasBeenRounded;
    if (numerator % denominator != 0) flags |= kCMTimeFlags_HasBeenRounded;
    return fromInt128(
        divideRounded(numerator, denominator, CMTimeRoundingMethod::RoundHalfAwayFromZero, true),
        time.timescale, flags);
}

CMTime CMTimeAbsoluteValue(CMTime time) {
    if (!time.isValid()) return kCMTimeInvalid;
    if (time.value >= 0) return time;
    if (time.value == std::numeric_limits<int64_t>::min()) return kCMTimeInvalid;
    time.value = -time.value;
    return time;
}

CMTime CMTimeMinimum(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) <= 0 ? lhs : rhs;
}

CMTime CMTimeMaximum(CMTime lhs, CMTime rhs) {
    return CMTimeCompare(lhs, rhs) >= 0 ? lhs : rhs;
}

int32_t CMTimeCompare(CMTime lhs, CMTime rhs) {
    const bool lhsValid = lhs.isValid();
    const bool rhsValid = rhs.isValid();
    if (!lhsValid || !rhsValid) {
        if (lhsValid == rhsValid) return 0;
        return lhsValid ? -1 : 1;
    }
    const Int128 a = Int128(lhs.value) * rhs.timescale;
    const Int128 b = Int128(rhs.value) * lhs.timescale;
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool CMTimeRange::isValid() const {
    return start.isValid() && duration.isValid() && start.epoch == 0 && duration.epoch == 0 &&
           duration.value >= 0;
}

CMTime CMTimeRange::end() const {
    return CMTimeRangeGetEnd(*this);
}

std::string CMTimeRange::description() const {
    return "{" + start.description() + ", " + duration.description() + "}";
}

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration) {
    return CMTimeRange{start, duration};
}

CMTimeRange CMTimeRangeFromTimeToTime(CMTime start, CMTime end) {
    return CMTimeRange{start, CMTimeSubtract(end, start)};
}

CMTime CMTimeRangeGetEnd(CMTimeRange range) {
    if (!range.start.isValid() || !range.duration.isValid()) return kCMTimeInvalid;
    return CMTimeAdd(range.start, range.duration);
}

CMTimeRange CMTimeRangeGetIntersection(CMTimeRange lhs, CMTimeRange rhs) {
    if (!lhs.isValid() || !rhs.isValid()) return kCMTimeRangeInvalid;
    const CMTime start = CMTimeMaximum(lhs.start, rhs.start);
    const CMTime end = CMTimeMinimum(lhs.end(), rhs.end());
    if (CMTimeCompare(end, start) <= 0) return kCMTimeRangeZero;
    return CMTimeRangeFromTimeToTime(start, end);
}

CMTimeRange CMTimeRangeGetUnion(CMTimeRange lhs, CMTimeRange rhs) {
    if (!lhs.isValid() || !rhs.isValid()) return kCMTimeRangeInvalid;
    return CMTimeRangeFromTimeToTime(CMTimeMinimum(lhs.start, rhs.start),
                                     CMTimeMaximum(lhs.end(), rhs.end()));
}

bool CMTimeRangeContainsTime(CMTimeRange range, CMTime time) {
    if (!range.isValid() || !time.isValid()) return false;
    return CMTimeCompare(range.start, time) <= 0 && CMTimeCompare(time, range.end()) < 0;
}

bool CMTimeRangeContainsTimeRange(CMTimeRange range, CMTimeRange other) {
    if (!range.isValid() || !other.isValid()) return false;
    return CMTimeRangeContainsTime(range, other.start) &&
           CMTimeCompare(other.end(), range.end()) <= 0;
}

bool CMTimeRangeEqual(CMTimeRange lhs, CMTimeRange rhs) {
    return CMTimeCompare(lhs.start, rhs.start) == 0 &&
           CMTimeCompare(lhs.duration, rhs.duration) == 0;
}

}  // namespace vorlane
