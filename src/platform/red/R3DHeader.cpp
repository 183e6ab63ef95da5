#include "platform/red/R3DHeader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>

#include "platform/ByteOrder.h"
#include "platform/FileReader.h"

namespace vorlane {
namespace {

constexpr size_t kBlockHeader = 8;
constexpr size_t kRed2RecordCount = 0x40;
constexpr size_t kRed2FirstRecord = 0x44;
constexpr size_t kRed2RecordSize = 0x18;
constexpr size_t kRed1DirectoryOffset = 0x22;
// Version 1 keeps its directory in the second block; more of it is not read.
constexpr uint32_t kMaxSecondBlockRead = 64 * 1024;
constexpr uint64_t kIndexBlockSize = 56;
constexpr uint64_t kIndexVideoCount = 24;
constexpr uint64_t kBlockAlignment = 0x1000;

enum class ValueFormat { Unsigned8, Text, Float, Unsigned16, Signed8, Signed32, Unsigned32, Other };

// The value format named by a tag's top four bits.
ValueFormat formatOfTag(uint16_t tag) {
    switch (tag >> 12) {
        case 0:
        case 3:
            return ValueFormat::Unsigned8;
        case 1:
            return ValueFormat::Text;
        case 2:
            return ValueFormat::Float;
        case 4:
            return ValueFormat::Unsigned16;
        case 5:
            return ValueFormat::Signed8;
        case 6:
            return ValueFormat::Signed32;
        case 8:
            return ValueFormat::Unsigned32;
        default:
            return ValueFormat::Other;
    }
}

struct KnownItem {
    uint16_t tag;
    const char* key;
    double scale;  // numbers are divided by it
};

// The directory items this reader names. The keys are those of the camera maker's library where
// the system asks for them by name.
constexpr std::array<KnownItem, 26> kKnownItems = {{
    {0x1000, "start_edge_code", 1},
    {0x1001, "start_timecode", 1},
    {0x1006, "camera_pin", 1},
    {0x1019, "camera_id", 1},
    {0x101a, "reel_id_8_character", 1},
    {0x101b, "take", 1},
    {0x1023, "local_date", 1},
    {0x1024, "local_time", 1},
    {0x1025, "camera_firmware_version", 1},
    {0x102a, "media_type", 1},
    {0x1032, "media_serial_number", 1},
    {0x1056, "original_filename", 1},
    {0x106e, "lens_brand", 1},
    {0x1070, "lens_name", 1},
    {0x1071, "camera_model", 1},
    {0x107c, "camera_operator", 1},
    {0x1086, "video_format", 1},
    {0x1096, "olpf", 1},
    {0x10a0, "brain", 1},
    {0x10a1, "sensor_name", 1},
    {0x200d, "color_temperature", 1},
    {0x2066, "original_frame_rate", 1},
    {0x403b, "iso", 1},
    {0x406a, "aperture", 10},
    {0x406b, "focal_length", 1},
    {0x606c, "focus_distance_m", 1000},
}};

const KnownItem* knownItem(uint16_t tag) {
    const auto found = std::find_if(kKnownItems.begin(), kKnownItems.end(),
                                    [tag](const KnownItem& item) { return item.tag == tag; });
    return found == kKnownItems.end() ? nullptr : &*found;
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// The value of one item as text: texts cut at the first NUL, numbers separated by blanks.
std::optional<std::string> valueText(const uint8_t* bytes, size_t length, uint16_t tag,
                                     double scale) {
    const ValueFormat format = formatOfTag(tag);
    if (format == ValueFormat::Text)
        return std::string(bytes, std::find(bytes, bytes + length, uint8_t(0)));
    const size_t width = format == ValueFormat::Unsigned16 ? 2
                         : format == ValueFormat::Float || format == ValueFormat::Signed32 ||
                                 format == ValueFormat::Unsigned32
                             ? 4
                         : format == ValueFormat::Other ? 0
                                                        : 1;
    if (width == 0 || length < width) return std::nullopt;
    std::string text;
    for (size_t at = 0; at + width <= length; at += width) {
        double value = 0;
        switch (format) {
            case ValueFormat::Unsigned16:
                value = readBE16(bytes + at);
                break;
            case ValueFormat::Float:
                value = double(std::bit_cast<float>(readBE32(bytes + at)));
                break;
            case ValueFormat::Signed32:
                value = int32_t(readBE32(bytes + at));
                break;
            case ValueFormat::Unsigned32:
                value = readBE32(bytes + at);
                break;
            case ValueFormat::Signed8:
                value = int8_t(bytes[at]);
                break;
            default:
                value = bytes[at];
        }
        if (!text.empty()) text += ' ';
        text += numberText(value / scale);
    }
    return text;
}

bool isBlockType(const uint8_t* bytes) {
    return std::all_of(bytes, bytes + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7f; });
}

}  // namespace

std::optional<std::string> R3DHeader::metadataValue(const std::string& key) const {
    for (const auto& [name, value] : metadata)
        if (name == key) return value;
    return std::nullopt;
}

std::optional<R3DHeader> R3DHeaderReader::read(FileReader& reader) {
    R3DHeader header;
    if (!readFirstBlock(reader, header)) return std::nullopt;
    return header;
}

bool R3DHeaderReader::readFirstBlock(FileReader& reader, R3DHeader& header) {
    uint8_t start[kBlockHeader];
    if (!reader.readAt(0, start, sizeof start)) return false;
    const uint32_t blockSize = readBE32(start);
    if (blockSize < kBlockHeader || blockSize > kMaxHeaderBlockSize) return false;
    if (readBE32(start + 4) == fourCC("RED2")) {
        header.version = 2;
    } else if (readBE32(start + 4) == fourCC("RED1")) {
        header.version = 1;
    } else {
        return false;
    }
    // A clip cut short keeps the part of its first block that is there.
    const auto block = reader.readBytes(0, size_t(std::min<uint64_t>(blockSize, reader.size())));
    if (!block) return false;
    const std::vector<uint8_t>& bytes = *block;
    if (header.version == 2) {
        if (bytes.size() < kRed2FirstRecord) return false;
        const size_t directory = kRed2FirstRecord + bytes[kRed2RecordCount] * kRed2RecordSize;
        if (bytes.size() >= 0x5c) {
            header.width = readBE32(&bytes[0x4c]);
            header.height = readBE32(&bytes[0x50]);
            header.rateDenominator = readBE16(&bytes[0x56]);
            header.rateNumerator = uint32_t(readBE16(&bytes[0x58])) << 16 | readBE16(&bytes[0x5a]);
        }
        if (directory + 2 <= bytes.size())
            readDirectory(bytes, directory + 2,
                          std::min(bytes.size(), directory + 2 + readBE16(&bytes[directory])),
                          header);
    } else {
        if (bytes.size() < 0x43) return false;
        header.width = readBE16(&bytes[0x36]);
        header.height = readBE16(&bytes[0x3a]);
        header.rateNumerator = readBE16(&bytes[0x3e]);
        header.rateDenominator = readBE16(&bytes[0x40]);
        header.audioChannelCount = bytes[0x42];
        uint8_t next[kBlockHeader];
        if (reader.readAt(blockSize, next, sizeof next)) {
            const uint32_t length = std::min(readBE32(next), kMaxSecondBlockRead);
            const auto second = reader.readBytes(
                blockSize, size_t(std::min<uint64_t>(length, reader.size() - blockSize)));
            if (second && second->size() >= kRed1DirectoryOffset + 2)
                readDirectory(
                    *second, kRed1DirectoryOffset + 2,
                    std::min(second->size(),
                             kRed1DirectoryOffset + 2 + readBE16(&(*second)[kRed1DirectoryOffset])),
                    header);
        }
    }
    header.frameCount = countFrames(reader, blockSize);
    return true;
}

void R3DHeaderReader::readDirectory(const std::vector<uint8_t>& block, size_t position, size_t end,
                                    R3DHeader& header) {
    while (position + 4 <= end) {
        const uint16_t length = readBE16(&block[position]);
        const uint16_t tag = readBE16(&block[position + 2]);
        if (length < 4 || length > end - position) break;
        if (const KnownItem* item = knownItem(tag)) {
            if (auto text = valueText(&block[position + 4], length - 4u, tag, item->scale))
                header.metadata.emplace_back(item->key, std::move(*text));
        }
        position += length;
    }
}

uint64_t R3DHeaderReader::countFrames(FileReader& reader, uint64_t firstBlockSize) {
    const uint64_t size = reader.size();
    uint8_t index[kIndexBlockSize];
    if (size >= firstBlockSize + kIndexBlockSize &&
        reader.readAt(size - kIndexBlockSize, index, sizeof index)) {
        const uint32_t type = readBE32(index + 4);
        if (type == fourCC("REOB") || type == fourCC("REOF") || type == fourCC("REOS"))
            return readBE32(index + kIndexVideoCount);
    }
    // No index: count the video blocks, which start on 4 KiB boundaries in version 2 clips.
    uint64_t frames = 0;
    uint64_t position = firstBlockSize;
    for (uint64_t blocks = 0;
         blocks < kMaxCountedBlocks && size >= kBlockHeader && position <= size - kBlockHeader;
         ++blocks) {
        uint8_t block[kBlockHeader];
        const bool read = reader.readAt(position, block, sizeof block);
        const uint32_t length = read ? readBE32(block) : 0;
        if (length < kBlockHeader || !isBlockType(block + 4)) {
            const uint64_t aligned =
                (position + kBlockAlignment - 1) / kBlockAlignment * kBlockAlignment;
            if (aligned == position) break;
            position = aligned;
            continue;
        }
        if (readBE32(block + 4) == fourCC("REDV")) ++frames;
        position += length;
    }
    return frames;
}

}  // namespace vorlane
