#include "formats/mxf/MXFTestFile.h"

#include <cstdio>

namespace vorlane::test {
namespace {

constexpr size_t kPackValueOffset = 20;  // 16-byte key and a 4-byte length field
constexpr size_t kHeaderByteCount = 32;
constexpr size_t kIndexByteCount = 40;

const std::string kOP1a = "06.0E.2B.34.04.01.01.01.0D.01.02.01.01.01.09.00";
const std::string kGenericContainer = "06.0E.2B.34.04.01.01.0D.0D.01.03.01.02.7F.01.00";
const std::string kTimecodeDataDefinition = "06.0E.2B.34.04.01.01.01.01.03.02.01.01.00.00.00";

}  // namespace

Bytes uuid(uint8_t number) {
    Bytes id = {0xAD, 0xAB, 0x44, 0x24, 0x2F, 0x25, 0x4D, 0xC7, 0x92, 0xFF, 0, 0, 0, 0, 0, 0};
    id[15] = number;
    return id;
}

Bytes umid(uint8_t number) {
    Bytes id = keyBytes("06.0A.2B.34.01.01.01.05.01.01.0D.20.13.00.00.00");
    const Bytes material = uuid(number);
    id.insert(id.end(), material.begin(), material.end());
    return id;
}

Bytes batch(const std::vector<Bytes>& elements, uint32_t elementSize) {
    Bytes out = concat({be32(uint32_t(elements.size())), be32(elementSize)});
    for (const Bytes& element : elements)
        out.insert(out.end(), element.begin(), element.end());
    return out;
}

Bytes timestamp(int year, int month, int day, int hour, int minute, int second) {
    return concat({be16(uint16_t(year)), Bytes{uint8_t(month), uint8_t(day), uint8_t(hour),
                                               uint8_t(minute), uint8_t(second), 0}});
}

Bytes rational(int32_t numerator, int32_t denominator) {
    return concat({be32(uint32_t(numerator)), be32(uint32_t(denominator))});
}

Bytes metadataSet(uint8_t kind, std::initializer_list<Bytes> items) {
    return klv(setKey(kind), concat(items), 3);
}

Bytes be16(uint16_t value) {
    return {uint8_t(value >> 8), uint8_t(value)};
}
Bytes be32(uint32_t value) {
    return concat({be16(uint16_t(value >> 16)), be16(uint16_t(value))});
}
Bytes be64(uint64_t value) {
    return concat({be32(uint32_t(value >> 32)), be32(uint32_t(value))});
}

Bytes keyBytes(const std::string& stringID) {
    Bytes key;
    for (size_t at = 0; at + 2 <= stringID.size() && key.size() < 16; at += 3) {
        key.push_back(uint8_t(std::stoi(stringID.substr(at, 2), nullptr, 16)));
    }
    return key;
}

Bytes berLength(uint64_t length, int longFormBytes) {
    if (longFormBytes == 0) return {uint8_t(length)};
    Bytes out = {uint8_t(0x80 | longFormBytes)};
    for (int i = longFormBytes - 1; i >= 0; --i)
        out.push_back(uint8_t(length >> (8 * i)));
    return out;
}

Bytes klv(const std::string& keyText, const Bytes& value, int longFormBytes) {
    return concat({keyBytes(keyText), berLength(value.size(), longFormBytes), value});
}

Bytes localItem(uint16_t tag, const Bytes& value) {
    return concat({be16(tag), be16(uint16_t(value.size())), value});
}

Bytes utf16(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(0);
        out.push_back(uint8_t(c));
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::string partitionKey(uint8_t kind, uint8_t status) {
    char text[64];
    std::snprintf(text, sizeof text, "06.0E.2B.34.02.05.01.01.0D.01.02.01.01.%02X.%02X.00", kind,
                  status);
    return text;
}

std::string setKey(uint8_t kind) {
    char text[64];
    std::snprintf(text, sizeof text, "06.0E.2B.34.02.53.01.01.0D.01.01.01.01.01.%02X.00", kind);
    return text;
}

void patch64(Bytes& bytes, size_t offset, uint64_t value) {
    const Bytes field = be64(value);
    std::copy(field.begin(), field.end(), bytes.begin() + std::ptrdiff_t(offset));
}

size_t MXFTestFile::packFieldOffset(const Partition& partition, size_t fieldOffset) {
    return partition.offset + kPackValueOffset + fieldOffset;
}

void MXFTestFile::addRunIn(size_t length) {
    runIn_ = length;
    bytes_.insert(bytes_.end(), length, 0x55);
}

void MXFTestFile::addPartition(uint8_t kind, uint8_t status, uint32_t bodySID, uint64_t bodyOffset,
                               uint32_t indexSID) {
    partitions_.push_back(Partition{bytes_.size(), kind, 0, 0});
    bodySIDs_.push_back(bodySID);
    const Bytes value = concat({be16(1), be16(3), be32(kagSize_), be64(0), be64(0), be64(0),
                                be64(0), be64(0), be32(indexSID), be64(bodyOffset), be32(bodySID),
                                keyBytes(kOP1a), batch({keyBytes(kGenericContainer)}, 16)});
    addRaw(klv(partitionKey(kind, status), value, 3));
}

void MXFTestFile::addHeaderMetadata(int64_t startTimecode, uint16_t timecodeBase, bool dropFrame,
                                    const std::string& companyName) {
    const size_t start = bytes_.size();
    const Bytes primer =
        concat({be32(3), be32(18), be16(0x3C0A),
                keyBytes("06.0E.2B.34.01.01.01.01.01.01.15.02.00.00.00.00"), be16(0x1501),
                keyBytes("06.0E.2B.34.01.01.01.02.07.02.01.03.01.05.00.00"), be16(0x8001),
                keyBytes("06.0E.2B.34.01.01.01.0E.04.01.06.03.0E.00.00.00")});
    addRaw(klv(kPrimerKey, primer, 3));
    const Bytes rate =
        dropFrame ? rational(int32_t(timecodeBase) * 1000, 1001) : rational(timecodeBase, 1);
    addRaw(metadataSet(
        0x2F, {localItem(0x3C0A, uuid(1)), localItem(0x3B02, timestamp(2024, 5, 17, 9, 30, 15)),
               localItem(0x3B05, be16(0x0103)), localItem(0x3B06, batch({uuid(2)}, 16)),
               localItem(0x3B03, uuid(3)), localItem(0x3B09, keyBytes(kOP1a)),
               localItem(0x3B0A, batch({keyBytes(kGenericContainer)}, 16))}));
    addRaw(metadataSet(
        0x30,
        {localItem(0x3C0A, uuid(2)), localItem(0x3C01, utf16(companyName)),
         localItem(0x3C02, utf16("MXF Test Writer")),
         localItem(0x3C03, concat({be16(1), be16(2), be16(3), be16(4), be16(5)})),
         localItem(0x3C06, timestamp(2024, 5, 17, 9, 30, 15)), localItem(0x8001, Bytes{1, 2, 3})}));
    addRaw(
        metadataSet(0x18, {localItem(0x3C0A, uuid(3)), localItem(0x1901, batch({uuid(4)}, 16))}));
    addRaw(metadataSet(
        0x36, {localItem(0x3C0A, uuid(4)), localItem(0x4401, umid(4)),
               localItem(0x4402, utf16("Material")), localItem(0x4403, batch({uuid(5)}, 16))}));
    addRaw(metadataSet(
        0x3B, {localItem(0x3C0A, uuid(5)), localItem(0x4801, be32(1)), localItem(0x4804, be32(0)),
               localItem(0x4B01, rate), localItem(0x4B02, be64(0)), localItem(0x4803, uuid(6))}));
    addRaw(metadataSet(
        0x0F, {localItem(0x3C0A, uuid(6)), localItem(0x0201, keyBytes(kTimecodeDataDefinition)),
               localItem(0x0202, be64(100)), localItem(0x1001, batch({uuid(7)}, 16))}));
    addRaw(metadataSet(
        0x14, {localItem(0x3C0A, uuid(7)), localItem(0x0201, keyBytes(kTimecodeDataDefinition)),
               localItem(0x0202, be64(100)), localItem(0x1501, be64(uint64_t(startTimecode))),
               localItem(0x1502, be16(timecodeBase)), localItem(0x1503, Bytes{dropFrame})}));
    partitions_.back().headerByteCount = bytes_.size() - start;
}

void MXFTestFile::addHeaderSets(const Bytes& sets) {
    const size_t start = bytes_.size();
    addRaw(klv(kPrimerKey, concat({be32(0), be32(18)}), 3));
    addRaw(sets);
    partitions_.back().headerByteCount = bytes_.size() - start;
}

void MXFTestFile::addIndexSegment(const std::vector<uint64_t>& streamOffsets, int64_t startPosition,
                                  uint32_t editUnitByteCount, uint32_t bodySID) {
    const size_t start = bytes_.size();
    std::vector<Bytes> entries;
    for (uint64_t offset : streamOffsets)
        entries.push_back(concat({Bytes{0, 0, 0x80}, be64(offset)}));
    Bytes value = concat({localItem(0x3C0A, uuid(0x40)), localItem(0x3F0B, rational(25, 1)),
                          localItem(0x3F0C, be64(uint64_t(startPosition))),
                          localItem(0x3F0D, be64(streamOffsets.size())),
                          localItem(0x3F05, be32(editUnitByteCount)), localItem(0x3F06, be32(2)),
                          localItem(0x3F07, be32(bodySID)), localItem(0x3F08, Bytes{0}),
                          localItem(0x3F09, batch({Bytes{0, 0, 0, 0, 0, 0}}, 6))});
    if (!entries.empty()) value = concat({value, localItem(0x3F0A, batch(entries, 11))});
    addRaw(klv(kIndexSegmentKey, value, 3));
    partitions_.back().indexByteCount += bytes_.size() - start;
}

void MXFTestFile::addEssenceElement(size_t valueLength) {
    addRaw(klv(kPictureElementKey, Bytes(valueLength, 0xE5), 4));
}

void MXFTestFile::addFill(size_t valueLength) {
    addRaw(klv(kFillKey, Bytes(valueLength, 0), 3));
}

Bytes MXFTestFile::finish(bool withRandomIndex) {
    Bytes file = bytes_;
    uint64_t footer = 0;
    for (const Partition& partition : partitions_) {
        if (partition.kind == 4) footer = partition.offset - runIn_;
    }
    for (size_t i = 0; i < partitions_.size(); ++i) {
        const Partition& partition = partitions_[i];
        patch64(file, packFieldOffset(partition, kThisPartition), partition.offset - runIn_);
        patch64(file, packFieldOffset(partition, kPreviousPartition),
                i == 0 ? 0 : partitions_[i - 1].offset - runIn_);
        patch64(file, packFieldOffset(partition, kFooterPartition), footer);
        patch64(file, packFieldOffset(partition, kHeaderByteCount), partition.headerByteCount);
        patch64(file, packFieldOffset(partition, kIndexByteCount), partition.indexByteCount);
    }
    if (withRandomIndex) {
        Bytes entries;
        for (size_t i = 0; i < partitions_.size(); ++i)
            entries = concat({entries, be32(bodySIDs_[i]), be64(partitions_[i].offset - runIn_)});
        const uint32_t packLength = uint32_t(16 + 4 + entries.size() + 4);
        file = concat({file, klv(kRandomIndexKey, concat({entries, be32(packLength)}), 3)});
    }
    return file;
}

}  // namespace vorlane::test
