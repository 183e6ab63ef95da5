// QuickTime and MPEG-4 files (mov, mp4, m4a, m4v). Tracks, timing and the timecode track come
// through the media layer (AVFoundationFile); this reader adds the camera metadata that cameras
// write into user-data atoms, QuickTime metadata keys and embedded XML: generic device and date
// keys, Canon DSLR, ARRI, GoPro, Panasonic, Blackmagic, MXF-derived and professional-application
// keys, and for Sony XAVC S files the start timecode and rate from the embedded clip document.
//
// The metadata atoms are read from the file by QtMetadataReader; claimed sizes are checked
// against the file, so a damaged or hostile file ends its metadata reading early and never makes
// the reader load more than the file holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/asset/AVFoundationFile.h"

namespace vorlane {

class QtAtomReader;

class QuicktimeFile : public AVFoundationFile {
  public:
    explicit QuicktimeFile(std::filesystem::path url);  // initWithURL:
    ~QuicktimeFile() override;

    // The extension, upper-cased, is MOV, MP4, M4A or M4V.
    static bool isSupportedURL(const std::filesystem::path& url);

    void analyzeWithOptions(const MetadataDictionary& options) override;
    // Reads the metadata items and runs the camera parsers and the XAVC S reading over the atoms
    // of the reader (the file's own in analysis; bytes in memory when fuzzing), then releases
    // the reader and the items.
    void analyzeMetadataOfAtoms(std::unique_ptr<QtAtomReader> reader);
    // The camera parsers below, in this order, over the metadata items of the atoms being
    // analysed.
    void analyzeQuicktimeMetaData();
    void parseGenericQuicktimeMetadata();
    void parseCanonDSLRMetadata();
    void parseArriMetadata();
    void parseGoProMetadata();
    void parsePanasonicMetadata();
    void parseBlackmagicMetadata();
    void parseMXFMetadata();
    void parseAppleProAppsMetadata();
    // XAVC S files (MPEG-4 of the brand XAVC): device, date, start timecode and rate from the
    // embedded clip document.
    void analyzeSonyMP4Metadata();

    // The XML document embedded after a file-type atom of the brand (a four-character code) in
    // the atoms being analysed.
    std::optional<std::vector<uint8_t>> getQuicktimeXMLMetaForFileType(uint32_t brand);
    // The item with the key in the metadata format (QuickTime user data, ISO user data,
    // QuickTime metadata) among the items of the atoms being analysed; nothing when absent.
    std::optional<MetadataItem> metadataItemForKey(const std::string& key,
                                                   const std::string& metadataFormat) const;
    // "XMLRawData" printed pretty; nothing without a document.
    std::optional<std::string> XMLMetaDataDescription() const;

    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "QuicktimeFile"; }

  private:
    // The item's text, trimmed; nothing when absent or empty.
    std::optional<std::string> itemText(const std::string& key, const std::string& format) const;
    // Sets the key from the item's text when there is one; with `onlyWhenUnset` only when the
    // key has no value yet.
    void setFromItem(const char* key, const std::string& itemKey, const std::string& format,
                     bool onlyWhenUnset = false);
    // Camera, serial number and date from the EXIF block of a Canon clip's thumbnail: item
    // "CNTH", else the sidecar picture with the clip's name and the extension THM.
    void readCanonThumbnailEXIF();
    std::unique_ptr<QtAtomReader> atomReader_;
    std::vector<MetadataItem> items_;
};

}  // namespace vorlane
