#include "SettingsCommand.h"

#include <algorithm>
#include <iostream>

#include "CommandLine.h"
#include "app/SettingsTable.h"
#include "app/StandardDefaults.h"
#include "platform/Text.h"
#include "platform/UserDefaults.h"

namespace vorlane::cli {
namespace {

const SettingDefinition* definitionOrComplain(const std::string& key) {
    const SettingDefinition* definition = settingDefinitionForKey(key);
    if (definition == nullptr)
        usageError("unknown setting '" + key + "' (see 'vorlane settings list')");
    return definition;
}

int listSettings(const UserDefaults& defaults, bool json) {
    const MetadataDictionary stored = defaults.dictionaryRepresentation();
    if (json) {
        MetadataDictionary values;
        for (const SettingDefinition& definition : settingDefinitions())
            values[definition.key] = effectiveSettingValue(definition, defaults);
        std::cout << UserDefaults::settingsText(values).value_or("{}\n");
        return kExitSuccess;
    }
    size_t width = 0;
    for (const SettingDefinition& definition : settingDefinitions())
        width = std::max(width, definition.key.size());
    for (const SettingDefinition& definition : settingDefinitions()) {
        const MetadataValue value = effectiveSettingValue(definition, defaults);
        std::cout << definition.key << std::string(width + 2 - definition.key.size(), ' ')
                  << printableText(settingValueText(definition, value));
        if (!definition.labels.empty())
            std::cout << " (" << settingLabel(definition, value.integer().value_or(-1)) << ")";
        if (stored.count(definition.key) == 0) std::cout << " (not set)";
        std::cout << "\n";
    }
    bool headed = false;
    for (const auto& [key, value] : stored) {
        if (settingDefinitionForKey(key) != nullptr) continue;
        if (!headed) std::cout << "\nOther stored keys:\n";
        headed = true;
        std::cout << printableText(key) << "  " << UserDefaults::valueText(value).value_or("?")
                  << "\n";
    }
    return kExitSuccess;
}

int getSetting(const UserDefaults& defaults, const std::string& key) {
    const SettingDefinition* definition = definitionOrComplain(key);
    if (definition == nullptr) return kExitUsage;
    std::cout << printableText(
                     settingValueText(*definition, effectiveSettingValue(*definition, defaults)))
              << "\n";
    return kExitSuccess;
}

int saved(UserDefaults& defaults) {
    if (defaults.synchronize()) return kExitSuccess;
    std::cerr << "vorlane: cannot save the settings to " << defaults.path().string() << "\n";
    return kExitInputFailed;
}

int setSetting(UserDefaults& defaults, const std::string& key, const std::string& text) {
    const SettingDefinition* definition = definitionOrComplain(key);
    if (definition == nullptr) return kExitUsage;
    std::string error;
    const auto value = settingValueFromText(*definition, text, error);
    if (!value) return usageError(error);
    if (const std::string* stored = value->string(); stored != nullptr && *stored != text)
        std::cerr << "vorlane: " << key << " stored as \"" << *stored << "\"\n";
    defaults.setObject(*value, key);
    return saved(defaults);
}

}  // namespace

int runSettingsCommand(const std::vector<std::string>& arguments) {
    // Values may begin with a minus sign ("-0.04"), so only double-dash words are options.
    std::vector<std::string> words;
    bool json = false;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || !argument.starts_with("--"))
            words.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else if (argument == "--json")
            json = true;
        else
            return usageError("unknown option " + argument);
    }
    const std::string action = words.empty() ? "list" : words.front();
    if (action != "list" && action != "get" && action != "set" && action != "reset")
        return usageError("unknown settings action '" + action + "'");
    const size_t expectedWords = action == "get" ? 2 : action == "set" ? 3 : 1;
    if (!words.empty() && words.size() != expectedWords)
        return usageError(
            "usage: vorlane settings [list [--json] | get KEY | set KEY VALUE | reset]");
    if (json && action != "list") return usageError("--json goes with 'vorlane settings list'");

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (action == "get") return getSetting(defaults, words[1]);
    if (action == "set") return setSetting(defaults, words[1], words[2]);
    if (action == "reset") {
        StandardDefaults::reset(defaults);
        return saved(defaults);
    }
    return listSettings(defaults, json);
}

}  // namespace vorlane::cli
