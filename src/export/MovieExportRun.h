// The two movie export runs over the media pool: synchronized movies (each camera file's synced
// composition as a new movie) and embedded timecode (each file on its own, as a movie with a
// timecode track or, for sound files, a Broadcast WAV file). Each run logs what it writes into
// the progress panel, counts its files, stops after the current file when the panel is
// cancelled and at once when the destination's device is full, and always ends with its
// statistics and the log saved as "vorlane_log.txt" in the destination folder.
//
// A run never changes the pool or its files. The caller numbers the sync groups first (as the
// export dialog does) and runs it on a thread of its choice.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "export/ExportRun.h"
#include "export/MediaExport.h"
#include "platform/media/MovieWriter.h"

namespace vorlane {

class MediaExportOptionsController;
class MediaPool;
class MovieExport;

// The progress panel of a movie run: the cancel button as well.
class MovieExportRunPanel : public ExportRunPanel {
  public:
    // The user asked to stop the run.
    virtual bool aborted() const = 0;
};

// What a run wrote: synced / not synced (movies) or with / without timecode (embed timecode).
struct MovieExportStatistics {
    int first = 0;
    int second = 0;
    int failed = 0;
};

class MovieExportRun {
  public:
    MovieExportRun(const MediaPool& pool, MovieExportRunPanel& panel, ExportLogHeader header,
                   std::shared_ptr<MovieWriter> writer = MovieWriter::standardWriter());

    // exportMovies: and exportTimecode: into the folder; true when no file failed.
    bool exportMovies(const std::filesystem::path& folder,
                      const MediaExportOptionsController& options);
    bool exportTimecode(const std::filesystem::path& folder,
                        const MediaExportOptionsController& options);

    // Choices beyond the option view's items (a codec it does not list, any bit rate), applied
    // over the view's options for every file; 0 leaves the view's choice.
    void setVideoCodecOverride(uint32_t codec, uint32_t bitRate) {
        videoCodecOverride_ = codec;
        videoBitRateOverride_ = bitRate;
    }

    const MovieExportStatistics& statistics() const { return statistics_; }
    // The log could not be saved in the destination folder (the reason), else empty.
    const std::string& logFileFailure() const { return logFileFailure_; }

  private:
    std::unique_ptr<MovieExport> createExporter(const std::filesystem::path& folder);
    void copyOptions(MovieExport& exporter, const MediaExportOptionsController& options) const;
    // Logs and counts the outcome of the current file (`first`: synced, or with timecode);
    // true when the run must stop (a full disk, or the panel was cancelled).
    bool countExport(const MovieExport& exporter, bool first, const std::string& success);
    // Appends to the panel's log and to the saved log.
    void log(const std::string& text);
    void logExportSettings();
    void end(const std::string& statistics, const std::string& ended,
             const std::filesystem::path& folder);

    const MediaPool& pool_;
    MovieExportRunPanel& panel_;
    ExportLogHeader header_;
    std::shared_ptr<MovieWriter> writer_;
    std::string log_;
    MovieExportStatistics statistics_;
    std::string logFileFailure_;
    uint32_t videoCodecOverride_ = 0;
    uint32_t videoBitRateOverride_ = 0;
};

}  // namespace vorlane
