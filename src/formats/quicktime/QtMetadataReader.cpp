#include "formats/quicktime/QtMetadataReader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <span>

#include "media/MediaFile.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

// Unicode of the Mac OS Roman characters 0x80 to 0xFF, the text encoding of QuickTime user-data
// texts tagged with a Macintosh language code.
constexpr uint16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

// Well-known value types of QuickTime metadata item values.
enum : uint32_t {
    kTypeUTF8 = 1,
    kTypeUTF16 = 2,
    kTypeSignedInteger = 21,
    kTypeUnsignedInteger = 22,
    kTypeFloat32 = 23,
    kTypeFloat64 = 24,
};

// Macintosh language codes run below 0x400; above are packed ISO 639 codes.
constexpr uint16_t kFirstISOLanguage = 0x400;
constexpr uint16_t kUnspecifiedLanguage = 0x7FFF;

void appendUTF8(std::string& text, uint32_t code) {
    if (code < 0x80) {
        text += char(code);
    } else if (code < 0x800) {
        text += char(0xC0 | (code >> 6));
        text += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += char(0xE0 | (code >> 12));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    } else {
        text += char(0xF0 | (code >> 18));
        text += char(0x80 | ((code >> 12) & 0x3F));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    }
}

std::string macRomanText(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        if (byte == 0) break;
        appendUTF8(text, byte < 0x80 ? byte : kMacRoman[byte - 0x80]);
    }
    return text;
}

// Big-endian UTF-16 (after an optional byte order mark); unpaired surrogates become U+FFFD.
std::string utf16Text(std::span<const uint8_t> bytes) {
    size_t at = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF ? 2 : 0;
    std::string text;
    while (at + 1 < bytes.size()) {
        uint32_t unit = readBE16(bytes.data() + at);
        at += 2;
        if (unit == 0) break;
        if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < bytes.size()) {
            const uint32_t low = readBE16(bytes.data() + at);
            if (low >= 0xDC00 && low < 0xE000) {
                at += 2;
                appendUTF8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        appendUTF8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return text;
}

// UTF-8 text up to the first NUL (bytes that are no UTF-8 read as Latin-1).
std::string utf8Text(std::span<const uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return utf16Text(bytes);
    return MediaFile::cStringConvert(bytes.data(), bytes.size());
}

// A four-character key as the platform writes it: the copyright sign of "©mak" in UTF-8.
std::string keyOfType(uint32_t type) {
    std::string key;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint8_t c = uint8_t(type >> shift);
        if (c >= 0x80) {
            appendUTF8(key, c == 0xA9 ? 0xA9u : uint32_t(kMacRoman[c - 0x80]));
        } else {
            key += char(c);
        }
    }
    return key;
}

// Identifiers write the copyright sign as "%A9", as the platform does.
std::string identifierOf(const std::string& keySpace, const std::string& key) {
    std::string encoded;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key.compare(i, 2, "\xC2\xA9") == 0) {
            encoded += "%A9";
            ++i;
        } else {
            encoded += key[i];
        }
    }
    return keySpace + "/" + encoded;
}

MetadataItem makeItem(const std::string& format, const std::string& keySpace,
                      const std::string& key) {
    MetadataItem item;
    item.format = format;
    item.keySpace = keySpace;
    item.key = key;
    item.identifier = identifierOf(keySpace, key);
    return item;
}

// A QuickTime international text: a list of (16-bit length, 16-bit language, text) entries, of
// which the first counts. Texts that do not fit that form are taken whole.
std::string userDataText(std::span<const uint8_t> payload) {
    if (payload.size() >= 4) {
        const uint16_t length = readBE16(payload.data());
        const uint16_t language = readBE16(payload.data() + 2);
        if (size_t(length) + 4 <= payload.size()) {
            const auto text = payload.subspan(4, length);
            const bool macintosh = language < kFirstISOLanguage;
            return macintosh && language != kUnspecifiedLanguage ? macRomanText(text)
                                                                 : utf8Text(text);
        }
    }
    return utf8Text(payload);
}

std::string numberText(uint32_t type, std::span<const uint8_t> value) {
    char text[64];
    if (type == kTypeFloat32 && value.size() == 4) {
        const uint32_t bits = readBE32(value.data());
        float number;
        std::memcpy(&number, &bits, sizeof number);
        std::snprintf(text, sizeof text, "%g", double(number));
        return text;
    }
    if (type == kTypeFloat64 && value.size() == 8) {
        const uint64_t bits = readBE64(value.data());
        double number;
        std::memcpy(&number, &bits, sizeof number);
        std::snprintf(text, sizeof text, "%g", number);
        return text;
    }
    uint64_t bits = 0;
    for (const uint8_t byte : value)
        bits = bits << 8 | byte;
    if (type == kTypeUnsignedInteger) {
        std::snprintf(text, sizeof text, "%" PRIu64, bits);
        return text;
    }
    const unsigned width = unsigned(value.size()) * 8;
    int64_t number = int64_t(bits);
    if (width < 64 && (bits >> (width - 1)) & 1) number = int64_t(bits | (~uint64_t(0) << width));
    std::snprintf(text, sizeof text, "%" PRId64, number);
    return text;
}

// The value of a `data` atom: a type word (a set byte and a 24-bit type), a locale word, then
// the value.
void setItemValue(MetadataItem& item, Atom& data) {
    const uint32_t type = data.readUnit32() & 0x00FFFFFF;
    data.readUnit32();
    const std::vector<uint8_t> value = data.readDataWithLength(data.size() - data.dataLocation());
    const bool integer = type == kTypeSignedInteger || type == kTypeUnsignedInteger;
    if (type == kTypeUTF8) {
        item.stringValue = utf8Text(value);
    } else if (type == kTypeUTF16) {
        item.stringValue = utf16Text(value);
    } else if ((integer && !value.empty() && value.size() <= 8) ||
               ((type == kTypeFloat32 || type == kTypeFloat64) && !value.empty())) {
        item.stringValue = numberText(type, value);
    } else {
        item.dataValue = value;
    }
}

// The atoms inside an atom from `offset` on. Fewer than 8 bytes left is the end: QuickTime ends
// some lists with a 32-bit zero.
std::vector<Atom> childAtoms(Atom& parent, uint64_t offset = 0) {
    std::vector<Atom> children;
    parent.seekAbsolute(offset);
    while (parent.size() - parent.dataLocation() >= 8)
        children.push_back(*parent.readSubAtom());
    return children;
}

// The handler type of a `meta` atom's `hdlr` child: after version and flags and a predefined
// word.
std::optional<uint32_t> handlerType(Atom& meta, uint64_t childrenOffset) {
    for (Atom& child : childAtoms(meta, childrenOffset)) {
        if (child.type() != fourCC("hdlr")) continue;
        child.seekAbsolute(8);
        return child.readUnit32();
    }
    return std::nullopt;
}

struct MetadataKey {
    std::string keySpace;
    std::string name;
};

std::vector<MetadataKey> metadataKeys(Atom& keys) {
    std::vector<MetadataKey> list;
    keys.seekAbsolute(4);  // version and flags
    const uint32_t count = keys.readUnit32();
    for (uint32_t i = 0; i < count && !keys.reachedEnd(); ++i) {
        const uint32_t size = keys.readUnit32();
        if (size < 8) throw AtomSeekError();
        const std::string space = keyOfType(keys.readUnit32());
        const std::vector<uint8_t> name = keys.readDataWithLength(size - 8);
        list.push_back({space, utf8Text(name)});
    }
    return list;
}

}  // namespace

void QtMetadataReader::appendUserDataItems(Atom& userData, const std::string& format,
                                           std::vector<MetadataItem>& items) {
    userData.seekAbsolute(0);
    while (userData.size() - userData.dataLocation() >= 8) {
        Atom child = *userData.readSubAtom();
        if (child.type() == fourCC("meta")) {
            appendMetadataKeyItems(child, items);
            continue;
        }
        MetadataItem item =
            makeItem(format, kMetadataKeySpaceQuickTimeUserData, keyOfType(child.type()));
        const auto payload = child.data();
        if ((child.type() >> 24) == 0xA9) {
            item.stringValue = userDataText(payload);
        } else {
            item.dataValue = std::vector<uint8_t>(payload.begin(), payload.end());
        }
        items.push_back(std::move(item));
    }
}

void QtMetadataReader::appendMetadataKeyItems(Atom& meta, std::vector<MetadataItem>& items) {
    const std::optional<uint64_t> offset = QtAtomReader::childrenOffset(meta);
    if (!offset || handlerType(meta, *offset) != fourCC("mdta")) return;
    std::vector<MetadataKey> keys;
    std::vector<Atom> lists;
    for (Atom& child : childAtoms(meta, *offset)) {
        if (child.type() == fourCC("keys")) keys = metadataKeys(child);
        if (child.type() == fourCC("ilst")) lists.push_back(child);
    }
    for (Atom& list : lists) {
        list.seekAbsolute(0);
        while (list.size() - list.dataLocation() >= 8) {
            Atom entry = *list.readSubAtom();
            // Entries are named by the 1-based index of their key.
            const uint32_t index = entry.type();
            if (index == 0 || index > keys.size()) continue;
            const MetadataKey& key = keys[index - 1];
            MetadataItem item = makeItem(kMetadataFormatQuickTimeMetadata, key.keySpace, key.name);
            for (Atom& data : childAtoms(entry)) {
                if (data.type() != fourCC("data")) continue;
                setItemValue(item, data);
                break;
            }
            items.push_back(std::move(item));
        }
    }
}

std::optional<uint32_t> QtMetadataReader::majorBrand() {
    for (const AtomHeader& header : reader_.atomHeaders()) {
        if (header.type() != fourCC("ftyp")) continue;
        const auto fileType = reader_.loadAtomForHeader(header, kMaxFileTypeSize);
        if (!fileType || fileType->size() < 4) return std::nullopt;
        return readBE32(fileType->data().data());
    }
    return std::nullopt;
}

std::vector<MetadataItem> QtMetadataReader::metadataItems() {
    std::vector<MetadataItem> items;
    const std::vector<AtomHeader> movies = reader_.atomHeadersWithType(fourCC("moov"));
    if (movies.empty()) return items;
    const std::optional<uint32_t> brand = majorBrand();
    const std::string userDataFormat = !brand || *brand == fourCC("qt  ")
                                           ? kMetadataFormatQuickTimeUserData
                                           : kMetadataFormatISOUserData;
    for (const AtomHeader& child : reader_.childHeaders(movies.front())) {
        const bool userData = child.type() == fourCC("udta");
        if (!userData && child.type() != fourCC("meta")) continue;
        auto atom = reader_.loadAtomForHeader(child, kMaxMetadataAtomSize);
        if (!atom) {
            if (child.size() > kMaxMetadataAtomSize)
                Log::writef("QtMetadataReader: %s skipped", child.description().c_str());
            continue;
        }
        QtAtomReader::parseAtoms(atom->description(), [&] {
            if (userData) {
                appendUserDataItems(*atom, userDataFormat, items);
            } else {
                appendMetadataKeyItems(*atom, items);
            }
        });
    }
    return items;
}

std::optional<std::vector<uint8_t>> QtMetadataReader::xmlMetaForFileType(uint32_t brand) {
    bool brandSeen = false;
    for (const AtomHeader& header : reader_.atomHeaders()) {
        if (header.type() == fourCC("ftyp")) {
            const auto fileType = reader_.loadAtomForHeader(header, kMaxFileTypeSize);
            if (!fileType || fileType->size() < 4 || readBE32(fileType->data().data()) != brand)
                return std::nullopt;
            brandSeen = true;
        } else if (header.type() == fourCC("meta") && brandSeen) {
            // A full box: version and flags come before the children.
            for (const AtomHeader& child : reader_.childHeaders(header, 4)) {
                if (child.type() != fourCC("xml ")) continue;
                const auto xml = reader_.loadAtomForHeader(child, kMaxMetadataAtomSize);
                if (!xml || xml->size() <= 4) continue;
                const auto document = xml->data().subspan(4);
                return std::vector<uint8_t>(document.begin(), document.end());
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> metadataItemText(const MetadataItem& item) {
    if (item.stringValue) return item.stringValue;
    if (item.dataValue)
        return MediaFile::cStringConvert(item.dataValue->data(), item.dataValue->size());
    return std::nullopt;
}

}  // namespace vorlane
