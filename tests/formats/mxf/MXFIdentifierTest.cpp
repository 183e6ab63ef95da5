#include <gtest/gtest.h>

#include "formats/mxf/MXFIdentifier.h"

namespace vorlane {
namespace {

TEST(MXFIdentifierTest, TextFormsAndCellsOutsideTheIdentifier) {
    // Lower-case text (as labels are often written) reads the same; short text leaves zeros.
    EXPECT_EQ(MXFIdentifier::identifierWithString("06.0e.2b.34.04.01.01.01.01.03.02.01.01.00.00.00")
                  .stringID(),
              "06.0E.2B.34.04.01.01.01.01.03.02.01.01.00.00.00");
    EXPECT_EQ(MXFIdentifier::identifierWithString("06.0E").stringID(),
              "06.0E.00.00.00.00.00.00.00.00.00.00.00.00.00.00");
    auto id =
        MXFIdentifier::identifierWithString("01.02.03.04.05.06.07.08.09.0A.0B.0C.0D.0E.0F.10");
    EXPECT_EQ(id.valueAtOffset(16), 0);
    id.setValue(0x77, 16);
    EXPECT_EQ(id.length(), 16u);
}

TEST(MXFIdentifierTest, WildcardsMatchOnEitherSideAndLengthsMustAgree) {
    const auto pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.XX.01.01.0D.01.01.01.01.XX.XX.00");
    const uint8_t key[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                             0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x3B, 0x00};
    const auto fromFile = MXFIdentifier::keyIdentifierWithData(key);
    EXPECT_TRUE(pattern.matchesIdentifier(fromFile));
    EXPECT_TRUE(fromFile.matchesIdentifier(pattern));
    EXPECT_EQ(fromFile.stringID().find("XX"), std::string::npos);

    uint8_t other[16];
    std::copy(std::begin(key), std::end(key), other);
    other[15] = 0x01;  // a byte the pattern fixes
    EXPECT_FALSE(pattern.matchesIdentifier(MXFIdentifier::keyIdentifierWithData(other)));
    // A 15-byte identifier never matches a 16-byte pattern, wildcards or not.
    EXPECT_FALSE(pattern.matchesIdentifier(
        MXFIdentifier::keyIdentifierWithData(std::span<const uint8_t>(key, 15))));
    // A wildcard on the file side matches too.
    auto wild = fromFile;
    wild.setValue(MXFIdentifier::kWildcard, 15);
    EXPECT_TRUE(wild.matchesStringUL("06.0E.2B.34.02.53.01.01.0D.01.01.01.01.01.3B.7F"));
}

}  // namespace
}  // namespace vorlane
