#include "formats/asset/AVCHDFile.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "formats/asset/AVCCExtractor.h"
#include "media/MediaText.h"
#include "platform/DateFields.h"
#include "platform/FileReader.h"
#include "platform/Text.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr uint8_t kSyncByte = 0x47;
constexpr size_t kUnitSize = 192;
constexpr size_t kPacketSize = 188;
// Units that must follow each other at the stream's start.
constexpr size_t kSyncRun = 5;
// The end of the user-data identifier of AVCHD camera metadata, followed by "MDPM".
constexpr std::array<uint8_t, 6> kMDPMMarker = {0x9a, 0x66, 0x4d, 0x44, 0x50, 0x4d};
constexpr size_t kTagSize = 5;

enum MDPMTag : uint8_t {
    kTagTimecode = 0x13,
    kTagUserBits = 0x14,
    kTagDateYearMonth = 0x18,
    kTagDateDayTime = 0x19,
    kTagMaker = 0xe0,
    kTagModel1 = 0xe4,
    kTagModel2 = 0xe5,
    kTagModel3 = 0xe6,
};

std::optional<size_t> firstUnitStart(const MetadataBytes& data) {
    for (size_t start = 0; start + (kSyncRun - 1) * kUnitSize < data.size(); ++start) {
        bool synced = true;
        for (size_t unit = 0; unit < kSyncRun && synced; ++unit)
            synced = data[start + unit * kUnitSize] == kSyncByte;
        if (synced) return start;
    }
    return std::nullopt;
}

// The elementary-stream bytes of one video packet: after the adaptation field and, where a PES
// packet starts, after its header.
std::span<const uint8_t> videoPayloadOfPacket(std::span<const uint8_t> packet) {
    const uint8_t adaptation = (packet[3] >> 4) & 3;
    if (!(adaptation & 1)) return {};  // no payload
    size_t at = 4;
    if (adaptation == 3) at = 5 + size_t(packet[4]);
    if (at >= packet.size()) return {};
    std::span<const uint8_t> payload = packet.subspan(at);
    const bool unitStart = (packet[1] & 0x40) != 0;
    if (unitStart && payload.size() >= 9 && payload[0] == 0 && payload[1] == 0 && payload[2] == 1) {
        const size_t headerSize = 9 + size_t(payload[8]);
        payload =
            headerSize <= payload.size() ? payload.subspan(headerSize) : std::span<const uint8_t>();
    }
    return payload;
}

bool isVideoPacket(std::span<const uint8_t> packet) {
    return packet[0] == kSyncByte && (packet[1] & 0x1f) == 0x10 && packet[2] == 0x11;
}

struct Tag {
    uint8_t identifier = 0;
    std::array<uint8_t, 4> data{};
};

// A local wall-clock date from "yyyy-MM-dd HH:mm:ss"; nothing when the text is no such date.
std::optional<MetadataDate> localDate(const std::string& text) {
    static constexpr char kPattern[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != sizeof(kPattern) - 1) return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return std::nullopt;
    }
    const auto number = [&](size_t at, size_t length) {
        return std::stoi(text.substr(at, length));
    };
    return DateFields{number(0, 4),  number(5, 2),  number(8, 2),
                      number(11, 2), number(14, 2), number(17, 2)}
        .localDate();
}

// Hours, minutes, seconds and frames as binary-coded decimal digits.
bool isDecimalTimecode(const Tag& tag) {
    return std::all_of(tag.data.begin(), tag.data.end(),
                       [](uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0f) <= 9; });
}

const char* makerName(const Tag& tag) {
    const uint8_t first = tag.data[0];
    const uint8_t second = tag.data[1];
    if (first == 0x11 && second == 0x04) return "JVC";
    if (first == 0x10 && second == 0x11) return "Canon";
    if (first == 0x01 && second == 0x03) return "Panasonic";
    if (first == 0x01 && second == 0x08) return "Sony";
    return nullptr;
}

std::string dictionaryText(const MetadataDictionary& dictionary) {
    std::string text;
    for (const auto& [key, value] : dictionary) {
        const std::string* string = value.string();
        text += key + " = " + (string ? *string : std::string("?")) + "\n";
    }
    return text;
}

}  // namespace

AVCHDFile::AVCHDFile(std::filesystem::path url) : AVFoundationFile(std::move(url)) {}

bool AVCHDFile::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "MTS";
}

std::optional<MetadataBytes> AVCHDFile::readMTSVideoPayload(FileReader& reader, size_t size) {
    const auto data = reader.readBytes(0, size_t(std::min<uint64_t>(size, reader.size())));
    if (!data) return std::nullopt;
    MetadataBytes payload;
    const std::optional<size_t> start = firstUnitStart(*data);
    if (!start) return payload;
    for (size_t at = *start; at + kPacketSize <= data->size(); at += kUnitSize) {
        const std::span<const uint8_t> packet(data->data() + at, kPacketSize);
        if (!isVideoPacket(packet)) continue;
        const std::span<const uint8_t> bytes = videoPayloadOfPacket(packet);
        payload.insert(payload.end(), bytes.begin(), bytes.end());
    }
    return payload;
}

std::optional<MetadataBytes> AVCHDFile::readMTSVideoPayloadOfSize(size_t size) const {
    const std::unique_ptr<FileReader> reader = FileReader::open(sourceURLPath());
    if (!reader) return std::nullopt;
    return readMTSVideoPayload(*reader, size);
}

std::optional<MetadataBytes> AVCHDFile::avcCDataWithPayload(std::span<const uint8_t> payload) {
    return AVCCExtractor::avcCDataWithAnnexB(payload);
}

std::optional<MetadataBytes> AVCHDFile::seiDataWithPayload(std::span<const uint8_t> payload) {
    const auto found =
        std::search(payload.begin(), payload.end(), kMDPMMarker.begin(), kMDPMMarker.end());
    if (found == payload.end()) return std::nullopt;
    const size_t after = size_t(found - payload.begin()) + kMDPMMarker.size();
    return rbspOfNALUnit(payload.subspan(after));
}

void AVCHDFile::h264SEIExtractionWithData(std::span<const uint8_t> data) {
    if (data.empty() || data[0] == 0) return;
    const size_t count = data[0];
    std::vector<Tag> tags;
    for (size_t i = 0; i < count && 1 + (i + 1) * kTagSize <= data.size(); ++i) {
        const uint8_t* bytes = data.data() + 1 + i * kTagSize;
        tags.push_back({bytes[0], {bytes[1], bytes[2], bytes[3], bytes[4]}});
    }
    const auto identifierAt = [&](size_t i) { return i < tags.size() ? tags[i].identifier : 0; };

    MetadataDictionary dictionary;
    for (const Tag& tag : tags) {
        dictionary[formatMediaText("TAG 0x%x", tag.identifier)] = formatMediaText(
            "{%02x,%02x,%02x,%02x}", tag.data[0], tag.data[1], tag.data[2], tag.data[3]);
    }

    const double rate = frameRate();
    for (size_t i = 0; i < tags.size(); ++i) {
        const Tag& tag = tags[i];
        if (tag.identifier == kTagTimecode) {
            const std::shared_ptr<TCHelper> value = TCHelper::helperWithFrameRate(rate, false);
            value->setType(TCTypeFile);
            value->setIndex(0);
            value->setSource("SEI Metadata");
            // Binary-coded decimal hours, minutes, seconds and frames, frames first.
            const bool parsed =
                isDecimalTimecode(tag) &&
                value->setTimecodeString(formatMediaText("%02X:%02X:%02X:%02X", tag.data[3],
                                                         tag.data[2], tag.data[1], tag.data[0]));
            if (identifierAt(i + 1) == kTagUserBits) {
                const auto& bits = tags[++i].data;
                value->setRawUserBits(uint32_t(bits[0]) | uint32_t(bits[1]) << 8 |
                                      uint32_t(bits[2]) << 16 | uint32_t(bits[3]) << 24);
            }
            // Cameras without timecode fill the tag with bytes that are no decimal digits; such a
            // tag gives no timecode rather than midnight.
            if (parsed) {
                std::lock_guard lock(mutex());
                addTimecodeTrackWithTCHelper(value);
            }
        } else if (tag.identifier == kTagDateYearMonth && identifierAt(i + 1) == kTagDateDayTime) {
            const Tag& dayTime = tags[++i];
            const std::string text = formatMediaText(
                "%02x%02x-%02x-%02x %02x:%02x:%02x", tag.data[1], tag.data[2], tag.data[3],
                dayTime.data[0], dayTime.data[1], dayTime.data[2], dayTime.data[3]);
            if (const auto date = localDate(text)) setMetaDataValue(kOriginalCreationDate, *date);
        } else if (tag.identifier == kTagMaker) {
            if (const char* maker = makerName(tag)) setMetaDataValue(kMaker, maker);
        } else if (tag.identifier == kTagModel1 && manufacturer() == "Sony" &&
                   identifierAt(i + 1) == kTagModel2 && identifierAt(i + 2) == kTagModel3) {
            std::array<uint8_t, 12> name{};
            for (size_t part = 0; part < 3; ++part)
                std::copy(tags[i + part].data.begin(), tags[i + part].data.end(),
                          name.begin() + std::ptrdiff_t(part * 4));
            setMetaDataValue(kModel, cStringConvert(name.data(), name.size()));
            i += 2;
        }
    }
    setMetaDataValue(kMFSEIData, dictionary);
}

void AVCHDFile::analyzeMTSMetadata() {
    const std::optional<MetadataBytes> payload = readMTSVideoPayloadOfSize(kVideoPayloadSearchSize);
    if (!payload) return;
    if (const std::optional<MetadataBytes> record = avcCDataWithPayload(*payload)) {
        std::lock_guard lock(mutex());
        if (const std::shared_ptr<MediaTrack> video = firstVideoTrack()) {
            video->metaData()[kVideoAVCC] = *record;
            AVCCExtractor extractor(*record, video);
            extractor.extractVideoSizeAndFrameRate();
            extractor.extractH264ProfileAndLevel();
        }
    }
    if (const std::optional<MetadataBytes> camera = seiDataWithPayload(*payload))
        h264SEIExtractionWithData(*camera);
}

void AVCHDFile::analyzeWithOptions(const MetadataDictionary& options) {
    AVFoundationFile::analyzeWithOptions(options);
    if (!loadAsset()) return;
    analyzeMTSMetadata();
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

std::string AVCHDFile::extendedMetaDescription(int32_t level) const {
    std::string text = AVFoundationFile::extendedMetaDescription(level);
    const std::optional<MetadataValue> camera = metaDataValue(kMFSEIData);
    if (!camera) return text;
    if (level < 1) return text + "SEI Metadata = YES\n";
    const MetadataDictionary* dictionary = camera->dictionary();
    return text + "\n\n+++ SEI Metadata +++\n\n" +
           (dictionary ? dictionaryText(*dictionary) : std::string());
}

}  // namespace vorlane
