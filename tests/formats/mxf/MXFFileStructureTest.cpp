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

// Damaged structure: loading ends where the damage lies, with the log line MXFFile's users see.
// (Random damage is the mxf_file fuzz target's; damage in a real file MXFRealFilesTest's.)
TEST(MXFFileStructureTest, DamagedStructureEndsCleanly) {
    MXFTestFile layered = layeredFile();
    const Bytes whole = layered.finish(false);
    const auto& parts = layered.partitions();
    const auto patched = [&](size_t partition, size_t field, uint64_t value) {
        Bytes bytes = whole;
        test::patch64(bytes, MXFTestFile::packFieldOffset(parts[partition], field), value);
        return bytes;
    };
    // Random index entries backwards, one twice, one past the end and one onto essence.
    const Bytes entries = test::concat({test::be32(0), test::be64(parts[3].offset),  //
                                        test::be32(1), test::be64(parts[1].offset),  //
                                        test::be32(1), test::be64(parts[1].offset),  //
                                        test::be32(1), test::be64(parts[1].offset + 200),
                                        test::be32(9), test::be64(UINT64_MAX),  //
                                        test::be32(0), test::be64(0)});
    const Bytes wrongEntries = test::concat(
        {whole,
         test::klv(test::kRandomIndexKey,
                   test::concat({entries, test::be32(uint32_t(20 + entries.size() + 4))}), 3)});
    // A trailing random index length that points at nonsense.
    Bytes wrongLength = layeredFile().finish(true);
    wrongLength.back() ^= 0x40;
    MXFTestFile open;
    open.addPartition(2, 1);
    open.addHeaderMetadata(0, 25, false);
    open.addPartition(4, 3);
    const Bytes onlyOpen = open.finish(true);
    // The last set's last item claims more bytes than the set has.
    MXFTestFile closed;
    closed.addPartition(2, 4);
    closed.addHeaderMetadata(90000, 25, false);
    Bytes longItem = closed.finish(false);
    longItem[longItem.size() - 3] = 0x40;

    const uint64_t p0 = parts[0].offset, p1 = parts[1].offset, p2 = parts[2].offset,
                   p3 = parts[3].offset;
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<uint64_t> partitions;  // empty: the partitions do not load
        bool metadata;
        const char* lastLog;  // nullptr: not looked at
    };
    const Case cases[] = {
        {"not MXF", Bytes(1000, 0x42), {}, false, "MXFFile: Missing Header Partition!"},
        {"header claims a previous partition",
         patched(0, MXFTestFile::kPreviousPartition, 64),
         {},
         false,
         nullptr},
        {"only open partitions",
         onlyOpen,
         {0, open.partitions()[1].offset},
         false,
         "MXFFile: No closed and completed MXF Partition found that contains Metadata Sets!"},
        {"item past its set",
         longItem,
         {0},
         false,
         "MXFFile: MXFSeekCheck: Index with Offset would be beyond bounds"},
        {"footer back to a body partition that points forward",
         patched(2, MXFTestFile::kPreviousPartition, p3),
         {p0, p2, p3},
         true,
         nullptr},
        {"partition pointing to itself",
         patched(2, MXFTestFile::kPreviousPartition, p2),
         {p0, p2, p3},
         true,
         nullptr},
        {"footer offset at the header",
         patched(0, MXFTestFile::kFooterPartition, p0),
         {p0},
         true,
         nullptr},
        {"random index entries wrong", wrongEntries, {p0, p1, p3}, true, nullptr},
        {"random index length wrong", wrongLength, {p0, p1, p2, p3}, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        auto structure = structureOf(c.bytes);
        ASSERT_EQ(structure.loadPartitions(), !c.partitions.empty());
        if (!c.partitions.empty()) {
            EXPECT_EQ(positions(structure), c.partitions);
            EXPECT_EQ(structure.loadHeaderMetadata(), c.metadata);
        }
        if (c.lastLog) {
            ASSERT_FALSE(log.lines.empty());
            EXPECT_EQ(log.lines.back(), c.lastLog);
        }
    }
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
