#include "formats/asset/ID3Tag.h"

#include <algorithm>
#include <vector>

#include "media/MediaFile.h"
#include "platform/ByteOrder.h"
#include "platform/FileReader.h"

namespace vorlane {
namespace {

constexpr size_t kHeaderSize = 10;
constexpr size_t kID3v1Size = 128;
// Tags are read whole up to this size; text frames come first in practice, large pictures
// after them.
constexpr uint64_t kMaximumTagBytes = 16 * 1024 * 1024;

uint32_t synchsafe32(const uint8_t* p) {
    return uint32_t(p[0] & 0x7f) << 21 | uint32_t(p[1] & 0x7f) << 14 | uint32_t(p[2] & 0x7f) << 7 |
           uint32_t(p[3] & 0x7f);
}

// Undoes unsynchronisation: every 0x00 that follows 0xFF was inserted by the writer.
std::vector<uint8_t> resynchronised(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xff && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
    }
    return out;
}

const std::string& laterFrameID(const std::string& id22) {
    static const std::map<std::string, std::string> names = {
        {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
        {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TAL", "TALB"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
        {"TCR", "TCOP"}, {"TYE", "TYER"}, {"TDA", "TDAT"}, {"TIM", "TIME"}, {"TRK", "TRCK"},
        {"TPA", "TPOS"}, {"TEN", "TENC"}, {"TSS", "TSSE"}, {"TLA", "TLAN"}, {"TPB", "TPUB"},
        {"TBP", "TBPM"}, {"TKE", "TKEY"}, {"TLE", "TLEN"}, {"TOA", "TOPE"}, {"TOT", "TOAL"},
        {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TXT", "TEXT"}, {"TRC", "TSRC"},
        {"TMT", "TMED"}, {"TFT", "TFLT"}, {"TDY", "TDLY"}, {"TSI", "TSIZ"}, {"TRD", "TRDA"}};
    const auto found = names.find(id22);
    return found == names.end() ? id22 : found->second;
}

void appendUTF8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += char(codePoint);
    } else if (codePoint < 0x800) {
        text += char(0xc0 | codePoint >> 6);
        text += char(0x80 | (codePoint & 0x3f));
    } else if (codePoint < 0x10000) {
        text += char(0xe0 | codePoint >> 12);
        text += char(0x80 | (codePoint >> 6 & 0x3f));
        text += char(0x80 | (codePoint & 0x3f));
    } else {
        text += char(0xf0 | codePoint >> 18);
        text += char(0x80 | (codePoint >> 12 & 0x3f));
        text += char(0x80 | (codePoint >> 6 & 0x3f));
        text += char(0x80 | (codePoint & 0x3f));
    }
}

std::string latin1Text(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        if (byte == 0) break;
        appendUTF8(text, byte);
    }
    return text;
}

// UTF-16 up to the first NUL character; unpaired surrogates become U+FFFD.
std::string utf16Text(std::span<const uint8_t> bytes, bool bigEndian) {
    std::string text;
    const auto unitAt = [&](size_t i) {
        return bigEndian ? readBE16(bytes.data() + i) : readLE16(bytes.data() + i);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = unitAt(i);
        if (unit == 0) break;
        if (unit >= 0xd800 && unit < 0xdc00 && i + 3 < bytes.size()) {
            const uint32_t low = unitAt(i + 2);
            if (low >= 0xdc00 && low < 0xe000) {
                appendUTF8(text, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xd800 && unit < 0xe000) unit = 0xfffd;
        appendUTF8(text, unit);
    }
    return text;
}

// A text frame's body: encoding byte, then the text (the first value when there are several).
std::string decodeTextFrame(std::span<const uint8_t> body) {
    if (body.empty()) return {};
    const std::span<const uint8_t> text = body.subspan(1);
    switch (body[0]) {
        case 0:
            return latin1Text(text);
        case 1:
            if (text.size() >= 2 && text[0] == 0xfe && text[1] == 0xff)
                return utf16Text(text.subspan(2), true);
            if (text.size() >= 2 && text[0] == 0xff && text[1] == 0xfe)
                return utf16Text(text.subspan(2), false);
            return utf16Text(text, false);  // no byte order mark: the common writers' order
        case 2:
            return utf16Text(text, true);
        case 3:
            return MediaFile::cStringConvert(text.data(), text.size());
        default:
            return {};
    }
}

bool isFrameIDCharacter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

struct FrameLayout {
    size_t idLength;
    size_t headerSize;
};

// The frame body after the flag-announced prefixes, or nothing for a frame that cannot be read
// as text (compressed, encrypted).
std::optional<std::vector<uint8_t>> frameBody(uint8_t majorVersion, uint8_t formatFlags,
                                              std::span<const uint8_t> body,
                                              bool tagUnsynchronised) {
    size_t skip = 0;
    bool unsynchronised = false;
    if (majorVersion == 3) {
        if (formatFlags & 0xc0) return std::nullopt;  // compression, encryption
        if (formatFlags & 0x20) skip += 1;            // grouping identity
    } else if (majorVersion == 4) {
        if (formatFlags & 0x0c) return std::nullopt;  // compression, encryption
        if (formatFlags & 0x40) skip += 1;            // grouping identity
        if (formatFlags & 0x01) skip += 4;            // data length indicator
        unsynchronised = tagUnsynchronised || (formatFlags & 0x02);
    }
    if (skip > body.size()) return std::nullopt;
    body = body.subspan(skip);
    if (unsynchronised) return resynchronised(body);
    return std::vector<uint8_t>(body.begin(), body.end());
}

void readFrames(ID3v2Tag& tag, std::span<const uint8_t> frames, bool tagUnsynchronised) {
    const FrameLayout layout = tag.majorVersion == 2 ? FrameLayout{3, 6} : FrameLayout{4, 10};
    size_t at = 0;
    while (at + layout.headerSize <= frames.size()) {
        const uint8_t* header = frames.data() + at;
        if (!std::all_of(header, header + layout.idLength, isFrameIDCharacter)) break;
        std::string id(reinterpret_cast<const char*>(header), layout.idLength);
        uint64_t size = 0;
        uint8_t formatFlags = 0;
        if (tag.majorVersion == 2) {
            size = readBE24(header + 3);
        } else {
            size = tag.majorVersion == 4 ? synchsafe32(header + 4) : readBE32(header + 4);
            formatFlags = header[9];
        }
        at += layout.headerSize;
        if (size > frames.size() - at) break;
        const auto body = frames.subspan(at, size_t(size));
        at += size_t(size);
        if (tag.majorVersion == 2) id = laterFrameID(id);
        if (id[0] != 'T' || id == "TXXX" || id == "TXX" || tag.textFrames.count(id)) continue;
        if (auto bytes = frameBody(tag.majorVersion, formatFlags, body, tagUnsynchronised)) {
            tag.textFrames.emplace(id, decodeTextFrame(*bytes));
        }
    }
}

// The size of the extended header at the start of the body, or nothing when it is damaged.
std::optional<size_t> extendedHeaderSize(uint8_t majorVersion, std::span<const uint8_t> body) {
    if (body.size() < 4) return std::nullopt;
    const uint64_t size = majorVersion == 4 ? synchsafe32(body.data()) : 4 + readBE32(body.data());
    if (size > body.size()) return std::nullopt;
    return size_t(size);
}

}  // namespace

std::optional<std::string> ID3v2Tag::text(const std::string& frameID) const {
    const auto found = textFrames.find(frameID);
    if (found == textFrames.end()) return std::nullopt;
    return found->second;
}

bool isID3v2Header(std::span<const uint8_t> header) {
    return header.size() >= kHeaderSize && header[0] == 'I' && header[1] == 'D' &&
           header[2] == '3' && header[3] != 0xff && header[4] < 0xff && header[6] < 0x80 &&
           header[7] < 0x80 && header[8] < 0x80 && header[9] < 0x80;
}

std::optional<ID3v2Tag> readID3v2Tag(FileReader& reader) {
    const auto header = reader.readBytes(0, kHeaderSize);
    if (!header || !isID3v2Header(*header)) return std::nullopt;
    ID3v2Tag tag;
    tag.majorVersion = (*header)[3];
    const uint8_t flags = (*header)[5];
    const uint32_t bodySize = synchsafe32(header->data() + 6);
    tag.size = kHeaderSize + bodySize;
    if (tag.majorVersion < 2 || tag.majorVersion > 4) return tag;
    if (tag.majorVersion == 2 && (flags & 0x40)) return tag;  // compressed: no known scheme

    const uint64_t available = reader.size() - std::min<uint64_t>(reader.size(), kHeaderSize);
    const uint64_t length = std::min({uint64_t(bodySize), available, kMaximumTagBytes});
    auto body = reader.readBytes(kHeaderSize, size_t(length));
    if (!body) return tag;
    const bool unsynchronised = (flags & 0x80) != 0;
    // Before version 2.4 unsynchronisation covers the whole tag, the extended header included.
    if (unsynchronised && tag.majorVersion < 4) body = resynchronised(*body);
    std::span<const uint8_t> frames(*body);
    if (tag.majorVersion >= 3 && (flags & 0x40)) {
        const auto skip = extendedHeaderSize(tag.majorVersion, frames);
        if (!skip) return tag;
        frames = frames.subspan(*skip);
    }
    readFrames(tag, frames, unsynchronised && tag.majorVersion == 4);
    return tag;
}

std::optional<ID3v1Tag> readID3v1Tag(FileReader& reader) {
    if (reader.size() < kID3v1Size) return std::nullopt;
    const auto bytes = reader.readBytes(reader.size() - kID3v1Size, kID3v1Size);
    if (!bytes || (*bytes)[0] != 'T' || (*bytes)[1] != 'A' || (*bytes)[2] != 'G') {
        return std::nullopt;
    }
    ID3v1Tag tag;
    tag.title = MediaFile::cStringConvert(bytes->data() + 3, 30);
    tag.artist = MediaFile::cStringConvert(bytes->data() + 33, 30);
    tag.album = MediaFile::cStringConvert(bytes->data() + 63, 30);
    return tag;
}

}  // namespace vorlane
