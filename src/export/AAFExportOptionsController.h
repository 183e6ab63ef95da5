// The options of the AAF export: project frame rate, how media is referenced (linked in place
// or batch import) and whether synced clips are written. Plain state for the option view that
// the GUI shows; the kind of export is loaded from the defaults store when the view is about to
// be shown and saved with the frame rate when it is hidden; the frame rate is preselected from
// the media pool instead of being restored.
#pragma once

#include <cstdint>

#include "platform/UserDefaults.h"

namespace vorlane {

class TCHelper;

class AAFExportOptionsController {
  public:
    void loadUserDefaults(const UserDefaults& defaults);
    void saveUserDefaults(UserDefaults& defaults) const;
    // Copies the controls into the plain fields.
    void readSettings();
    // Preselects the timecode's rate (an unlisted rate leaves the selection).
    void selectFrameRate(const TCHelper& timecode);

    double selectedFrameRate() const;
    bool selectedDropFrame() const;

    int64_t frameRateIndex() const { return frameRateIndex_; }
    void setFrameRateIndex(int64_t index) { frameRateIndex_ = index; }
    // 0 links media in place, any other item asks for a batch import.
    int64_t aafExportTypeIndex() const { return aafExportTypeIndex_; }
    void setAafExportTypeIndex(int64_t index) { aafExportTypeIndex_ = index; }
    bool syncedClipsChecked() const { return syncedClipsChecked_; }
    void setSyncedClipsChecked(bool on) { syncedClipsChecked_ = on; }

    double projectFrameRate() const { return projectFrameRate_; }
    bool projectDropFrame() const { return projectDropFrame_; }
    bool includeSyncedClips() const { return includeSyncedClips_; }
    bool amaLink() const { return amaLink_; }

  private:
    int64_t frameRateIndex_ = 2;  // 25 fps
    int64_t aafExportTypeIndex_ = 0;
    bool syncedClipsChecked_ = true;

    double projectFrameRate_ = 25.0;
    bool projectDropFrame_ = false;
    bool includeSyncedClips_ = true;
    bool amaLink_ = true;
};

}  // namespace vorlane
