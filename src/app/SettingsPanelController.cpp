#include "app/SettingsPanelController.h"

#include <string_view>

#include "app/SettingsTable.h"
#include "platform/DefaultsKeys.h"

namespace vorlane {
namespace {

namespace Key = DefaultsKey;

constexpr std::string_view kSubRolePrefixCharacters =
    "_-+#0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

std::string label(const UserDefaults& defaults, const char* key) {
    return settingLabel(*settingDefinitionForKey(key), defaults.integerForKey(key));
}

std::string onOff(const UserDefaults& defaults, const char* key) {
    return defaults.boolForKey(key) ? "ON" : "OFF";
}

std::string flagDigit(const UserDefaults& defaults, const char* key) {
    return defaults.boolForKey(key) ? "1" : "0";
}

std::string numberText(const UserDefaults& defaults, const char* key) {
    return std::to_string(defaults.integerForKey(key));
}

}  // namespace

SettingsPanelController::SettingsPanelController(UserDefaults& defaults) : defaults_(defaults) {}

void SettingsPanelController::createStandardDefaults() {
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.owner == SettingOwner::Settings && definition.standardValue)
            defaults_.setObject(*definition.standardValue, definition.key);
    }
    defaults_.synchronize();
}

std::string SettingsPanelController::subRolePrefixForText(const std::string& text) {
    if (text.empty()) return "Trk";
    std::string prefix;
    for (const char c : text) {
        if (kSubRolePrefixCharacters.find(c) != std::string_view::npos) prefix += c;
    }
    return prefix;
}

std::string SettingsPanelController::readableUserDefaults(const UserDefaults& defaults) {
    return "- Metadata processing: " + label(defaults, Key::metadataHandling) + "\n" +
           "- Synchronized clip naming: " + label(defaults, Key::clipNaming) + "\n" +
           "- Add sync-info suffixes: " + onOff(defaults, Key::fileSuffixes) + "\n" +
           "- Mute audio timecode: " + onOff(defaults, Key::muteAudioTimecode) + "\n" +
           "- Keep camera audio: " + onOff(defaults, Key::keepOriginalAudio) + "\n" +
           "- Multicam mode: " + onOff(defaults, Key::multicam) + "\n" +
           "- Linear Timeline mode: " + onOff(defaults, Key::linearTimelineMode) + "\n" +
           "- Use File Creation Date to separate footage: " +
           onOff(defaults, Key::involveFileDate) + "\n" + "- MXF Importer: " +
           (defaults.integerForKey(Key::mxfImporter) != 0 ? "FFmpeg" : "Vorlane") + " (" +
           label(defaults, Key::mxfAudioOptions) + ")\n";
}

std::string SettingsPanelController::shortUserDefaults(const UserDefaults& defaults) {
    return "metadataHandling:" + numberText(defaults, Key::metadataHandling) +
           ", clipNaming:" + numberText(defaults, Key::clipNaming) +
           ", fileSuffixes:" + flagDigit(defaults, Key::fileSuffixes) +
           ", muteAudioTimecode:" + flagDigit(defaults, Key::muteAudioTimecode) +
           ", keepOriginalAudio:" + flagDigit(defaults, Key::keepOriginalAudio) +
           ", multicam:" + flagDigit(defaults, Key::multicam) +
           ", involveFileDate:" + flagDigit(defaults, Key::involveFileDate) +
           ", mxfImporter:" + numberText(defaults, Key::mxfImporter) +
           ", mxfAudioOptions:" + numberText(defaults, Key::mxfAudioOptions);
}

}  // namespace vorlane
