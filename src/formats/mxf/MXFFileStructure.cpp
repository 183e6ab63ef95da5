#include "formats/mxf/MXFFileStructure.h"

#include <algorithm>
#include <limits>

#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFRandomIndexPack.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

// Fill items skipped after a partition pack before its content; writers put at most one.
constexpr int kMaximumFillItems = 8;

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
    return b > std::numeric_limits<uint64_t>::max() - a ? std::numeric_limits<uint64_t>::max()
                                                        : a + b;
}

// Items that end a header metadata walk: whatever follows the metadata in a partition.
bool endsHeaderMetadata(const MXFKeyLengthValue& item) {
    return dynamic_cast<const MXFPartitionPack*>(&item) ||
           dynamic_cast<const MXFIndexTable*>(&item) ||
           dynamic_cast<const MXFRandomIndexPack*>(&item) ||
           dynamic_cast<const MXFEssenceElement*>(&item) ||
           dynamic_cast<const MXFSystemElement*>(&item);
}

bool referenceMatches(const MXFMetadataSet& set, const char* property,
                      const MXFIdentifier& reference) {
    const MXFValue* value = set.valueForKey(property);
    return value && value->identifier() && value->identifier()->matchesIdentifier(reference);
}

}  // namespace

MXFFileStructure::MXFFileStructure(std::shared_ptr<MXFRawAccess> raw) : raw_(std::move(raw)) {}

bool MXFFileStructure::failWithError(const MXFError& error) {
    Log::writef("MXFFile: %s", error.what());
    return false;
}

std::shared_ptr<MXFPartitionPack> MXFFileStructure::partitionAt(uint64_t offset) {
    return std::dynamic_pointer_cast<MXFPartitionPack>(raw_->klvAtFileOffset(offset));
}

bool MXFFileStructure::loadPartitions() {
    partitions_.clear();
    headerPartition_ = footerPartition_ = firstPartitionContainingEssence_ = nullptr;
    contentStarts_.clear();
    try {
        // Also finds a run-in, whose length every partition offset of the file is shifted by.
        const std::shared_ptr<MXFKeyLengthValue> headerItem = raw_->headerPartition();
        if (!loadPartitionsFromRandomIndex() && !loadPartitionsFromHeader(headerItem)) {
            return false;
        }
    } catch (const MXFError& error) {
        partitions_.clear();
        headerPartition_ = footerPartition_ = nullptr;
        return failWithError(error);
    }
    for (const auto& partition : partitions_) {
        if (partition->bodySID() != 0) {
            firstPartitionContainingEssence_ = partition;
            break;
        }
    }
    return true;
}

bool MXFFileStructure::loadPartitionsFromRandomIndex() {
    const uint64_t fileSize = raw_->fileSize();
    if (fileSize < 4) return false;
    const auto tail = raw_->readDataAtOffset(fileSize - 4, 4);
    if (!tail) return false;
    const uint64_t packLength = readBE32(tail->data());
    if (packLength > fileSize) return false;
    const auto rip =
        std::dynamic_pointer_cast<MXFRandomIndexPack>(raw_->klvAtFileOffset(fileSize - packLength));
    if (!rip) return false;

    // Entries in file order, each partition once, however the pack lists them.
    std::vector<uint64_t> offsets;
    for (const MXFRandomIndexEntry& entry : rip->indexArray()) {
        const uint64_t offset = saturatingAdd(entry.byteOffset, raw_->runInLength());
        if (offset < fileSize) offsets.push_back(offset);
    }
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());

    std::vector<std::shared_ptr<MXFPartitionPack>> partitions;
    std::shared_ptr<MXFPartitionPack> header;
    std::shared_ptr<MXFPartitionPack> footer;
    for (uint64_t offset : offsets) {
        auto partition = partitionAt(offset);
        if (!partition) continue;  // only partition packs count
        if (partition->partitionKind() == MXFPartitionKindHeader && !header) header = partition;
        if (partition->partitionKind() == MXFPartitionKindFooter) footer = partition;
        partitions.push_back(std::move(partition));
    }
    if (!header) return false;
    partitions_ = std::move(partitions);
    headerPartition_ = std::move(header);
    footerPartition_ = std::move(footer);
    return true;
}

bool MXFFileStructure::loadPartitionsFromHeader(
    const std::shared_ptr<MXFKeyLengthValue>& headerItem) {
    auto header = std::dynamic_pointer_cast<MXFPartitionPack>(headerItem);
    if (!header || header->partitionKind() != MXFPartitionKindHeader ||
        header->previousPartition() != 0) {
        Log::write("MXFFile: Missing Header Partition!");
        return false;
    }
    partitions_.push_back(header);
    headerPartition_ = header;
    // headerPartition() has made the footer offset a file offset already.
    const uint64_t footerOffset = header->footerPartition();
    if (footerOffset == 0 || footerOffset <= header->filePosition()) return true;
    auto footer = partitionAt(footerOffset);
    if (!footer) return true;
    partitions_.push_back(footer);
    if (footer->partitionKind() == MXFPartitionKindFooter) footerPartition_ = footer;

    // Back from the footer: each previous partition must lie between the header and the one just
    // read, so the chain cannot loop.
    uint64_t lastPosition = footer->filePosition();
    uint64_t previous = footer->previousPartition();
    while (previous != 0) {
        const uint64_t offset = saturatingAdd(previous, raw_->runInLength());
        if (offset >= lastPosition || offset <= header->filePosition()) break;
        auto partition = partitionAt(offset);
        if (!partition) break;
        lastPosition = partition->filePosition();
        previous = partition->previousPartition();
        partitions_.insert(partitions_.begin() + 1, std::move(partition));
    }
    return true;
}

bool MXFFileStructure::loadHeaderMetadata() {
    metadataSets_.clear();
    primerPack_ = nullptr;
    primerPackOffset_ = 0;
    metadataPartition_ = nullptr;
    xmlRawData_ = nullptr;
    const auto found =
        std::find_if(partitions_.begin(), partitions_.end(), [](const auto& partition) {
            return partition->isClosedAndComplete() && partition->headerByteCount() != 0;
        });
    if (found == partitions_.end()) {
        Log::write(
            "MXFFile: No closed and completed MXF Partition found that contains Metadata Sets!");
        return false;
    }
    const MXFPartitionPack& partition = **found;
    const uint64_t base = partition.filePosition();
    // The header byte count runs from the primer pack on; until it is met, from the pack.
    uint64_t end = saturatingAdd(base, partition.headerByteCount());
    try {
        raw_->seekToOffset(partition.fileEndPosition());
        while (raw_->position() < end) {
            const std::shared_ptr<MXFKeyLengthValue> item = raw_->nextKLV();
            if (!item || endsHeaderMetadata(*item)) break;
            if (auto primer = std::dynamic_pointer_cast<MXFPrimerPack>(item)) {
                if (primerPack_) continue;
                primerPack_ = primer;
                primerPackOffset_ = item->filePosition() - base;
                end = saturatingAdd(end, primerPackOffset_);
            } else if (auto set = std::dynamic_pointer_cast<MXFMetadataSet>(item)) {
                metadataSets_.push_back(std::move(set));
            } else if (auto xml = std::dynamic_pointer_cast<MXFXMLMetadata>(item)) {
                xmlRawData_ = xml->xmlData();
            }
        }
    } catch (const MXFError& error) {
        metadataSets_.clear();
        primerPack_ = nullptr;
        xmlRawData_ = nullptr;
        return failWithError(error);
    }
    metadataPartition_ = *found;
    return true;
}

uint64_t MXFFileStructure::contentStart(const MXFPartitionPack& partition) {
    const auto cached = contentStarts_.find(partition.filePosition());
    if (cached != contentStarts_.end()) return cached->second;
    uint64_t offset = partition.fileEndPosition();
    for (int i = 0; i < kMaximumFillItems; ++i) {
        const auto item = raw_->klvHeaderAtFileOffset(offset);
        if (!item || !MXFFiller::conformsToIdentifier(item->identifier())) break;
        offset = raw_->position();
    }
    contentStarts_.emplace(partition.filePosition(), offset);
    return offset;
}

uint64_t MXFFileStructure::essenceStart(const MXFPartitionPack& partition) {
    return saturatingAdd(saturatingAdd(contentStart(partition), partition.headerByteCount()),
                         partition.indexByteCount());
}

bool MXFFileStructure::loadIndexTables() {
    indexTables_.clear();
    try {
        // Stream offsets of the segments count from the essence of the first partition holding
        // essence; every later partition with index segments puts its pack, fill and segments
        // between the essence it indexes and the essence before.
        uint64_t essenceOffset =
            firstPartitionContainingEssence_ ? essenceStart(*firstPartitionContainingEssence_) : 0;
        for (const auto& partition : partitions_) {
            if (partition->indexByteCount() == 0) continue;
            const uint64_t start = contentStart(*partition);
            const uint64_t segmentsStart = saturatingAdd(start, partition->headerByteCount());
            const uint64_t segmentsEnd = saturatingAdd(segmentsStart, partition->indexByteCount());
            uint64_t offset = segmentsStart;
            while (offset < segmentsEnd) {
                const std::shared_ptr<MXFKeyLengthValue> item = raw_->klvAtFileOffset(offset);
                if (!item) break;
                if (auto segment = std::dynamic_pointer_cast<MXFIndexTable>(item)) {
                    segment->setPartitionOffset(essenceOffset);
                    indexTables_.push_back(std::move(segment));
                } else if (!std::dynamic_pointer_cast<MXFFiller>(item)) {
                    break;
                }
                offset = raw_->position();
            }
            essenceOffset = saturatingAdd(essenceOffset, partition->indexByteCount());
            essenceOffset = saturatingAdd(essenceOffset, start - partition->filePosition());
        }
    } catch (const MXFError& error) {
        indexTables_.clear();
        return failWithError(error);
    }
    return !indexTables_.empty();
}

uint64_t MXFFileStructure::kagRoundup(uint64_t value) const {
    const uint64_t kag = headerPartition_ ? headerPartition_->kagSize() : 0;
    if (kag < 2 || value % kag == 0) return value;
    return saturatingAdd(value - value % kag, kag);
}

std::shared_ptr<MXFMetadataSet> MXFFileStructure::findMetadataSetWithIdentifier(
    const MXFIdentifier& reference) const {
    for (const auto& set : metadataSets_) {
        if (referenceMatches(*set, "InstanceUID", reference)) return set;
    }
    return nullptr;
}

std::shared_ptr<MXFMetadataSet> MXFFileStructure::findPackageWithIdentifier(
    const MXFIdentifier& packageID) const {
    for (const auto& set : metadataSets_) {
        if (referenceMatches(*set, "PackageUID", packageID)) return set;
    }
    return nullptr;
}

std::shared_ptr<MXFMetadataSet> MXFFileStructure::searchHeaderForIdentifier(
    const MXFIdentifier& pattern) const {
    for (const auto& set : metadataSets_) {
        if (set->identifier().matchesIdentifier(pattern)) return set;
    }
    return nullptr;
}

std::optional<uint64_t> MXFFileStructure::fileOffsetOfEssence(uint32_t bodySID,
                                                              uint64_t streamOffset) {
    const MXFPartitionPack* holder = nullptr;
    for (const auto& partition : partitions_) {
        if (partition->bodySID() != bodySID || partition->bodyOffset() > streamOffset) continue;
        if (!holder || partition->bodyOffset() >= holder->bodyOffset()) holder = partition.get();
    }
    if (!holder) return std::nullopt;
    return saturatingAdd(essenceStart(*holder), streamOffset - holder->bodyOffset());
}

}  // namespace vorlane
