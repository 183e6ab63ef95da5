#include <gtest/gtest.h>

#include "platform/DateFields.h"
#include "platform/DateParsing.h"

namespace vorlane {
namespace {

using DateParsing::dateWithText;
using DateParsing::ZoneWhenAbsent;

// Seconds since 1970 in UTC.
int64_t epochSeconds(const DateParsing::Date& date) {
    return std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
}

// 2024-05-17 08:00:02 UTC, as checked with `date -u -d @1715932802`.
constexpr int64_t kMay17 = 1715932802;

TEST(DateParsingTest, ZoneForms) {
    const char* texts[] = {
        "2024-05-17T10:00:02+02:00",    "2024-05-17T10:00:02+0200", "2024-05-17T10:00:02+02",
        "2024-05-17 08:00:02 +0000",    "2024-05-17T08:00:02Z",     "2024-05-17T08:00:02.250Z",
        " 2024-05-17T03:30:02-04:30\n", "2024-05-17T08:00:02",
    };
    for (const char* text : texts) {
        const auto date = dateWithText(text, ZoneWhenAbsent::UTC);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(epochSeconds(*date), kMay17) << text;
    }
    EXPECT_EQ(dateWithText("2024-05-17 08:00:02", ZoneWhenAbsent::Local),
              (DateFields{2024, 5, 17, 8, 0, 2}.localDate()));
}

TEST(DateParsingTest, RefusesBrokenTexts) {
    const char* texts[] = {
        "",
        "2024-05-17",
        "2024-13-01T00:00:00Z",
        "2023-02-29T00:00:00Z",
        "2024-04-31T00:00:00Z",
        "2024-05-17T24:00:00Z",
        "2024-05-17T10:00:02+25:00",
        "2024-05-17T10:00:02 trailing",
        "2024-05-17T10:00:02.Z",
        "24-05-17T10:00:02Z",
    };
    for (const char* text : texts)
        EXPECT_FALSE(dateWithText(text, ZoneWhenAbsent::UTC)) << text;
    EXPECT_TRUE(dateWithText("2024-02-29T00:00:00Z", ZoneWhenAbsent::UTC));
}

}  // namespace
}  // namespace vorlane
