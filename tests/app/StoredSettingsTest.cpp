// Settings files edited by hand: values of the wrong type or out of range, nulls and missing keys
// fall back to the standard value with one warning naming the key; unknown keys are kept.
#include <gtest/gtest.h>

#include "app/SettingsTable.h"
#include "app/StandardDefaults.h"
#include "platform/DefaultsKeys.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

TEST(StoredSettingsTest, ValuesThatDoNotFitTheirKeyFallBackWithOneWarningEach) {
    ScratchFolder folder;
    test::writeFile(folder / "defaults.json", R"({"defaultsWritten": true,
        "readAudioTcOnImport": null, "clipNaming": 99, "avShiftPresets": 7,
        "muteAudioTimecode": "maybe", "mxfAudioOptions": 1, "fcpxSubRolePrefix": 5,
        "audioTcOffset": [], "multicam": 0, "involveFileDate": "YES", "metadataHandling": 2,
        "someoneElsesKey": null, "unknownKey": [1]})");
    UserDefaults defaults(folder / "defaults.json");
    test::LogCapture log;
    StandardDefaults::applyToStoredValues(defaults);
    struct Case {
        const char* key;
        const char* inUse;  // as `settings get` shows it
        bool warned;
    };
    for (const Case& item :
         {Case{"readAudioTcOnImport", "YES", true}, Case{"clipNaming", "0", true},
          Case{"muteAudioTimecode", "YES", true},
          Case{"mxfAudioOptions", "0", true},  // a separator, no choice
          Case{"fcpxSubRolePrefix", "Trk", true}, Case{"audioTcOffset", "0", true},
          Case{"multicam", "0", false}, Case{"involveFileDate", "YES", false},
          Case{"metadataHandling", "2", false},
          Case{"keepOriginalAudio", "1", false}}) {  // missing
        SCOPED_TRACE(item.key);
        const SettingDefinition& definition = *settingDefinitionForKey(item.key);
        EXPECT_EQ(settingValueText(definition, effectiveSettingValue(definition, defaults)),
                  item.inUse);
        const auto named = std::count_if(log.lines.begin(), log.lines.end(), [&](const auto& line) {
            return line.starts_with(std::string("Settings: ") + item.key + " ");
        });
        EXPECT_EQ(named, item.warned ? 1 : 0);
    }
    EXPECT_EQ(defaults.arrayForKey(DefaultsKey::avShiftPresets), standardAVShiftPresets());
    EXPECT_EQ(log.lines.size(), 7u);
    EXPECT_EQ(defaults.objectForKey("unknownKey"), MetadataValue(MetadataList{1}));
    ASSERT_TRUE(defaults.synchronize());
    const auto written = UserDefaults::parseSettingsText(test::readFile(folder / "defaults.json"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->count("clipNaming"), 0u);
    EXPECT_EQ(written->count("unknownKey"), 1u);
}

}  // namespace
}  // namespace vorlane
