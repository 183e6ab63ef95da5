// What a terminal would act on is escaped; well-formed UTF-8 (and only that) passes unchanged.
#include <gtest/gtest.h>

#include "platform/Text.h"

namespace vorlane {
namespace {

TEST(PrintableTextTest, EscapesControlsAndBytesThatAreNotUTF8) {
    struct Case {
        std::string text;
        const char* printable;
        bool utf8;
    };
    for (const Case& item :
         std::vector<Case>{{"Grüße 日本 🎬", "Grüße 日本 🎬", true},
                           {"\x1b[2J\r\t\n\x7f", "\\e[2J\\r\\t\\n\\x7f", true},
                           {"\xc2\x9b"
                            "31m",
                            "\\u009b31m", true},               // C1 control sequence introducer
                           {"\xc0\xaf", "\\xc0\\xaf", false},  // overlong "/"
                           {"\xed\xa0\x80", "\\xed\\xa0\\x80", false},           // surrogate
                           {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80", false},  // past U+10FFFF
                           {"\xe6\x97", "\\xe6\\x97", false}}) {                 // cut short
        EXPECT_EQ(printableText(item.text), item.printable) << item.printable;
        EXPECT_EQ(isValidUTF8(item.text), item.utf8) << item.printable;
    }
    EXPECT_EQ(printableText("one\ntwo\x1b", true), "one\ntwo\\e");
}

}  // namespace
}  // namespace vorlane
