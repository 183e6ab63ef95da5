#include "app/StandardDefaults.h"

#include "app/SettingsPanelController.h"
#include "app/SettingsTable.h"
#include "platform/DefaultsKeys.h"
#include "platform/SystemInfo.h"
#include "platform/Version.h"

namespace vorlane::StandardDefaults {
namespace {

void createAll(UserDefaults& defaults) {
    SettingsPanelController(defaults).createStandardDefaults();
    createAVShiftPresets(defaults);
    createMainWindowDefaults(defaults);
}

}  // namespace

void createAVShiftPresets(UserDefaults& defaults) {
    if (defaults.boolForKey(DefaultsKey::avShiftPresetsWritten)) return;
    defaults.setObject(standardAVShiftPresets(), DefaultsKey::avShiftPresets);
    defaults.setBool(true, DefaultsKey::avShiftPresetsWritten);
    defaults.synchronize();
}

void createMainWindowDefaults(UserDefaults& defaults) {
    defaults.setBool(true, DefaultsKey::defaultsWritten);
    defaults.setInteger(1, DefaultsKey::keepOriginalAudio);
    defaults.setInteger(1, DefaultsKey::multicam);
    defaults.setString(kApplicationVersion, DefaultsKey::softwareVersion);
    defaults.setString(SystemInfo::operatingSystemVersionString(),
                       DefaultsKey::operatingSystemVersion);
    defaults.synchronize();
}

bool createIfNeeded(UserDefaults& defaults) {
    if (defaults.boolForKey(DefaultsKey::defaultsWritten)) return false;
    createAll(defaults);
    return true;
}

void reset(UserDefaults& defaults) {
    defaults.removeAllObjects();
    createAll(defaults);
}

}  // namespace vorlane::StandardDefaults
