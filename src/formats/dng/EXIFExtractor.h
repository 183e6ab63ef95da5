// Camera identity and dates from EXIF data, for the readers whose files carry EXIF: a JPEG
// thumbnail beside or inside a clip, a DNG image, a bare EXIF block from a maker's metadata item.
// The properties come from the platform's EXIF reader, grouped as "{TIFF}", "{Exif}" and
// "{ExifAux}"; they are stored as "ExifData" in the media file's metadata when found.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/MetadataValue.h"

namespace vorlane {

class MediaFile;

class EXIFExtractor {
  public:
    // Each nullptr when the image holds no EXIF the reader understands.
    static std::unique_ptr<EXIFExtractor> extractorWithData(std::span<const uint8_t> image,
                                                            MediaFile& mediaFile);
    static std::unique_ptr<EXIFExtractor> extractorWithURL(const std::filesystem::path& url,
                                                           MediaFile& mediaFile);
    static std::unique_ptr<EXIFExtractor> extractorWithExifData(std::span<const uint8_t> exif,
                                                                MediaFile& mediaFile);

    EXIFExtractor(MetadataDictionary exifDict, MediaFile& mediaFile);

    const MetadataDictionary& exifDict() const { return exifDict_; }

    // "Model", "Firmware", "SerialNumber", "LensModel" and "LensSerialNumber" of the media file.
    void extractDeviceInfo();
    // "OriginalCreationDate" from the original date, else the image's date.
    void extractCreationDate();

    // A date written "yyyy:MM:dd HH:mm:ss" (EXIF and TIFF dates), read in local time.
    static std::optional<MetadataDate> dateWithExifText(const std::string& text);
    // A serial number is used when it has at least 2 characters that are not all the same.
    static bool checkSerial(const std::string& serial);
    // The text at a path of group and key ("{TIFF}.Model"); nothing when absent or empty.
    std::optional<std::string> stringValueOfKeyPath(const std::string& keyPath) const;

  private:
    static std::unique_ptr<EXIFExtractor> extractorWithProperties(
        std::optional<MetadataDictionary> properties, MediaFile& mediaFile);
    // The first of the paths whose text passes checkSerial.
    std::optional<std::string> serialAt(std::initializer_list<const char*> keyPaths) const;

    MetadataDictionary exifDict_;
    MediaFile& mediaFile_;
};

}  // namespace vorlane
