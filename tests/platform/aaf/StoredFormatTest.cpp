// Stored-format values against the byte layouts of the published AAF stored format, written out
// by hand: text, storage names cut to the structured-storage limit, data property values.
#include <gtest/gtest.h>

#include "platform/aaf/AAFModel.h"
#include "platform/aaf/StoredFormat.h"

namespace vorlane::aaf {
namespace {

using namespace StoredFormat;

// Property indexes, collection indexes, weak references and the referenced-property table of a
// whole document are decoded by StoredDocument in AAFFileTest; here what such a document does not
// show.
TEST(StoredFormatTest, AValueTheLengthCannotStateIsRefused) {
    Bytes index;
    EXPECT_FALSE(encodePropertyIndex({{0x4402, StoredForm::Data, Bytes(70000)}}, index));
}

TEST(StoredFormatTest, TextAndNames) {
    // UTF-16LE with a zero at the end; a character beyond the basic plane as a surrogate pair;
    // bytes that are not UTF-8 become U+FFFD.
    EXPECT_EQ(encodeString("Aé"), (Bytes{'A', 0, 0xe9, 0, 0, 0}));
    EXPECT_EQ(encodeString("\xF0\x9F\x8E\xAC"), (Bytes{0x3c, 0xd8, 0xac, 0xdf, 0, 0}));
    EXPECT_EQ(encodeString("\xff\x41"), (Bytes{0xfd, 0xff, 'A', 0, 0, 0}));
    EXPECT_EQ(encodeString("\xE2\x82"), (Bytes{0xfd, 0xff, 0xfd, 0xff, 0, 0}));

    // Too long for a collection: the middle gives way to one "-".
    EXPECT_EQ(mangledName("IdentificationList", 0x3b06, kCollectionNameLimit),
              "Identifi-ionList-3b06");
    EXPECT_EQ(elementName("Slots-4403", 26), "Slots-4403{1a}");
    EXPECT_LE(
        elementName(mangledName("ContainerDefinitions", 0x2608, kCollectionNameLimit), 0xffffffff)
            .size(),
        31u);
}

TEST(StoredFormatTest, ValuesOfDataProperties) {
    EXPECT_EQ(encodeInteger(int64_t(-2)), (Bytes{0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}));
    EXPECT_EQ(encodeTimeStamp({2024, 5, 17, 13, 4, 59, 50}),
              (Bytes{0xe8, 0x07, 5, 17, 13, 4, 59, 50}));
    const auto string = AUID{0x01100200, 0, 0, {0x06, 0x0e, 0x2b, 0x34, 1, 4, 1, 1}};
    EXPECT_EQ(encodeIndirect(string, {0x41, 0, 0, 0}),
              (Bytes{0x4c, 0x00, 0x02, 0x10, 0x01, 0, 0,    0, 0, 0x06, 0x0e,
                     0x2b, 0x34, 1,    4,    1,    1, 0x41, 0, 0, 0}));
    // A new mob ID is a basic UMID with a random material number.
    const MobID first = MobID::generate();
    EXPECT_EQ(Bytes(first.bytes.begin(), first.bytes.begin() + 13),
              (Bytes{0x06, 0x0a, 0x2b, 0x34, 1, 1, 1, 5, 1, 1, 0x0f, 0x20, 0x13}));
    EXPECT_NE(first, MobID::generate());
}

}  // namespace
}  // namespace vorlane::aaf
