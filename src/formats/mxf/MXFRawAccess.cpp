#include "formats/mxf/MXFRawAccess.h"

#include <algorithm>
#include <array>

#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFIndexTable.h"
#include "formats/mxf/MXFMetadataSet.h"
#include "formats/mxf/MXFPartitionPack.h"
#include "formats/mxf/MXFPrimerPack.h"
#include "formats/mxf/MXFRandomIndexPack.h"

namespace vorlane {
namespace {

constexpr uint64_t kKeyLength = 16;
constexpr uint64_t kMaximumLengthBytes = 8;
constexpr uint64_t kRunInSearchLength = 65536;
// The first 11 bytes of every partition pack key.
constexpr std::array<uint8_t, 11> kPartitionPackPrefix = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05,
                                                          0x01, 0x01, 0x0D, 0x01, 0x02};

using LoadedMaker = std::shared_ptr<MXFKeyLengthValue> (*)(MXFIdentifier, MXFData);
using SkippedMaker = std::shared_ptr<MXFKeyLengthValue> (*)(MXFIdentifier, uint64_t);

struct ItemClass {
    bool (*conforms)(const MXFIdentifier&);
    LoadedMaker loaded;    // set for classes whose value is read and parsed
    SkippedMaker skipped;  // set for classes built from the length only
};

template <typename T>
std::shared_ptr<MXFKeyLengthValue> makeLoaded(MXFIdentifier key, MXFData value) {
    return std::make_shared<T>(std::move(key), std::move(value));
}

template <typename T>
std::shared_ptr<MXFKeyLengthValue> makeSkipped(MXFIdentifier key, uint64_t length) {
    return std::make_shared<T>(std::move(key), length);
}

// The item classes in the order their key patterns are tried; any other key is a plain item.
constexpr ItemClass kItemClasses[] = {
    {MXFPartitionPack::conformsToIdentifier, makeLoaded<MXFPartitionPack>, nullptr},
    {MXFPrimerPack::conformsToIdentifier, makeLoaded<MXFPrimerPack>, nullptr},
    {MXFMetadataSet::conformsToIdentifier, makeLoaded<MXFMetadataSet>, nullptr},
    {MXFRandomIndexPack::conformsToIdentifier, makeLoaded<MXFRandomIndexPack>, nullptr},
    {MXFIndexTable::conformsToIdentifier, makeLoaded<MXFIndexTable>, nullptr},
    {MXFEssenceElement::conformsToIdentifier, nullptr, makeSkipped<MXFEssenceElement>},
    {MXFSystemElement::conformsToIdentifier, nullptr, makeSkipped<MXFSystemElement>},
    {MXFXMLMetadata::conformsToIdentifier, makeLoaded<MXFXMLMetadata>, nullptr},
    {MXFFiller::conformsToIdentifier, nullptr, makeSkipped<MXFFiller>},
};

const ItemClass* itemClassForKey(const MXFIdentifier& key) {
    for (const ItemClass& itemClass : kItemClasses) {
        if (itemClass.conforms(key)) return &itemClass;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<MXFRawAccess> MXFRawAccess::initWithURL(const std::filesystem::path& url) {
    std::unique_ptr<FileReader> reader = FileReader::open(url);
    if (!reader) return nullptr;
    // Reads jump through files of many gigabytes: read-ahead would only fetch essence.
    reader->adviseRandomAccess();
    return std::make_unique<MXFRawAccess>(std::move(reader));
}

MXFRawAccess::MXFRawAccess(std::unique_ptr<FileReader> fileHandle)
    : fileHandle_(std::move(fileHandle)), fileSize_(fileHandle_ ? fileHandle_->size() : 0) {}

struct MXFRawAccess::ItemHeader {
    MXFIdentifier key;
    uint64_t start = 0;
    uint64_t length = 0;
    uint32_t dataOffset = 0;  // key + length field
    uint64_t remaining = 0;   // bytes of the file from the value on
};

std::optional<MXFRawAccess::ItemHeader> MXFRawAccess::readItemHeader() {
    const uint64_t start = position_;
    if (!fileHandle_ || start >= fileSize_ || fileSize_ - start <= kKeyLength) return std::nullopt;

    // The key, then up to 9 bytes of BER length.
    std::array<uint8_t, kKeyLength + 1 + kMaximumLengthBytes> bytes{};
    const uint64_t available = std::min<uint64_t>(bytes.size(), fileSize_ - start);
    if (!fileHandle_->readAt(start, bytes.data(), available)) return std::nullopt;
    uint64_t length = bytes[kKeyLength];
    uint64_t lengthBytes = 0;
    if (length & 0x80) {
        lengthBytes = length & 0x7F;
        if (lengthBytes > kMaximumLengthBytes || kKeyLength + 1 + lengthBytes > available) {
            return std::nullopt;
        }
        length = 0;
        for (uint64_t i = 0; i < lengthBytes; ++i)
            length = length << 8 | bytes[kKeyLength + 1 + i];
    }
    ItemHeader header;
    header.key =
        MXFIdentifier::keyIdentifierWithData(std::span<const uint8_t>(bytes.data(), kKeyLength));
    header.start = start;
    header.length = length;
    header.dataOffset = uint32_t(kKeyLength + 1 + lengthBytes);
    header.remaining = fileSize_ - (start + header.dataOffset);
    return header;
}

std::shared_ptr<MXFKeyLengthValue> MXFRawAccess::nextKLV() {
    std::optional<ItemHeader> header = readItemHeader();
    if (!header) return nullptr;
    const uint64_t valueStart = header->start + header->dataOffset;
    const uint64_t length = header->length;

    std::shared_ptr<MXFKeyLengthValue> item;
    const ItemClass* itemClass = itemClassForKey(header->key);
    if (itemClass && itemClass->loaded && length <= kMaximumLoadedLength) {
        if (length > header->remaining) return nullptr;  // cut off by the end of the file
        auto value = fileHandle_->readBytes(valueStart, size_t(length));
        if (!value) return nullptr;
        item = itemClass->loaded(std::move(header->key),
                                 std::make_shared<const std::vector<uint8_t>>(std::move(*value)));
    } else if (itemClass && itemClass->skipped) {
        item = itemClass->skipped(std::move(header->key), length);
    } else {
        item = std::make_shared<MXFKeyLengthValue>(std::move(header->key), length);
    }
    item->setFilePosition(header->start);
    item->setFileDataOffset(header->dataOffset);
    position_ = length > header->remaining ? fileSize_ : valueStart + length;
    return item;
}

std::shared_ptr<MXFKeyLengthValue> MXFRawAccess::klvHeaderAtFileOffset(uint64_t offset) {
    seekToOffset(offset);
    std::optional<ItemHeader> header = readItemHeader();
    if (!header) return nullptr;
    auto item = std::make_shared<MXFKeyLengthValue>(std::move(header->key), header->length);
    item->setFilePosition(header->start);
    item->setFileDataOffset(header->dataOffset);
    position_ = header->length > header->remaining
                    ? fileSize_
                    : header->start + header->dataOffset + header->length;
    return item;
}

std::shared_ptr<MXFKeyLengthValue> MXFRawAccess::klvAtFileOffset(uint64_t offset) {
    seekToOffset(offset);
    return nextKLV();
}

std::optional<std::vector<uint8_t>> MXFRawAccess::readDataAtOffset(uint64_t offset,
                                                                   uint64_t length) {
    if (!fileHandle_ || !fileHandle_->contains(offset, length)) return std::nullopt;
    return fileHandle_->readBytes(offset, size_t(length));
}

std::shared_ptr<MXFKeyLengthValue> MXFRawAccess::headerPartition() {
    runInLength_ = 0;
    std::shared_ptr<MXFKeyLengthValue> first = klvAtFileOffset(0);
    if (std::dynamic_pointer_cast<MXFPartitionPack>(first)) return first;

    const auto head = readDataAtOffset(0, std::min(kRunInSearchLength, fileSize_));
    if (!head || head->size() <= 1) return first;
    const auto found = std::search(head->begin() + 1, head->end(), kPartitionPackPrefix.begin(),
                                   kPartitionPackPrefix.end());
    if (found == head->end()) return first;
    const uint64_t runIn = uint64_t(found - head->begin());
    auto pack = std::dynamic_pointer_cast<MXFPartitionPack>(klvAtFileOffset(runIn));
    if (!pack) return first;
    runInLength_ = runIn;
    // Partition offsets count from the header partition; the footer's is made a file offset.
    if (pack->footerPartition() != 0) pack->setFooterPartition(pack->footerPartition() + runIn);
    return pack;
}

}  // namespace vorlane
