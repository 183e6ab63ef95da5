#include "platform/aaf/StoredFormat.h"

#include <cstdio>
#include <limits>

namespace vorlane::aaf::StoredFormat {
namespace {

// The next code point of UTF-8 text; U+FFFD for a malformed sequence (one byte consumed).
uint32_t nextCodePoint(const std::string& text, size_t& at) {
    static constexpr uint32_t kReplacement = 0xfffd;
    const auto byte = [&](size_t index) { return uint8_t(text[index]); };
    const uint8_t lead = byte(at);
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xe0) == 0xc0) {
        length = 2, value = lead & 0x1fu, minimum = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3, value = lead & 0x0fu, minimum = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    for (size_t index = 1; index < length; ++index) {
        if ((byte(at + index) & 0xc0) != 0x80) {
            ++at;
            return kReplacement;
        }
        value = (value << 6) | (byte(at + index) & 0x3fu);
    }
    if (value < minimum || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) {
        ++at;
        return kReplacement;
    }
    at += length;
    return value;
}

}  // namespace

void appendUInt8(Bytes& out, uint8_t value) {
    out.push_back(value);
}

void appendUInt16(Bytes& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void appendUInt32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

void appendUInt64(Bytes& out, uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

Bytes encodeAUID(const AUID& id) {
    const auto bytes = id.storedBytes();
    return Bytes(bytes.begin(), bytes.end());
}

Bytes encodeMobID(const MobID& id) {
    return Bytes(id.bytes.begin(), id.bytes.end());
}

Bytes encodeRational(const Rational& value) {
    Bytes out = encodeInteger(value.numerator);
    const Bytes denominator = encodeInteger(value.denominator);
    out.insert(out.end(), denominator.begin(), denominator.end());
    return out;
}

Bytes encodeTimeStamp(const TimeStamp& value) {
    Bytes out = encodeInteger(value.year);
    for (const uint8_t part :
         {value.month, value.day, value.hour, value.minute, value.second, value.fraction})
        out.push_back(part);
    return out;
}

Bytes encodeInt32Array(std::span<const int32_t> values) {
    Bytes out;
    for (const int32_t value : values)
        appendUInt32(out, uint32_t(value));
    return out;
}

Bytes encodeIndirect(const AUID& type, const Bytes& value) {
    Bytes out{kLittleEndian};
    const auto id = type.storedBytes();
    out.insert(out.end(), id.begin(), id.end());
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

bool encodePropertyIndex(const std::vector<PropertyEntry>& entries, Bytes& out) {
    constexpr size_t kLimit = std::numeric_limits<uint16_t>::max();
    if (entries.size() > kLimit) return false;
    size_t total = 4 + 6 * entries.size();
    for (const PropertyEntry& entry : entries) {
        if (entry.value.size() > kLimit) return false;
        total += entry.value.size();
    }
    out.clear();
    out.reserve(total);
    appendUInt8(out, kLittleEndian);
    appendUInt8(out, kPropertyIndexVersion);
    appendUInt16(out, uint16_t(entries.size()));
    for (const PropertyEntry& entry : entries) {
        appendUInt16(out, entry.pid);
        appendUInt16(out, uint16_t(entry.form));
        appendUInt16(out, uint16_t(entry.value.size()));
    }
    for (const PropertyEntry& entry : entries)
        out.insert(out.end(), entry.value.begin(), entry.value.end());
    return true;
}

Bytes encodeVectorIndex(std::span<const uint32_t> localKeys, uint32_t nextFreeKey) {
    Bytes out;
    out.reserve(12 + 4 * localKeys.size());
    appendUInt32(out, uint32_t(localKeys.size()));
    appendUInt32(out, nextFreeKey);
    appendUInt32(out, kNoFreeKey);
    for (const uint32_t key : localKeys)
        appendUInt32(out, key);
    return out;
}

Bytes encodeSetIndex(const std::vector<SetIndexEntry>& entries, uint32_t nextFreeKey,
                     uint16_t keyPid, uint8_t keySize) {
    Bytes out;
    out.reserve(15 + (8 + keySize) * entries.size());
    appendUInt32(out, uint32_t(entries.size()));
    appendUInt32(out, nextFreeKey);
    appendUInt32(out, kNoFreeKey);
    appendUInt16(out, keyPid);
    appendUInt8(out, keySize);
    for (const SetIndexEntry& entry : entries) {
        appendUInt32(out, entry.localKey);
        appendUInt32(out, 1);
        out.insert(out.end(), entry.key.begin(), entry.key.end());
    }
    return out;
}

Bytes encodeWeakReference(uint16_t tag, uint16_t keyPid, std::span<const uint8_t> key) {
    Bytes out;
    appendUInt16(out, tag);
    appendUInt16(out, keyPid);
    appendUInt8(out, uint8_t(key.size()));
    out.insert(out.end(), key.begin(), key.end());
    return out;
}

Bytes encodeReferencedProperties(const std::vector<std::vector<uint16_t>>& paths) {
    uint32_t pidCount = 0;
    for (const auto& path : paths)
        pidCount += uint32_t(path.size() + 1);
    Bytes out;
    appendUInt8(out, kLittleEndian);
    appendUInt16(out, uint16_t(paths.size()));
    appendUInt32(out, pidCount);
    for (const auto& path : paths) {
        for (const uint16_t pid : path)
            appendUInt16(out, pid);
        appendUInt16(out, 0);
    }
    return out;
}

Bytes encodeString(const std::string& utf8) {
    Bytes out;
    out.reserve(2 * utf8.size() + 2);
    for (size_t at = 0; at < utf8.size();) {
        const uint32_t code = nextCodePoint(utf8, at);
        if (code < 0x10000) {
            appendUInt16(out, uint16_t(code));
        } else {
            const uint32_t offset = code - 0x10000;
            appendUInt16(out, uint16_t(0xd800 + (offset >> 10)));
            appendUInt16(out, uint16_t(0xdc00 + (offset & 0x3ff)));
        }
    }
    appendUInt16(out, 0);
    return out;
}

std::string mangledName(const std::string& propertyName, uint16_t pid, size_t limit) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%x", unsigned(pid));
    const std::string hex = suffix;
    const size_t room = limit > hex.size() + 2 ? limit - hex.size() - 2 : 0;
    std::string name = propertyName;
    if (name.size() > room) {
        const size_t head = room / 2;
        const size_t tail = room - head - 1;
        name = propertyName.substr(0, head) + "-" + propertyName.substr(propertyName.size() - tail);
    }
    return name + "-" + hex;
}

std::string elementName(const std::string& collectionName, uint32_t localKey) {
    char key[16];
    std::snprintf(key, sizeof key, "{%x}", unsigned(localKey));
    return collectionName + key;
}

}  // namespace vorlane::aaf::StoredFormat
