// Canon Cinema RAW Light clips (extension CRM): QuickTime-structured files whose picture codec
// the media layer cannot decode. The video track's geometry and timing come from the clip's own
// atoms (track header, media header, first sample duration); the camera's make, model, date,
// lens and serial number from the two TIFF blocks (`CMT1`, `CMT2`) in the movie atom's `uuid`
// atom. The media layer opens the clip as a QuickTime file, so its sound and timecode tracks are
// read from the clip itself (no reference movie is needed).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "formats/asset/AVFoundationFile.h"

namespace vorlane {

class Atom;
class QtAtomReader;

class CRMFile : public AVFoundationFile {
  public:
    explicit CRMFile(std::filesystem::path url);  // initWithURL:

    // The extension, upper-cased, is CRM.
    static bool isSupportedURL(const std::filesystem::path& url);

    // Base analysis; the video tracks and camera metadata from the atoms; sound and timecode
    // through the media layer; then thumbnail, LTC and AV shift as asked.
    void analyzeWithOptions(const MetadataDictionary& options) override;
    // Reads the movie atom of the clip (or of bytes in memory when fuzzing) into video tracks
    // and metadata; false when the atoms cannot be read.
    bool analyzeAtoms(QtAtomReader& reader);
    // One video track per `vide` track of the movie atom.
    void analyzeVideoTrack(Atom& movie);
    // Camera metadata from the `CMT1` and `CMT2` blocks of the movie atom's `uuid` atom.
    void analyzeMetaData(Atom& movie);
    std::string className() const override { return "CRMFile"; }

  private:
    void addVideoTrack(Atom& track);
};

}  // namespace vorlane
