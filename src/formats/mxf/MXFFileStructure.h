// How an MXF file is laid out, found by reading only its structure: the partitions in file order
// (through the random index pack, else from the header partition and the footer's chain of
// previous-partition offsets), the header metadata of the first closed and complete partition
// that holds some (also when the header partition is open and the footer holds it), and the index
// table segments of every partition, each with the file offset its stream offsets count from.
// MXFFile owns one and forwards its loading operations and fields to it.
//
// The loaders answer false on failure and log why; a bounds error inside an item ("MXFSeekError",
// "MXFSeekCheck") fails the load with the log line "MXFFile: <error>: <reason>".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "formats/mxf/MXFError.h"
#include "formats/mxf/MXFIdentifier.h"
#include "formats/mxf/MXFIndexTable.h"
#include "formats/mxf/MXFMetadataSet.h"
#include "formats/mxf/MXFPartitionPack.h"
#include "formats/mxf/MXFPrimerPack.h"
#include "formats/mxf/MXFRawAccess.h"

namespace vorlane {

class MXFFileStructure {
  public:
    explicit MXFFileStructure(std::shared_ptr<MXFRawAccess> raw);

    // The partition list. Fails with "MXFFile: Missing Header Partition!" when neither the random
    // index pack nor the start of the file gives a header partition.
    bool loadPartitions();
    // Header metadata of the first closed and complete partition with a header byte count: the
    // primer, every metadata set and an XML metadata document. Fails with "MXFFile: No closed and
    // completed MXF Partition found that contains Metadata Sets!" without one.
    bool loadHeaderMetadata();
    // The index table segments of all partitions; true when there is at least one.
    bool loadIndexTables();
    // A value rounded up to a multiple of the header partition's KAG size (below 2: unchanged).
    uint64_t kagRoundup(uint64_t value) const;

    const std::shared_ptr<MXFRawAccess>& raw() const { return raw_; }
    const std::vector<std::shared_ptr<MXFPartitionPack>>& partitions() const { return partitions_; }
    const std::shared_ptr<MXFPartitionPack>& headerPartition() const { return headerPartition_; }
    const std::shared_ptr<MXFPartitionPack>& footerPartition() const { return footerPartition_; }
    const std::shared_ptr<MXFPartitionPack>& firstPartitionContainingEssence() const {
        return firstPartitionContainingEssence_;
    }
    // The partition the header metadata was read from.
    const std::shared_ptr<MXFPartitionPack>& metadataPartition() const {
        return metadataPartition_;
    }
    const std::shared_ptr<MXFPrimerPack>& primerPack() const { return primerPack_; }
    // Distance from the metadata partition's pack to its primer pack.
    uint64_t primerPackOffset() const { return primerPackOffset_; }
    const std::vector<std::shared_ptr<MXFMetadataSet>>& metadataSets() const {
        return metadataSets_;
    }
    const std::vector<std::shared_ptr<MXFIndexTable>>& indexTables() const { return indexTables_; }
    // The document of an XML metadata item in the header metadata (the file's "XMLRawData").
    const MXFData& xmlRawData() const { return xmlRawData_; }

    // The first set whose "InstanceUID" matches a reference.
    std::shared_ptr<MXFMetadataSet> findMetadataSetWithIdentifier(
        const MXFIdentifier& reference) const;
    // The first set whose "PackageUID" matches a package ID.
    std::shared_ptr<MXFMetadataSet> findPackageWithIdentifier(const MXFIdentifier& packageID) const;
    // The first set whose key matches a pattern (MXFMetadataSet::identifierWithKind).
    std::shared_ptr<MXFMetadataSet> searchHeaderForIdentifier(const MXFIdentifier& pattern) const;

    // The file offset of a byte of an essence container: the body partition of that body SID
    // whose body offset is the largest not above the stream offset, from where its essence
    // starts. Right for every layout, also where one index segment covers the essence of several
    // partitions (where a segment's single partitionOffset cannot be). Nothing without such a
    // partition.
    std::optional<uint64_t> fileOffsetOfEssence(uint32_t bodySID, uint64_t streamOffset);

  private:
    bool loadPartitionsFromRandomIndex();
    bool loadPartitionsFromHeader(const std::shared_ptr<MXFKeyLengthValue>& headerItem);
    std::shared_ptr<MXFPartitionPack> partitionAt(uint64_t offset);
    // Offset after a partition's pack and the fill items that follow it: where its header
    // metadata, else its index segments, else its essence begin.
    uint64_t contentStart(const MXFPartitionPack& partition);
    // Offset where a partition's essence begins, after its header metadata and index segments.
    uint64_t essenceStart(const MXFPartitionPack& partition);
    bool failWithError(const MXFError& error);

    std::shared_ptr<MXFRawAccess> raw_;
    std::vector<std::shared_ptr<MXFPartitionPack>> partitions_;
    std::shared_ptr<MXFPartitionPack> headerPartition_;
    std::shared_ptr<MXFPartitionPack> footerPartition_;
    std::shared_ptr<MXFPartitionPack> firstPartitionContainingEssence_;
    std::shared_ptr<MXFPartitionPack> metadataPartition_;
    std::shared_ptr<MXFPrimerPack> primerPack_;
    uint64_t primerPackOffset_ = 0;
    std::vector<std::shared_ptr<MXFMetadataSet>> metadataSets_;
    std::vector<std::shared_ptr<MXFIndexTable>> indexTables_;
    MXFData xmlRawData_;
    std::map<uint64_t, uint64_t> contentStarts_;
};

}  // namespace vorlane
