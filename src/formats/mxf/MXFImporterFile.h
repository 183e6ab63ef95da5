// An MXF file read by the platform media layer (FFmpeg's MXF demuxer): its picture and sound
// tracks, their formats and the thumbnail come from the asset, as for any movie. FFmpeg tells no
// start timecode track and little of the header metadata, so our own MXF parser reads the same
// file's structure (kilobytes, never the essence) and adds what it finds: the start timecode,
// maker, model and creation date, and what the camera's clip XML says. The reader the "mxfImporter"
// setting 1 asks for; MXFFile is the other.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/asset/AVFoundationFile.h"

namespace vorlane {

class MXFFile;
class UserDefaults;

class MXFImporterFile : public AVFoundationFile {
  public:
    // Container type MXF; the audio track limit from "mxfAudioOptions" as MXFFile has it.
    MXFImporterFile(std::filesystem::path url, const UserDefaults& defaults);

    // Files whose extension is MXF in any case.
    static bool isSupportedURL(const std::filesystem::path& url);
    // The card rule of MXFFile::spannedFilesForURL.
    static std::optional<std::vector<std::filesystem::path>> spannedFilesForURL(
        const std::filesystem::path& url);

    // Our parser's metadata, then the asset's tracks and thumbnail, then the start timecode of
    // the parser, then LTC and the AV shift as asked.
    void analyzeWithOptions(const MetadataDictionary& options) override;
    // The file's XML as MXFFile describes it (from the metadata the parser added).
    std::optional<std::string> xmlDescription() const;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "MXFImporterFile"; }

  private:
    // Header metadata items this file does not have yet.
    void addParsedMetadata(const MXFFile& parsed);
    // The parser's timecode tracks, unless the asset gave a file timecode.
    void addParsedTimecodes(const MXFFile& parsed);
};

}  // namespace vorlane
