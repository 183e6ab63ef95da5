#include "export/MediaExport.h"

#include "platform/DefaultsKeys.h"
#include "platform/SystemInfo.h"
#include "platform/Version.h"
#include "timecode/TCHelper.h"

namespace vorlane {

ExportLogHeader ExportLogHeader::ofThisApplication() {
    ExportLogHeader header;
    header.applicationVersion = std::string(kApplicationName) + " " + kApplicationVersion;
    header.operatingSystem = SystemInfo::operatingSystemVersionString();
    return header;
}

MediaExport::MediaExport(const UserDefaults& defaults)
    : muteAudioTimecode_(defaults.boolForKey(DefaultsKey::muteAudioTimecode)),
      keepOriginalAudio_(defaults.boolForKey(DefaultsKey::keepOriginalAudio)),
      multicam_(defaults.boolForKey(DefaultsKey::multicam)) {}

std::shared_ptr<ExportProgressDelegate> MediaExport::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void MediaExport::setDelegate(std::shared_ptr<ExportProgressDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void MediaExport::exportProgress(double progress) {
    if (const auto target = delegate())
        target->updateExportProgress(progress * exportProgressScaling_ + exportProgressOffset_);
}

std::shared_ptr<TCHelper> MediaExport::validateTimecode(
    const std::shared_ptr<TCHelper>& timecode) const {
    if (!timecode) return TCHelper::helperWithFrameRate(projectFramerate_, projectDropFrame_);
    if (timecode->frameRate() == 0.0)
        return TCHelper::helperWithTime(timecode->time(), projectFramerate_, projectDropFrame_);
    return timecode;
}

double MediaExport::scaleRatioForSize(double width, double height) const {
    if (width == 0.0 || height == 0.0) return 1.0;
    if (projectVideoWidth_ / projectVideoHeight_ > width / height)
        return projectVideoHeight_ / height;
    return projectVideoWidth_ / width;
}

std::string MediaExport::vorlaneVersion() const {
    return logHeader_.applicationVersion + ", " + logHeader_.operatingSystem;
}

std::string MediaExport::vorlaneSettings() const {
    return logHeader_.shortSettings;
}

}  // namespace vorlane
