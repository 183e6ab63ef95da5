#include "formats/wave/IXMLChunk.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "media/MediaTypes.h"
#include "platform/Text.h"
#include "platform/XMLDocument.h"
#include "timecode/TCHelper.h"

namespace vorlane {

double leadingNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    if (start < text.size() && text[start] == '+') ++start;
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(),
                                              number, std::chars_format::fixed);
    return error == std::errc() && std::isfinite(number) ? number : 0.0;
}

double exactFrameRate(double rate) {
    if (!std::isfinite(rate) || rate <= 0.0) return 0.0;
    const double standard = TCHelper::quantizedFrameRate(rate);
    return standard > 0.0 ? standard : rate;
}

namespace {

// Hexadecimal digits after optional blanks and "0x"; digits past 32 bits keep the value at its
// largest, as a scanner of 32-bit numbers does.
uint32_t hexUserBits(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (text.size() - i >= 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    uint64_t value = 0;
    for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
        const char c = char(std::toupper(static_cast<unsigned char>(text[i])));
        value = value * 16 + uint64_t(c <= '9' ? c - '0' : c - 'A' + 10);
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return uint32_t(value);
}

void setText(MetadataDictionary& metaData, const char* key, const XMLNode& node) {
    if (!node) return;
    std::string text = node.text();
    if (!text.empty()) metaData[key] = std::move(text);
}

// "n/d" with both parts above 0; anything else leaves the rate as it was.
void readTimecodeRate(const std::string& text, RecorderMetadata& values) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return;
    const double numerator = leadingNumber(std::string_view(text).substr(0, slash));
    const double denominator = leadingNumber(std::string_view(text).substr(slash + 1));
    if (numerator > 0.0 && denominator > 0.0)
        values.frameRate = exactFrameRate(numerator / denominator);
}

void readSpeed(const XMLNode& speed, RecorderMetadata& values) {
    for (const XMLNode& child : speed.children()) {
        const std::string name = upperCased(child.name());
        if (name == "TIMECODE_RATE") readTimecodeRate(child.text(), values);
        if (name == "TIMECODE_FLAG") values.dropFrame = upperCased(child.text()) == "DF";
    }
}

MetadataList readTrackList(const XMLNode& trackList) {
    static constexpr std::pair<const char*, const char*> fields[] = {
        {"CHANNEL_INDEX", kAudioChannelIndex},
        {"INTERLEAVE_INDEX", kAudioInterleaveIndex},
        {"NAME", kAudioChannelName},
        {"FUNCTION", kAudioChannelRouting},
    };
    MetadataList channels;
    for (const XMLNode& track : trackList.children()) {
        if (upperCased(track.name()) != "TRACK") continue;
        MetadataDictionary channel;
        for (const auto& [element, key] : fields)
            if (XMLNode value = track.childIgnoringCase(element)) channel[key] = value.text();
        channels.emplace_back(std::move(channel));
    }
    return channels;
}

void readRootChild(const XMLNode& child, RecorderMetadata& values) {
    static constexpr std::pair<const char*, const char*> texts[] = {
        {"SCENE", kScene}, {"TAKE", kTake},         {"TAPE", kReel},
        {"NOTE", kNote},   {"FILE_UID", kFileUUID},
    };
    MetadataDictionary& metaData = values.fileMetaData;
    const std::string name = upperCased(child.name());
    for (const auto& [element, key] : texts)
        if (name == element) setText(metaData, key, child);
    if (name == "UBITS") values.userBits = hexUserBits(child.text());
    if (name == "SPEED") readSpeed(child, values);
    if (name == "HISTORY")
        setText(metaData, kOriginalFilename, child.childIgnoringCase("ORIGINAL_FILENAME"));
    if (name == "FILE_SET") {
        setText(metaData, kBWFFileSetTotalFiles, child.childIgnoringCase("TOTAL_FILES"));
        setText(metaData, kBWFFileSetFamilyUID, child.childIgnoringCase("FAMILY_UID"));
    }
    if (name == "TRACK_LIST") values.channelList = readTrackList(child);
    if (name == "USER") {
        setText(metaData, kModel, child.childIgnoringCase("AUDIO_RECORDER_MODEL"));
        setText(metaData, kSerialNumber, child.childIgnoringCase("AUDIO_RECORDER_SERIAL_NUMBER"));
        setText(metaData, kFirmware, child.childIgnoringCase("AUDIO_RECORDER_FIRMWARE"));
    }
}

}  // namespace

std::optional<RecorderMetadata> IXMLChunk::read(std::span<const uint8_t> bytes) {
    const std::optional<XMLDocument> document =
        XMLDocument::parse(bytes, XMLDocument::ParseMode::Tidy);
    if (!document) return std::nullopt;
    RecorderMetadata values;
    const XMLNode root = document->root();
    if (upperCased(root.name()) != "BWFXML") return values;
    for (const XMLNode& child : root.children())
        readRootChild(child, values);
    return values;
}

std::string IXMLChunk::build(const TCHelper* timecode, const std::optional<std::string>& tape,
                             const std::optional<std::string>& scene,
                             const std::optional<std::string>& take) {
    XMLDocument document;
    XMLNode root = document.appendChild("BWFXML");
    root.appendChild("IXML_VERSION", "1.5");
    if (timecode && timecode->frameRate() > 0.0) {
        const CMTime frame = timecode->frameDuration();
        const std::string rate =
            formatMediaText("%d/%lld", int(frame.timescale), (long long)frame.value);
        XMLNode speed = root.appendChild("SPEED");
        for (const char* name : {"MASTER_SPEED", "CURRENT_SPEED", "TIMECODE_RATE"})
            speed.appendChild(name, rate);
        speed.appendChild("TIMECODE_FLAG", timecode->dropFrameString());
        root.appendChild("UBITS", formatMediaText("%08X", timecode->rawUserBits()));
    }
    if (tape) root.appendChild("TAPE", *tape);
    if (scene) root.appendChild("SCENE", *scene);
    if (take) root.appendChild("TAKE", *take);
    return document.xmlString(true, true);
}

}  // namespace vorlane
