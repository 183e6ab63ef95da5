// The movie exporter: writes one media object (a synced composition or a single file) as a new
// QuickTime movie with a timecode track and the collected metadata, or an audio-only file as a
// Broadcast WAV file, into the destination folder. What is read comes from the playable mapping;
// video is copied or encoded again, sound is written as linear PCM at the chosen rate and depth
// with the timecode channels silenced. The platform's movie writer does the reading and writing;
// this class decides what it writes.
//
// One exporter serves all files of a run; each exportClipAsync() overwrites the fields of the
// export before. cancelExporting may be set from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/MediaExport.h"
#include "media/MediaTypes.h"
#include "platform/media/MovieWriter.h"

namespace vorlane {

class MediaExportOptionsController;
class MediaObject;
class MediaTrack;

class MovieExport : public MediaExport {
  public:
    // initWithOutputURLPath:
    explicit MovieExport(std::filesystem::path pathURL,
                         const UserDefaults& defaults = UserDefaults::standardUserDefaults(),
                         std::shared_ptr<MovieWriter> writer = MovieWriter::standardWriter());

    const std::filesystem::path& pathURL() const { return pathURL_; }

    // What the option view offers, from the encoders the linked libraries have: HEVC and
    // AVC-Intra only with their encoders; never the reference-movie box (the writer cannot
    // write sample references).
    static void offerAvailableCodecs(MediaExportOptionsController& options);

    // The options of the movie view.
    void copyOptions(const MediaExportOptionsController& options);
    uint32_t videoCodec() const { return videoCodec_; }
    void setVideoCodec(uint32_t codec) { videoCodec_ = codec; }
    MediaSize videoSize() const { return videoSize_; }
    void setVideoSize(MediaSize size) { videoSize_ = size; }
    uint32_t videoBitRate() const { return videoBitRate_; }
    void setVideoBitRate(uint32_t bitRate) { videoBitRate_ = bitRate; }
    uint32_t audioCodec() const { return audioCodec_; }
    void setAudioCodec(uint32_t codec) { audioCodec_ = codec; }
    double audioSampleRate() const { return audioSampleRate_; }
    void setAudioSampleRate(double rate) { audioSampleRate_ = rate; }
    double audioBitDepth() const { return audioBitDepth_; }
    void setAudioBitDepth(double depth) { audioBitDepth_ = depth; }
    // Reference movies cannot be written here: with the option on, samples are copied.
    bool createQtRef() const { return createQtRef_; }
    void setCreateQtRef(bool on) { createQtRef_ = on; }

    // The name the next export is written under (without extension); the object's name when
    // not set. Reset by every export.
    void setExportName(std::string name) { exportName_ = std::move(name); }

    // Writes the object as a movie or WAVE file and returns when done; the outcome is in
    // exportFailed(), errorMessage() and diskFull().
    void exportClipAsync(const std::shared_ptr<MediaObject>& object, MovieFileType fileType);

    bool exportFailed() const { return exportFailed_; }
    bool finished() const { return finished_; }
    const std::string& errorMessage() const { return errorMessage_; }
    // The last export failed because the destination's device is full (the run stops).
    bool diskFull() const { return diskFull_; }
    const std::optional<std::filesystem::path>& outputURL() const { return outputURL_; }
    bool cancelExporting() const { return cancelExporting_; }
    void setCancelExporting(bool cancel) { cancelExporting_ = cancel; }
    double progress() const { return progress_; }
    double totalMediaDuration() const { return totalMediaDuration_; }
    double timeElapsed() const { return timeElapsed_; }

    // Building blocks.
    // A free name in the destination folder: NAME.mov / NAME.wav, else NAME_vorlane001.mov...
    std::optional<std::filesystem::path> createOutputURLForFileType(MovieFileType fileType) const;
    // QuickTime metadata keys and their values for the object.
    std::vector<std::pair<std::string, std::string>> collectedMetadata() const;
    double calculateTotalMediaDuration() const;
    // Highest rate and depth over the object's sound tracks, from 48 kHz and 16 bits.
    void findHighestSampleRateAndBitDepth();
    // The encoder settings for the chosen codec and the source's picture track.
    MovieVideoSettings createWriterSettingsForVideoTrack(const MediaTrack& track) const;
    // The written layout of a sound track (rate, depth, channels, muted channels).
    MovieTrackJob createWriterSettingsForAudioTrack(const MediaTrack& track) const;
    bool isAVCIntraEncoding() const;
    bool isProres422orBetterEncoding() const;

  private:
    std::optional<MovieWriterJob> createExportJob(MovieFileType fileType);
    // The time reference and iXML of the exported file in a written WAVE file; false (the file
    // removed) when they cannot be written.
    bool addBroadcastChunks() const;
    void finish(std::string message);
    void reportProgress(double seconds);

    std::filesystem::path pathURL_;
    std::shared_ptr<MovieWriter> writer_;
    std::shared_ptr<MediaObject> exportObject_;
    std::string exportName_;
    uint32_t videoCodec_ = 0;
    MediaSize videoSize_;
    uint32_t videoBitRate_ = 0;
    uint32_t audioCodec_ = 0;
    double audioSampleRate_ = 0;
    double audioBitDepth_ = 0;
    double audioHighestSampleRate_ = 48000;
    uint32_t audioHighestBitDepth_ = 16;
    bool createQtRef_ = false;
    std::string errorMessage_;
    bool exportFailed_ = false;
    bool finished_ = false;
    bool diskFull_ = false;
    std::atomic<bool> cancelExporting_ = false;
    std::optional<std::filesystem::path> outputURL_;
    double progress_ = 0;
    double totalMediaDuration_ = 0;
    double timeElapsed_ = 0;
};

}  // namespace vorlane
