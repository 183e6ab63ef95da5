// Builds small MXF files byte by byte for the tests: partitions with their packs, header metadata
// (primer, preface, identification, a material package with a timecode track), index segments,
// essence elements, fill items and a random index pack. Offsets between partitions are patched
// in when the file is finished, so a test can also break them on purpose afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane::test {

using Bytes = std::vector<uint8_t>;

Bytes be16(uint16_t value);
Bytes be32(uint32_t value);
Bytes be64(uint64_t value);
Bytes keyBytes(const std::string& stringID);
// A BER length: short form when `longFormBytes` is 0, else 0x80 | n and n bytes.
Bytes berLength(uint64_t length, int longFormBytes);
Bytes klv(const std::string& keyText, const Bytes& value, int longFormBytes = 3);
Bytes localItem(uint16_t tag, const Bytes& value);
Bytes utf16(const std::string& ascii);
Bytes concat(std::initializer_list<Bytes> parts);
// A 16-byte identifier ending in `number`, and a 32-byte package ID around it.
Bytes uuid(uint8_t number);
Bytes umid(uint8_t number);
// A batch: count, element size, elements.
Bytes batch(const std::vector<Bytes>& elements, uint32_t elementSize);
Bytes timestamp(int year, int month, int day, int hour, int minute, int second);
Bytes rational(int32_t numerator, int32_t denominator);
// A header metadata set of a kind (key byte 14) with its local items.
Bytes metadataSet(uint8_t kind, std::initializer_list<Bytes> items);

// Keys used by the tests.
inline const std::string kFillKey = "06.0E.2B.34.01.01.01.02.03.01.02.10.01.00.00.00";
inline const std::string kPictureElementKey = "06.0E.2B.34.01.02.01.01.0D.01.03.01.15.01.05.00";
inline const std::string kSoundElementKey = "06.0E.2B.34.01.02.01.01.0D.01.03.01.16.01.01.02";
inline const std::string kSystemItemKey = "06.0E.2B.34.02.05.01.01.0D.01.03.01.04.01.01.00";
inline const std::string kIndexSegmentKey = "06.0E.2B.34.02.53.01.01.0D.01.02.01.01.10.01.00";
inline const std::string kPrimerKey = "06.0E.2B.34.02.05.01.01.0D.01.02.01.01.05.01.00";
inline const std::string kRandomIndexKey = "06.0E.2B.34.02.05.01.01.0D.01.02.01.01.11.01.00";
std::string partitionKey(uint8_t kind, uint8_t status);
std::string setKey(uint8_t kind);

class MXFTestFile {
  public:
    struct Partition {
        size_t offset = 0;  // of the pack
        uint8_t kind = 0;
        uint64_t headerByteCount = 0;
        uint64_t indexByteCount = 0;
    };

    explicit MXFTestFile(uint32_t kagSize = 1) : kagSize_(kagSize) {}

    // Bytes before the header partition.
    void addRunIn(size_t length);
    // A partition pack; offsets to other partitions are filled in by finish().
    void addPartition(uint8_t kind, uint8_t status, uint32_t bodySID = 0, uint64_t bodyOffset = 0,
                      uint32_t indexSID = 0);
    // Primer and sets of a material package whose timecode track starts at `startTimecode`;
    // counted as the last partition's header metadata.
    void addHeaderMetadata(int64_t startTimecode, uint16_t timecodeBase, bool dropFrame,
                           const std::string& companyName = "Vorlane Tests");
    // An empty primer and the given sets, counted as the last partition's header metadata.
    void addHeaderSets(const Bytes& sets);
    // An index segment with one entry per stream offset, counted as the last partition's index.
    void addIndexSegment(const std::vector<uint64_t>& streamOffsets, int64_t startPosition = 0,
                         uint32_t editUnitByteCount = 0, uint32_t bodySID = 1);
    void addEssenceElement(size_t valueLength);
    void addFill(size_t valueLength);
    void addRaw(const Bytes& bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    // Patches every pack's this, previous and footer offset and the byte counts, and appends a
    // random index pack when asked.
    Bytes finish(bool withRandomIndex = true);

    const std::vector<Partition>& partitions() const { return partitions_; }
    size_t size() const { return bytes_.size(); }

    // Offset of a pack field inside the file (for breaking it on purpose).
    static size_t packFieldOffset(const Partition& partition, size_t fieldOffset);
    static constexpr size_t kThisPartition = 8;
    static constexpr size_t kPreviousPartition = 16;
    static constexpr size_t kFooterPartition = 24;

  private:
    uint32_t kagSize_;
    size_t runIn_ = 0;
    Bytes bytes_;
    std::vector<Partition> partitions_;
    std::vector<uint32_t> bodySIDs_;
};

void patch64(Bytes& bytes, size_t offset, uint64_t value);

}  // namespace vorlane::test
