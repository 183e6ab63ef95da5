// Canon clip metadata: the VideoClip document that Canon cinema cameras write beside each MXF
// clip. The extractor writes the device (maker, model, firmware, serial number, lens) into the
// media file's metadata.
//
// Use (the MXF reader, say): xmlURLForMediaFile() names the document for the clip's model;
// make an extractor from it with the clip's MediaFile, check isVideoClipMeta(), then
// extractDeviceInfo().
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "formats/camera_xml/XMLParser.h"

namespace vorlane {

class MediaFile;

class CanonXMLExtractor {
  public:
    // Nothing when the document does not parse.
    static std::unique_ptr<CanonXMLExtractor> extractorWithData(std::span<const uint8_t> data,
                                                                MediaFile& mediaFile);
    static std::unique_ptr<CanonXMLExtractor> extractorWithURL(const std::filesystem::path& url,
                                                               MediaFile& mediaFile);

    // By the file's model: "EOS C300": the first six characters of the clip's name and ".XML",
    // beside the clip; "EOS C300 Mark II": the clip's path with the extension "XML"; other
    // models keep no such document (nothing).
    static std::optional<std::filesystem::path> xmlURLForMediaFile(const MediaFile& mediaFile);

    // A clip document (root VideoClip).
    bool isVideoClipMeta() const;
    // Device/Manufacturer, ModelName, FirmVersion, SerialNo, Lens → "Maker", "Model",
    // "Firmware", "SerialNumber", "LensModel".
    void extractDeviceInfo();

    const XMLParser& parser() const { return *parser_; }

  private:
    CanonXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile);

    std::unique_ptr<XMLParser> parser_;
    MediaFile& mediaFile_;
};

}  // namespace vorlane
