// Arbitrary bytes as the settings file: the reader answers a dictionary or nothing, a dictionary
// survives writing and reading back unchanged, and the settings texts and the typed readers
// cope with whatever types the file holds.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/SettingsPanelController.h"
#include "app/SettingsTable.h"
#include "platform/UserDefaults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto values = UserDefaults::parseSettingsText(text);
    if (!values) return 0;

    const auto written = UserDefaults::settingsText(*values);
    if (!written) std::abort();  // everything read can be written
    const auto reread = UserDefaults::parseSettingsText(*written);
    if (!reread || *reread != *values) std::abort();

    // A store without a file: nothing is read or written on disk.
    static UserDefaults store("/nonexistent/vorlane-fuzz/defaults.json");
    store.removeAllObjects();
    for (const auto& [key, value] : *values)
        store.setObject(value, key);
    for (const SettingDefinition& definition : settingDefinitions()) {
        const MetadataValue value = effectiveSettingValue(definition, store);
        (void)settingValueText(definition, value);
        std::string error;
        (void)settingValueFromText(definition, settingValueText(definition, value), error);
    }
    (void)SettingsPanelController::readableUserDefaults(store);
    (void)SettingsPanelController::shortUserDefaults(store);
    return 0;
}
