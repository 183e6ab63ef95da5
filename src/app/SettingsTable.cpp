#include "app/SettingsTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/SettingsPanelController.h"
#include "platform/DefaultsKeys.h"
#include "platform/Text.h"

namespace vorlane {
namespace {

namespace Key = DefaultsKey;

SettingDefinition flag(const char* key, SettingOwner owner, std::optional<bool> standard) {
    SettingDefinition definition{key, SettingType::Bool, owner, std::nullopt, {}, 1};
    if (standard) definition.standardValue = MetadataValue(*standard);
    return definition;
}

SettingDefinition checkBox(const char* key, SettingOwner owner, std::optional<int> standard) {
    SettingDefinition definition{key, SettingType::Switch, owner, std::nullopt, {}, 1};
    if (standard) definition.standardValue = MetadataValue(*standard);
    return definition;
}

SettingDefinition choice(const char* key, SettingOwner owner, std::vector<std::string> labels,
                         std::optional<int> standard = std::nullopt) {
    SettingDefinition definition{key,          SettingType::Integer, owner,
                                 std::nullopt, std::move(labels),    0};
    definition.maximum = int64_t(definition.labels.size()) - 1;
    if (standard) definition.standardValue = MetadataValue(*standard);
    return definition;
}

SettingDefinition number(const char* key, SettingOwner owner, int64_t maximum,
                         std::optional<int> standard = std::nullopt) {
    SettingDefinition definition{key, SettingType::Integer, owner, std::nullopt, {}, maximum};
    if (standard) definition.standardValue = MetadataValue(*standard);
    return definition;
}

SettingDefinition text(const char* key, SettingOwner owner,
                       std::optional<std::string> standard = std::nullopt) {
    SettingDefinition definition{key, SettingType::String, owner, std::nullopt, {}, 0};
    if (standard) definition.standardValue = MetadataValue(*standard);
    return definition;
}

std::vector<SettingDefinition> makeDefinitions() {
    using enum SettingOwner;
    constexpr int64_t kAnyIndex = std::numeric_limits<int32_t>::max();
    return {
        // The settings sheet.
        choice(Key::mxfAudioOptions, Settings,
               {"Import all Audio Tracks", "", "Only Import Audio Tracks 1-2",
                "Only Import Audio Tracks 1-4", "Only Import Audio Tracks 1-8"},
               0),
        number(Key::mxfImporter, Settings, 1, 0),
        choice(Key::metadataHandling, Settings,
               {"video only", "audio only", "use audio but preserve video reel",
                "merge audio and video", "audio for non existent video",
                "video for non existent audio"},
               0),
        choice(Key::clipNaming, Settings,
               {"video name", "audio name", "video + audio", "audio + video"}, 0),
        flag(Key::muteAudioTimecode, Settings, true),
        flag(Key::readAudioTcOnImport, Settings, true),
        flag(Key::fileSuffixes, Settings, false),
        flag(Key::linearTimelineMode, Settings, false),
        flag(Key::automaticallyApplyAVShift, Settings, true),
        flag(Key::automaticallySetSyncGroups, Settings, true),
        flag(Key::involveFileDate, Settings, false),
        text(Key::fcpxSubRolePrefix, Settings, "Trk"),
        flag(Key::audioSyncWithoutTimecode, Settings, false),
        // The main window; the two version texts are written at first start as well.
        flag(Key::defaultsWritten, MainWindow, true),
        checkBox(Key::keepOriginalAudio, MainWindow, 1),
        checkBox(Key::multicam, MainWindow, 1),
        text(Key::softwareVersion, MainWindow),
        text(Key::operatingSystemVersion, MainWindow),
        checkBox(Key::updateSuppression, MainWindow, std::nullopt),
        {Key::updateSuppressionVersion, SettingType::Double, MainWindow, std::nullopt, {}, 0},
        text(Key::updateAnnouncementURL, MainWindow, ""),
        // The adjustment panels.
        {Key::avShiftPresets, SettingType::PresetList, Panels, standardAVShiftPresets(), {}, 0},
        flag(Key::avShiftPresetsWritten, Panels, true),
        choice(Key::audioTcRate, Panels, {"detect", "23.976", "24", "25", "29.97", "30"}),
        number(Key::audioTcTrack, Panels, kAnyIndex),
        number(Key::audioTcChannel, Panels, kAnyIndex),
        number(Key::audioTcReadingMode, Panels, 4),
        number(Key::audioTcReadingAlgorithm, Panels, 4),
        {Key::audioTcOffset, SettingType::Double, Panels, std::nullopt, {}, 0},
        // The export option views.
        choice(Key::xmlType, ExportOptions,
               {"XML, synced clips as nested sequences", "XML, synced clips as linked clips",
                "FCPXML 1.7", "FCPXML 1.6", "FCPXML 1.5"}),
        checkBox(Key::xmlOpenInFCP, ExportOptions, std::nullopt),
        choice(Key::xmlProjectFrameRate, ExportOptions,
               {"23.976", "24", "25", "29.97", "29.97 DF", "30", "50", "59.94", "59.94 DF", "60"}),
        choice(Key::aafExportType, ExportOptions, {"link media in place", "batch import"}),
        choice(Key::aafProjectFrameRate, ExportOptions,
               {"23.976", "24", "25", "29.97", "29.97 DF", "30", "50", "59.94", "59.94 DF", "60"}),
        number(Key::videoCodec, ExportOptions, 20),
        number(Key::videoResize, ExportOptions, 8),
        number(Key::audioCodec, ExportOptions, 6),
    };
}

std::optional<bool> flagFromText(const std::string& text) {
    const std::string word = lowerCased(text);
    for (const char* yes : {"yes", "true", "on", "1"}) {
        if (word == yes) return true;
    }
    for (const char* no : {"no", "false", "off", "0"}) {
        if (word == no) return false;
    }
    return std::nullopt;
}

template <typename T>
std::optional<T> wholeNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::string choicesText(const SettingDefinition& definition) {
    std::string list;
    for (size_t index = 0; index < definition.labels.size(); ++index) {
        if (definition.labels[index].empty()) continue;
        if (!list.empty()) list += ", ";
        list += std::to_string(index) + " (" + definition.labels[index] + ")";
    }
    return list;
}

std::optional<MetadataValue> integerFromText(const SettingDefinition& definition,
                                             const std::string& text, std::string& error) {
    const auto value = wholeNumber<int64_t>(text);
    const bool inRange = value && *value >= 0 && *value <= definition.maximum &&
                         (definition.labels.empty() || !settingLabel(definition, *value).empty());
    if (inRange) return MetadataValue(*value);
    if (definition.labels.empty())
        error = definition.key + " takes a whole number from 0 to " +
                std::to_string(definition.maximum);
    else
        error = definition.key + " takes one of " + choicesText(definition);
    return std::nullopt;
}

// A preset's shift: a number of seconds, as text or number, written with two decimals.
std::optional<std::string> presetShift(const MetadataValue& value) {
    std::optional<double> seconds;
    if (const std::string* text = value.string())
        seconds = wholeNumber<double>(*text);
    else if (value.isInteger() || value.isDouble())
        seconds = value.number();
    if (!seconds || !std::isfinite(*seconds)) return std::nullopt;
    char shift[64];
    std::snprintf(shift, sizeof shift, "%2.2f", *seconds);
    return std::string(shift);
}

// The presets in their stored form; nothing when the value is no list of presets.
std::optional<MetadataList> presetsFromValue(const MetadataValue& value) {
    MetadataList presets;
    bool valid = value.isList();
    for (size_t i = 0; valid && i < value.list()->size(); ++i) {
        const MetadataDictionary* preset = (*value.list())[i].dictionary();
        const auto camera = preset ? metadataString(*preset, "camera") : std::nullopt;
        const auto shift =
            preset && preset->count("shift") != 0 ? presetShift(preset->at("shift")) : std::nullopt;
        valid = camera && !camera->empty() && shift;
        if (valid) presets.emplace_back(MetadataDictionary{{"camera", *camera}, {"shift", *shift}});
    }
    if (valid) return presets;
    return std::nullopt;
}

std::optional<MetadataValue> presetsFromText(const SettingDefinition& definition,
                                             const std::string& text, std::string& error) {
    const auto value = UserDefaults::parseValueText(text);
    if (auto presets = value ? presetsFromValue(*value) : std::nullopt)
        return MetadataValue(std::move(*presets));
    error = definition.key +
            " takes a JSON list of presets such as "
            "[{\"camera\": \"Canon EOS 550D\", \"shift\": \"0.08\"}] (shift in seconds)";
    return std::nullopt;
}

}  // namespace

const std::vector<SettingDefinition>& settingDefinitions() {
    static const std::vector<SettingDefinition> definitions = makeDefinitions();
    return definitions;
}

const SettingDefinition* settingDefinitionForKey(const std::string& key) {
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.key == key) return &definition;
    }
    return nullptr;
}

std::string settingLabel(const SettingDefinition& definition, int64_t index) {
    if (index < 0 || uint64_t(index) >= definition.labels.size()) return {};
    return definition.labels[size_t(index)];
}

MetadataList standardAVShiftPresets() {
    const auto preset = [](const char* camera, const char* shift) {
        return MetadataValue(MetadataDictionary{{"camera", camera}, {"shift", shift}});
    };
    return {preset("Canon EOS 5D Mark II", "0.08"), preset("Canon EOS 550D", "0.08"),
            preset("Canon EOS 5D Mark III", "-0.04"), preset("Blackmagic Cinema Camera", "0.04")};
}

std::optional<MetadataValue> settingValueFromText(const SettingDefinition& definition,
                                                  const std::string& text, std::string& error) {
    switch (definition.type) {
        case SettingType::Bool:
            if (const auto value = flagFromText(text)) return MetadataValue(*value);
            error = definition.key + " takes YES or NO (or true/false, on/off, 1/0)";
            return std::nullopt;
        case SettingType::Switch:
            if (const auto value = flagFromText(text)) return MetadataValue(int64_t(*value));
            error = definition.key + " takes 1 or 0 (or YES/NO, true/false, on/off)";
            return std::nullopt;
        case SettingType::Integer:
            return integerFromText(definition, text, error);
        case SettingType::Double:
            if (const auto value = wholeNumber<double>(text); value && std::isfinite(*value))
                return MetadataValue(*value);
            error = definition.key + " takes a number, such as 0.5";
            return std::nullopt;
        case SettingType::String:
            if (definition.key == DefaultsKey::fcpxSubRolePrefix)
                return MetadataValue(SettingsPanelController::subRolePrefixForText(text));
            return MetadataValue(text);
        case SettingType::PresetList:
            return presetsFromText(definition, text, error);
    }
    return std::nullopt;
}

std::optional<std::string> storedSettingProblem(const SettingDefinition& definition,
                                                const MetadataValue& value) {
    bool fits = false;
    std::string error;
    switch (definition.type) {
        case SettingType::Bool:
        case SettingType::Switch:
            fits = value.isBool() || (value.isInteger() && (*value.integer() & ~int64_t(1)) == 0) ||
                   (value.string() && flagFromText(*value.string()));
            break;
        case SettingType::Integer:
            if (value.isInteger())
                fits = integerFromText(definition, std::to_string(*value.integer()), error)
                           .has_value();
            break;
        case SettingType::Double:
            fits = (value.isInteger() || value.isDouble()) && std::isfinite(*value.number());
            break;
        case SettingType::String:
            fits = value.isString();
            error = definition.key + " takes a text";
            break;
        case SettingType::PresetList:
            fits = presetsFromValue(value).has_value();
            break;
    }
    if (fits) return std::nullopt;
    if (error.empty()) settingValueFromText(definition, "", error);
    return error;
}

MetadataValue effectiveSettingValue(const SettingDefinition& definition,
                                    const UserDefaults& defaults) {
    const std::string& key = definition.key;
    switch (definition.type) {
        case SettingType::Bool:
            return MetadataValue(defaults.boolForKey(key));
        case SettingType::Switch:
            return MetadataValue(int64_t(defaults.boolForKey(key)));
        case SettingType::Integer:
            return MetadataValue(defaults.integerForKey(key));
        case SettingType::Double:
            return MetadataValue(defaults.doubleForKey(key));
        case SettingType::String:
            return MetadataValue(defaults.stringForKey(key).value_or(""));
        case SettingType::PresetList:
            return MetadataValue(defaults.arrayForKey(key).value_or(MetadataList()));
    }
    return {};
}

std::string settingValueText(const SettingDefinition& definition, const MetadataValue& value) {
    switch (definition.type) {
        case SettingType::Bool:
            return value.integer().value_or(0) != 0 ? "YES" : "NO";
        case SettingType::Switch:
        case SettingType::Integer:
            return std::to_string(value.integer().value_or(0));
        case SettingType::Double: {
            char number[32];
            const auto end =
                std::to_chars(number, number + sizeof number, value.number().value_or(0.0)).ptr;
            return std::string(number, end);
        }
        case SettingType::String:
            return value.string() != nullptr ? *value.string() : std::string();
        case SettingType::PresetList:
            return UserDefaults::valueText(value).value_or("[]");
    }
    return {};
}

}  // namespace vorlane
