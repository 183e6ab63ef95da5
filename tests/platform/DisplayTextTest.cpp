#include <gtest/gtest.h>

#include "platform/DisplayText.h"

namespace vorlane {
namespace {

TEST(DisplayTextTest, ByteCountsInDecimalUnits) {
    for (auto [bytes, text] : {std::pair<uint64_t, const char*>{0, "Zero KB"},
                               {999, "999 bytes"},
                               {1000, "1 KB"},
                               {12'345, "12 KB"},
                               {999'999, "1.0 MB"},
                               {1'449'999, "1.4 MB"},
                               {2'345'000'000, "2.35 GB"},
                               {UINT64_MAX, "18446.74 PB"}})
        EXPECT_EQ(DisplayText::byteCountText(bytes), text) << bytes;
}

TEST(DisplayTextTest, DatesInUTCAndLocalTime) {
    const auto date = std::chrono::system_clock::from_time_t(86400 + 3723);
    EXPECT_EQ(DisplayText::dateDescription(date), "1970-01-02 01:02:03 +0000");
    EXPECT_FALSE(DisplayText::shortDateMediumTime(date).empty());
    const DisplayText::TimeOfDay clock = DisplayText::localTimeOfDay(date);
    EXPECT_EQ(clock.second, 3);  // time zones differ from UTC by whole minutes
    EXPECT_EQ((clock.minute - 2 + 60) % 15, 0);
}

}  // namespace
}  // namespace vorlane
