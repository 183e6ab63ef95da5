#include <gtest/gtest.h>

#include <array>

#include "platform/DateFields.h"
#include "platform/DisplayText.h"

namespace vorlane {
namespace {

TEST(DateFieldsTest, CalendarDaysAndTimesOfDayInTheLocalZoneAndAtAnOffset) {
    const auto made = DateFields{2024, 3, 9, 14, 3, 7}.localDate();
    ASSERT_TRUE(made);
    EXPECT_EQ(DisplayText::localTimeOfDay(*made).hour, 14);
    EXPECT_TRUE(DateFields({2024, 2, 29, 0, 0, 0}).localDate());
    for (auto [y, mo, d, h, mi, s] : {std::array{2023, 2, 29, 0, 0, 0},
                                      {2024, 4, 31, 0, 0, 0},
                                      {2024, 13, 1, 0, 0, 0},
                                      {2024, 1, 1, 24, 0, 0},
                                      {2024, 1, 1, 0, 60, 0},
                                      {0, 1, 1, 0, 0, 0},
                                      {9999, 12, 31, 23, 59, 59}})  // past the clock's range
        EXPECT_FALSE(DateFields({y, mo, d, h, mi, s}).localDate()) << y << "-" << mo << "-" << d;

    // 2024-05-17 08:00:02 UTC, written at +02:00; a leap second stays in its minute.
    const auto utc = DateFields{2024, 5, 17, 10, 0, 2}.dateAtUTCOffset(120);
    ASSERT_TRUE(utc);
    EXPECT_EQ(DisplayText::dateDescription(*utc), "2024-05-17 08:00:02 +0000");
    EXPECT_EQ(DisplayText::dateDescription(*DateFields{2016, 12, 31, 23, 59, 60}.dateAtUTCOffset()),
              "2016-12-31 23:59:59 +0000");
}

}  // namespace
}  // namespace vorlane
