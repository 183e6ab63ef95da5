// Runs the built `vorlane scan` and `vorlane info` on files made here and checks the output
// contract that scripts rely on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
using test::writeFile;

class ScanCommandTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        std::vector<std::string> command = {"env", "VORLANE_CONFIG_DIR=" + config.path().string(),
                                            VORLANE_BINARY_DIR "/vorlane"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const auto result = runProcess(command);
        EXPECT_TRUE(result) << "cannot start vorlane";
        return result.value_or(ProcessResult{});
    }
    nlohmann::json scanJson(std::vector<std::string> arguments, int expectedStatus = 0) {
        arguments.insert(arguments.begin(), {"scan", "--json"});
        const auto result = vorlane(arguments);
        EXPECT_EQ(result.exitStatus, expectedStatus) << result.standardError;
        return nlohmann::json::parse(result.standardOutput);
    }

    ScratchFolder config;
    ScratchFolder media;
};

TEST_F(ScanCommandTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(vorlane({"scan"}).exitStatus, 2);
    EXPECT_EQ(vorlane({"scan", "--fast", media.path().string()}).exitStatus, 2);
    EXPECT_EQ(vorlane({"info"}).exitStatus, 2);
    EXPECT_EQ(vorlane({"info", "--json", media.path().string()}).exitStatus, 2);
}

TEST_F(ScanCommandTest, ANamedPathThatCannotBeReadFailsAndSaysWhy) {
    writeFile(media / "notes.txt", "not media");
    const auto missing = (media / "missing.wav").string();
    const auto json = scanJson({missing, (media / "notes.txt").string()}, 1);
    EXPECT_EQ(json["files"], nlohmann::json::array());
    ASSERT_EQ(json["skipped"].size(), 2u);
    EXPECT_EQ(json["skipped"][0]["path"], missing);
    EXPECT_EQ(json["skipped"][0]["reason"], "no such file or folder");
    EXPECT_EQ(json["skipped"][1]["reason"], "not a media file Vorlane reads");

    const auto human = vorlane({"scan", "--quiet", missing});
    EXPECT_EQ(human.exitStatus, 1);
    EXPECT_NE(human.standardError.find(missing + ": no such file or folder"), std::string::npos);
    EXPECT_EQ(vorlane({"info", missing}).exitStatus, 1);
}

TEST_F(ScanCommandTest, FilesFoundInAFolderThatAreNoMediaAreListedNotFailed) {
    writeFile(media / "README.txt", "shoot notes");
    writeFile(media / ".DS_Store", "hidden");
    const auto json = scanJson({media.path().string()});
    ASSERT_EQ(json["skipped"].size(), 1u);
    EXPECT_EQ(json["skipped"][0]["path"], (media / "README.txt").string());

    const auto human = vorlane({"scan", media.path().string()});
    EXPECT_EQ(human.exitStatus, 0);
    EXPECT_NE(human.standardOutput.find("Name"), std::string::npos);
    EXPECT_NE(human.standardOutput.find("README.txt: not a media file"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
