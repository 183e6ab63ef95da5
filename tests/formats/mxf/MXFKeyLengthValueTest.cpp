#include <gtest/gtest.h>

#include <chrono>

#include "formats/mxf/MXFError.h"
#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {
namespace {

MXFKeyLengthValue item(std::vector<uint8_t> value,
                       const std::string& key = "06.0E.2B.34.01.01.01.01.01.01.01.01.01.01.01.01") {
    return MXFKeyLengthValue(MXFIdentifier::keyIdentifierWithStringID(key),
                             std::make_shared<const std::vector<uint8_t>>(std::move(value)));
}

// The name of the error a call raises, or "" when it raises none.
template <typename F>
std::string errorName(F&& call) {
    try {
        call();
    } catch (const MXFError& error) {
        return error.name();
    }
    return "";
}

TEST(MXFKeyLengthValueTest, ReadsAndSeeksPastTheValueRaiseTheNamedErrors) {
    auto klv = item({1, 2, 3});
    klv.seekAbsolute(3);  // the end itself is allowed
    EXPECT_TRUE(klv.reachedEnd());
    EXPECT_EQ(errorName([&] { klv.seekAbsolute(4); }), "MXFSeekError");
    klv.seekAbsolute(1);
    EXPECT_EQ(errorName([&] { klv.uint32Value(); }), "MXFSeekCheck");
    EXPECT_EQ(klv.dataLocation(), 1u);  // a refused read leaves the cursor
    EXPECT_EQ(errorName([&] { klv.seekRelative(-2); }), "MXFSeekError");
    EXPECT_EQ(errorName([&] { klv.seekRelative(INT64_MAX); }), "MXFSeekError");
    klv.seekRelative(-1);
    EXPECT_EQ(klv.dataLocation(), 0u);
    EXPECT_EQ(errorName([&] { klv.rawBytesOfLength(UINT64_MAX); }), "MXFSeekCheck");
    try {
        klv.seekRelativeCheck(4);
        FAIL() << "a check past the end raises";
    } catch (const MXFError& error) {
        EXPECT_EQ(error.reason(), "Index with Offset would be beyond bounds");
    }

    // An item built from its length only has no bytes to read.
    MXFKeyLengthValue empty(MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34"), 1000);
    EXPECT_EQ(empty.klvLength(), 1000u);
    EXPECT_EQ(errorName([&] { empty.uint8Value(); }), "MXFSeekCheck");
}

TEST(MXFKeyLengthValueTest, PropertyTypesOfTheTagTables) {
    auto klv = item({0x05, 0xFB, 0x00, 0x03, 0xFF, 0xFD, 0x00, 0x00, 0x00, 0x19, 0xFF, 0xFF,
                     0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x03, 0xE9});
    EXPECT_EQ(klv.readDataOfType(MXFTypeUInt8), MXFValue(uint64_t(5)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeInt8), MXFValue(int64_t(-5)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeUInt16), MXFValue(uint64_t(3)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeInt16), MXFValue(int64_t(-3)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeUInt32Count), MXFValue(uint64_t(25)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeInt32), MXFValue(int64_t(-1)));
    EXPECT_EQ(klv.readDataOfType(MXFTypeBoolean), MXFValue(true));
    EXPECT_EQ(klv.readDataOfType(MXFTypeBoolean), MXFValue(false));
    const MXFValue rate = klv.readDataOfType(MXFTypeRational);
    ASSERT_NE(rate.rational(), nullptr);
    EXPECT_EQ(rate.rational()->numerator, 30000);
    EXPECT_EQ(rate.rational()->denominator, 1001);
    EXPECT_NEAR(rate.rational()->doubleValue(), 29.97, 0.001);
    EXPECT_EQ(MXFRational::rationalWithNumerator(1, 0).doubleValue(), 0.0);

    auto ids = item({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const MXFValue umid = ids.readDataOfType(MXFTypePackageID, 4);
    ASSERT_NE(umid.identifier(), nullptr);
    EXPECT_EQ(umid.identifier()->description(), "UMID:01.02.03.04");
    EXPECT_EQ(ids.readDataOfType(MXFTypeWeakRef, 2).identifier()->typeString(), "WeakRef");
    // Unknown types skip the given length.
    EXPECT_EQ(ids.readDataOfType(23, 3), MXFValue("?"));
    EXPECT_EQ(ids.dataLocation(), 9u);
    EXPECT_EQ(ids.readDataOfType(MXFTypeRawBytes, 1), MXFValue(MetadataBytes{10}));
}

TEST(MXFKeyLengthValueTest, TimestampsBecomeDatesAndImpossibleOnesNoValue) {
    auto klv = item({0x07, 0xE8, 5, 17, 9, 30, 15, 200, 0,    0,    0, 0, 0, 0,  0, 0,
                     0x07, 0xE8, 2, 30, 0, 0,  0,  0,   0x0E, 0x2B, 1, 2, 4, 52, 0, 0});
    const MXFValue date = klv.timestamp();
    ASSERT_NE(date.date(), nullptr);
    using namespace std::chrono;
    EXPECT_EQ(*date.date(), sys_days(year(2024) / 5 / 17) + hours(9) + minutes(30) + seconds(15));
    EXPECT_TRUE(klv.timestamp().isNull());  // all zero: unknown
    EXPECT_TRUE(klv.timestamp().isNull());  // 30 February
    EXPECT_TRUE(klv.timestamp().isNull());  // the year 3627, beyond the clock
    EXPECT_TRUE(klv.reachedEnd());
}

TEST(MXFKeyLengthValueTest, TextStopsAtItsTerminator) {
    // "Ab" + U+1F3AC (a surrogate pair) + NUL + junk.
    auto text = item({0x00, 'A', 0x00, 'b', 0xD8, 0x3C, 0xDF, 0xAC, 0x00, 0x00, 0x00, 'x'});
    EXPECT_EQ(text.utf16StringWithLength(12), "Ab\xF0\x9F\x8E\xAC");
    EXPECT_TRUE(text.reachedEnd());
}

TEST(MXFKeyLengthValueTest, BatchesAreCheckedBeforeAnythingIsAllocated) {
    auto empty = item({0, 0, 0, 0, 0, 0, 0, 16, 0xAA});
    EXPECT_TRUE(empty.readArrayOfDataWithType(MXFTypeUL, 9).isNull());
    EXPECT_EQ(empty.dataLocation(), 8u);  // a count of 0 consumes the batch header only

    auto two = item({0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF9});
    const MXFValue values = two.readArrayOfDataWithType(MXFTypeInt32, 16);
    ASSERT_NE(values.list(), nullptr);
    EXPECT_EQ(*values.list(), (MXFValueList{MXFValue(int64_t(7)), MXFValue(int64_t(-7))}));

    // Four billion 16-byte labels claimed in 24 bytes.
    auto huge = item({0xFF, 0xFF, 0xFF, 0xFF, 0, 0,  0,  16, 1,  2,  3,  4,
                      5,    6,    7,    8,    9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(errorName([&] { huge.readArrayOfDataWithType(MXFTypeUL, 24); }), "MXFSeekCheck");
    // Zero-size elements cannot be counted off a value.
    auto zero = item({0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
    EXPECT_EQ(errorName([&] { zero.readArrayOfDataWithType(MXFTypeRawBytes, 8); }), "MXFSeekCheck");
    // Elements wider than their type are skipped as a whole.
    auto wide = item({0, 0, 0, 2, 0, 0, 0, 3, 0x11, 0xEE, 0xEE, 0x22, 0xEE, 0xEE});
    EXPECT_EQ(*wide.readArrayOfDataWithType(MXFTypeUInt8, 14).list(),
              (MXFValueList{MXFValue(uint64_t(0x11)), MXFValue(uint64_t(0x22))}));
    EXPECT_TRUE(wide.reachedEnd());
}

TEST(MXFKeyLengthValueTest, SubReadersStayInsideTheirBytes) {
    auto klv = item({1, 2, 3, 4, 5});
    klv.uint8Value();
    MXFDataReader inner = klv.subReader(2);
    EXPECT_EQ(klv.dataLocation(), 3u);
    EXPECT_EQ(inner.uint16Value(), 0x0203);
    EXPECT_EQ(errorName([&] { inner.uint8Value(); }), "MXFSeekCheck");
    EXPECT_EQ(errorName([&] { klv.subReader(3); }), "MXFSeekCheck");
}

}  // namespace
}  // namespace vorlane
