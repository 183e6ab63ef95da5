// Panasonic clip metadata: the ClipMain document that Panasonic camcorders embed in their
// MPEG-4 files. The extractor writes the device, the clip's global identifier and the original
// video codec name into the media file's metadata.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "formats/camera_xml/XMLParser.h"

namespace vorlane {

class MediaFile;

class PanaXMLExtractor {
  public:
    // Nothing when the document does not parse.
    static std::unique_ptr<PanaXMLExtractor> extractorWithData(std::span<const uint8_t> data,
                                                               MediaFile& mediaFile);
    static std::unique_ptr<PanaXMLExtractor> extractorWithURL(const std::filesystem::path& url,
                                                              MediaFile& mediaFile);

    // A clip document of the semi-professional schema (root ClipMain).
    bool isSemiProClipMeta() const;
    // ClipContent/ClipMetadata/Device/Manufacturer and ModelName → "Maker", "Model".
    void extractDeviceInfo();
    // ClipContent/GlobalClipID → "FileUUID"; ClipContent/EssenceList/Video/Codec → the first
    // video track's "VideoOriginalCodecName".
    void parseClipInfo();

    const XMLParser& parser() const { return *parser_; }

  private:
    PanaXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile);

    std::unique_ptr<XMLParser> parser_;
    MediaFile& mediaFile_;
};

}  // namespace vorlane
