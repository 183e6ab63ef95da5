#include <gtest/gtest.h>

#include "platform/Text.h"

namespace vorlane {
namespace {

TEST(TextTest, FormattingHasNoLengthLimitAndCaseMappingTouchesOnlyASCIILetters) {
    const std::string name(300, 'x');
    EXPECT_EQ(formatText("%s: %d", name.c_str(), 7), name + ": 7");
    EXPECT_EQ(upperCased("Zaxcom n\xC3\xB6mad 7"), "ZAXCOM N\xC3\xB6MAD 7");
    EXPECT_EQ(lowerCased("TAKE \xC3\x96 2"), "take \xC3\x96 2");
    EXPECT_EQ(upperCasedExtension("/Day.1/A001.mOv"), "MOV");
    EXPECT_EQ(upperCasedExtension("/Day.1/README"), "");
}

}  // namespace
}  // namespace vorlane
