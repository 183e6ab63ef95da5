// One index table segment: for a run of edit units of one essence container, either a constant
// byte count per edit unit or one entry per edit unit with its stream offset, and the delta
// entries that place each element within an edit unit.
#pragma once

#include <optional>
#include <vector>

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

struct MXFDeltaEntry {
    int8_t posTableIndex = 0;   // "PosTableIndex"
    uint8_t slice = 0;          // "Slice"
    uint32_t elementDelta = 0;  // "ElementDelta"
};

struct MXFIndexEntry {
    int8_t temporalOffset = 0;               // "TemporalOffset"
    int8_t keyFrameOffset = 0;               // "KeyFrameOffset"
    uint8_t flags = 0;                       // "Flags"
    uint64_t streamOffset = 0;               // "StreamOffset"
    std::vector<uint32_t> sliceOffsetTable;  // "SliceOffsetTable"
    std::vector<MXFRational> posTable;       // "PosTable"
};

class MXFIndexTable : public MXFKeyLengthValue {
  public:
    // Parses the local set and releases the value; raises the bounds errors when an item or an
    // entry array runs past the value.
    MXFIndexTable(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    const MXFIdentifier& instanceID() const { return instanceID_; }
    uint32_t editUnitByteCount() const { return editUnitByteCount_; }
    uint32_t indexSID() const { return indexSID_; }
    uint32_t bodySID() const { return bodySID_; }
    uint8_t sliceCount() const { return sliceCount_.value_or(0); }
    uint8_t posTableCount() const { return posTableCount_.value_or(0); }
    // Empty when the segment has none (or a batch count of 0).
    const std::vector<MXFDeltaEntry>& deltaEntryArray() const { return deltaEntryArray_; }
    const std::vector<MXFIndexEntry>& indexEntryArray() const { return indexEntryArray_; }
    MXFRational indexEditRate() const { return indexEditRate_; }
    int64_t indexStartPosition() const { return indexStartPosition_; }
    int64_t indexDuration() const { return indexDuration_; }

    // File offset that the segment's stream offsets count from; set by the file loader.
    uint64_t partitionOffset() const { return partitionOffset_; }
    void setPartitionOffset(uint64_t offset) { partitionOffset_ = offset; }

    std::string type() const override { return "IndexTableSegment"; }
    std::string description() const override;

  private:
    void readItem(uint16_t tag, MXFDataReader& item);
    void readDeltaEntries(MXFDataReader& item);
    void readIndexEntries(MXFDataReader& item);

    MXFIdentifier instanceID_;
    uint32_t editUnitByteCount_ = 0;
    uint32_t indexSID_ = 0;
    uint32_t bodySID_ = 0;
    std::optional<uint8_t> sliceCount_;
    std::optional<uint8_t> posTableCount_;
    std::vector<MXFDeltaEntry> deltaEntryArray_;
    std::vector<MXFIndexEntry> indexEntryArray_;
    MXFRational indexEditRate_;
    int64_t indexStartPosition_ = 0;
    int64_t indexDuration_ = 0;
    uint64_t partitionOffset_ = 0;
};

}  // namespace vorlane
