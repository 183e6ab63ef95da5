#include "formats/camera_xml/PanaXMLExtractor.h"

#include <mutex>

#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"

namespace vorlane {
namespace {

constexpr const char* kSemiProSchema = "urn:schemas-Professional-Plug-in:Semi-Pro:ClipMetadata";

}  // namespace

PanaXMLExtractor::PanaXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile)
    : parser_(std::move(parser)), mediaFile_(mediaFile) {}

std::unique_ptr<PanaXMLExtractor> PanaXMLExtractor::extractorWithData(std::span<const uint8_t> data,
                                                                      MediaFile& mediaFile) {
    auto parser = XMLParser::initWithData(data);
    if (!parser) return nullptr;
    return std::unique_ptr<PanaXMLExtractor>(new PanaXMLExtractor(std::move(parser), mediaFile));
}

std::unique_ptr<PanaXMLExtractor> PanaXMLExtractor::extractorWithURL(
    const std::filesystem::path& url, MediaFile& mediaFile) {
    auto parser = XMLParser::initWithURL(url);
    if (!parser) return nullptr;
    return std::unique_ptr<PanaXMLExtractor>(new PanaXMLExtractor(std::move(parser), mediaFile));
}

bool PanaXMLExtractor::isSemiProClipMeta() const {
    return parser_->doesSupportSchema(kSemiProSchema) &&
           parser_->hasRootElementWithName("ClipMain");
}

void PanaXMLExtractor::extractDeviceInfo() {
    const auto maker = parser_->elementAtPath("ClipContent/ClipMetadata/Device/Manufacturer");
    const auto model = parser_->elementAtPath("ClipContent/ClipMetadata/Device/ModelName");
    if (const auto text = maker.tidyString()) mediaFile_.setMetaDataValue(kMaker, *text);
    if (const auto text = model.tidyString()) mediaFile_.setMetaDataValue(kModel, *text);
}

void PanaXMLExtractor::parseClipInfo() {
    if (const auto uuid = parser_->elementAtPath("ClipContent/GlobalClipID").tidyString())
        mediaFile_.setMetaDataValue(kFileUUID, *uuid);
    const auto codec = parser_->elementAtPath("ClipContent/EssenceList/Video/Codec").tidyString();
    std::lock_guard lock(mediaFile_.mutex());
    const std::shared_ptr<MediaTrack> video = mediaFile_.firstVideoTrack();
    if (video && codec) video->metaData()[kVideoOriginalCodecName] = *codec;
}

}  // namespace vorlane
