#include <gtest/gtest.h>

#include "formats/mxf/MXFError.h"
#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFMetadataSet.h"
#include "formats/mxf/MXFPartitionPack.h"
#include "formats/mxf/MXFRawAccess.h"
#include "formats/mxf/MXFTestFile.h"

namespace vorlane {
namespace {

using test::Bytes;
using test::concat;
using test::keyBytes;

const std::string kUnknownKey = "06.0E.2B.34.01.01.01.01.0F.0F.0F.0F.0F.0F.0F.0F";

MXFRawAccess access(const Bytes& bytes) {
    return MXFRawAccess(FileReader::fromBuffer(bytes));
}

TEST(MXFRawAccessTest, BERLengthForms) {
    Bytes file = concat({keyBytes(kUnknownKey), Bytes{0x83, 0x00, 0x01, 0x00}, Bytes(256, 1),
                         keyBytes(kUnknownKey), Bytes{0x7F}, Bytes(127, 2), keyBytes(kUnknownKey),
                         Bytes{0x88, 0, 0, 0, 0, 0, 0, 0, 3}, Bytes(3, 3), keyBytes(kUnknownKey),
                         Bytes{0x89, 0, 0, 0, 0, 0, 0, 0, 0, 1}, Bytes(1, 4)});
    MXFRawAccess raw = access(file);
    auto first = raw.nextKLV();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->klvLength(), 256u);
    EXPECT_EQ(first->fileDataOffset(), 20u);
    EXPECT_EQ(first->filePosition(), 0u);
    EXPECT_EQ(raw.position(), 276u);
    auto second = raw.nextKLV();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->klvLength(), 127u);
    EXPECT_EQ(second->fileDataOffset(), 17u);
    auto third = raw.nextKLV();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->klvLength(), 3u);
    EXPECT_EQ(third->fileDataOffset(), 25u);
    // Nine length bytes end the walk.
    EXPECT_EQ(raw.nextKLV(), nullptr);
    // Unknown items are skipped, not read.
    EXPECT_EQ(first->klvData(), nullptr);
    EXPECT_EQ(typeid(*first), typeid(MXFKeyLengthValue));
}

TEST(MXFRawAccessTest, LengthsPastTheEndOfTheFile) {
    // A skipped item may be cut off (a truncated recording): it is answered and the walk ends.
    Bytes file =
        concat({keyBytes(test::kPictureElementKey), Bytes{0x84, 0x7F, 0, 0, 0}, Bytes(10, 0)});
    MXFRawAccess raw = access(file);
    auto essence = raw.nextKLV();
    ASSERT_NE(essence, nullptr);
    EXPECT_EQ(essence->klvLength(), 0x7F000000u);
    EXPECT_EQ(raw.position(), file.size());
    EXPECT_EQ(raw.nextKLV(), nullptr);

    // A pack cut off cannot be parsed: no item, and nothing is allocated for its claim.
    const Bytes cut =
        concat({keyBytes(test::partitionKey(2, 4)), Bytes{0x82, 0x03, 0xE8}, Bytes(40, 0)});
    MXFRawAccess cutRaw = access(cut);
    EXPECT_EQ(cutRaw.nextKLV(), nullptr);
    EXPECT_LT(cutRaw.bytesRead(), 64u);
    // A claim no pack can have (256 TiB) makes it an unknown item that is skipped.
    const Bytes huge =
        concat({keyBytes(test::partitionKey(2, 4)),
                Bytes{0x88, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, Bytes(40, 0)});
    MXFRawAccess hugeRaw = access(huge);
    auto skipped = hugeRaw.nextKLV();
    ASSERT_NE(skipped, nullptr);
    EXPECT_EQ(typeid(*skipped), typeid(MXFKeyLengthValue));
    EXPECT_EQ(skipped->fileEndPosition(), 25u + 0xFFFFFFFFFFFFull);
    EXPECT_EQ(hugeRaw.nextKLV(), nullptr);
    EXPECT_LT(hugeRaw.bytesRead(), 64u);
}

TEST(MXFRawAccessTest, PacksShorterThanTheirFieldsRaiseTheBoundsError) {
    const Bytes file = test::klv(test::partitionKey(2, 4), Bytes(40, 0), 0);
    MXFRawAccess raw = access(file);
    EXPECT_THROW(raw.nextKLV(), MXFError);
}

// A run-in before the header partition: MXFFileStructureTest.RunInShiftsEveryPartitionOffset.
TEST(MXFRawAccessTest, WithoutAPartitionPackTheFirstItemIsTheHeader) {
    // Without a partition pack in the first 64 KiB the first item is the answer.
    const Bytes noPack = concat({test::klv(kUnknownKey, Bytes(10, 0), 0), Bytes(100, 0)});
    MXFRawAccess other = access(noPack);
    auto first = other.headerPartition();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->klvLength(), 10u);
    EXPECT_EQ(other.runInLength(), 0u);
}

TEST(MXFRawAccessTest, ReadDataAtOffsetIsBounded) {
    MXFRawAccess raw = access(Bytes{1, 2, 3, 4});
    EXPECT_EQ(raw.readDataAtOffset(1, 3), (std::vector<uint8_t>{2, 3, 4}));
    EXPECT_FALSE(raw.readDataAtOffset(1, 4));
    EXPECT_FALSE(raw.readDataAtOffset(UINT64_MAX, 2));
    raw.close();
    EXPECT_FALSE(raw.readDataAtOffset(0, 1));
    EXPECT_EQ(raw.nextKLV(), nullptr);
    EXPECT_EQ(MXFRawAccess::initWithURL("/nonexistent/file.mxf"), nullptr);
}

}  // namespace
}  // namespace vorlane
