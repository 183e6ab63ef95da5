#include <gtest/gtest.h>

#include "timecode/TcFormatter.h"

namespace vorlane {
namespace {

TEST(TcFormatter, RegroupsDigitsTypedAtTheEnd) {
    struct Row {
        const char* proposed;
        const char* original;
        bool drop;
        bool accepted, beep;
        const char* replacement;  // nullptr: taken as typed
    };
    for (const Row& row : {
             Row{"10000000", "1000000", false, true, false, "10:00:00:00"},
             Row{"1:23:45:678", "1:23:45:67", true, true, false, "12:34:56;78"},
             Row{"1234567", "123456", false, true, false, "1:23:45:67"},
             Row{"123", "12", true, true, false, "1;23"},
             Row{"12", "1", true, true, false, "12"},
             Row{"", "1", false, true, false, ""},
             Row{"-12:34", "-12:3", false, true, false, "-12:34"},
             Row{"+1.2;3", "+1.2;", true, true, false, "+1;23"},
             Row{"10:00:00:000", "10:00:00:00", false, false, false, nullptr},
             Row{"12a", "12", false, false, true, nullptr},
             Row{"12 ", "12", false, false, true, nullptr},
         }) {
        TcFormatter formatter;
        formatter.setDropFrame(row.drop);
        const std::string original = row.original;
        const TcEditAnswer answer =
            formatter.isPartialStringValid(row.proposed, original, {original.size(), 0});
        SCOPED_TRACE(row.proposed);
        EXPECT_EQ(answer.accepted, row.accepted);
        EXPECT_EQ(answer.beep, row.beep);
        EXPECT_EQ(answer.replacement.has_value(), row.replacement != nullptr);
        if (row.replacement == nullptr || !answer.replacement) continue;
        EXPECT_EQ(*answer.replacement, row.replacement);
        EXPECT_EQ(answer.replacementSelection.location, answer.replacement->size());
    }
    // An edit inside the text is taken exactly as typed.
    const TcEditAnswer inside = TcFormatter().isPartialStringValid("1:2:34", "1:2:3", {2, 0});
    EXPECT_TRUE(inside.accepted);
    EXPECT_FALSE(inside.replacement.has_value());
}

TEST(TcFormatter, FormatsAndParsesValues) {
    TcFormatter formatter;
    EXPECT_EQ(formatter.stringForObjectValue(nullptr), "");
    const auto value = TCHelper::helperWithFrameCount(1800, 30000.0 / 1001.0, true);
    EXPECT_EQ(formatter.stringForObjectValue(value.get()), "+00:01:00;02");
    EXPECT_DOUBLE_EQ(formatter.frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(formatter.dropFrame());
    const auto parsed = formatter.getObjectValue("-01:00:00;00");
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(parsed->frameCount(), -107892);
    EXPECT_TRUE(parsed->dropFrame());
    EXPECT_EQ(formatter.stringForObjectValue(parsed.get()), "-01:00:00;00");
    EXPECT_EQ(formatter.getObjectValue("00:00:00;30"), nullptr);
    EXPECT_EQ(formatter.getObjectValue("1:2:3:4:5"), nullptr);
}

}  // namespace
}  // namespace vorlane
