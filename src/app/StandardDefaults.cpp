#include "app/StandardDefaults.h"

#include <algorithm>

#include "app/SettingsPanelController.h"
#include "app/SettingsTable.h"
#include "platform/DefaultsKeys.h"
#include "platform/Log.h"
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
    defaults.setString("", DefaultsKey::updateAnnouncementURL);
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

void applyToStoredValues(UserDefaults& defaults) {
    // Checked before the standard values are registered, so that objectForKey answers what the
    // file holds.
    const std::vector<std::string> nullKeys = defaults.nullKeys();
    std::vector<std::pair<const SettingDefinition*, std::string>> dropped;
    for (const SettingDefinition& definition : settingDefinitions()) {
        const std::string& key = definition.key;
        if (std::find(nullKeys.begin(), nullKeys.end(), key) != nullKeys.end()) {
            dropped.emplace_back(&definition, key + " is null");
        } else if (const auto value = defaults.objectForKey(key)) {
            if (const auto problem = storedSettingProblem(definition, *value)) {
                dropped.emplace_back(
                    &definition, key + " holds " + UserDefaults::valueText(*value).value_or("?") +
                                     ", which it does not take (" + *problem + ")");
                defaults.removeObjectForKey(key);
            }
        }
    }

    MetadataDictionary standard;
    for (const SettingDefinition& definition : settingDefinitions()) {
        // The marks of what was written at first start must read as absent until it was.
        if (definition.standardValue && definition.key != DefaultsKey::defaultsWritten &&
            definition.key != DefaultsKey::avShiftPresetsWritten)
            standard.emplace(definition.key, *definition.standardValue);
    }
    defaults.registerDefaults(std::move(standard));
    for (const auto& [definition, problem] : dropped) {
        const MetadataValue value = effectiveSettingValue(*definition, defaults);
        Log::writef("Settings: %s; using %s", problem.c_str(),
                    settingValueText(*definition, value).c_str());
    }
}

}  // namespace vorlane::StandardDefaults
