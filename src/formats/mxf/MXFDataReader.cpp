#include "formats/mxf/MXFDataReader.h"

#include <algorithm>
#include <cstdio>

#include "formats/mxf/MXFError.h"
#include "platform/ByteOrder.h"
#include "platform/DateFields.h"

namespace vorlane {
namespace {

void appendUTF8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += char(codePoint);
    } else if (codePoint < 0x800) {
        text += char(0xC0 | (codePoint >> 6));
        text += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += char(0xE0 | (codePoint >> 12));
        text += char(0x80 | ((codePoint >> 6) & 0x3F));
        text += char(0x80 | (codePoint & 0x3F));
    } else {
        text += char(0xF0 | (codePoint >> 18));
        text += char(0x80 | ((codePoint >> 12) & 0x3F));
        text += char(0x80 | ((codePoint >> 6) & 0x3F));
        text += char(0x80 | (codePoint & 0x3F));
    }
}

// Bytes one value of a fixed-width type takes, or 0 for types read with a given length.
uint64_t fixedWidthOfType(int32_t type) {
    switch (type) {
        case MXFTypeUInt8:
        case MXFTypeInt8:
        case MXFTypeBoolean:
            return 1;
        case MXFTypeUInt16:
        case MXFTypeInt16:
            return 2;
        case MXFTypeUInt32:
        case MXFTypeInt32:
        case MXFTypeUInt32Count:
            return 4;
        case MXFTypeUInt64:
        case MXFTypeInt64:
        case MXFTypePosition:
        case MXFTypeLength:
        case MXFTypeRational:
        case MXFTypeTimestamp:
            return 8;
        case MXFTypeRGBALayout:
            return 16;
        default:
            return 0;
    }
}

MXFIdentifierType identifierTypeOfProperty(int32_t type) {
    switch (type) {
        case MXFTypeAUID:
            return MXFIdentifierTypeAUID;
        case MXFTypeIDAU:
            return MXFIdentifierTypeIDAU;
        case MXFTypeUMID:
        case MXFTypePackageID:
            return MXFIdentifierTypeUMID;
        case MXFTypeUL:
            return MXFIdentifierTypeUL;
        case MXFTypeUUID:
            return MXFIdentifierTypeUUID;
        case MXFTypeStrongRef:
            return MXFIdentifierTypeStrongRef;
        default:
            return MXFIdentifierTypeWeakRef;
    }
}

}  // namespace

MXFDataReader::MXFDataReader(MXFData data) {
    setData(std::move(data));
}

MXFDataReader::MXFDataReader(MXFData data, uint64_t begin, uint64_t size)
    : data_(std::move(data)), begin_(begin), size_(size) {}

void MXFDataReader::setData(MXFData data) {
    data_ = std::move(data);
    begin_ = 0;
    size_ = data_ ? data_->size() : 0;
    location_ = 0;
}

void MXFDataReader::seekAbsolute(uint64_t location) {
    if (location > size_) throw MXFError::seekError();
    location_ = location;
}

void MXFDataReader::seekRelative(int64_t offset) {
    if (offset < 0) {
        const uint64_t back = uint64_t(-(offset + 1)) + 1;
        if (back > location_) throw MXFError::seekError();
        seekAbsolute(location_ - back);
    } else {
        if (uint64_t(offset) > size_ - location_) throw MXFError::seekError();
        seekAbsolute(location_ + uint64_t(offset));
    }
}

void MXFDataReader::seekRelativeCheck(uint64_t count) const {
    if (count > size_ - location_) throw MXFError::seekCheck();
}

const uint8_t* MXFDataReader::take(uint64_t count) {
    seekRelativeCheck(count);
    const uint8_t* bytes = data_ ? data_->data() + begin_ + location_ : nullptr;
    location_ += count;
    return bytes;
}

int8_t MXFDataReader::int8Value() {
    return int8_t(*take(1));
}
uint8_t MXFDataReader::uint8Value() {
    return *take(1);
}
int16_t MXFDataReader::int16Value() {
    return int16_t(readBE16(take(2)));
}
uint16_t MXFDataReader::uint16Value() {
    return readBE16(take(2));
}
int32_t MXFDataReader::int32Value() {
    return int32_t(readBE32(take(4)));
}
uint32_t MXFDataReader::uint32Value() {
    return readBE32(take(4));
}
int64_t MXFDataReader::int64Value() {
    return int64_t(readBE64(take(8)));
}
uint64_t MXFDataReader::uint64Value() {
    return readBE64(take(8));
}

MetadataBytes MXFDataReader::rawBytesOfLength(uint64_t length) {
    const uint8_t* bytes = take(length);
    return length == 0 ? MetadataBytes() : MetadataBytes(bytes, bytes + length);
}

MXFIdentifier MXFDataReader::identifierWithType(MXFIdentifierType type, uint64_t length) {
    const uint8_t* bytes = take(length);
    if (length == 0) return MXFIdentifier(std::span<const uint8_t>(), type);
    return MXFIdentifier(std::span<const uint8_t>(bytes, size_t(length)), type);
}

MXFRational MXFDataReader::rationalValue() {
    seekRelativeCheck(8);
    const int32_t numerator = int32Value();
    return MXFRational{numerator, int32Value()};
}

MXFValue MXFDataReader::timestamp() {
    seekRelativeCheck(8);
    DateFields fields;
    fields.year = int16Value();
    fields.month = uint8Value();
    fields.day = uint8Value();
    fields.hour = uint8Value();
    fields.minute = uint8Value();
    fields.second = uint8Value();
    uint8Value();  // quarter milliseconds
    // Dates the clock cannot hold (before 1678 or after 2261 at nanosecond resolution) are no
    // value rather than an overflow.
    const std::optional<MetadataDate> date = fields.dateAtUTCOffset(0);
    return date ? MXFValue(*date) : MXFValue();
}

std::string MXFDataReader::utf16StringWithLength(uint64_t length) {
    const uint8_t* bytes = take(length);
    std::string text;
    for (uint64_t i = 0; i + 1 < length; i += 2) {
        uint32_t unit = readBE16(bytes + i);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < length) {
            const uint32_t low = readBE16(bytes + i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUTF8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;  // unpaired surrogate
        appendUTF8(text, unit);
    }
    return text;
}

std::string MXFDataReader::versionWithLength(uint64_t length) {
    if (length < 8 || length > 10) {
        take(length);
        return "???";
    }
    seekRelativeCheck(length);
    const int major = uint16Value();
    const int minor = uint16Value();
    const int patch = uint16Value();
    const int build = uint16Value();
    // The release field is one byte in 9-byte versions, two in 10-byte ones and absent in 8.
    int release = 0;
    if (length == 9) release = uint8Value();
    if (length == 10) release = uint16Value();
    char text[96];
    std::snprintf(text, sizeof text, "Major: %d, Minor: %d, Patch: %d, Build: %d, Release: %d",
                  major, minor, patch, build, release);
    return text;
}

std::string MXFDataReader::rgbaLayout() {
    const uint8_t* bytes = take(16);
    std::string text;
    for (int pair = 0; pair < 8; ++pair) {
        int code = bytes[2 * pair];
        const int depth = bytes[2 * pair + 1];
        if (code == 0) break;
        if (code > 126) code -= 128;
        text += (code >= 0x20 && code < 0x7F) ? char(code) : '?';
        if (depth <= 32) {
            text += std::to_string(depth);
        } else if (depth == 253) {
            text += "_f16";
        } else if (depth == 254) {
            text += "_f32";
        } else if (depth == 255) {
            text += "_f64";
        } else {
            text += "_???";
        }
    }
    return text;
}

MXFValue MXFDataReader::readDataOfType(int32_t type, uint64_t length) {
    switch (type) {
        case MXFTypeUInt8:
            return MXFValue(uint64_t(uint8Value()));
        case MXFTypeInt8:
            return MXFValue(int64_t(int8Value()));
        case MXFTypeUInt16:
            return MXFValue(uint64_t(uint16Value()));
        case MXFTypeInt16:
            return MXFValue(int64_t(int16Value()));
        case MXFTypeUInt32:
        case MXFTypeUInt32Count:
            return MXFValue(uint64_t(uint32Value()));
        case MXFTypeInt32:
            return MXFValue(int64_t(int32Value()));
        case MXFTypeUInt64:
            return MXFValue(uint64Value());
        case MXFTypeInt64:
        case MXFTypePosition:
        case MXFTypeLength:
            return MXFValue(int64Value());
        case MXFTypeBoolean:
            return MXFValue(uint8Value() != 0);
        case MXFTypeAUID:
        case MXFTypeIDAU:
        case MXFTypeUMID:
        case MXFTypeUL:
        case MXFTypePackageID:
        case MXFTypeUUID:
        case MXFTypeStrongRef:
        case MXFTypeWeakRef:
            return MXFValue(identifierWithType(identifierTypeOfProperty(type), length));
        case MXFTypeRational:
            return MXFValue(rationalValue());
        case MXFTypeTimestamp:
            return timestamp();
        case MXFTypeUTF16String:
            return MXFValue(utf16StringWithLength(length));
        case MXFTypeVersion:
            return MXFValue(versionWithLength(length));
        case MXFTypeRawBytes:
            return MXFValue(rawBytesOfLength(length));
        case MXFTypeRGBALayout:
            return MXFValue(rgbaLayout());
        default:
            take(length);
            return MXFValue("?");
    }
}

MXFValue MXFDataReader::readArrayOfDataWithType(int32_t type, uint64_t length) {
    const uint64_t limit = std::min(length, remainingLength());
    if (limit < 8) throw MXFError::seekCheck();
    const uint32_t count = uint32Value();
    const uint32_t elementSize = uint32Value();
    if (count == 0) return MXFValue();
    // Every element must fit before anything is allocated; zero-width elements cannot. An
    // element wider than its type's value is read from its start and skipped as a whole.
    const uint64_t step = std::max<uint64_t>(fixedWidthOfType(type), elementSize);
    if (step == 0 || count > (limit - 8) / step) throw MXFError::seekCheck();
    MXFValueList values;
    values.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t start = location_;
        values.push_back(readDataOfType(type, elementSize));
        if (location_ - start < elementSize) seekAbsolute(start + elementSize);
    }
    return MXFValue(std::move(values));
}

MXFDataReader MXFDataReader::subReader(uint64_t length) {
    seekRelativeCheck(length);
    MXFDataReader reader(data_, begin_ + location_, length);
    location_ += length;
    return reader;
}

}  // namespace vorlane
