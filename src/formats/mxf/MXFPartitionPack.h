// A partition pack: the start of a header, body or footer partition, with the offsets of its
// neighbours, the byte counts of the header metadata and index segments that follow it, the
// stream IDs of its index and essence, the operational pattern and the essence container labels.
#pragma once

#include <vector>

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

enum MXFPartitionKind : uint8_t {
    MXFPartitionKindHeader = 2,
    MXFPartitionKindBody = 3,
    MXFPartitionKindFooter = 4,
};

enum MXFPartitionStatus : uint8_t {
    MXFPartitionStatusOpenIncomplete = 1,
    MXFPartitionStatusClosedIncomplete = 2,
    MXFPartitionStatusOpenComplete = 3,
    MXFPartitionStatusClosedComplete = 4,
};

class MXFPartitionPack : public MXFKeyLengthValue {
  public:
    // Parses the value and releases it; raises the bounds errors on a short value.
    MXFPartitionPack(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    // The pattern with byte 13 = 2, 3 or 4.
    static bool conformsToIdentifier(const MXFIdentifier& key);
    // The key of a partition of that kind and status (status 0 leaves byte 14 a wildcard).
    static MXFIdentifier identifierWithKind(uint8_t kind, uint8_t status);

    uint8_t partitionKind() const { return uint8_t(identifier().valueAtOffset(13)); }
    uint8_t partitionStatus() const { return uint8_t(identifier().valueAtOffset(14)); }
    // "Header Partition", ... (the operations `parttitionKindString` and `parttitionStatusString`).
    std::string parttitionKindString() const;
    std::string parttitionStatusString() const;
    bool isClosedAndComplete() const {
        return partitionStatus() == MXFPartitionStatusClosedComplete;
    }

    uint16_t majorVersion() const { return majorVersion_; }
    uint16_t minorVersion() const { return minorVersion_; }
    uint32_t kagSize() const { return kagSize_; }
    uint64_t thisPartition() const { return thisPartition_; }
    uint64_t previousPartition() const { return previousPartition_; }
    uint64_t footerPartition() const { return footerPartition_; }
    void setFooterPartition(uint64_t offset) { footerPartition_ = offset; }
    uint64_t headerByteCount() const { return headerByteCount_; }
    uint64_t indexByteCount() const { return indexByteCount_; }
    uint32_t indexSID() const { return indexSID_; }
    uint64_t bodyOffset() const { return bodyOffset_; }
    uint32_t bodySID() const { return bodySID_; }
    const MXFIdentifier& operationalPattern() const { return operationalPattern_; }
    const std::vector<MXFIdentifier>& essenceContainers() const { return essenceContainers_; }
    // "OP-1a", "OP-2b", or "OP Atom".
    std::string operationalPatternString() const;

    std::string type() const override;
    std::string description() const override;

  private:
    uint16_t majorVersion_ = 0;
    uint16_t minorVersion_ = 0;
    uint32_t kagSize_ = 0;
    uint64_t thisPartition_ = 0;
    uint64_t previousPartition_ = 0;
    uint64_t footerPartition_ = 0;
    uint64_t headerByteCount_ = 0;
    uint64_t indexByteCount_ = 0;
    uint32_t indexSID_ = 0;
    uint64_t bodyOffset_ = 0;
    uint32_t bodySID_ = 0;
    MXFIdentifier operationalPattern_;
    std::vector<MXFIdentifier> essenceContainers_;
};

}  // namespace vorlane
