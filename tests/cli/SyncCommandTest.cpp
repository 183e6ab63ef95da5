// Runs the built `vorlane sync` and `vorlane map` and checks the output contract that scripts
// rely on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
using test::writeFile;

class SyncCommandTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        return test::runVorlane(config.path(), arguments);
    }

    ScratchFolder config;
    ScratchFolder media;
};

TEST_F(SyncCommandTest, AFolderWithoutMediaGivesNoClipsAndAnEmptyMap) {
    writeFile(media / "notes.txt", "shoot notes");
    auto result = vorlane({"sync", "--json", "--quiet", media.path().string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(nlohmann::json::parse(result.standardOutput),
              nlohmann::json({{"clips", nlohmann::json::array()}}));
    result = vorlane({"sync", "--quiet", media.path().string()});
    EXPECT_NE(result.standardOutput.find("no video files to sync"), std::string::npos);

    result = vorlane({"map", "--json", "--quiet", media.path().string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto map = nlohmann::json::parse(result.standardOutput);
    EXPECT_EQ(map["name"], "Layout");
    EXPECT_EQ(map["duration"], 0.0);
    EXPECT_EQ(map["tracks"], nlohmann::json::array());
    EXPECT_EQ(map["cutRanges"], nlohmann::json::array());
    EXPECT_TRUE(map.contains("timecode"));
}

TEST_F(SyncCommandTest, AMasterThatIsNoMediaFails) {
    writeFile(media / "notes.txt", "shoot notes");
    const auto result = vorlane(
        {"sync", "--quiet", "--master", (media / "notes.txt").string(), media.path().string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("notes.txt"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
