#include <gtest/gtest.h>

#include "app/SettingsPanelController.h"
#include "app/SettingsTable.h"
#include "app/StandardDefaults.h"
#include "platform/DefaultsKeys.h"
#include "platform/Version.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

TEST(SettingsPanelControllerTest, StandardDefaultsOfTheGeneralSettings) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    SettingsPanelController(defaults).createStandardDefaults();
    UserDefaults written(folder / "defaults.json");  // synchronised to the file
    EXPECT_EQ(written.dictionaryRepresentation(),
              (MetadataDictionary{{"mxfAudioOptions", 0},
                                  {"mxfImporter", 0},
                                  {"metadataHandling", 0},
                                  {"clipNaming", 0},
                                  {"muteAudioTimecode", true},
                                  {"readAudioTcOnImport", true},
                                  {"fileSuffixes", false},
                                  {"linearTimelineMode", false},
                                  {"automaticallyApplyAVShift", true},
                                  {"automaticallySetSyncGroups", true},
                                  {"involveFileDate", false},
                                  {"fcpxSubRolePrefix", "Trk"},
                                  {"audioSyncWithoutTimecode", false}}));
}

TEST(SettingsPanelControllerTest, SettingsTextsAtFirstStart) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    StandardDefaults::createIfNeeded(defaults);
    EXPECT_EQ(SettingsPanelController::readableUserDefaults(defaults),
              "- Metadata processing: video only\n"
              "- Synchronized clip naming: video name\n"
              "- Add sync-info suffixes: OFF\n"
              "- Mute audio timecode: ON\n"
              "- Keep camera audio: ON\n"
              "- Multicam mode: ON\n"
              "- Linear Timeline mode: OFF\n"
              "- Use File Creation Date to separate footage: OFF\n"
              "- MXF Importer: Vorlane (Import all Audio Tracks)\n");
    EXPECT_EQ(SettingsPanelController::shortUserDefaults(defaults),
              "metadataHandling:0, clipNaming:0, fileSuffixes:0, muteAudioTimecode:1, "
              "keepOriginalAudio:1, multicam:1, involveFileDate:0, mxfImporter:0, "
              "mxfAudioOptions:0");
}

TEST(SettingsPanelControllerTest, SettingsTextsNameEveryChoice) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setInteger(3, DefaultsKey::metadataHandling);
    defaults.setInteger(2, DefaultsKey::clipNaming);
    defaults.setBool(true, DefaultsKey::fileSuffixes);
    defaults.setBool(true, DefaultsKey::linearTimelineMode);
    defaults.setBool(true, DefaultsKey::involveFileDate);
    defaults.setInteger(0, DefaultsKey::keepOriginalAudio);
    defaults.setInteger(2, DefaultsKey::mxfImporter);
    defaults.setInteger(1, DefaultsKey::mxfAudioOptions);
    const std::string text = SettingsPanelController::readableUserDefaults(defaults);
    EXPECT_NE(text.find("- Metadata processing: merge audio and aideo\n"), std::string::npos);
    EXPECT_NE(text.find("- Synchronized clip naming: video + audio\n"), std::string::npos);
    EXPECT_NE(text.find("- Add sync-info suffixes: ON\n"), std::string::npos);
    EXPECT_NE(text.find("- Keep camera audio: OFF\n"), std::string::npos);
    EXPECT_NE(text.find("- Multicam mode: OFF\n"), std::string::npos);
    EXPECT_NE(text.find("- Linear Timeline mode: ON\n"), std::string::npos);
    EXPECT_NE(text.find("- Use File Creation Date to separate footage: ON\n"), std::string::npos);
    EXPECT_NE(text.find("- MXF Importer: Apple ()\n"), std::string::npos)
        << "any non-zero importer reads Apple; the separator has an empty label";
    EXPECT_EQ(SettingsPanelController::shortUserDefaults(defaults),
              "metadataHandling:3, clipNaming:2, fileSuffixes:1, muteAudioTimecode:0, "
              "keepOriginalAudio:0, multicam:0, involveFileDate:1, mxfImporter:2, "
              "mxfAudioOptions:1");

    const SettingDefinition& handling = *settingDefinitionForKey("metadataHandling");
    EXPECT_EQ(settingLabel(handling, 4), "audio for non existent video");
    EXPECT_EQ(settingLabel(handling, 5), "video for non existent audio");
    EXPECT_EQ(settingLabel(handling, 6), "");
    EXPECT_EQ(settingLabel(*settingDefinitionForKey("clipNaming"), 3), "audio + video");
    EXPECT_EQ(settingLabel(*settingDefinitionForKey("mxfAudioOptions"), 4),
              "Only Import Audio Tracks 1-8");
}

TEST(SettingsPanelControllerTest, SubRolePrefixKeepsOnlyItsCharacters) {
    EXPECT_EQ(SettingsPanelController::subRolePrefixForText("My Trk/"), "MyTrk");
    EXPECT_EQ(SettingsPanelController::subRolePrefixForText(""), "Trk");
    EXPECT_EQ(SettingsPanelController::subRolePrefixForText("A_b-C+#9"), "A_b-C+#9");
    EXPECT_EQ(SettingsPanelController::subRolePrefixForText("Sp\xc3\xbcr"), "Spr");
}

TEST(StandardDefaultsTest, FirstStartWritesOnceAndResetStartsAfresh) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    ASSERT_TRUE(StandardDefaults::createIfNeeded(defaults));
    EXPECT_EQ(defaults.stringForKey(DefaultsKey::softwareVersion), kApplicationVersion);
    EXPECT_EQ(defaults.stringForKey(DefaultsKey::operatingSystemVersion)->rfind("Linux", 0), 0u);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::keepOriginalAudio), 1);
    EXPECT_EQ(defaults.arrayForKey(DefaultsKey::avShiftPresets), standardAVShiftPresets());

    defaults.setBool(false, DefaultsKey::muteAudioTimecode);
    defaults.setObject(MetadataList{}, DefaultsKey::avShiftPresets);
    defaults.setInteger(3, DefaultsKey::audioTcRate);
    EXPECT_FALSE(StandardDefaults::createIfNeeded(defaults)) << "later starts only read";
    EXPECT_FALSE(defaults.boolForKey(DefaultsKey::muteAudioTimecode));

    // The presets are not rewritten while their flag is set.
    StandardDefaults::createAVShiftPresets(defaults);
    EXPECT_EQ(defaults.arrayForKey(DefaultsKey::avShiftPresets), MetadataList{});

    StandardDefaults::reset(defaults);
    UserDefaults reloaded(folder / "defaults.json");
    EXPECT_TRUE(reloaded.boolForKey(DefaultsKey::muteAudioTimecode));
    EXPECT_EQ(reloaded.arrayForKey(DefaultsKey::avShiftPresets)->size(), 4u);
    EXPECT_FALSE(reloaded.objectForKey(DefaultsKey::audioTcRate));
}

TEST(SettingsTableTest, EveryStandardValueFitsItsOwnType) {
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (!definition.standardValue) continue;
        std::string error;
        const std::string text = settingValueText(definition, *definition.standardValue);
        const auto parsed = settingValueFromText(definition, text, error);
        ASSERT_TRUE(parsed) << definition.key << ": " << error;
        EXPECT_EQ(*parsed, *definition.standardValue) << definition.key;
    }
    EXPECT_EQ(settingDefinitionForKey("fcpxSubRolePrefix")->standardValue, MetadataValue("Trk"));
    EXPECT_EQ(settingDefinitionForKey("nonsense"), nullptr);
}

TEST(SettingsTableTest, ValuesFromTextAreCheckedAgainstTheKey) {
    const auto parse = [](const char* key, const std::string& text) {
        std::string error;
        auto value = settingValueFromText(*settingDefinitionForKey(key), text, error);
        EXPECT_EQ(value.has_value(), error.empty()) << key;
        return value;
    };
    EXPECT_EQ(parse("muteAudioTimecode", "no"), MetadataValue(false));
    EXPECT_EQ(parse("muteAudioTimecode", "TRUE"), MetadataValue(true));
    EXPECT_FALSE(parse("muteAudioTimecode", "2"));
    EXPECT_EQ(parse("multicam", "yes"), MetadataValue(int64_t(1)));
    EXPECT_EQ(parse("metadataHandling", "5"), MetadataValue(int64_t(5)));
    EXPECT_FALSE(parse("metadataHandling", "6"));
    EXPECT_FALSE(parse("metadataHandling", "-1"));
    EXPECT_FALSE(parse("metadataHandling", "2x"));
    EXPECT_FALSE(parse("mxfAudioOptions", "1")) << "the separator cannot be chosen";
    EXPECT_EQ(parse("mxfAudioOptions", "4"), MetadataValue(int64_t(4)));
    EXPECT_FALSE(parse("mxfImporter", "2"));
    EXPECT_EQ(parse("audioTcOffset", "-2.5"), MetadataValue(-2.5));
    EXPECT_FALSE(parse("audioTcOffset", "inf"));
    EXPECT_FALSE(parse("audioTcOffset", "abc"));
    EXPECT_EQ(parse("fcpxSubRolePrefix", "a b"), MetadataValue("ab"));
    EXPECT_EQ(parse("avShiftPresets", R"([{"camera": "X", "shift": "-0.4"}, {"camera": "Y",
                                          "shift": 0.125}])"),
              MetadataValue(MetadataList{
                  MetadataValue(MetadataDictionary{{"camera", "X"}, {"shift", "-0.40"}}),
                  MetadataValue(MetadataDictionary{{"camera", "Y"}, {"shift", "0.12"}})}));
    EXPECT_EQ(parse("avShiftPresets", "[]"), MetadataValue(MetadataList{}));
    EXPECT_FALSE(parse("avShiftPresets", R"([{"camera": "X"}])"));
    EXPECT_FALSE(parse("avShiftPresets", R"([{"camera": "", "shift": "1"}])"));
    EXPECT_FALSE(parse("avShiftPresets", R"({"camera": "X", "shift": "1"})"));
}

TEST(SettingsTableTest, EffectiveValuesReadAbsentAndMistypedKeysAsTheApplicationDoes) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setString("not a list", DefaultsKey::avShiftPresets);
    defaults.setString("7", DefaultsKey::clipNaming);
    const auto text = [&](const char* key) {
        const SettingDefinition& definition = *settingDefinitionForKey(key);
        return settingValueText(definition, effectiveSettingValue(definition, defaults));
    };
    EXPECT_EQ(text("avShiftPresets"), "[]");
    EXPECT_EQ(text("clipNaming"), "7");
    EXPECT_EQ(text("muteAudioTimecode"), "NO");
    EXPECT_EQ(text("audioTcOffset"), "0");
    EXPECT_EQ(text("softwareVersion"), "");
}

}  // namespace
}  // namespace vorlane
