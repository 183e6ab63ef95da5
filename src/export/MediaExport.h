// The base of every exporter (FCPXML, XML interchange, AAF, movies): the project settings the
// written documents use, the user's audio choices read once at creation, progress forwarding
// into the share of a run, and the helpers all writers need (a timecode that is safe to compute
// with, the factor that fits a picture into the project frame, the texts that say which
// application and settings wrote a document).
//
// An exporter lives for exactly one run and is used on that run's thread only; its delegate may
// be swapped from another thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "export/ExportProgressDelegate.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class TCHelper;

// Who wrote a document and with which settings: the head of every export log and the comments
// at the top of the written documents. The application layer fills it (the settings texts are
// its own); the exporters only carry it.
struct ExportLogHeader {
    std::string applicationVersion;  // "Vorlane 0.1.0"
    std::string operatingSystem;     // "Linux 6.1.0 (Debian GNU/Linux 12 (bookworm))"
    std::string shortSettings;       // "metadataHandling:0, clipNaming:0, ..."
    std::string readableSettings;    // "- Metadata processing: video only\n..."

    // The application's version and the running system, without the settings texts.
    static ExportLogHeader ofThisApplication();
};

class MediaExport {
  public:
    // Project settings at their initial values; muteAudioTimecode, keepOriginalAudio and
    // multicam from the store.
    explicit MediaExport(const UserDefaults& defaults = UserDefaults::standardUserDefaults());
    virtual ~MediaExport() = default;
    MediaExport(const MediaExport&) = delete;
    MediaExport& operator=(const MediaExport&) = delete;

    std::shared_ptr<ExportProgressDelegate> delegate() const;
    void setDelegate(std::shared_ptr<ExportProgressDelegate> delegate);
    double exportProgressOffset() const { return exportProgressOffset_; }
    void setExportProgressOffset(double offset) { exportProgressOffset_ = offset; }
    double exportProgressScaling() const { return exportProgressScaling_; }
    void setExportProgressScaling(double scaling) { exportProgressScaling_ = scaling; }

    double projectFramerate() const { return projectFramerate_; }
    void setProjectFramerate(double rate) { projectFramerate_ = rate; }
    bool projectDropFrame() const { return projectDropFrame_; }
    void setProjectDropFrame(bool dropFrame) { projectDropFrame_ = dropFrame; }
    double projectVideoWidth() const { return projectVideoWidth_; }
    void setProjectVideoWidth(double width) { projectVideoWidth_ = width; }
    double projectVideoHeight() const { return projectVideoHeight_; }
    void setProjectVideoHeight(double height) { projectVideoHeight_ = height; }
    bool projectInterlaced() const { return projectInterlaced_; }
    void setProjectInterlaced(bool interlaced) { projectInterlaced_ = interlaced; }
    double projectAudioSampleRate() const { return projectAudioSampleRate_; }
    void setProjectAudioSampleRate(double rate) { projectAudioSampleRate_ = rate; }
    bool muteAudioTimecode() const { return muteAudioTimecode_; }
    void setMuteAudioTimecode(bool on) { muteAudioTimecode_ = on; }
    bool keepOriginalAudio() const { return keepOriginalAudio_; }
    void setKeepOriginalAudio(bool on) { keepOriginalAudio_ = on; }
    bool multicam() const { return multicam_; }
    void setMulticam(bool on) { multicam_ = on; }

    const ExportLogHeader& logHeader() const { return logHeader_; }
    void setLogHeader(ExportLogHeader header) { logHeader_ = std::move(header); }

    // The exporter's own progress, scaled into its share of the run, to the delegate.
    void exportProgress(double progress);
    // A timecode safe to compute with: none gives one at the project rate; one without a frame
    // rate (seconds mode) gives one at the project rate at its time; any other is answered as is.
    std::shared_ptr<TCHelper> validateTimecode(const std::shared_ptr<TCHelper>& timecode) const;
    // The factor that fits a picture of the size into the project frame (1.0 for no size).
    double scaleRatioForSize(double width, double height) const;
    // "<application version>, <operating system>".
    std::string vorlaneVersion() const;
    // The one-line settings summary.
    std::string vorlaneSettings() const;

  private:
    mutable std::mutex delegateMutex_;
    std::shared_ptr<ExportProgressDelegate> delegate_;
    double exportProgressOffset_ = 0.0;
    double exportProgressScaling_ = 1.0;
    double projectFramerate_ = 25.0;
    bool projectDropFrame_ = false;
    double projectVideoWidth_ = 1920.0;
    double projectVideoHeight_ = 1080.0;
    bool projectInterlaced_ = false;
    double projectAudioSampleRate_ = 48000.0;
    bool muteAudioTimecode_;
    bool keepOriginalAudio_;
    bool multicam_;
    ExportLogHeader logHeader_ = ExportLogHeader::ofThisApplication();
};

}  // namespace vorlane
