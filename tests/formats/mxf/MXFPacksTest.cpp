// Partition, primer and random index packs, index table segments, essence container items and
// header metadata sets, each parsed from bytes made here.
#include <gtest/gtest.h>

#include <functional>

#include "formats/mxf/MXFError.h"
#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFIndexTable.h"
#include "formats/mxf/MXFMetadataSet.h"
#include "formats/mxf/MXFPartitionPack.h"
#include "formats/mxf/MXFPrimerPack.h"
#include "formats/mxf/MXFRandomIndexPack.h"
#include "formats/mxf/MXFTestFile.h"

namespace vorlane {
namespace {

using test::be16;
using test::be32;
using test::be64;
using test::Bytes;
using test::concat;
using test::keyBytes;
using test::localItem;

MXFData data(Bytes bytes) {
    return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

MXFIdentifier key(const std::string& text) {
    return MXFIdentifier::keyIdentifierWithStringID(text);
}

Bytes partitionValue(const std::string& operationalPattern) {
    return concat({be16(1), be16(3), be32(512), be64(0x1400), be64(0x200), be64(0x87600),
                   be64(0x1200), be64(0x100), be32(2), be64(0x1D8E00), be32(1),
                   keyBytes(operationalPattern), be32(2), be32(16),
                   keyBytes("06.0E.2B.34.04.01.01.02.0D.01.03.01.02.04.60.01"),
                   keyBytes("06.0E.2B.34.04.01.01.01.0D.01.03.01.02.06.03.00")});
}

TEST(MXFPacksTest, PartitionKeys) {
    EXPECT_TRUE(MXFPartitionPack::conformsToIdentifier(key(test::partitionKey(2, 4))));
    EXPECT_FALSE(MXFPartitionPack::conformsToIdentifier(key(test::partitionKey(5, 1))));  // primer
    EXPECT_FALSE(MXFPartitionPack::conformsToIdentifier(key(test::partitionKey(0x11, 1))));
}

TEST(MXFPacksTest, RandomIndexPackEntriesExcludeTheTrailingLength) {
    const Bytes value = concat({be32(0), be64(0), be32(1), be64(0x1400), be32(44)});
    ASSERT_EQ(value.size(), 28u);
    const MXFRandomIndexPack pack(key(test::kRandomIndexKey), data(value));
    ASSERT_EQ(pack.indexArray().size(), 2u);
    EXPECT_EQ(pack.indexArray()[1].bodySID, 1u);
    EXPECT_EQ(pack.indexArray()[1].byteOffset, 0x1400u);
    // A partial entry at the end and a value shorter than the length field give what fits.
    EXPECT_EQ(
        MXFRandomIndexPack(key(test::kRandomIndexKey), data(Bytes(23, 0))).indexArray().size(), 1u);
    EXPECT_TRUE(
        MXFRandomIndexPack(key(test::kRandomIndexKey), data(Bytes(3, 0))).indexArray().empty());
}

TEST(MXFPacksTest, IndexTableSegmentWithSlicesAndUnknownTags) {
    // Slice count 1 comes before the entries, so each entry carries one slice offset; a 20-byte
    // entry size leaves 5 bytes per entry to skip; tag 0x3F0E comes too late to count.
    const Bytes entries =
        concat({be32(2), be32(20),                                           //
                Bytes{0xFF, 0, 0xC0}, be64(0), be32(0x100), Bytes(5, 0xEE),  //
                Bytes{0x01, 0xFE, 0x22}, be64(0x3000), be32(0x200), Bytes(5, 0xEE)});
    const Bytes value = concat(
        {localItem(0x3C0A, Bytes(16, 0x33)), localItem(0x3F0B, concat({be32(30000), be32(1001)})),
         localItem(0x3F0C, be64(10)), localItem(0x3F0D, be64(2)), localItem(0x3F05, be32(0)),
         localItem(0x3F06, be32(2)), localItem(0x3F07, be32(1)), localItem(0x3F08, Bytes{1}),
         localItem(0x9999, Bytes{1, 2, 3}),
         localItem(0x3F09,
                   concat({be32(2), be32(6), Bytes{0, 0}, be32(0), Bytes{0xFF, 1}, be32(0x44)})),
         localItem(0x3F0A, entries), localItem(0x3F0E, Bytes{3})});
    const MXFIndexTable segment(key(test::kIndexSegmentKey), data(value));
    EXPECT_EQ(segment.indexEditRate(), MXFRational::rationalWithNumerator(30000, 1001));
    EXPECT_EQ(segment.indexStartPosition(), 10);
    EXPECT_EQ(segment.indexDuration(), 2);
    EXPECT_EQ(segment.indexSID(), 2u);
    EXPECT_EQ(segment.bodySID(), 1u);
    EXPECT_EQ(segment.sliceCount(), 1);
    EXPECT_EQ(segment.posTableCount(), 3);
    ASSERT_EQ(segment.deltaEntryArray().size(), 2u);
    EXPECT_EQ(segment.deltaEntryArray()[1].posTableIndex, -1);
    EXPECT_EQ(segment.deltaEntryArray()[1].slice, 1);
    EXPECT_EQ(segment.deltaEntryArray()[1].elementDelta, 0x44u);
    ASSERT_EQ(segment.indexEntryArray().size(), 2u);
    const MXFIndexEntry& second = segment.indexEntryArray()[1];
    EXPECT_EQ(second.temporalOffset, 1);
    EXPECT_EQ(second.keyFrameOffset, -2);
    EXPECT_EQ(second.flags, 0x22);
    EXPECT_EQ(second.streamOffset, 0x3000u);
    EXPECT_EQ(second.sliceOffsetTable, std::vector<uint32_t>{0x200});
    EXPECT_TRUE(second.posTable.empty());
}

// Avid gives an entry array longer than 16 bits can say the length 0xFFFF; its header counts.
TEST(MXFPacksTest, AvidEntryArrayPastTheItemLength) {
    Bytes entries = concat({be32(6000), be32(11)});
    for (uint64_t i = 0; i < 6000; ++i) {
        const Bytes entry = concat({Bytes{0, 0, 0x80}, be64(i * 1000)});
        entries.insert(entries.end(), entry.begin(), entry.end());
    }
    const Bytes value = concat({localItem(0x3F06, be32(2)), be16(0x3F0A), be16(0xFFFF), entries});
    const MXFIndexTable segment(key(test::kIndexSegmentKey), data(value));
    EXPECT_EQ(segment.indexSID(), 2u);
    ASSERT_EQ(segment.indexEntryArray().size(), 6000u);
    EXPECT_EQ(segment.indexEntryArray().back().streamOffset, 5999000u);
}

TEST(MXFPacksTest, EssenceElementKeysTellTheTrack) {
    const MXFEssenceElement sound(key("06.0E.2B.34.01.02.01.01.0D.01.03.01.16.02.01.01"), 4000);
    EXPECT_EQ(sound.trackNumber(), 0x16020101u);
    EXPECT_EQ(sound.klvLength(), 4000u);
    EXPECT_TRUE(MXFSystemElement::conformsToIdentifier(
        key("06.0E.2B.34.02.43.01.01.0D.01.03.01.04.01.02.02")));
    EXPECT_FALSE(MXFEssenceElement::conformsToIdentifier(
        key("06.0E.2B.34.02.43.01.01.0D.01.03.01.04.01.02.02")));
}

TEST(MXFPacksTest, XMLMetadataStartsAtItsDeclaration) {
    const std::string document = "<?xml version=\"1.0\"?><NonRealTimeMeta/>";
    Bytes value = {0, 0, 0, 42};
    value.insert(value.end(), document.begin(), document.end());
    const MXFXMLMetadata sony(key("06.0E.2B.34.02.53.01.01.0D.01.04.01.04.02.02.00"), data(value));
    EXPECT_EQ(std::string(sony.xmlData()->begin(), sony.xmlData()->end()), document);
    // The other key keeps the value as it is.
    const MXFXMLMetadata plain(key("06.0E.2B.34.01.01.01.05.03.01.02.20.01.01.01.00"), data(value));
    EXPECT_EQ(plain.xmlData()->size(), value.size());
}

TEST(MXFPacksTest, MetadataSetPropertiesByStaticTag) {
    const Bytes value = concat(
        {localItem(0x3C0A, Bytes(16, 0x11)), localItem(0x1501, be64(2157750)),
         localItem(0x1502, be16(25)), localItem(0x1503, Bytes{0}),
         localItem(0x4B01, concat({be32(25), be32(1)})), localItem(0x4402, test::utf16("Clip 1")),
         localItem(0x3B06, concat({be32(2), be32(16), Bytes(16, 0x21), Bytes(16, 0x22)})),
         localItem(0x3401, Bytes{'Y', 8, 'U', 8, 'V', 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         localItem(0xFF01, Bytes{9, 9}), localItem(0x3D10, concat({be32(0), be32(1)}))});
    const MXFMetadataSet timecode(key(test::setKey(0x14)), data(value));
    EXPECT_EQ(timecode.kind(), MXFSetKindTimecode);
    EXPECT_EQ(timecode.valueForKey("StartTimecode")->integer(), 2157750);
    EXPECT_EQ(timecode.valueForKey("RoundedTimecodeBase")->integer(), 25);
    EXPECT_EQ(*timecode.valueForKey("Name")->string(), "Clip 1");
    const MXFValueList* refs = timecode.valueForKey("Identifications")->list();
    ASSERT_NE(refs, nullptr);
    ASSERT_EQ(refs->size(), 2u);
    EXPECT_EQ((*refs)[1].identifier()->typeString(), "StrongRef");
    EXPECT_EQ(*timecode.valueForKey("PixelLayout")->string(), "Y8U8V8");
    EXPECT_EQ(*timecode.valueForKey("unkown Tag FF01")->string(), "?");
    EXPECT_EQ(timecode.valueForKey("ChannelStatusMode"), nullptr);  // empty batch: no list
}

// Values that claim more than they hold raise the bounds error instead of reading on. Pack
// fields of whole files are checked against mediainfo in MXFRealFilesTest.
TEST(MXFPacksTest, ClaimsBeyondTheValueAreRefused) {
    Bytes shortPartition = partitionValue("06.0E.2B.34.04.01.01.01.0D.01.02.01.01.01.09.00");
    shortPartition.resize(60);
    const Bytes primerCount = concat({be32(200), be32(18), be16(0x3C0A), Bytes(16, 6)});
    // 1000 index entries claimed in an item that holds one; an item length past the value.
    const Bytes entries = localItem(0x3F0A, concat({be32(1000), be32(11), Bytes(11, 0)}));
    Bytes cutItem = localItem(0x3F0D, be64(5));
    cutItem.pop_back();
    // A 2-byte item for a 4-byte property would read into the next tag.
    const Bytes shortItem = concat({localItem(0x4801, be16(7)), localItem(0x4804, be32(9))});
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"partition",
         [&] { MXFPartitionPack(key(test::partitionKey(2, 4)), data(shortPartition)); }},
        {"primer", [&] { MXFPrimerPack(key(test::kPrimerKey), data(primerCount)); }},
        {"index entries", [&] { MXFIndexTable(key(test::kIndexSegmentKey), data(entries)); }},
        {"index item", [&] { MXFIndexTable(key(test::kIndexSegmentKey), data(cutItem)); }},
        {"set item", [&] { MXFMetadataSet(key(test::setKey(0x3B)), data(shortItem)); }},
    };
    for (const auto& [name, parse] : cases)
        EXPECT_THROW(parse(), MXFError) << name;
    // An item longer than its property is skipped as a whole.
    const Bytes longItem = concat({localItem(0x4801, be64(7)), localItem(0x4804, be32(9))});
    const MXFMetadataSet track(key(test::setKey(0x3B)), data(longItem));
    EXPECT_EQ(track.valueForKey("TrackID")->integer(), 0);
    EXPECT_EQ(track.valueForKey("TrackNumber")->integer(), 9);
}

}  // namespace
}  // namespace vorlane
