#include "formats/dng/DNGImage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/FileReader.h"
#include "platform/Text.h"

namespace vorlane {
namespace {

constexpr uint64_t kHeaderSize = 8;
constexpr uint64_t kEntrySize = 12;
// The TIFF type of IFD offsets (a supplement to TIFF 6.0): read like ULONG.
constexpr uint16_t kTypeIFD = 13;

enum TIFFType : uint16_t {
    kUByte = 1,
    kASCII = 2,
    kUShort = 3,
    kULong = 4,
    kURational = 5,
    kSByte = 6,
    kUndefined = 7,
    kSShort = 8,
    kSLong = 9,
    kSRational = 10,
    kFloat = 11,
    kDouble = 12,
};

constexpr std::array<std::pair<uint16_t, const char*>, 36> kTagNames = {{
    {254, "NewSubfileType"},
    {255, "SubfileType"},
    {256, "ImageWidth"},
    {257, "ImageHeight"},
    {258, "BitDepth"},
    {259, "Compression"},
    {262, "PhotometricInterpretation"},
    {271, "Make"},
    {272, "Model"},
    {273, "StripOffsets"},
    {274, "Orientation"},
    {277, "SamplesPerPixel"},
    {278, "RowsPerStrip"},
    {279, "StripByteCounts"},
    {284, "PlanarConfiguration"},
    {306, "MakeTime"},
    {330, "SubIFDs"},
    {33434, "ExposureTime"},
    {33437, "FNumber"},
    {36867, "DateTimeOriginal"},
    {36868, "DateTimeDigitized"},
    {37386, "FocalLength"},
    {40962, "PixelXDim"},
    {40963, "PixelYDim"},
    {42033, "SerialNumber"},
    {42036, "LensModel"},
    {50706, "DNGVersion"},
    {50708, "UniqueCameraModel"},
    {50714, "BlackLevel"},
    {50717, "WhiteLevel"},
    {50719, "DefaultCropOrigin"},
    {50720, "DefaultCropZone"},
    {50735, "CameraSerialNumber"},
    {51043, "Timecode"},
    {51044, "FrameRate"},
}};

const char* keptTagName(uint16_t tag) {
    const auto found = std::find_if(kTagNames.begin(), kTagNames.end(),
                                    [tag](const auto& entry) { return entry.first == tag; });
    return found == kTagNames.end() ? nullptr : found->second;
}

}  // namespace

DNGImage::DNGImage(std::unique_ptr<FileReader> reader, std::optional<std::filesystem::path> url)
    : reader_(std::move(reader)), url_(std::move(url)) {}

DNGImage::~DNGImage() = default;

std::unique_ptr<DNGImage> DNGImage::initWithURL(const std::filesystem::path& url) {
    auto reader = FileReader::open(url);
    if (!reader) return nullptr;
    reader->adviseRandomAccess();
    return std::make_unique<DNGImage>(std::move(reader), url);
}

std::unique_ptr<DNGImage> DNGImage::initWithData(std::span<const uint8_t> data) {
    return std::make_unique<DNGImage>(FileReader::fromBuffer(data));
}

bool DNGImage::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "DNG";
}

bool DNGImage::isCinemaDNGImageAtURL(const std::filesystem::path& url) {
    if (!isSupportedURL(url)) return false;
    const auto image = initWithURL(url);
    return image && image->readMetadata() && image->isCinemaDNG();
}

std::string DNGImage::tagName(uint16_t tag) {
    if (const char* name = keptTagName(tag)) return name;
    char text[32];
    std::snprintf(text, sizeof text, "UnknownTag(%d)", tag);
    return text;
}

std::string DNGImage::dataTypeName(uint16_t type) {
    static constexpr const char* kNames[] = {"UBYTE",     "ASCII",     "USHORT",   "ULONG",
                                             "URATIONAL", "SBYTE",     "UNDEFINE", "SSHORT",
                                             "SLONG",     "SRATIONAL", "FLOAT",    "DOUBLE"};
    if (type >= 1 && type <= 12) return kNames[type - 1];
    char text[32];
    std::snprintf(text, sizeof text, "UNKOWN(%d)", type);
    return text;
}

uint32_t DNGImage::dataTypeLength(uint16_t type) {
    static constexpr uint32_t kLengths[] = {1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    if (type >= 1 && type <= 12) return kLengths[type - 1];
    return type == kTypeIFD ? 4 : 0;
}

uint16_t DNGImage::read16(const uint8_t* bytes) const {
    return isBigEndian_ ? readBE16(bytes) : readLE16(bytes);
}

uint32_t DNGImage::read32(const uint8_t* bytes) const {
    return isBigEndian_ ? readBE32(bytes) : readLE32(bytes);
}

uint64_t DNGImage::parseFileHeader() {
    uint8_t header[kHeaderSize];
    if (!reader_ || !reader_->readAt(0, header, sizeof header)) return 0;
    static constexpr uint8_t kLittle[] = {0x49, 0x49, 0x2A, 0x00};
    static constexpr uint8_t kBig[] = {0x4D, 0x4D, 0x00, 0x2A};
    if (std::memcmp(header, kLittle, 4) == 0) {
        isBigEndian_ = false;
    } else if (std::memcmp(header, kBig, 4) == 0) {
        isBigEndian_ = true;
    } else {
        return 0;
    }
    return read32(header + 4);
}

bool DNGImage::readMetadata() {
    directory_.clear();
    cinemaTagsInFirstIFD_ = false;
    const uint64_t first = parseFileHeader();
    if (first == 0 || !readDirectory(first, true)) return false;
    const DNGTagValue* subIFDs = valueForKey("SubIFDs");
    const std::optional<int64_t> sub = subIFDs ? subIFDs->integerValue() : std::nullopt;
    if (sub && *sub > 0 && uint64_t(*sub) != first) readDirectory(uint64_t(*sub), false);
    return true;
}

bool DNGImage::readDirectory(uint64_t offset, bool first) {
    uint8_t countBytes[2];
    if (!reader_->readAt(offset, countBytes, sizeof countBytes)) return false;
    // Entries cut by the end of the file are left out.
    const uint64_t available = (reader_->size() - offset - 2) / kEntrySize;
    const uint64_t count = std::min<uint64_t>(read16(countBytes), available);
    const auto table = reader_->readBytes(offset + 2, size_t(count * kEntrySize));
    if (!table) return false;
    std::set<uint16_t> seen;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* bytes = table->data() + i * kEntrySize;
        const uint16_t tag = read16(bytes);
        if (first && (tag == kTagTimecode || tag == kTagFrameRate)) cinemaTagsInFirstIFD_ = true;
        const char* name = keptTagName(tag);
        // A tag listed again in the same directory is not read again.
        if (!name || !seen.insert(tag).second) continue;
        const Entry entry{tag, read16(bytes + 2), read32(bytes + 4), read32(bytes + 8)};
        if (std::optional<DNGTagValue> value = readValue(entry, bytes + 8))
            directory_.insert_or_assign(name, std::move(*value));
    }
    return true;
}

std::optional<DNGTagValue> DNGImage::readValue(const Entry& entry, const uint8_t* inlineValue) {
    const uint32_t size = dataTypeLength(entry.type);
    const uint64_t length = uint64_t(entry.count) * size;
    if (size == 0 || entry.count == 0 || length > kMaxValueBytes) return std::nullopt;
    // Values of up to four bytes stand in the entry itself.
    std::vector<uint8_t> bytes(inlineValue, inlineValue + std::min<uint64_t>(length, 4));
    if (length > 4) {
        auto read = reader_->readBytes(entry.valueOffset, size_t(length));
        if (!read) return std::nullopt;
        bytes = std::move(*read);
    }
    if (entry.type == kASCII) {
        const auto end = std::find(bytes.begin(), bytes.end(), uint8_t(0));
        return DNGTagValue::text(std::string(bytes.begin(), end));
    }
    if (entry.type == kUndefined) return DNGTagValue::bytes(std::move(bytes));
    std::vector<DNGTagValue::Number> numbers;
    numbers.reserve(entry.count);
    for (uint64_t i = 0; i < entry.count; ++i)
        numbers.push_back(numberAt(bytes.data() + i * size, entry.type));
    if (numbers.size() == 1) return DNGTagValue::number(numbers.front());
    return DNGTagValue::list(std::move(numbers));
}

DNGTagValue::Number DNGImage::numberAt(const uint8_t* bytes, uint16_t type) const {
    switch (type) {
        case kUByte:
            return int64_t(bytes[0]);
        case kSByte:
            return int64_t(int8_t(bytes[0]));
        case kUShort:
            return int64_t(read16(bytes));
        case kSShort:
            return int64_t(int16_t(read16(bytes)));
        case kSLong:
            return int64_t(int32_t(read32(bytes)));
        case kURational:
            return TIFFRational{read32(bytes), read32(bytes + 4), false};
        case kSRational:
            return TIFFRational{int32_t(read32(bytes)), int32_t(read32(bytes + 4)), true};
        case kFloat:
            return double(std::bit_cast<float>(read32(bytes)));
        case kDouble: {
            const uint64_t bits = isBigEndian_ ? readBE64(bytes) : readLE64(bytes);
            return std::bit_cast<double>(bits);
        }
        default:  // ULONG and IFD offsets
            return int64_t(read32(bytes));
    }
}

const DNGTagValue* DNGImage::valueForKey(const std::string& name) const {
    const auto found = directory_.find(name);
    return found == directory_.end() ? nullptr : &found->second;
}

std::optional<std::string> DNGImage::dngVersion() const {
    const DNGTagValue* version = valueForKey("DNGVersion");
    const auto* parts = version ? version->listValue() : nullptr;
    if (!parts || parts->size() != 4) return std::nullopt;
    std::string text;
    for (const DNGTagValue::Number& part : *parts) {
        const std::optional<int64_t> number = DNGTagValue::integerOfNumber(part);
        if (!number) return std::nullopt;
        text += (text.empty() ? "" : ".") + std::to_string(*number);
    }
    return text;
}

uint64_t DNGImage::bytesRead() const {
    return reader_ ? reader_->bytesRead() : bytesReadBeforeClose_;
}

void DNGImage::close() {
    bytesReadBeforeClose_ = bytesRead();
    reader_.reset();
}

}  // namespace vorlane
