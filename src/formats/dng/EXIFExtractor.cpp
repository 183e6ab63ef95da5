#include "formats/dng/EXIFExtractor.h"

#include <algorithm>

#include "media/MediaFile.h"
#include "platform/DateParsing.h"
#include "platform/ExifProperties.h"

namespace vorlane {

EXIFExtractor::EXIFExtractor(MetadataDictionary exifDict, MediaFile& mediaFile)
    : exifDict_(std::move(exifDict)), mediaFile_(mediaFile) {}

std::unique_ptr<EXIFExtractor> EXIFExtractor::extractorWithProperties(
    std::optional<MetadataDictionary> properties, MediaFile& mediaFile) {
    if (!properties) return nullptr;
    mediaFile.setMetaDataValue(kExifData, *properties);
    return std::make_unique<EXIFExtractor>(std::move(*properties), mediaFile);
}

std::unique_ptr<EXIFExtractor> EXIFExtractor::extractorWithData(std::span<const uint8_t> image,
                                                                MediaFile& mediaFile) {
    return extractorWithProperties(ExifProperties::propertiesOfImageData(image), mediaFile);
}

std::unique_ptr<EXIFExtractor> EXIFExtractor::extractorWithURL(const std::filesystem::path& url,
                                                               MediaFile& mediaFile) {
    return extractorWithProperties(ExifProperties::propertiesOfFile(url), mediaFile);
}

std::unique_ptr<EXIFExtractor> EXIFExtractor::extractorWithExifData(std::span<const uint8_t> exif,
                                                                    MediaFile& mediaFile) {
    return extractorWithProperties(ExifProperties::propertiesOfExifSegment(exif), mediaFile);
}

std::optional<std::string> EXIFExtractor::stringValueOfKeyPath(const std::string& keyPath) const {
    const size_t dot = keyPath.find('.');
    if (dot == std::string::npos) return std::nullopt;
    const auto group = exifDict_.find(keyPath.substr(0, dot));
    if (group == exifDict_.end() || !group->second.dictionary()) return std::nullopt;
    const std::optional<std::string> text =
        metadataString(*group->second.dictionary(), keyPath.substr(dot + 1));
    if (!text || text->empty()) return std::nullopt;
    return text;
}

bool EXIFExtractor::checkSerial(const std::string& serial) {
    return serial.size() >= 2 &&
           std::any_of(serial.begin(), serial.end(), [&](char c) { return c != serial[0]; });
}

std::optional<std::string> EXIFExtractor::serialAt(
    std::initializer_list<const char*> keyPaths) const {
    for (const char* keyPath : keyPaths) {
        const std::optional<std::string> serial = stringValueOfKeyPath(keyPath);
        if (serial && checkSerial(*serial)) return serial;
    }
    return std::nullopt;
}

void EXIFExtractor::extractDeviceInfo() {
    if (const auto model = stringValueOfKeyPath("{TIFF}.Model"))
        mediaFile_.setMetaDataValue(kModel, *model);
    if (const auto firmware = stringValueOfKeyPath("{ExifAux}.Firmware"))
        mediaFile_.setMetaDataValue(kFirmware, *firmware);
    if (const auto serial = serialAt({"{Exif}.BodySerialNumber", "{ExifAux}.SerialNumber"}))
        mediaFile_.setMetaDataValue(kSerialNumber, *serial);
    if (const auto lens = stringValueOfKeyPath("{ExifAux}.LensModel"))
        mediaFile_.setMetaDataValue(kLensModel, *lens);
    if (const auto lensSerial = serialAt({"{ExifAux}.LensSerialNumber", "{Exif}.LensSerialNumber"}))
        mediaFile_.setMetaDataValue(kLensSerialNumber, *lensSerial);
}

std::optional<MetadataDate> EXIFExtractor::dateWithExifText(const std::string& text) {
    // "2005:08:03 18:59:18": the date's colons become the dashes of the common form.
    if (text.size() < 10 || text[4] != ':' || text[7] != ':') return std::nullopt;
    std::string common = text;
    common[4] = common[7] = '-';
    return DateParsing::dateWithText(common, DateParsing::ZoneWhenAbsent::Local);
}

void EXIFExtractor::extractCreationDate() {
    std::optional<std::string> text = stringValueOfKeyPath("{Exif}.DateTimeOriginal");
    if (!text) text = stringValueOfKeyPath("{TIFF}.DateTime");
    if (!text) return;
    if (const auto date = dateWithExifText(*text))
        mediaFile_.setMetaDataValue(kOriginalCreationDate, *date);
}

}  // namespace vorlane
