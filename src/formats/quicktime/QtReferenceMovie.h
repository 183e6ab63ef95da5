// A QuickTime movie whose tracks point at samples in other files: each track's data reference
// is an alias record naming the file that holds its samples, and the sample table gives every
// sample's byte offset and size there. A track may instead keep its few samples in the movie
// itself (a timecode track's one sample). The movie holds no copy of the referenced media, so it
// is small and quick to write; it plays only while the referenced files stay where they are.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorlane {

class QtAtomWriter;

enum class QtMediaKind { Video, Sound, Timecode };

struct QtReferenceTrack {
    // A run of samples that lie one after another in the data file.
    struct Chunk {
        uint64_t offset = 0;  // in the data file, or in ownData for a track without one
        uint32_t sampleCount = 1;
    };

    QtMediaKind kind = QtMediaKind::Video;
    uint32_t timeScale = 0;       // media units per second
    uint32_t sampleDuration = 1;  // every sample lasts this long, in media units
    // The one sample description (its format code first, without the size).
    std::vector<uint8_t> sampleEntry;
    // The absolute path of the file the samples lie in; empty when they lie in ownData.
    std::filesystem::path dataFile;
    std::vector<uint8_t> ownData;
    double width = 0.0;  // picture size of video tracks
    double height = 0.0;
    std::vector<Chunk> chunks;
    // Every sample's size, or one size for all (sound sample frames, timecode samples).
    std::vector<uint32_t> sampleSizes;
    uint32_t constantSampleSize = 0;
    // Numbers (from 1) of the samples a player may start decoding at; empty when every sample is.
    std::vector<uint32_t> syncSamples;
    // Presentation minus decode time of each sample, in media units; empty when they are equal.
    std::vector<int32_t> compositionOffsets;

    uint64_t sampleCount() const;
    uint64_t mediaDuration() const { return sampleCount() * sampleDuration; }
};

class QtReferenceMovie {
  public:
    explicit QtReferenceMovie(uint32_t timeScale) : timeScale_(timeScale) {}

    // Tracks get the IDs 1, 2, ... in the order added. Video tracks refer to the first timecode
    // track.
    void addTrack(QtReferenceTrack track) { tracks_.push_back(std::move(track)); }
    // A movie metadata item ("com.apple.quicktime.make" and so on) with a UTF-8 value.
    void addMetadataItem(std::string key, std::string value);
    const std::vector<QtReferenceTrack>& tracks() const { return tracks_; }

    // Why the tracks cannot be written (no tracks, sizes and counts that disagree, no time
    // scale, a data file that is not an absolute path); nothing when they can.
    std::optional<std::string> problem() const;
    // The whole file; nothing when problem() names one.
    std::optional<std::vector<uint8_t>> movieBytes() const;
    // Writes the file under a temporary name beside the destination and renames it into place;
    // false, with the destination untouched, when problem() names one or the writing fails
    // (the reason is logged).
    bool writeToURL(const std::filesystem::path& destination) const;

  private:
    struct MetadataItem {
        std::string key;
        std::string value;
    };

    void writeMovieHeader(QtAtomWriter& writer, uint32_t nextTrackID) const;
    void writeTrack(QtAtomWriter& writer, const QtReferenceTrack& track, uint32_t trackID,
                    uint64_t ownDataOffset, uint32_t timecodeTrackID) const;
    void writeMetadata(QtAtomWriter& writer) const;
    uint64_t movieDuration(const QtReferenceTrack& track) const;
    // Composition offsets made non-negative: the amount added to each.
    static int64_t compositionShift(const QtReferenceTrack& track);

    uint32_t timeScale_;
    std::vector<QtReferenceTrack> tracks_;
    std::vector<MetadataItem> metadata_;
};

}  // namespace vorlane
