// Sony clip metadata: the non-real-time metadata document that XAVC S cameras embed in their
// MPEG-4 files and professional cameras write beside an MXF clip ("C0001M01.XML"), and the
// media-profile index of a card ("MEDIAPRO.XML"). The extractor writes the device, the creation
// date and the related files into the media file's metadata, and adds the clip's start timecode
// from the LTC change table as a file timecode.
//
// Use (the MXF reader, say): make an extractor from the document's bytes or file with the clip's
// MediaFile, check isProfessionalDiscMeta() or isMediaProfileMeta(), then run the extract
// operations that fit. Nothing is written for missing elements.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "formats/camera_xml/XMLParser.h"

namespace vorlane {

class MediaFile;

class SonyXMLExtractor {
  public:
    // The source given for the timecode the extractor adds.
    static constexpr const char* kTimecodeSource = "XAVC-S Meta";

    // Nothing when the document does not parse.
    static std::unique_ptr<SonyXMLExtractor> extractorWithData(std::span<const uint8_t> data,
                                                               MediaFile& mediaFile);
    static std::unique_ptr<SonyXMLExtractor> extractorWithURL(const std::filesystem::path& url,
                                                              MediaFile& mediaFile);

    // "MEDIAPRO.XML" in the folder above the clip's folder.
    static std::filesystem::path mediaProXMLURLForMediaFile(const MediaFile& mediaFile);
    // The file's "XMLMetaDataURL" when set, else "<clip name>M01.XML" beside the clip.
    static std::filesystem::path clipXMLURLForMediaFile(const MediaFile& mediaFile);

    // A clip document (root NonRealTimeMeta in the professional-disc namespace).
    bool isProfessionalDiscMeta() const;
    // A card index (root MediaProfile).
    bool isMediaProfileMeta() const;

    // "Device" manufacturer, modelName, serialNo → "Maker", "Model", "SerialNumber";
    // "Lens" modelName → "LensModel".
    void extractDeviceInfo();
    // "CreationDate" value → "OriginalCreationDate".
    void extractCreationDate();
    // The start timecode of the LTC change table, added as a file timecode track.
    void extractTimecodeAndVideoRate();
    // From a card index: the clip's proxy, thumbnail and clip document → "ProxyURL",
    // "OriginalThumbnailURL", "XMLMetaDataURL" (paths below the card's folder).
    void extractRelevantURLs();

    const XMLParser& parser() const { return *parser_; }

  private:
    SonyXMLExtractor(std::unique_ptr<XMLParser> parser, MediaFile& mediaFile);

    std::unique_ptr<XMLParser> parser_;
    MediaFile& mediaFile_;
};

}  // namespace vorlane
