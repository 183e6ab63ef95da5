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

// The standard values reach the file; the texts for the log follow what is stored.
TEST(SettingsPanelControllerTest, StandardValuesAndTheTextsThatFollowThem) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    SettingsPanelController(defaults).createStandardDefaults();
    UserDefaults written(folder / "defaults.json");  // synchronised to the file
    EXPECT_EQ(written.boolForKey(DefaultsKey::muteAudioTimecode), true);
    EXPECT_EQ(written.stringForKey(DefaultsKey::fcpxSubRolePrefix), "Trk");
    EXPECT_EQ(written.objectForKey(DefaultsKey::audioSyncWithoutTimecode), MetadataValue(false));

    StandardDefaults::createIfNeeded(defaults);
    const auto readable = [&] { return SettingsPanelController::readableUserDefaults(defaults); };
    EXPECT_NE(readable().find("- Mute audio timecode: ON\n"), std::string::npos);
    EXPECT_NE(readable().find("- Metadata processing: video only\n"), std::string::npos);
    EXPECT_NE(SettingsPanelController::shortUserDefaults(defaults).find("muteAudioTimecode:1"),
              std::string::npos);
    defaults.setBool(false, DefaultsKey::muteAudioTimecode);
    defaults.setInteger(3, DefaultsKey::metadataHandling);
    defaults.setInteger(2, DefaultsKey::mxfImporter);
    defaults.setInteger(1, DefaultsKey::mxfAudioOptions);
    EXPECT_NE(readable().find("- Mute audio timecode: OFF\n"), std::string::npos);
    EXPECT_NE(readable().find("- Metadata processing: merge audio and video\n"), std::string::npos);
    EXPECT_NE(readable().find("- MXF Importer: FFmpeg ()\n"), std::string::npos)
        << "any non-zero importer is FFmpeg's demuxer; the audio choice 1 is a separator without "
           "label";
    EXPECT_NE(SettingsPanelController::shortUserDefaults(defaults).find(
                  "metadataHandling:3, clipNaming:0, fileSuffixes:0, muteAudioTimecode:0"),
              std::string::npos);
    EXPECT_EQ(settingLabel(*settingDefinitionForKey("metadataHandling"), 6), "");
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
    EXPECT_EQ(defaults.stringForKey(DefaultsKey::updateAnnouncementURL), "")
        << "no update check contacts anything until the user names an announcement";
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
