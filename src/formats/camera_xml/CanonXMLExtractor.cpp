#include "formats/camera_xml/CanonXMLExtractor.h"

#include <string>
#include <utility>

#include "media/MediaFile.h"

namespace vorlane {

CanonXMLExtractor::CanonXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile)
    : parser_(std::move(parser)), mediaFile_(mediaFile) {}

std::unique_ptr<CanonXMLExtractor> CanonXMLExtractor::extractorWithData(
    std::span<const uint8_t> data, MediaFile& mediaFile) {
    auto parser = XMLParser::initWithData(data);
    if (!parser) return nullptr;
    return std::unique_ptr<CanonXMLExtractor>(new CanonXMLExtractor(std::move(parser), mediaFile));
}

std::unique_ptr<CanonXMLExtractor> CanonXMLExtractor::extractorWithURL(
    const std::filesystem::path& url, MediaFile& mediaFile) {
    auto parser = XMLParser::initWithURL(url);
    if (!parser) return nullptr;
    return std::unique_ptr<CanonXMLExtractor>(new CanonXMLExtractor(std::move(parser), mediaFile));
}

std::optional<std::filesystem::path> CanonXMLExtractor::xmlURLForMediaFile(
    const MediaFile& mediaFile) {
    const std::optional<std::string> model = mediaFile.modelname();
    if (!model) return std::nullopt;
    std::filesystem::path clip = mediaFile.sourceURLPath();
    if (*model == "EOS C300")
        return clip.parent_path() / (clip.filename().string().substr(0, 6) + ".XML");
    if (*model == "EOS C300 Mark II") return clip.replace_extension("XML");
    return std::nullopt;
}

bool CanonXMLExtractor::isVideoClipMeta() const {
    return parser_->hasRootElementWithName("VideoClip");
}

void CanonXMLExtractor::extractDeviceInfo() {
    const std::pair<const char*, const char*> fields[] = {{"Device/Manufacturer", kMaker},
                                                          {"Device/ModelName", kModel},
                                                          {"Device/FirmVersion", kFirmware},
                                                          {"Device/SerialNo", kSerialNumber},
                                                          {"Device/Lens", kLensModel}};
    for (const auto& [path, key] : fields) {
        if (const std::optional<std::string> text = parser_->elementAtPath(path).tidyString())
            mediaFile_.setMetaDataValue(key, *text);
    }
}

}  // namespace vorlane
