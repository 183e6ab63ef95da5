// Every user default the application knows: its type, the value written at first start, the
// labels of its choices, and the rules for taking a value from text (the `vorlane settings`
// command). The general settings belong to the settings sheet; the table also lists the keys of
// the main window, the adjustment panels and the export option views, so that one place can
// validate them all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/MetadataValue.h"
#include "platform/UserDefaults.h"

namespace vorlane {

enum class SettingType {
    Bool,        // YES/NO
    Switch,      // a check box's state: the integer 0 or 1
    Integer,     // a pop-up index or a count, from 0 to the definition's maximum
    Double,      // any finite number
    String,      // any text
    PresetList,  // the AV shift presets: a list of {"camera": text, "shift": seconds as text}
};

enum class SettingOwner { Settings, MainWindow, Panels, ExportOptions };

struct SettingDefinition {
    std::string key;
    SettingType type = SettingType::Bool;
    SettingOwner owner = SettingOwner::Settings;
    // The value written at first start; nothing for keys written later (or computed then).
    std::optional<MetadataValue> standardValue;
    // Pop-up items by index; an empty label is a separator and cannot be chosen.
    std::vector<std::string> labels;
    // Integers without labels: the largest accepted value.
    int64_t maximum = 0;
};

const std::vector<SettingDefinition>& settingDefinitions();
// Nothing for a key the application does not know.
const SettingDefinition* settingDefinitionForKey(const std::string& key);

// The label of a choice; empty for a separator or an index without label.
std::string settingLabel(const SettingDefinition& definition, int64_t index);

// The factory AV shift presets, in their order.
MetadataList standardAVShiftPresets();

// A value typed by the user, checked against the key's type and range and brought into the
// stored form (the sub-role prefix loses characters it may not hold, a preset shift is written
// with two decimals). Nothing, with a message for the user in `error`, when the text does not
// fit the key.
std::optional<MetadataValue> settingValueFromText(const SettingDefinition& definition,
                                                  const std::string& text, std::string& error);

// Why a stored value does not fit the key (another type, out of range; the text says what the
// key takes); nothing when it fits. Flags also take 0 and 1 and the texts `settings set` takes.
std::optional<std::string> storedSettingProblem(const SettingDefinition& definition,
                                                const MetadataValue& value);

// The value as the application reads it (an absent key reads as its registered standard value,
// else as NO, 0, an empty text or no presets), in the store's notation.
MetadataValue effectiveSettingValue(const SettingDefinition& definition,
                                    const UserDefaults& defaults);
// That value as text: YES/NO, numbers, the text itself, the presets as JSON.
std::string settingValueText(const SettingDefinition& definition, const MetadataValue& value);

}  // namespace vorlane
