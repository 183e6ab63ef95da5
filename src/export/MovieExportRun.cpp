#include "export/MovieExportRun.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <span>

#include "export/MediaExportOptionsController.h"
#include "export/MovieExport.h"
#include "media/MediaPool.h"
#include "platform/AtomicFileWriter.h"
#include "sync/MediaSyncComposition.h"
#include "sync/MediaSyncIndex.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr char kLogFileName[] = "vorlane_log.txt";

// The current date and time as the local calendar writes it.
std::string currentDate() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    if (!localtime_r(&now, &local)) return {};
    char text[64];
    return std::strftime(text, sizeof text, "%c", &local) ? text : "";
}

std::string timecodeLine(const char* format, const TCHelper& timecode) {
    char line[128];
    std::snprintf(line, sizeof line, format, timecode.timecodeString(TCOptionWrap24h).c_str(),
                  timecode.frameRate());
    return line;
}

std::string statisticsLine(const char* format, const MovieExportStatistics& statistics) {
    char line[160];
    std::snprintf(line, sizeof line, format, statistics.first, statistics.second,
                  statistics.failed);
    return line;
}

// The application shell as the exporter's delegate: a cancel in the panel stops the export, the
// exporter's progress moves the panel.
class PanelProgress : public ExportProgressDelegate {
  public:
    PanelProgress(MovieExportRunPanel& panel, MovieExport& exporter)
        : panel_(panel), exporter_(exporter) {}
    void updateExportProgress(double percent) override {
        if (panel_.aborted()) exporter_.setCancelExporting(true);
        panel_.setPercent(percent);
    }

  private:
    MovieExportRunPanel& panel_;
    MovieExport& exporter_;
};

}  // namespace

MovieExportRun::MovieExportRun(const MediaPool& pool, MovieExportRunPanel& panel,
                               ExportLogHeader header, std::shared_ptr<MovieWriter> writer)
    : pool_(pool), panel_(panel), header_(std::move(header)), writer_(std::move(writer)) {}

std::unique_ptr<MovieExport> MovieExportRun::createExporter(const std::filesystem::path& folder) {
    auto exporter = std::make_unique<MovieExport>(folder, pool_.userDefaults(), writer_);
    exporter->setLogHeader(header_);
    exporter->setDelegate(std::make_shared<PanelProgress>(panel_, *exporter));
    return exporter;
}

void MovieExportRun::copyOptions(MovieExport& exporter,
                                 const MediaExportOptionsController& options) const {
    exporter.copyOptions(options);
    if (videoCodecOverride_ != 0) exporter.setVideoCodec(videoCodecOverride_);
    if (videoBitRateOverride_ != 0) exporter.setVideoBitRate(videoBitRateOverride_);
}

bool MovieExportRun::countExport(const MovieExport& exporter, bool first,
                                 const std::string& success) {
    if (exporter.exportFailed()) {
        if (!exporter.errorMessage().empty()) log("\n>>>> " + exporter.errorMessage() + "\n");
        ++statistics_.failed;
        if (exporter.diskFull()) return true;
        log("...failed!\n");
    } else {
        ++(first ? statistics_.first : statistics_.second);
        log(success);
    }
    if (!panel_.aborted()) return false;
    log("\nExport has been cancelled by user...\n");
    return true;
}

void MovieExportRun::log(const std::string& text) {
    log_ += text;
    panel_.logEntry(text);
}

void MovieExportRun::logExportSettings() {
    log(header_.applicationVersion + ", " + header_.operatingSystem + "\n" +
        header_.readableSettings + "\n");
}

void MovieExportRun::end(const std::string& statistics, const std::string& ended,
                         const std::filesystem::path& folder) {
    log(statistics);
    log(ended);
    const auto writer = AtomicFileWriter::create(folder / kLogFileName);
    const std::span bytes(reinterpret_cast<const uint8_t*>(log_.data()), log_.size());
    if (!writer || !writer->write(bytes) || !writer->commit())
        logFileFailure_ = AtomicFileWriter::lastFailure();
    panel_.stop();
}

bool MovieExportRun::exportMovies(const std::filesystem::path& folder,
                                  const MediaExportOptionsController& options) {
    const auto exporter = createExporter(folder);
    log("\nSynchronized Movie Export started at " + currentDate() + "\n\n");
    logExportSettings();
    const auto files = pool_.files();
    const auto pictures = filesWithVideo(files);
    const auto index = MediaSyncIndex::indexWithMediaPool(pool_);
    const CompositionSettings settings =
        CompositionSettings::fromUserDefaults(pool_.userDefaults());
    const double share = pictures.empty() ? 100.0 : 100.0 / double(pictures.size());
    for (size_t done = 0; done < pictures.size(); ++done) {
        const auto& file = pictures[done];
        copyOptions(*exporter, options);
        auto clip = MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
        clip->syncMedia();
        log("\nSyncing " + file->name() + " with\n" + clip->syncedFiles());
        exporter->setExportProgressOffset(double(done) * share);
        exporter->setExportProgressScaling(share);
        panel_.setPercent(double(done) * share);
        if (const auto timecode = clip->timecode())
            log(timecodeLine("Set TC: %s(@%2.2ffps)\n", *timecode));
        log("Writing " + clip->name() + "...");
        exporter->exportClipAsync(clip, MovieFileType::QuickTimeMovie);
        if (countExport(*exporter, clip->successfullySynced(), "success\n")) break;
    }
    end(statisticsLine("\nStatistics: %d file(s) synced, %d file(s) not synced, %d file(s) "
                       "failed.\n",
                       statistics_),
        "Synchronized Movie Export ended at " + currentDate() + "\n", folder);
    return statistics_.failed == 0;
}

bool MovieExportRun::exportTimecode(const std::filesystem::path& folder,
                                    const MediaExportOptionsController& options) {
    const bool muteAudioTimecode = pool_.userDefaults().boolForKey("muteAudioTimecode");
    const auto exporter = createExporter(folder);
    log("\nEmbed Timecode Export started at " + currentDate() + "...\n\n");
    logExportSettings();
    const auto files = pool_.files();
    const double share = files.empty() ? 100.0 : 100.0 / double(files.size());
    for (size_t done = 0; done < files.size(); ++done) {
        const auto& file = files[done];
        copyOptions(*exporter, options);
        exporter->setExportProgressOffset(double(done) * share);
        exporter->setExportProgressScaling(share);
        panel_.setPercent(double(done) * share);
        const bool soundOnly = file->type() == MediaTypeAudio;
        // A sound file that holds nothing but its timecode channel is not worth a copy.
        if (muteAudioTimecode && soundOnly && file->audioTrackCount() == 1 &&
            file->firstAudioTrack()->getAudioChannelMask() != 0)
            continue;
        log("Writing " + file->name() + " ");
        const auto timecode = file->timecode();
        if (timecode) {
            log(timecodeLine(", TC: %s(@%2.2ffps)\n", *timecode));
        } else {
            exporter->setExportName(nameWithoutExtension(file->name()) + "_no_timecode_found");
            log("+++ No Timecode Found!");
        }
        exporter->exportClipAsync(file,
                                  soundOnly ? MovieFileType::Wave : MovieFileType::QuickTimeMovie);
        if (countExport(*exporter, timecode != nullptr, "...success!\n")) break;
    }
    end(statisticsLine("\nStatistics: %d file(s) with timecode, %d file(s) without timecode, %d "
                       "file(s) failed.\n",
                       statistics_),
        "Embed Timecode Export ended at " + currentDate() + "...\n", folder);
    return statistics_.failed == 0;
}

}  // namespace vorlane
