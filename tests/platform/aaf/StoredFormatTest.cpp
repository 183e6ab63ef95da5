// The property and index streams against the byte layouts of the published AAF stored
// format, written out by hand: little-endian throughout, a property index of byte order
// 'L', version 0x20, count, (pid, stored form, length) entries and then the values; vector and
// set indexes with their free-key words; weak references by tag, key pid, key size and key; the
// referenced-properties table; storage names cut to the structured-storage limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "platform/aaf/AAFModel.h"
#include "platform/aaf/StoredFormat.h"

namespace vorlane::aaf {
namespace {

using namespace StoredFormat;

TEST(StoredFormatTest, PropertyIndexAndCollectionIndexes) {
    // Two properties of a timeline slot: SlotID 1 (UInt32) and the segment's storage name "S".
    Bytes index;
    ASSERT_TRUE(encodePropertyIndex({{0x4801, StoredForm::Data, {1, 0, 0, 0}},
                                     {0x4803, StoredForm::StrongReference, encodeString("S")}},
                                    index));
    EXPECT_EQ(index, (Bytes{0x4c, 0x20, 0x02, 0x00,              // 'L', version, count
                            0x01, 0x48, 0x82, 0x00, 0x04, 0x00,  // SlotID, data, 4 bytes
                            0x03, 0x48, 0x22, 0x00, 0x04, 0x00,  // Segment, strong, 4
                            0x01, 0x00, 0x00, 0x00, 'S',  0x00, 0x00, 0x00}));
    // A value the 16-bit length cannot state is refused.
    EXPECT_FALSE(encodePropertyIndex({{0x4402, StoredForm::Data, Bytes(70000)}}, index));

    const uint32_t keys[] = {0, 1, 2};
    EXPECT_EQ(encodeVectorIndex(keys, 3), (Bytes{3, 0, 0, 0, 3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff,
                                                 0, 0, 0, 0, 1, 0, 0, 0, 2,    0,    0,    0}));
    const Bytes key(32, 0xab);
    Bytes expectedSet = {1,    0,    0,    0,    1, 0, 0, 0,
                         0xff, 0xff, 0xff, 0xff,               // count, next, last
                         0x01, 0x44, 32,                       // key pid MobID, size
                         0,    0,    0,    0,    1, 0, 0, 0};  // local key, refs
    std::copy(key.begin(), key.end(), std::back_inserter(expectedSet));
    EXPECT_EQ(encodeSetIndex({{0, key}}, 1, Pid::MobMobID, 32), expectedSet);
}

TEST(StoredFormatTest, WeakReferencesAndTheirPaths) {
    const auto picture = DataDefID::Picture.storedBytes();
    Bytes expected = {0x02, 0x00, 0x01, 0x1b, 16};  // tag 2, key pid 0x1b01, 16 bytes
    expected.insert(expected.end(), picture.begin(), picture.end());
    EXPECT_EQ(encodeWeakReference(2, Pid::DefinitionObjectIdentification, picture), expected);
    // The picture data definition as stored: Data1-3 byte-swapped.
    EXPECT_EQ(Bytes(picture.begin(), picture.begin() + 8),
              (Bytes{0x02, 0x02, 0x03, 0x01, 0x00, 0x01, 0x00, 0x00}));

    // Two paths: 3 + 4 pids with their zeros.
    EXPECT_EQ(encodeReferencedProperties({{0x0001, 0x0003}, {0x0002, 0x3b04, 0x2605}}),
              (Bytes{0x4c, 2,    0,    7,    0,    0,    0,    0x01, 0x00, 0x03, 0x00,
                     0x00, 0x00, 0x02, 0x00, 0x04, 0x3b, 0x05, 0x26, 0x00, 0x00}));
}

TEST(StoredFormatTest, TextAndNames) {
    // UTF-16LE with a zero at the end; a character beyond the basic plane as a surrogate pair;
    // bytes that are not UTF-8 become U+FFFD.
    EXPECT_EQ(encodeString("Aé"), (Bytes{'A', 0, 0xe9, 0, 0, 0}));
    EXPECT_EQ(encodeString("\xF0\x9F\x8E\xAC"), (Bytes{0x3c, 0xd8, 0xac, 0xdf, 0, 0}));
    EXPECT_EQ(encodeString("\xff\x41"), (Bytes{0xfd, 0xff, 'A', 0, 0, 0}));
    EXPECT_EQ(encodeString("\xE2\x82"), (Bytes{0xfd, 0xff, 0xfd, 0xff, 0, 0}));

    EXPECT_EQ(mangledName("Header", 0x0002, kStorageNameLimit), "Header-2");
    EXPECT_EQ(mangledName("Mobs", 0x1901, kCollectionNameLimit), "Mobs-1901");
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
    EXPECT_EQ(encodeRational({30000, 1001}), (Bytes{0x30, 0x75, 0, 0, 0xe9, 0x03, 0, 0}));
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
