// Finding partitions, header metadata and index segments in files made here, for the layouts and
// damage the real files in MXFRealFilesTest do not show: every load ends cleanly, with the log
// lines MXFFile's users see.
#include <gtest/gtest.h>

#include "formats/mxf/MXFFileStructure.h"
#include "formats/mxf/MXFTestFile.h"
#include "platform/Log.h"
#include "support/LogCapture.h"

namespace vorlane {
namespace {

using test::Bytes;
using test::MXFTestFile;

using test::LogCapture;

MXFFileStructure structureOf(const Bytes& file) {
    return MXFFileStructure(std::make_shared<MXFRawAccess>(FileReader::fromBuffer(file)));
}

std::vector<uint64_t> positions(const MXFFileStructure& structure) {
    std::vector<uint64_t> result;
    for (const auto& partition : structure.partitions())
        result.push_back(partition->filePosition());
    return result;
}

int64_t startTimecode(const MXFFileStructure& structure) {
    const auto set =
        structure.searchHeaderForIdentifier(MXFMetadataSet::identifierWithKind(MXFSetKindTimecode));
    return set ? set->valueForKey("StartTimecode")->integer().value_or(-1) : -1;
}

// An essence element of 1000 bytes with its key and a 5-byte length.
constexpr uint64_t kElement = 1021;

// Header with metadata, two body partitions of essence with their index segments in the next
// partition (the layout ffmpeg writes), footer with the last segment, random index pack.
MXFTestFile layeredFile(uint8_t headerStatus = 4) {
    MXFTestFile file;
    file.addPartition(2, headerStatus);
    file.addHeaderMetadata(90000, 25, false);
    file.addPartition(3, 4, 1, 0, 0);
    file.addEssenceElement(1000);
    file.addEssenceElement(1000);
    file.addPartition(3, 4, 1, 2 * kElement, 2);
    file.addIndexSegment({0, kElement});
    file.addEssenceElement(1000);
    file.addPartition(4, 4, 0, 0, 2);
    file.addIndexSegment({2 * kElement}, 2);
    return file;
}

TEST(MXFFileStructureTest, PartitionsBackFromTheFooterWithoutRandomIndexPack) {
    MXFTestFile builder = layeredFile();
    auto structure = structureOf(builder.finish(false));
    ASSERT_TRUE(structure.loadPartitions());
    std::vector<uint64_t> expected;
    for (const auto& partition : builder.partitions())
        expected.push_back(partition.offset);
    EXPECT_EQ(positions(structure), expected);
    EXPECT_EQ(structure.footerPartition()->partitionKind(), MXFPartitionKindFooter);
}

TEST(MXFFileStructureTest, OneSegmentOverSeveralBodyPartitions) {
    // All index entries in the footer, essence in two body partitions: only the body offsets of
    // the partitions place the second partition's elements.
    MXFTestFile builder;
    builder.addPartition(2, 4);
    builder.addHeaderMetadata(90000, 25, false);
    builder.addPartition(3, 4, 1, 0);
    builder.addEssenceElement(1000);
    builder.addPartition(3, 4, 1, kElement);
    builder.addFill(33);
    builder.addEssenceElement(1000);
    builder.addPartition(4, 4, 0, 0, 2);
    builder.addIndexSegment({0, kElement});
    auto structure = structureOf(builder.finish(true));
    ASSERT_TRUE(structure.loadPartitions());
    ASSERT_TRUE(structure.loadHeaderMetadata());
    ASSERT_TRUE(structure.loadIndexTables());
    for (const MXFIndexEntry& entry : structure.indexTables().front()->indexEntryArray()) {
        const auto offset = structure.fileOffsetOfEssence(1, entry.streamOffset);
        ASSERT_TRUE(offset);
        auto item = structure.raw()->klvAtFileOffset(*offset);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->type(), "EssenceElement: GC Picture, 1 of 1");
    }
}

TEST(MXFFileStructureTest, OpenHeaderWithClosedMetadataInTheFooter) {
    MXFTestFile builder;
    builder.addPartition(2, 1);
    builder.addHeaderMetadata(90000, 25, false, "Header Copy");
    builder.addPartition(3, 4, 1);
    builder.addEssenceElement(500);
    builder.addPartition(4, 4, 0, 0, 2);
    builder.addHeaderMetadata(107892, 30, true, "Footer Copy");
    builder.addIndexSegment({0});
    auto structure = structureOf(builder.finish(true));
    ASSERT_TRUE(structure.loadPartitions());
    ASSERT_TRUE(structure.loadHeaderMetadata());
    EXPECT_EQ(structure.metadataPartition(), structure.footerPartition());
    EXPECT_EQ(startTimecode(structure), 107892);
    const auto identification = structure.searchHeaderForIdentifier(
        MXFMetadataSet::identifierWithKind(MXFSetKindIdentification));
    EXPECT_EQ(*identification->valueForKey("CompanyName")->string(), "Footer Copy");
    // The footer's index follows its header metadata.
    ASSERT_TRUE(structure.loadIndexTables());
    EXPECT_EQ(structure.indexTables().size(), 1u);
}

TEST(MXFFileStructureTest, RunInShiftsEveryPartitionOffset) {
    for (bool withRandomIndex : {true, false}) {
        MXFTestFile builder;
        builder.addRunIn(500);
        builder.addPartition(2, 4);
        builder.addHeaderMetadata(90000, 25, false);
        builder.addPartition(3, 4, 1);
        builder.addEssenceElement(100);
        builder.addPartition(4, 4, 0, 0, 2);
        builder.addIndexSegment({0});
        auto structure = structureOf(builder.finish(withRandomIndex));
        ASSERT_TRUE(structure.loadPartitions());
        ASSERT_EQ(positions(structure), (std::vector<uint64_t>{500, builder.partitions()[1].offset,
                                                               builder.partitions()[2].offset}));
        ASSERT_TRUE(structure.loadHeaderMetadata());
        ASSERT_TRUE(structure.loadIndexTables());
        const auto& segment = structure.indexTables().front();
        EXPECT_EQ(structure.raw()->klvAtFileOffset(segment->partitionOffset())->type(),
                  "EssenceElement: GC Picture, 1 of 1");
    }
}

TEST(MXFFileStructureTest, MissingHeaderAndMissingClosedMetadataAreLogged) {
    LogCapture log;
    auto notMXF = structureOf(Bytes(1000, 0x42));
    EXPECT_FALSE(notMXF.loadPartitions());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "MXFFile: Missing Header Partition!");

    // A header that claims a previous partition is no header.
    MXFTestFile builder;
    builder.addPartition(2, 4);
    builder.addHeaderMetadata(0, 25, false);
    Bytes file = builder.finish(false);
    test::patch64(
        file,
        MXFTestFile::packFieldOffset(builder.partitions()[0], MXFTestFile::kPreviousPartition), 64);
    EXPECT_FALSE(structureOf(file).loadPartitions());

    MXFTestFile open;
    open.addPartition(2, 1);
    open.addHeaderMetadata(0, 25, false);
    open.addPartition(4, 3);
    auto structure = structureOf(open.finish(true));
    ASSERT_TRUE(structure.loadPartitions());
    EXPECT_FALSE(structure.loadHeaderMetadata());
    EXPECT_EQ(log.lines.back(),
              "MXFFile: No closed and completed MXF Partition found that contains Metadata Sets!");
    // No index segments: a silent failure.
    const size_t lines = log.lines.size();
    EXPECT_FALSE(structure.loadIndexTables());
    EXPECT_EQ(log.lines.size(), lines);
}

TEST(MXFFileStructureTest, BoundsErrorsFailTheLoadWithALogLine) {
    MXFTestFile builder;
    builder.addPartition(2, 4);
    builder.addHeaderMetadata(90000, 25, false);
    Bytes file = builder.finish(false);
    // Make the last set's last item claim more bytes than the set has.
    file[file.size() - 3] = 0x40;
    LogCapture log;
    auto structure = structureOf(file);
    ASSERT_TRUE(structure.loadPartitions());
    EXPECT_FALSE(structure.loadHeaderMetadata());
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back(), "MXFFile: MXFSeekCheck: Index with Offset would be beyond bounds");
    EXPECT_TRUE(structure.metadataSets().empty());
}

TEST(MXFFileStructureTest, PartitionLinksThatLoopOrPointBackwardsEndCleanly) {
    MXFTestFile builder = layeredFile();
    Bytes file = builder.finish(false);
    const auto& parts = builder.partitions();
    // The footer points back to the second body partition, which points forward to the footer.
    test::patch64(file, MXFTestFile::packFieldOffset(parts[2], MXFTestFile::kPreviousPartition),
                  parts[3].offset);
    auto looped = structureOf(file);
    ASSERT_TRUE(looped.loadPartitions());
    EXPECT_EQ(positions(looped),
              (std::vector<uint64_t>{parts[0].offset, parts[2].offset, parts[3].offset}));
    // A partition pointing to itself.
    test::patch64(file, MXFTestFile::packFieldOffset(parts[2], MXFTestFile::kPreviousPartition),
                  parts[2].offset);
    auto self = structureOf(file);
    ASSERT_TRUE(self.loadPartitions());
    EXPECT_EQ(self.partitions().size(), 3u);
    // A footer offset pointing at the header itself.
    test::patch64(file, MXFTestFile::packFieldOffset(parts[0], MXFTestFile::kFooterPartition),
                  parts[0].offset);
    auto header = structureOf(file);
    ASSERT_TRUE(header.loadPartitions());
    EXPECT_EQ(header.partitions().size(), 1u);
}

TEST(MXFFileStructureTest, RandomIndexEntriesOutOfOrderRepeatedOrWrong) {
    MXFTestFile builder = layeredFile();
    Bytes file = builder.finish(false);
    const auto& parts = builder.partitions();
    // Entries backwards, one twice, one past the end and one onto essence.
    const Bytes entries = test::concat({test::be32(0), test::be64(parts[3].offset),  //
                                        test::be32(1), test::be64(parts[1].offset),  //
                                        test::be32(1), test::be64(parts[1].offset),  //
                                        test::be32(1), test::be64(parts[1].offset + 200),
                                        test::be32(9), test::be64(UINT64_MAX),  //
                                        test::be32(0), test::be64(0)});
    const uint32_t packLength = uint32_t(20 + entries.size() + 4);
    file = test::concat({file, test::klv(test::kRandomIndexKey,
                                         test::concat({entries, test::be32(packLength)}), 3)});
    auto structure = structureOf(file);
    ASSERT_TRUE(structure.loadPartitions());
    EXPECT_EQ(positions(structure),
              (std::vector<uint64_t>{parts[0].offset, parts[1].offset, parts[3].offset}));

    // A trailing length that points before the file or at nonsense falls back to the header.
    Bytes wrongLength = builder.finish(true);
    wrongLength[wrongLength.size() - 1] ^= 0x40;
    auto fallback = structureOf(wrongLength);
    ASSERT_TRUE(fallback.loadPartitions());
    EXPECT_EQ(fallback.partitions().size(), 4u);
}

TEST(MXFFileStructureTest, KAGRounding) {
    MXFTestFile builder(512);
    builder.addPartition(2, 4);
    auto structure = structureOf(builder.finish(false));
    EXPECT_EQ(structure.kagRoundup(700), 700u);  // no partitions loaded yet
    ASSERT_TRUE(structure.loadPartitions());
    EXPECT_EQ(structure.kagRoundup(700), 1024u);
    EXPECT_EQ(structure.kagRoundup(1024), 1024u);
    EXPECT_EQ(structure.kagRoundup(0), 0u);
    MXFTestFile one(1);
    one.addPartition(2, 4);
    auto unaligned = structureOf(one.finish(false));
    ASSERT_TRUE(unaligned.loadPartitions());
    EXPECT_EQ(unaligned.kagRoundup(701), 701u);
}

}  // namespace
}  // namespace vorlane
