// The QuickTime reference movie of an analysed MXF file: one movie track per picture and sound
// track, whose samples are the MXF file's edit units found through its index tables (each
// picture, and each sound edit unit as a run of sample frames), named by an alias to the MXF
// file; and a timecode track holding the start timecode as its one sample. A player that follows
// data references plays the MXF essence through it without the MXF file being rewritten.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/quicktime/QtReferenceMovie.h"

namespace vorlane {

class FileReader;
class MXFFile;
class MediaTrack;
class TCHelper;

class MXFReferenceMovie {
  public:
    // Edit units a track may have; more (a broken index of a small file, say) end the writing.
    static constexpr uint64_t kMaxEditUnits = 24ull * 3600 * 120;

    // The movie of the file's tracks; nothing (the reason logged) when a picture or sound track
    // cannot be read through its index.
    static std::optional<QtReferenceMovie> movieOfFile(const MXFFile& file);
    // The same over readers of the file's bytes (buffers when fuzzing), one per track, and the
    // file's size.
    using ReaderSource = std::function<std::unique_ptr<FileReader>()>;
    static std::optional<QtReferenceMovie> movieOfFile(const MXFFile& file,
                                                       const ReaderSource& openReader,
                                                       uint64_t fileSize);
    // Writes the movie to the destination (temporary name, then renamed); false, with nothing
    // written, when the movie cannot be made or written.
    static bool writeMovieOfFile(const MXFFile& file, const std::filesystem::path& destination);

    // The sample description of a picture track: its four-character code, size and name, plus
    // the field information of interlaced pictures.
    static std::vector<uint8_t> videoSampleEntry(const MediaTrack& track);
    // Linear PCM (little-endian, signed above 8 bits) of the track's channels, each sample as
    // wide as its stored word.
    static std::vector<uint8_t> soundSampleEntry(const MediaTrack& track);
    // A timecode description of the timecode's rate and drop-frame setting.
    static std::vector<uint8_t> timecodeSampleEntry(const TCHelper& timecode);
    // The timecode track: one 4-byte sample, the start as frames since midnight, lasting the
    // given number of frames.
    static QtReferenceTrack timecodeTrack(const TCHelper& timecode, uint64_t frames);
};

}  // namespace vorlane
