#include <gtest/gtest.h>

#include <random>

#include "platform/CMTime.h"

namespace vorlane {
namespace {

__extension__ typedef __int128 Int128;

// Reference rounding from floor and ceiling, a formulation independent of the implementation's
// truncating division.
Int128 floorDiv(Int128 n, Int128 d) {
    Int128 q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
    return q;
}

Int128 referenceConvert(int64_t value, int32_t from, int32_t to, CMTimeRoundingMethod method) {
    const Int128 n = Int128(value) * to;
    const Int128 d = from;
    const Int128 lower = floorDiv(n, d);
    const bool exact = lower * d == n;
    const Int128 upper = exact ? lower : lower + 1;
    const Int128 towardZero = n >= 0 ? lower : upper;
    const Int128 awayFromZero = n >= 0 ? upper : lower;
    switch (method) {
        case CMTimeRoundingMethod::RoundHalfAwayFromZero: {
            // Compare the distance to both neighbours exactly: 2·(n − lower·d) against d.
            const Int128 twiceFraction = 2 * (n - lower * d);
            if (twiceFraction > d) return upper;
            if (twiceFraction < d) return lower;
            return awayFromZero;
        }
        case CMTimeRoundingMethod::RoundTowardZero:
            return towardZero;
        case CMTimeRoundingMethod::RoundAwayFromZero:
            return awayFromZero;
        case CMTimeRoundingMethod::QuickTime:
            if (to < from) return (towardZero == 0 && n < 0) ? Int128(-1) : towardZero;
            return awayFromZero;
        case CMTimeRoundingMethod::RoundTowardPositiveInfinity:
            return upper;
        case CMTimeRoundingMethod::RoundTowardNegativeInfinity:
            return lower;
    }
    return 0;
}

constexpr CMTimeRoundingMethod kAllMethods[] = {
    CMTimeRoundingMethod::RoundHalfAwayFromZero,
    CMTimeRoundingMethod::RoundTowardZero,
    CMTimeRoundingMethod::RoundAwayFromZero,
    CMTimeRoundingMethod::QuickTime,
    CMTimeRoundingMethod::RoundTowardPositiveInfinity,
    CMTimeRoundingMethod::RoundTowardNegativeInfinity,
};

TEST(CMTimeConversion, AllRoundingMethodsAgreeWithExactReferenceOnRandomValues) {
    std::mt19937_64 rng(42);
    const int32_t commonScales[] = {1,     24,    25,    30,    600,   1000,
                                    24000, 30000, 44100, 48000, 90000, 192000};
    for (int i = 0; i < 200000; ++i) {
        const bool largeScales = i % 3 == 0;
        const int32_t from =
            largeScales ? int32_t(1 + rng() % 0x7ffffffe) : commonScales[rng() % 12];
        const int32_t to = largeScales ? int32_t(1 + rng() % 0x7ffffffe) : commonScales[rng() % 12];
        // Magnitudes that keep the result inside 64 bits.
        const int64_t limit = int64_t(1) << (i % 2 ? 30 : 60);
        int64_t value = int64_t(rng() % uint64_t(limit)) * ((rng() & 1) ? -1 : 1);
        const auto magnitude = [&] {
            const Int128 scaled = Int128(value) * to / from;
            return scaled < 0 ? -scaled : scaled;
        };
        while (magnitude() > Int128(INT64_MAX) / 2)
            value /= 2;
        const CMTimeRoundingMethod method = kAllMethods[rng() % 6];
        const CMTime converted = CMTimeConvertScale(CMTimeMake(value, from), to, method);
        ASSERT_TRUE(converted.isValid()) << value << "/" << from << " -> " << to;
        ASSERT_EQ(converted.timescale, to);
        ASSERT_TRUE(Int128(converted.value) == referenceConvert(value, from, to, method))
            << value << "/" << from << " -> " << to << " method " << int(method);
    }
}

// The values of every rounding method are checked against the reference above; here a small
// negative time, which random values seldom give, and the flag that says a conversion rounded.
TEST(CMTimeConversion, SmallNegativeTimesAndTheRoundedFlag) {
    // The QuickTime rule never rounds a negative time to zero.
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(-1, 1000), 25, CMTimeRoundingMethod::QuickTime).value,
              -1);
    const CMTime half = CMTimeMake(1, 50);  // half a unit at timescale 25
    EXPECT_TRUE(CMTimeConvertScale(half, 25, CMTimeRoundingMethod::RoundTowardZero).flags &
                kCMTimeFlags_HasBeenRounded);
    EXPECT_FALSE(
        CMTimeConvertScale(CMTimeMake(2, 50), 25, CMTimeRoundingMethod::RoundTowardZero).flags &
        kCMTimeFlags_HasBeenRounded);
}

TEST(CMTimeConversion, InvalidAndOverflowingInputGiveInvalidTimes) {
    EXPECT_FALSE(CMTimeConvertScale(kCMTimeInvalid, 25, CMTimeRoundingMethod::Default).isValid());
    EXPECT_FALSE(CMTimeConvertScale(CMTimeMake(1, 25), 0, CMTimeRoundingMethod::Default).isValid());
    EXPECT_FALSE(CMTimeConvertScale(CMTimeMake(INT64_MAX, 1), 1000, CMTimeRoundingMethod::Default)
                     .isValid());
    EXPECT_FALSE(CMTimeMake(1, 0).isValid());
    EXPECT_FALSE(CMTimeMake(1, -25).isValid());
    EXPECT_FALSE(CMTimeMakeWithSeconds(1e300, 48000).isValid());
    EXPECT_FALSE(CMTimeMakeWithSeconds(std::nan(""), 48000).isValid());
}

TEST(CMTimeArithmetic, SumsAreExactAcrossTimescales) {
    std::mt19937_64 rng(7);
    const int32_t scales[] = {24, 25, 30, 600, 24000, 30000, 48000, 44100, 90000};
    for (int i = 0; i < 50000; ++i) {
        const int32_t s1 = scales[rng() % 9], s2 = scales[rng() % 9];
        const int64_t v1 = int64_t(rng() % 2000000000) - 1000000000;
        const int64_t v2 = int64_t(rng() % 2000000000) - 1000000000;
        const CMTime a = CMTimeMake(v1, s1), b = CMTimeMake(v2, s2);
        const CMTime sum = CMTimeAdd(a, b);
        const CMTime difference = CMTimeSubtract(a, b);
        ASSERT_FALSE(sum.flags & kCMTimeFlags_HasBeenRounded);
        // (v1/s1 + v2/s2) · s1 · s2 = v1·s2 + v2·s1, checked in 128 bits.
        ASSERT_TRUE(Int128(sum.value) * s1 * s2 ==
                    (Int128(v1) * s2 + Int128(v2) * s1) * sum.timescale);
        ASSERT_TRUE(Int128(difference.value) * s1 * s2 ==
                    (Int128(v1) * s2 - Int128(v2) * s1) * difference.timescale);
        ASSERT_EQ(CMTimeCompare(CMTimeSubtract(sum, b), a), 0);
    }
}

TEST(CMTimeArithmetic, TimescalesWithoutCommonMultipleFallBackToTheLargerAndAreFlagged) {
    const CMTime a = CMTimeMake(1, 2147483629);  // a prime
    const CMTime b = CMTimeMake(1, 2147483587);  // another prime
    const CMTime sum = CMTimeAdd(a, b);
    EXPECT_TRUE(sum.isValid());
    EXPECT_EQ(sum.timescale, 2147483629);
    EXPECT_NEAR(sum.seconds(), a.seconds() + b.seconds(), 1e-9);
}

TEST(CMTimeArithmetic, MultiplyAbsoluteAndOverflow) {
    EXPECT_EQ(CMTimeMultiply(CMTimeMake(1001, 30000), 30), CMTimeMake(1001, 1000));
    EXPECT_EQ(CMTimeAbsoluteValue(CMTimeMake(-5, 25)), CMTimeMake(1, 5));
    EXPECT_FALSE(CMTimeMultiply(CMTimeMake(INT64_MAX / 2, 1), 3).isValid());
    EXPECT_FALSE(CMTimeAdd(CMTimeMake(INT64_MAX, 1), CMTimeMake(1, 1)).isValid());
    EXPECT_EQ(CMTimeMultiplyByRatio(CMTimeMake(48000, 48000), 1001, 1000),
              CMTimeMake(48048, 48000));
    EXPECT_FALSE(CMTimeAdd(kCMTimeInvalid, kCMTimeZero).isValid());
}

TEST(CMTimeComparison, ExactAcrossTimescalesWithInvalidLast) {
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 25), CMTimeMake(2, 50)), 0);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1001, 30000), CMTimeMake(1, 30)), 1);
    // Values that doubles cannot tell apart.
    EXPECT_EQ(
        CMTimeCompare(CMTimeMake(INT64_MAX, 1000000000), CMTimeMake(INT64_MAX - 1, 1000000000)), 1);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(-3, 2), CMTimeMake(-1, 1)), -1);
    EXPECT_EQ(CMTimeCompare(kCMTimeInvalid, CMTimeMake(INT64_MAX, 1)), 1);
    EXPECT_EQ(CMTimeCompare(kCMTimeInvalid, kCMTimeInvalid), 0);
    EXPECT_EQ(CMTimeMinimum(CMTimeMake(3, 25), CMTimeMake(1, 10)), CMTimeMake(1, 10));
}

TEST(CMTimeRanges, IntersectionUnionAndContainment) {
    const auto seconds = [](int64_t s) { return CMTimeMake(s, 1); };
    const CMTimeRange a = CMTimeRangeMake(seconds(0), seconds(10));
    const CMTimeRange b = CMTimeRangeMake(CMTimeMake(125, 25), seconds(10));
    EXPECT_TRUE(CMTimeRangeEqual(CMTimeRangeGetIntersection(a, b),
                                 CMTimeRangeMake(seconds(5), seconds(5))));
    EXPECT_TRUE(
        CMTimeRangeEqual(CMTimeRangeGetUnion(a, b), CMTimeRangeMake(seconds(0), seconds(15))));
    const CMTimeRange apart =
        CMTimeRangeGetIntersection(a, CMTimeRangeMake(seconds(10), seconds(1)));
    EXPECT_TRUE(apart.isValid());
    EXPECT_EQ(apart.duration, kCMTimeZero);
    EXPECT_TRUE(CMTimeRangeContainsTime(a, seconds(0)));
    EXPECT_FALSE(CMTimeRangeContainsTime(a, seconds(10)));
    EXPECT_TRUE(CMTimeRangeContainsTimeRange(a, CMTimeRangeMake(seconds(2), seconds(8))));
    EXPECT_FALSE(CMTimeRangeContainsTimeRange(a, CMTimeRangeMake(seconds(2), seconds(9))));
    EXPECT_FALSE(CMTimeRangeGetIntersection(a, kCMTimeRangeInvalid).isValid());
    EXPECT_FALSE(CMTimeRangeMake(seconds(1), seconds(-1)).isValid());
    EXPECT_EQ(kCMTimeRangeZero.end(), kCMTimeZero);
}

TEST(CMTimeConversion, SecondsToTheNearestTick) {
    EXPECT_EQ(CMTimeMakeWithSeconds(65.25, 600), CMTimeMake(39150, 600));
}

}  // namespace
}  // namespace vorlane
