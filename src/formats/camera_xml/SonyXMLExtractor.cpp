#include "formats/camera_xml/SonyXMLExtractor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "platform/DateParsing.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr const char* kProfessionalDiscSchema = "urn:schemas-professionalDisc:nonRealTimeMeta";

// Hexadecimal digits after optional white space and "0x"; 0 when there are none, all ones when
// they overflow 32 bits.
uint32_t scanHex(const std::optional<std::string>& text) {
    if (!text) return 0;
    const std::optional<std::string> tidied = tidy(*text);
    if (!tidied) return 0;
    std::string_view digits = *tidied;
    if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2);
    uint64_t value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + uint64_t(digit);
        if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return uint32_t(value);
}

// The leading number of a text; 0 when it has none.
double scanNumber(const std::optional<std::string>& text) {
    if (!text) return 0.0;
    const double value = std::strtod(text->c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

// Both nibbles of a binary-coded-decimal byte are decimal digits.
bool isBCD(uint32_t byte) {
    return (byte & 0x0F) <= 9 && (byte >> 4) <= 9;
}

uint32_t doubledBCD(uint32_t bcd) {
    const uint32_t doubled = ((bcd >> 4) * 10 + (bcd & 0x0F)) * 2;
    return (doubled / 10) << 4 | (doubled % 10);
}

void setString(MediaFile& file, const char* key, const XMLPathNode& node) {
    if (const std::optional<std::string> text = node.tidyString())
        file.setMetaDataValue(key, *text);
}

// The table gives whole rates ("30" for 29.97 material) and marks drop frame only in the frames
// byte of the timecode. The exact rate comes from the clip's video when it runs at the NTSC
// variant of the table's rate; a drop-frame mark alone also means the NTSC rate, as drop frame
// exists only there.
struct ClipRate {
    double frameRate;
    bool dropFrame;
};

ClipRate clipRate(double tableRate, bool dropFlag, const MediaFile& file) {
    const std::shared_ptr<MediaTrack> video = file.firstVideoTrack();
    const double videoRate = video ? TCHelper::quantizedFrameRate(video->videoFrameRate()) : 0.0;
    const bool dropRate = tableRate == 30.0 || tableRate == 60.0;
    bool ntsc = false;
    if (videoRate > 0.0 && std::round(videoRate) == tableRate) {
        ntsc = videoRate != tableRate;
    } else {
        ntsc = dropFlag && dropRate;
    }
    if (!ntsc) return {tableRate, false};
    return {tableRate * 1000.0 / 1001.0, dropFlag && dropRate};
}

}  // namespace

SonyXMLExtractor::SonyXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile)
    : parser_(std::move(parser)), mediaFile_(mediaFile) {}

std::unique_ptr<SonyXMLExtractor> SonyXMLExtractor::extractorWithData(std::span<const uint8_t> data,
                                                                      MediaFile& mediaFile) {
    auto parser = XMLParser::initWithData(data);
    if (!parser) return nullptr;
    return std::unique_ptr<SonyXMLExtractor>(new SonyXMLExtractor(std::move(parser), mediaFile));
}

std::unique_ptr<SonyXMLExtractor> SonyXMLExtractor::extractorWithURL(
    const std::filesystem::path& url, MediaFile& mediaFile) {
    auto parser = XMLParser::initWithURL(url);
    if (!parser) return nullptr;
    return std::unique_ptr<SonyXMLExtractor>(new SonyXMLExtractor(std::move(parser), mediaFile));
}

std::filesystem::path SonyXMLExtractor::mediaProXMLURLForMediaFile(const MediaFile& mediaFile) {
    return mediaFile.sourceURLPath().parent_path().parent_path() / "MEDIAPRO.XML";
}

std::filesystem::path SonyXMLExtractor::clipXMLURLForMediaFile(const MediaFile& mediaFile) {
    if (const std::optional<std::string> url = mediaFile.metaDataString(kXMLMetaDataURL))
        return *url;
    const std::filesystem::path clip = mediaFile.sourceURLPath();
    return clip.parent_path() / (clip.stem().string() + "M01.XML");
}

bool SonyXMLExtractor::isProfessionalDiscMeta() const {
    return parser_->doesSupportSchema(kProfessionalDiscSchema) &&
           parser_->hasRootElementWithName("NonRealTimeMeta");
}

bool SonyXMLExtractor::isMediaProfileMeta() const {
    return parser_->hasRootElementWithName("MediaProfile");
}

void SonyXMLExtractor::extractDeviceInfo() {
    setString(mediaFile_, kMaker, parser_->elementAtPath("Device.manufacturer"));
    setString(mediaFile_, kModel, parser_->elementAtPath("Device.modelName"));
    setString(mediaFile_, kSerialNumber, parser_->elementAtPath("Device.serialNo"));
    setString(mediaFile_, kLensModel, parser_->elementAtPath("Lens.modelName"));
}

void SonyXMLExtractor::extractCreationDate() {
    const std::optional<std::string> text =
        parser_->elementAtPath("CreationDate.value").tidyString();
    if (!text) return;
    if (const auto date = DateParsing::dateWithText(*text, DateParsing::ZoneWhenAbsent::UTC))
        mediaFile_.setMetaDataValue(kOriginalCreationDate, *date);
}

void SonyXMLExtractor::extractTimecodeAndVideoRate() {
    const XMLPathNode table = parser_->elementAtPath("LtcChangeTable");
    if (!table) return;
    double rate = scanNumber(table.element().attribute("tcFps"));
    const bool halfStep = table.element().attribute("halfStep") == "true";
    const XMLPathNode change = parser_->elementAtPath(
        "LtcChange.frameCount", [](const std::string& count) { return tidy(count) == "0"; },
        table.element());
    // Without a change at the first frame the table says nothing about the clip's start.
    if (!change) return;
    const uint32_t value = scanHex(change.element().attribute("value"));
    const uint32_t hours = value & 0xFF;
    const uint32_t minutes = (value >> 8) & 0xFF;
    const uint32_t seconds = (value >> 16) & 0xFF;
    uint32_t frames = (value >> 24) & 0x3F;
    const bool dropFlag = (value >> 24) & 0x40;
    // Fields that are no decimal digits give no timecode.
    if (!isBCD(hours) || !isBCD(minutes) || !isBCD(seconds) || !isBCD(frames)) return;
    if (halfStep) {
        frames = doubledBCD(frames);
        rate *= 2.0;
    }
    const ClipRate clip = clipRate(rate, dropFlag, mediaFile_);
    auto timecode = TCHelper::helperWithFrameRate(clip.frameRate, clip.dropFrame);
    timecode->setType(TCTypeFile);
    timecode->setSource(kTimecodeSource);
    char text[32];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X", hours, minutes, seconds, frames);
    // Fields beyond the rate give no timecode.
    if (!timecode->setTimecodeString(text)) return;
    mediaFile_.addTimecodeTrackWithTCHelper(timecode);
}

void SonyXMLExtractor::extractRelevantURLs() {
    const std::filesystem::path clip = mediaFile_.sourceURLPath();
    const std::filesystem::path base = clip.parent_path().parent_path();
    const std::string clipName = clip.filename().string();
    if (clipName.empty()) return;
    const XMLPathNode material = parser_->elementAtPath(
        "Contents/Material.uri",
        [&](const std::string& uri) { return std::string_view(uri).ends_with(clipName); },
        XMLNode());
    if (!material) return;
    const auto store = [&](const char* key, const XMLPathNode& node) {
        const std::optional<std::string> uri = node.tidyString();
        if (uri) mediaFile_.setMetaDataValue(key, (base / *uri).lexically_normal().string());
    };
    const auto relevantInfo = [&](const char* type) {
        const XMLPathNode info = parser_->elementAtPath(
            "RelevantInfo.type", [type](const std::string& value) { return value == type; },
            material.element());
        return info ? XMLPathNode(info.element(), "uri") : XMLPathNode();
    };
    store(kProxyURL, parser_->elementAtPath("Proxy.uri", material.element()));
    store(kOriginalThumbnailURL, relevantInfo("JPG"));
    store(kXMLMetaDataURL, relevantInfo("XML"));
}

}  // namespace vorlane
