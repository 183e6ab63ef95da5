#include "app/OffsetPanelController.h"

#include "media/MediaText.h"

namespace vorlane {

namespace {

constexpr int32_t kOffsetTimescale = 90000;

}  // namespace

const std::vector<OffsetPanelController::FrameRateItem>& OffsetPanelController::frameRateItems() {
    static const std::vector<FrameRateItem> items = {{"none (seconds)", 0.0, false},
                                                     {"23.976", 24000.0 / 1001.0, false},
                                                     {"24", 24.0, false},
                                                     {"25", 25.0, false},
                                                     {"29.97", 30000.0 / 1001.0, false},
                                                     {"29.97 DF", 30000.0 / 1001.0, true},
                                                     {"30", 30.0, false},
                                                     {"50", 50.0, false},
                                                     {"59.94", 60000.0 / 1001.0, false},
                                                     {"59.94 DF", 60000.0 / 1001.0, true},
                                                     {"60", 60.0, false}};
    return items;
}

OffsetPanelController::OffsetPanelController(NotificationCenter& center) : center_(center) {}

void OffsetPanelController::activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files) {
    mediaFiles_ = std::move(files);
    commonTimecode_.reset();
    bool shared = true;
    for (const auto& file : mediaFiles_) {
        const auto timecode = file->timecode();
        if (!timecode || timecode->frameRate() == 0.0) continue;
        if (!commonTimecode_)
            commonTimecode_ =
                TCHelper::helperWithFrameRate(timecode->frameRate(), timecode->dropFrame());
        else if (commonTimecode_->frameRate() != timecode->frameRate() ||
                 commonTimecode_->dropFrame() != timecode->dropFrame())
            shared = false;
    }
    if (!shared) commonTimecode_.reset();

    CMTime offset = kCMTimeZero;
    if (!mediaFiles_.empty()) offset = mediaFiles_.front()->offset();
    for (const auto& file : mediaFiles_)
        if (file->offset() != offset) offset = kCMTimeZero;

    if (!commonTimecode_) {
        frameRateItem_ = 0;
        replaceHelper(0.0, false);
    } else {
        replaceHelper(commonTimecode_->frameRate(), commonTimecode_->dropFrame());
        // The rates up to 30 select their item; the higher ones keep the previous selection.
        const auto& items = frameRateItems();
        for (int64_t item = 1; item <= 6; ++item)
            if (items[size_t(item)].frameRate == commonTimecode_->frameRate() &&
                items[size_t(item)].dropFrame == commonTimecode_->dropFrame())
                frameRateItem_ = item;
    }
    helper_->setTime(offset.isValid() ? offset : kCMTimeZero);
    updateTimecode();
}

void OffsetPanelController::replaceHelper(double frameRate, bool dropFrame) {
    const CMTime time = helper_ ? helper_->time() : kCMTimeZero;
    helper_ = TCHelper::helperWithFrameRate(frameRate, dropFrame);
    helper_->setTime(time);
}

void OffsetPanelController::offsetSetFrameRate(int64_t item) {
    const auto& items = frameRateItems();
    frameRateItem_ = (item >= 0 && size_t(item) < items.size()) ? item : 0;
    replaceHelper(items[size_t(frameRateItem_)].frameRate, items[size_t(frameRateItem_)].dropFrame);
    updateTimecode();
}

void OffsetPanelController::offsetSelectTimeUnit(int32_t unit) {
    timeUnit_ = (unit >= Seconds && unit <= Timecode) ? unit : Seconds;
    updateTimecode();
}

void OffsetPanelController::offsetSeconds(double seconds) {
    helper_->setTime(CMTimeMakeWithSeconds(seconds, kOffsetTimescale));
    updateTimecode();
}

void OffsetPanelController::offsetFrames(int64_t frames) {
    if (helper_->frameRate() == 0.0) return;
    helper_->setFrameCount(frames);
    updateTimecode();
}

bool OffsetPanelController::offsetHHMMSSFF(const std::string& text) {
    if (helper_->frameRate() == 0.0) return false;
    const bool taken = helper_->setTimecodeString(text);
    updateTimecode();
    return taken;
}

void OffsetPanelController::updateTimecode() {
    if (helper_->frameRate() == 0.0) timeUnit_ = Seconds;
}

double OffsetPanelController::secondsValue() const {
    return CMTimeGetSeconds(helper_->time());
}

std::string OffsetPanelController::framesText() const {
    if (helper_->frameRate() == 0.0) return "not applicable";
    return std::to_string(helper_->frameCount());
}

std::string OffsetPanelController::timecodeText() const {
    if (helper_->frameRate() == 0.0) return "not applicable";
    const auto shown = TCHelper::helperWithFrameCount(helper_->frameCount(), helper_->frameRate(),
                                                      helper_->dropFrame());
    return shown->timecodeString(TCOptionAllowNegative);
}

bool OffsetPanelController::unitEnabled(int32_t unit) const {
    if (helper_->frameRate() == 0.0) return unit == Seconds;
    return unit == timeUnit_;
}

std::string OffsetPanelController::filesSelectedText() const {
    return formatMediaText("%lu File(s) selected", (unsigned long)mediaFiles_.size());
}

void OffsetPanelController::offsetSet() {
    updateTimecode();
    const CMTime time = timeUnit_ == Seconds ? helper_->time() : helper_->roundedTime();
    for (const auto& file : mediaFiles_) {
        file->setOffset(time, timeUnit_);
        center_.postNotificationName(kUpdateMediaFileNotification, file);
    }
}

void OffsetPanelController::offsetRemove() {
    for (const auto& file : mediaFiles_) {
        file->setOffset(kCMTimeZero, Seconds);
        center_.postNotificationName(kUpdateMediaFileNotification, file);
    }
}

}  // namespace vorlane
