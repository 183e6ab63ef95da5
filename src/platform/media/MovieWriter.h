// Writing a new media file from playable segment lists: what the design's asset reader and asset
// writer do together for the movie export. Video is copied packet for packet from its sources or
// decoded, scaled and encoded again; sound is decoded to linear PCM at the chosen rate and depth,
// with the channels that carry timecode silenced. A QuickTime movie gets a timecode track and
// QuickTime metadata keys; a WAVE file holds the sound alone.
//
// The file appears complete at its destination or not at all: it is written to a temporary file
// in the destination's folder and renamed when done. A cancel, a full disk or any failure leaves
// the destination as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/CMTime.h"
#include "platform/media/PlayableComposition.h"

namespace vorlane {

enum class MovieFileType { QuickTimeMovie, Wave };

// How video is written: copied (no encoder) or encoded by one of the library's encoders.
struct MovieVideoSettings {
    std::string encoder;      // empty: copy the source's packets; "prores_ks", "dnxhd", "libx264"
    std::string profile;      // encoder profile ("0" to "4" for ProRes, "dnxhr_hq", ...)
    std::string pixelFormat;  // the encoder's input format ("yuv422p10le"); empty: its first
    int64_t bitRate = 0;      // bits per second; 0: the encoder's default
    int32_t width = 0;        // 0: the source's size
    int32_t height = 0;
    std::vector<std::pair<std::string, std::string>> encoderOptions;  // private options
};

struct MovieTrackJob {
    AssetMediaType mediaType = AssetMediaType::Video;
    std::vector<PlayableSegment> segments;
    // Sound: the written layout, and the channels written as silence (bit c = channel c).
    int32_t channelCount = 0;
    int32_t sampleRate = 0;
    int32_t bitDepth = 0;  // 16, 24 or 32
    uint64_t mutedChannels = 0;
};

// The start timecode of the timecode track: a frame number at a rate.
struct MovieTimecode {
    int64_t frameNumber = 0;  // frames since midnight, wrapped at 24 hours
    int32_t rateNumerator = 25;
    int32_t rateDenominator = 1;
    bool dropFrame = false;
};

struct MovieWriterJob {
    std::filesystem::path destination;
    MovieFileType fileType = MovieFileType::QuickTimeMovie;
    std::vector<MovieTrackJob> tracks;
    MovieVideoSettings video;
    std::optional<MovieTimecode> timecode;  // QuickTime movies with a video track only
    // QuickTime metadata items (key, text), in order.
    std::vector<std::pair<std::string, std::string>> metadata;
    int32_t movieTimeScale = 0;  // QuickTime movie header timescale; 0: the muxer's
};

enum class MovieWriteStatus {
    Written,
    NoSource,     // a segment's file or track cannot be opened
    CannotSetUp,  // no encoder or muxer for the job
    ReadFailed,   // a source could not be read
    Cancelled,    // the caller asked to stop
    DiskFull,     // no space left on the destination's device
    WriteFailed,  // any other write failure
};

struct MovieWriteResult {
    MovieWriteStatus status = MovieWriteStatus::Written;
    std::string message;  // what failed, in words; empty when written
};

// What the writer asks of its caller while it works; both may be empty.
struct MovieWriterObserver {
    std::function<bool()> cancelled;               // polled before every sample
    std::function<void(double seconds)> progress;  // seconds of media written so far
};

class MovieWriter {
  public:
    virtual ~MovieWriter() = default;
    virtual MovieWriteResult writeMovie(const MovieWriterJob& job,
                                        const MovieWriterObserver& observer) = 0;

    // The writer on the FFmpeg libraries.
    static std::shared_ptr<MovieWriter> standardWriter();
    // Whether the linked libraries offer the encoder ("prores_ks", "libx265", ...).
    static bool encoderAvailable(const std::string& name);
};

}  // namespace vorlane
