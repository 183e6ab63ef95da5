// The offset panel: moves the timecode of the selected files by an amount the user gives in
// seconds, frames or HH:MM:SS:FF. Frames need a frame rate: the files' common rate is
// preselected, and without one only seconds can be entered. Plain state for the sheet that the
// GUI shows; every control reads and writes it through these operations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "platform/CMTime.h"
#include "platform/NotificationCenter.h"
#include "timecode/TCHelper.h"

namespace vorlane {

class OffsetPanelController {
  public:
    enum TimeUnit : int32_t { Seconds = 0, Frames = 1, Timecode = 2 };
    struct FrameRateItem {
        const char* title;
        double frameRate;
        bool dropFrame;
    };
    // The frame-rate menu: item 0 has no rate (seconds only).
    static const std::vector<FrameRateItem>& frameRateItems();

    explicit OffsetPanelController(
        NotificationCenter& center = NotificationCenter::defaultCenter());

    // Takes the files and fills the controls from their common rate and offset.
    void activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files);

    // Controls.
    void offsetSetFrameRate(int64_t item);
    void offsetSelectTimeUnit(int32_t unit);
    void offsetSeconds(double seconds);
    void offsetFrames(int64_t frames);
    // False (offset unchanged) when the text is not a timecode.
    bool offsetHHMMSSFF(const std::string& text);

    // The buttons: every file gets the offset (or none), "UpdateMediaFile" is posted for it.
    void offsetSet();
    void offsetRemove();

    // What the sheet shows.
    std::string filesSelectedText() const;
    int64_t frameRateItem() const { return frameRateItem_; }
    int32_t timeUnit() const { return timeUnit_; }
    double secondsValue() const;
    std::string framesText() const;
    std::string timecodeText() const;
    bool unitEnabled(int32_t unit) const;
    const std::shared_ptr<TCHelper>& commonTimecode() const { return commonTimecode_; }
    CMTime offsetTime() const { return helper_->time(); }

  private:
    void replaceHelper(double frameRate, bool dropFrame);
    void updateTimecode();

    NotificationCenter& center_;
    std::vector<std::shared_ptr<MediaFile>> mediaFiles_;
    std::shared_ptr<TCHelper> commonTimecode_;
    std::shared_ptr<TCHelper> helper_ = TCHelper::helperWithFrameRate(0.0, false);
    int64_t frameRateItem_ = 0;
    int32_t timeUnit_ = Seconds;
};

}  // namespace vorlane
