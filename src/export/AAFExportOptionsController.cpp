#include "export/AAFExportOptionsController.h"

#include "export/ExportOptionMenus.h"
#include "platform/DefaultsKeys.h"
#include "timecode/TCHelper.h"

namespace vorlane {

void AAFExportOptionsController::loadUserDefaults(const UserDefaults& defaults) {
    aafExportTypeIndex_ = defaults.integerForKey(DefaultsKey::aafExportType);
}

void AAFExportOptionsController::saveUserDefaults(UserDefaults& defaults) const {
    defaults.setInteger(aafExportTypeIndex_, DefaultsKey::aafExportType);
    defaults.setInteger(frameRateIndex_, DefaultsKey::aafProjectFrameRate);
}

void AAFExportOptionsController::readSettings() {
    projectFrameRate_ = selectedFrameRate();
    projectDropFrame_ = selectedDropFrame();
    includeSyncedClips_ = syncedClipsChecked_;
    amaLink_ = aafExportTypeIndex_ == 0;
}

void AAFExportOptionsController::selectFrameRate(const TCHelper& timecode) {
    if (const auto index =
            ExportOptionMenus::indexOfFrameRate(timecode.frameRate(), timecode.dropFrame()))
        frameRateIndex_ = *index;
}

double AAFExportOptionsController::selectedFrameRate() const {
    return ExportOptionMenus::frameRateAtIndex(frameRateIndex_).frameRate;
}

bool AAFExportOptionsController::selectedDropFrame() const {
    return ExportOptionMenus::frameRateAtIndex(frameRateIndex_).dropFrame;
}

}  // namespace vorlane
