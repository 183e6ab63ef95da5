// Runs the built `vorlane settings` command against a scratch settings folder.
#include <gtest/gtest.h>

#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::readFile;
using test::ScratchFolder;
using test::writeFile;

class SettingsCommandTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        return test::runVorlane(folder.path(), arguments);
    }
    std::filesystem::path settingsFile() const { return folder / "defaults.json"; }

    ScratchFolder folder;
};

TEST_F(SettingsCommandTest, FirstRunWritesTheStandardValuesAndListsEveryKey) {
    const auto result = vorlane({"settings", "list"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    for (const char* line :
         {"metadataHandling            0 (video only)\n", "muteAudioTimecode           YES\n",
          "fcpxSubRolePrefix           Trk\n", "keepOriginalAudio           1\n",
          "audioTcOffset               0 (not set)\n"}) {
        EXPECT_NE(result.standardOutput.find(line), std::string::npos) << line;
    }
    UserDefaults written(settingsFile());
    EXPECT_TRUE(written.boolForKey("defaultsWritten"));
    EXPECT_EQ(written.arrayForKey("avShiftPresets")->size(), 4u);

    const auto json = vorlane({"settings", "list", "--json"});
    EXPECT_EQ(json.exitStatus, 0);
    const auto values = UserDefaults::parseSettingsText(json.standardOutput);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->at("muteAudioTimecode"), MetadataValue(true));
    EXPECT_EQ(values->at("audioTcRate"), MetadataValue(0));
}

TEST_F(SettingsCommandTest, SetStoresValuesThatGetReadsBack) {
    EXPECT_EQ(vorlane({"settings", "set", "metadataHandling", "3"}).exitStatus, 0);
    EXPECT_EQ(vorlane({"settings", "set", "muteAudioTimecode", "no"}).exitStatus, 0);
    EXPECT_EQ(vorlane({"settings", "set", "audioTcOffset", "-1.5"}).exitStatus, 0);
    const auto prefix = vorlane({"settings", "set", "fcpxSubRolePrefix", "A 1/"});
    EXPECT_EQ(prefix.exitStatus, 0);
    EXPECT_NE(prefix.standardError.find("stored as \"A1\""), std::string::npos);

    EXPECT_EQ(vorlane({"settings", "get", "metadataHandling"}).standardOutput, "3\n");
    EXPECT_EQ(vorlane({"settings", "get", "muteAudioTimecode"}).standardOutput, "NO\n");
    EXPECT_EQ(vorlane({"settings", "get", "audioTcOffset"}).standardOutput, "-1.5\n");
    EXPECT_EQ(vorlane({"settings", "get", "fcpxSubRolePrefix"}).standardOutput, "A1\n");
    UserDefaults stored(settingsFile());
    EXPECT_EQ(stored.objectForKey("metadataHandling"), MetadataValue(3));
    EXPECT_EQ(stored.objectForKey("muteAudioTimecode"), MetadataValue(false));
}

TEST_F(SettingsCommandTest, RefusesUnknownKeysAndMistypedValuesAsUsageErrors) {
    vorlane({"settings", "set", "clipNaming", "1"});
    const std::string before = readFile(settingsFile());

    const auto unknown = vorlane({"settings", "set", "colour", "blue"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(unknown.standardError.find("unknown setting 'colour'"), std::string::npos);
    const auto wrongType = vorlane({"settings", "set", "clipNaming", "video name"});
    EXPECT_EQ(wrongType.exitStatus, 2);
    EXPECT_NE(wrongType.standardError.find("clipNaming takes one of 0 (video name)"),
              std::string::npos)
        << wrongType.standardError;
    EXPECT_EQ(readFile(settingsFile()), before) << "nothing is stored after a refusal";
}

TEST_F(SettingsCommandTest, ResetRestoresTheStandardValues) {
    vorlane({"settings", "set", "avShiftPresets", R"([{"camera": "Cam", "shift": "0.2"}])"});
    EXPECT_EQ(vorlane({"settings", "get", "avShiftPresets"}).standardOutput,
              "[{\"camera\":\"Cam\",\"shift\":\"0.20\"}]\n");
    vorlane({"settings", "set", "involveFileDate", "YES"});
    EXPECT_EQ(vorlane({"settings", "reset"}).exitStatus, 0);
    EXPECT_EQ(vorlane({"settings", "get", "involveFileDate"}).standardOutput, "NO\n");
    EXPECT_NE(vorlane({"settings", "get", "avShiftPresets"}).standardOutput.find("Canon EOS 550D"),
              std::string::npos);
}

TEST_F(SettingsCommandTest, ACorruptSettingsFileIsReportedAndSetAside) {
    writeFile(settingsFile(), "{\"muteAudioTimecode\": fal");
    const auto result = vorlane({"settings", "get", "muteAudioTimecode"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "YES\n") << "the standard values apply again";
    EXPECT_NE(result.standardError.find("Cannot read settings file"), std::string::npos);
    int asideFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        asideFiles += entry.path().filename().string().find(".corrupt-") != std::string::npos;
    EXPECT_EQ(asideFiles, 1);
}

}  // namespace
}  // namespace vorlane
