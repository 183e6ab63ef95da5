#include "formats/mxf/MXFIndexTable.h"

#include <algorithm>

#include "formats/mxf/MXFError.h"
#include "media/MediaText.h"

namespace vorlane {
namespace {

constexpr uint64_t kDeltaEntryBytes = 6;
constexpr uint64_t kIndexEntryFixedBytes = 11;
constexpr uint16_t kIndexEntryArrayTag = 0x3F0A;

// Reads a batch header and checks that `count` entries of at least `entryBytes` each fit.
uint32_t batchCount(MXFDataReader& item, uint64_t entryBytes, uint32_t& entrySize) {
    const uint32_t count = item.uint32Value();
    entrySize = item.uint32Value();
    const uint64_t step = std::max<uint64_t>(entryBytes, entrySize);
    if (count > item.remainingLength() / step) throw MXFError::seekCheck();
    return count;
}

// Moves past the rest of an entry whose declared size is larger than the fields read.
void skipToEntryEnd(MXFDataReader& item, uint64_t entryStart, uint32_t entrySize) {
    if (item.dataLocation() - entryStart < entrySize) item.seekAbsolute(entryStart + entrySize);
}

}  // namespace

MXFIndexTable::MXFIndexTable(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), std::move(valueData)) {
    while (!reachedEnd()) {
        const uint16_t tag = uint16Value();
        uint64_t length = uint16Value();
        // Avid writes 0xFFFF as the length of an entry array too long for 16 bits and relies on
        // the array's own header: the array runs to the end of the segment then.
        if (tag == kIndexEntryArrayTag && length == 0xFFFF) length = remainingLength();
        MXFDataReader item = subReader(length);
        readItem(tag, item);
    }
    unloadData();
}

void MXFIndexTable::readItem(uint16_t tag, MXFDataReader& item) {
    switch (tag) {
        case 0x3C0A:
            instanceID_ = item.identifierWithType(MXFIdentifierTypeUUID, item.dataLength());
            break;
        case 0x3F05:
            editUnitByteCount_ = item.uint32Value();
            break;
        case 0x3F06:
            indexSID_ = item.uint32Value();
            break;
        case 0x3F07:
            bodySID_ = item.uint32Value();
            break;
        case 0x3F08:
            sliceCount_ = item.uint8Value();
            break;
        case 0x3F09:
            readDeltaEntries(item);
            break;
        case kIndexEntryArrayTag:
            readIndexEntries(item);
            break;
        case 0x3F0B:
            indexEditRate_ = item.rationalValue();
            break;
        case 0x3F0C:
            indexStartPosition_ = item.int64Value();
            break;
        case 0x3F0D:
            indexDuration_ = item.int64Value();
            break;
        case 0x3F0E:
            posTableCount_ = item.uint8Value();
            break;
        default:
            break;  // other tags are skipped by their length
    }
}

void MXFIndexTable::readDeltaEntries(MXFDataReader& item) {
    uint32_t entrySize = 0;
    const uint32_t count = batchCount(item, kDeltaEntryBytes, entrySize);
    deltaEntryArray_.clear();
    deltaEntryArray_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t start = item.dataLocation();
        MXFDeltaEntry entry;
        entry.posTableIndex = item.int8Value();
        entry.slice = item.uint8Value();
        entry.elementDelta = item.uint32Value();
        deltaEntryArray_.push_back(entry);
        skipToEntryEnd(item, start, entrySize);
    }
}

void MXFIndexTable::readIndexEntries(MXFDataReader& item) {
    // The slice and position tables belong to the entries only when earlier items of this
    // segment gave their sizes.
    const uint32_t slices = sliceCount_.value_or(0);
    const uint32_t positions = posTableCount_.value_or(0);
    uint32_t entrySize = 0;
    const uint32_t count =
        batchCount(item, kIndexEntryFixedBytes + 4 * slices + 8 * positions, entrySize);
    indexEntryArray_.clear();
    indexEntryArray_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t start = item.dataLocation();
        MXFIndexEntry entry;
        entry.temporalOffset = item.int8Value();
        entry.keyFrameOffset = item.int8Value();
        entry.flags = item.uint8Value();
        entry.streamOffset = item.uint64Value();
        for (uint32_t s = 0; s < slices; ++s)
            entry.sliceOffsetTable.push_back(item.uint32Value());
        for (uint32_t p = 0; p < positions; ++p)
            entry.posTable.push_back(item.rationalValue());
        indexEntryArray_.push_back(std::move(entry));
        skipToEntryEnd(item, start, entrySize);
    }
}

const MXFIdentifier& MXFIndexTable::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.XX.01.01.0D.01.02.01.01.10.01.00");
    return pattern;
}

bool MXFIndexTable::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

std::string MXFIndexTable::description() const {
    return formatMediaText("Pos: %lld, %s : %ld IndexEntries, %ld DeltaEntries, Length: %lld",
                           (long long)filePosition(), type().c_str(), long(indexEntryArray_.size()),
                           long(deltaEntryArray_.size()), (long long)klvLength());
}

}  // namespace vorlane
