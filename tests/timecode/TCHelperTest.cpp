#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr double k23976 = 24000.0 / 1001.0;
constexpr double k2997 = 30000.0 / 1001.0;
constexpr double k5994 = 60000.0 / 1001.0;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(TCHelperConstants, DerivedFromRateAndDropFlag) {
    struct Row {
        double rate;
        bool drop;
        uint64_t dropCount, perMinute, per10Minutes, per24h;
    };
    for (const Row& row :
         {Row{k2997, true, 2, 1798, 17982, 2589408}, Row{k5994, true, 4, 3596, 35964, 5178816},
          Row{k23976, true, 2, 1438, 14382, 2071008}, Row{25, false, 0, 0, 0, 2160000},
          Row{k2997, false, 0, 0, 0, 2592000}, Row{0, true, 0, 0, 0, 86400}}) {
        const TCHelper value(row.rate, row.drop);
        SCOPED_TRACE(row.rate);
        EXPECT_EQ(value.dropFrame(), row.drop && row.rate != 0);
        EXPECT_EQ(value.dropFrameCount(), row.dropCount);
        EXPECT_EQ(value.framesPerMinute(), row.perMinute);
        EXPECT_EQ(value.framesPer10Minute(), row.per10Minutes);
        EXPECT_EQ(value.framesPer24h(), row.per24h);
    }
    EXPECT_EQ(TCHelper(0, false).roundedFrameRate(), 1.0);
    EXPECT_EQ(TCHelper(k2997, true).frameDuration(), CMTimeMake(1001, 30000));
    EXPECT_EQ(TCHelper(25, false).frameDuration().timescale, 25);
    EXPECT_EQ(TCHelper(12.5, false).preciseFrameDuration().timescale, 12500);
    EXPECT_TRUE(TCHelper(29.97, false).isNTSC());
    EXPECT_FALSE(TCHelper(30, false).isNTSC());
    // Rates that cannot count frames fall back to seconds.
    for (double bad : {std::nan(""), -25.0, 0.3, 1e9, HUGE_VAL}) {
        EXPECT_EQ(TCHelper(bad, true).frameRate(), 0.0);
        EXPECT_EQ(TCHelper(bad, true).timecodeString(0), "00:00:00.000");
    }
}

// Every real frame of a day prints a label later than the one before, parses back to its
// count, and its label count read back through dropFrameTime() is its time again.
struct DayCase {
    const char* name;
    double rate;
    bool drop;
    const char* lastLabel;
};

void PrintTo(const DayCase& day, std::ostream* out) {
    *out << day.name;
}

class TCHelperWholeDay : public testing::TestWithParam<DayCase> {};

TEST_P(TCHelperWholeDay, EveryFramePrintsAndParsesBack) {
    const DayCase& day = GetParam();
    TCHelper value(day.rate, day.drop), parsed(day.rate, day.drop);
    TCHelper labels(day.rate, false), asLabels(day.rate, day.drop);
    std::string previous;
    const auto frames = static_cast<int64_t>(value.framesPer24h());
    for (int64_t count = 0; count < frames; ++count) {
        value.setFrameCount(count);
        const std::string text = value.timecodeString(TCOptionNone);
        ASSERT_LT(previous, text) << count;
        ASSERT_TRUE(parsed.setTimecodeString(text)) << text;
        ASSERT_EQ(parsed.frameCount(), count) << text;
        if (day.drop) {
            ASSERT_TRUE(labels.setTimecodeString(text));
            asLabels.setFrameCount(labels.frameCount());
            ASSERT_EQ(asLabels.dropFrameTime(), value.time()) << text;
        }
        previous = text;
    }
    EXPECT_EQ(previous, day.lastLabel);
    value.setFrameCount(frames);
    EXPECT_EQ(value.timecodeString(TCOptionWrap24h), day.drop ? "00:00:00;00" : "00:00:00:00");
}

INSTANTIATE_TEST_SUITE_P(Rates, TCHelperWholeDay,
                         testing::Values(DayCase{"23976", k23976, false, "23:59:59:23"},
                                         DayCase{"24", 24, false, "23:59:59:23"},
                                         DayCase{"25", 25, false, "23:59:59:24"},
                                         DayCase{"2997DF", k2997, true, "23:59:59;29"},
                                         DayCase{"2997", k2997, false, "23:59:59:29"},
                                         DayCase{"30", 30, false, "23:59:59:29"},
                                         DayCase{"50", 50, false, "23:59:59:49"},
                                         DayCase{"5994DF", k5994, true, "23:59:59;59"},
                                         DayCase{"60", 60, false, "23:59:59:59"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TCHelperText, FrameRateMode) {
    struct Row {
        double rate;
        bool drop;
        int64_t count;
        uint32_t options;
        const char* text;
    };
    for (const Row& row : {
             Row{k2997, true, 1800, 0, "00:01:00;02"},
             Row{k2997, true, 17982, 0, "00:10:00;00"},
             Row{k2997, true, 17981, 0, "00:09:59;29"},
             Row{k2997, true, 107892, TCOptionUniformSeparators, "01;00;00;00"},
             Row{25, false, -25, 0, "00:00:00:00"},
             Row{25, false, -25, TCOptionAllowNegative, "-00:00:01:00"},
             Row{25, false, -25, TCOptionWrap24h, "23:59:59:00"},
             Row{25, false, 25 * 3600 * 25, 0, "25:00:00:00"},
             Row{25, false, 25 * 3600 * 25, TCOptionWrap24h, "01:00:00:00"},
             Row{25, false, 900000, TCOptionPlusSign, "+10:00:00:00"},
             Row{25, false, -40, TCOptionAllowNegative | TCOptionPlusSign, "-00:00:01:15"},
             Row{25, false, 25 * 3600 * 150, 0, "150:00:00:00"},
             Row{25, false, kMax, TCOptionAllowNegative, "102481911520608:37:12:07"},
             Row{25, false, -kMax, TCOptionAllowNegative, "-102481911520608:37:12:07"},
         }) {
        EXPECT_EQ(TCHelper::helperWithFrameCount(row.count, row.rate, row.drop)
                      ->timecodeString(row.options),
                  row.text);
    }
    const auto value = TCHelper::helperWithFrameCount(100, 25, false);
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(CMTimeMake(-1, 1), 0), "00:00:03:00");
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(kCMTimeInvalid, 0), "Invalid Offset Time");
    EXPECT_EQ(TCHelper::timecodeStringWithTime(CMTimeMake(3600, 1), k2997, true, 0), "01:00:00;00");
    EXPECT_EQ(TCHelper::timecodeStringWithTime(CMTimeMake(1, 2), *value, 0), "00:00:00:13");
}

TEST(TCHelperText, SecondsMode) {
    const auto value = TCHelper::helperWithTime(CMTimeMake(6525, 100));
    EXPECT_EQ(value->timecodeString(0), "00:01:05.250");
    EXPECT_EQ(value->timecodeString(TCOptionPlusSign), "+00:01:05.250");
    EXPECT_EQ(value->frameRateString(), "fps not set");
    EXPECT_EQ(value->frameCount(), 0);
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(CMTimeMake(-70, 1), 0), "00:00:00.000");
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(CMTimeMake(-70, 1), TCOptionAllowNegative),
              "-00:00:04.750");
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(CMTimeMake(90000, 1), TCOptionWrap24h),
              "01:01:05.250");
    EXPECT_EQ(value->timecodeStringWithDisplayOffset(kCMTimeInvalid, 0), "Invalid Offset Time");
    TCHelper parsed(0, false);
    EXPECT_TRUE(parsed.setTimecodeString("00:01:05.250"));
    EXPECT_EQ(parsed.time(), CMTimeMake(6525, 100));
    EXPECT_TRUE(parsed.setTimecodeString("-1:30.5"));
    EXPECT_EQ(parsed.time(), CMTimeMake(-905, 10));
    EXPECT_FALSE(parsed.setTimecodeString("1:00:00:00"));
    EXPECT_EQ(parsed.time(), CMTimeMake(-905, 10));
}

TEST(TCHelperParsing, FieldsRangesAndDropLabels) {
    struct Row {
        double rate;
        bool drop;
        const char* text;
        bool ok;
        int64_t count;
    };
    for (const Row& row : {
             Row{25, false, "5", true, 5},
             Row{25, false, "", true, 0},
             Row{25, false, "1:2:3:4:5", false, 0},
             Row{25, false, "00:60:00:00", false, 0},
             Row{25, false, "00:00:60:00", false, 0},
             Row{25, false, "100:00:00:00", false, 0},
             Row{25, false, "00:00:00:25", false, 0},
             Row{25, false, "99:59:59:24", true, 8999999},
             Row{25, false, "-00:00:01:00", true, -25},
             Row{25, false, " +1:-2", true, 27},
             Row{25, false, "1;2:3;4", true, 93079},
             Row{25, false, "12abc:05x", true, 305},
             Row{25, false, "99999999999999999999999999", false, 0},
             Row{k2997, true, "01:00:00;00", true, 107892},
             Row{k2997, true, "00:01:00;00", true, 1798},
             Row{k2997, true, "00:01:00;01", true, 1799},
             Row{k2997, true, "00:01:00;02", true, 1800},
             Row{k2997, true, "00:10:00;00", true, 17982},
             Row{k2997, false, "01:00:00:00", true, 108000},
         }) {
        TCHelper value(row.rate, row.drop);
        value.setFrameCount(7);
        EXPECT_EQ(value.setTimecodeString(row.text), row.ok) << row.text;
        EXPECT_EQ(value.frameCount(), row.ok ? row.count : 7) << row.text;
    }
    const auto skipped = TCHelper::helperWithFrameRate(k2997, true);
    skipped->setTimecodeString("00:01:00;00");
    EXPECT_EQ(skipped->timecodeString(0), "00:00:59;28");
}

TEST(TCHelperTime, RoundingOffsetsAndExactNtscCounts) {
    // Half a frame at 25 fps under each rounding method, forward and backward.
    const CMTime half = CMTimeMake(1, 50), minusHalf = CMTimeMake(-1, 50);
    const int64_t expected[6][2] = {{1, -1}, {0, 0}, {1, -1}, {0, -1}, {1, 0}, {0, -1}};
    for (uint32_t method = 1; method <= 6; ++method) {
        const auto rounding = static_cast<CMTimeRoundingMethod>(method);
        EXPECT_EQ(TCHelper::frameCountOfTime(half, 25, rounding), expected[method - 1][0]);
        EXPECT_EQ(TCHelper::frameCountOfTime(minusHalf, 25, rounding), expected[method - 1][1]);
    }
    // Rates given as decimals count as exactly as the NTSC ratios at every frame boundary.
    for (int64_t frame : {1, 2, 1000, 107892, 2589407}) {
        EXPECT_EQ(TCHelper::frameCountOfTime(CMTimeMake(frame * 1001, 30000), 29.97), frame);
        EXPECT_EQ(TCHelper::frameCountOfTime(CMTimeMake(frame * 1001, 24000), 23.976), frame);
        EXPECT_EQ(TCHelper::frameCountOfTime(CMTimeMake(frame * 1001 - 1, 24000), k23976),
                  frame - 1);
    }
    TCHelper value(25, false);
    value.setTime(kCMTimeInvalid);
    EXPECT_EQ(value.time(), kCMTimeZero);
    value.setFrameCount(10);
    value.setOffsetTime(CMTimeMake(-1, 50));
    EXPECT_EQ(value.frameCount(), 9);
    EXPECT_EQ(value.time(), CMTimeMake(19, 50));
    EXPECT_EQ(value.timeWithoutOffset(), CMTimeMake(10, 25));
    value.setOffsetTime(kCMTimeInvalid);
    EXPECT_EQ(value.offsetTime(), CMTimeMake(-1, 50));
    // Extreme inputs saturate instead of overflowing.
    value.setFrameCount(kMax);
    EXPECT_EQ(value.frameCount(), kMax - 1);
    value.setOffsetTime(CMTimeMake(kMax, 1));
    EXPECT_EQ(value.frameCount(), kMax);
    value.setTime(CMTimeMake(kMax, 1));
    EXPECT_EQ(value.timeWithoutOffset(), CMTimeMake(kMax, 1));
    EXPECT_EQ(value.frameCount(), kMax);
    TCHelper ntsc(k5994, true);
    ntsc.setFrameCount(kMax);
    EXPECT_EQ(ntsc.frameCount(), kMax / 1001);
    ntsc.setTime(CMTimeMake(std::numeric_limits<int64_t>::min(), 7));
    EXPECT_EQ(ntsc.timecodeString(TCOptionAllowNegative)[0], '-');
}

TEST(TCHelperTime, DropFrameTimeAndRoundedTime) {
    TCHelper labels(k2997, true);
    // 16:49:59;29 as a label count (a place where counting labels as real frames goes wrong).
    labels.setFrameCount(((16 * 60 + 49) * 60 + 59) * 30 + 29);
    EXPECT_EQ(labels.dropFrameTime(), CMTimeMake(1816181 * 1001, 30000));
    labels.setFrameCount(-18000);
    EXPECT_EQ(labels.dropFrameTime(), CMTimeMake(-17982 * 1001, 30000));
    TCHelper plain(25, false);
    plain.setFrameCount(18000);
    EXPECT_EQ(plain.dropFrameTime(), CMTimeMake(18000, 25));
    EXPECT_EQ(plain.dropFrameOffsetOfCount(18000), 0u);

    EXPECT_EQ(TCHelper::quantizeTime(CMTimeMake(7, 250), 25), CMTimeMake(1, 25));
    EXPECT_EQ(TCHelper::quantizeTime(CMTimeMake(13 * 1001, 300000), k2997),
              CMTimeMake(1001, 30000));
    EXPECT_EQ(TCHelper::quantizeTime(CMTimeMake(27, 10), 0), CMTimeMake(3, 1));
    EXPECT_FALSE(TCHelper::quantizeTime(kCMTimeInvalid, 25).isValid());
    EXPECT_EQ(TCHelper::quantizeTime(CMTimeMake(1, 10), 12.5), CMTimeMake(1000, 12500));
    EXPECT_FALSE(TCHelper::timeNeedsRounding(CMTimeMake(5 * 1001, 30000), k2997));
    EXPECT_TRUE(TCHelper::timeNeedsRounding(CMTimeMake(5 * 1001 + 1, 30000), k2997));
    EXPECT_TRUE(TCHelper::timeNeedsRounding(CMTimeMake(1, 50), 25));
    EXPECT_FALSE(TCHelper::timeNeedsRounding(kCMTimeInvalid, 25));
}

TEST(TCHelperLegal, EveryOptionCombination) {
    const TCHelper value(25, false);
    const int64_t day = 2160000;
    struct Row {
        int64_t count;
        int64_t plain, wrap, negative, both;
    };
    for (const Row& row :
         {Row{-25, 0, day - 25, -25, day - 25}, Row{0, 0, 0, 0, 0},
          Row{day - 1, day - 1, day - 1, day - 1, day - 1}, Row{day + 5, day + 5, 5, day + 5, 5},
          Row{-day - 5, 0, day - 5, -day - 5, day - 5},
          Row{kMax, kMax, kMax % day, kMax, kMax % day},
          Row{-kMax - 1, 0, day - 1 - kMax % day, -kMax - 1, day - 1 - kMax % day}}) {
        const int64_t expected[4] = {row.plain, row.wrap, row.negative, row.both};
        for (uint32_t options = 0; options < 16; ++options) {
            EXPECT_EQ(value.makeCountLegal(row.count, options), expected[options & 3])
                << row.count << " options " << options;
            const CMTime time = CMTimeMake(row.count, 25);
            EXPECT_EQ(value.makeTimeLegal(time, options), CMTimeMake(expected[options & 3], 25))
                << row.count << " options " << options;
        }
    }
    EXPECT_FALSE(value.makeTimeLegal(kCMTimeInvalid, TCOptionWrap24h).isValid());
    const auto late = TCHelper::helperWithFrameCount(day + 3, 25, false);
    EXPECT_EQ(late->legalFrameCount(TCOptionWrap24h), 3);
    EXPECT_EQ(late->legalTime(TCOptionWrap24h), CMTimeMake(3, 25));
}

TEST(TCHelperRates, QuantizedFrameRate) {
    struct Row {
        double measured, expected;
    };
    for (const Row& row : {Row{23.976, k23976}, Row{29.97, k2997}, Row{59.94, k5994},
                           Row{119.88, 120000 / 1001.0}, Row{24.7, 25}, Row{25.49, 25},
                           Row{24.0001, 24}, Row{48.0, 48}, Row{30.5, 0}, Row{24.49, 0}, Row{0, 0},
                           Row{-25, 0}, Row{std::nan(""), 0}, Row{HUGE_VAL, 0}, Row{1e300, 0}}) {
        EXPECT_EQ(TCHelper::quantizedFrameRate(row.measured), row.expected) << row.measured;
    }
}

TEST(TCHelperCopies, KeepTheirSettings) {
    // A copy re-derives its count from the stored time under the default rounding.
    TCHelper rounded(25, false);
    rounded.setRoundingMethod(CMTimeRoundingMethod::RoundTowardZero);
    rounded.setTime(CMTimeMake(1, 50));
    rounded.setOffsetTime(CMTimeMake(2, 1));
    rounded.setSource("File");
    rounded.setIndex(3);
    EXPECT_EQ(rounded.frameCount(), 50);
    const auto copy = rounded.copy();
    EXPECT_EQ(copy->frameCount(), 51);
    EXPECT_EQ(copy->roundingMethod(), CMTimeRoundingMethod::RoundHalfAwayFromZero);
    EXPECT_EQ(copy->offsetTime(), CMTimeMake(2, 1));
    EXPECT_EQ(copy->source(), "File");
    EXPECT_EQ(copy->index(), 3);
    TCHelper assigned(50, true);
    assigned = rounded;
    EXPECT_EQ(assigned.frameCount(), 51);
    EXPECT_EQ(assigned.frameRate(), 25);
    EXPECT_FALSE(assigned.dropFrame());
}

}  // namespace
}  // namespace vorlane
