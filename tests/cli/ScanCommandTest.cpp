// Runs the built `vorlane scan` and `vorlane info` on files made here and checks the output
// contract that scripts rely on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mediagen/BroadcastWave.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
using test::writeFile;

class ScanCommandTest : public testing::Test {
  protected:
    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        return test::runVorlane(config.path(), arguments);
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

TEST_F(ScanCommandTest, JsonOfARecordersFileFollowsTheContract) {
    mediagen::RecorderTake take;
    take.path = media / "T07.WAV";
    take.start = {14, 3, 7, 12};
    take.originator = "SoundDev: 788T S#77";
    take.scene = "4B";
    take.take = "2";
    take.userBits = 0x01020304;
    take.channels = {mediagen::sine(1000.0, -20.0, 96000, 48000), mediagen::silence(96000)};
    const auto facts = mediagen::writeRecorderTake(take);
    ASSERT_TRUE(facts);
    writeFile(media / "slate.txt", "notes");

    const auto json = scanJson({"--no-ltc", "--quiet", media.path().string()});
    ASSERT_EQ(json["files"].size(), 1u);
    const auto& file = json["files"][0];
    EXPECT_EQ(file["path"], take.path.string());
    EXPECT_EQ(file["name"], "T07.WAV");
    EXPECT_EQ(file["container"], "WAVE (BWF)");
    EXPECT_EQ(file["mediaType"], "audio");
    EXPECT_EQ(file["syncGroup"], 1);
    EXPECT_EQ(file["linked"], false);
    EXPECT_DOUBLE_EQ(file["duration"].get<double>(), facts->durationSeconds());
    EXPECT_DOUBLE_EQ(file["frameRate"].get<double>(), 25.0);
    const auto& timecode = file["timecode"];
    EXPECT_EQ(timecode["text"], "14:03:07:12");
    EXPECT_DOUBLE_EQ(timecode["frameRate"].get<double>(), 25.0);
    EXPECT_EQ(timecode["dropFrame"], false);
    EXPECT_EQ(timecode["type"], "file");
    EXPECT_EQ(timecode["userBits"], "01.02.03.04");
    EXPECT_NEAR(timecode["seconds"].get<double>(), facts->startSeconds(), 1e-9);
    EXPECT_TRUE(timecode.contains("source"));
    EXPECT_EQ(file["fileTimecode"], timecode);
    EXPECT_TRUE(file["audioTimecode"].is_null());
    EXPECT_EQ(file["metadata"]["Scene"], "4B");
    EXPECT_EQ(file["metadata"]["Take"], "2");
    EXPECT_EQ(file["metadata"]["Model"], "788T");
    EXPECT_FALSE(file["metadata"].contains("BWFbext"));  // bytes, not text
    ASSERT_EQ(file["tracks"].size(), 2u);
    const auto& audio = file["tracks"][0];
    EXPECT_EQ(audio["kind"], "audio");
    EXPECT_EQ(audio["number"], 1);
    EXPECT_EQ(audio["fourCC"], "lpcm");
    EXPECT_EQ(audio["channels"], 2);
    EXPECT_EQ(audio["bitDepth"], 24);
    EXPECT_EQ(audio["sampleRate"], 48000.0);
    EXPECT_EQ(audio["channelMask"], 0);
    EXPECT_EQ(file["tracks"][1]["kind"], "timecode");
    for (const char* summary : {"file", "video", "audio", "fileTimecode", "audioTimecode"})
        EXPECT_TRUE(file["info"][summary].is_string()) << summary;
    EXPECT_EQ(file["info"]["audio"], "LPCM, 2CH, 24bit, 48000Hz");
    EXPECT_EQ(file["info"]["audioTimecode"], "not read yet");
    EXPECT_TRUE(file["syncInfo"].is_null());
    ASSERT_EQ(json["skipped"].size(), 1u);
    EXPECT_EQ(json["skipped"][0]["path"], (media / "slate.txt").string());

    const auto table = vorlane({"scan", "--no-ltc", take.path.string()});
    EXPECT_EQ(table.exitStatus, 0) << table.standardError;
    EXPECT_NE(table.standardOutput.find("T07.WAV"), std::string::npos);
    EXPECT_NE(table.standardOutput.find("14:03:07:12 (25.00fps) file"), std::string::npos);

    const auto info = vorlane({"info", "--detailed", "--quiet", take.path.string()});
    EXPECT_EQ(info.exitStatus, 0);
    EXPECT_NE(info.standardOutput.find("File = T07.WAV"), std::string::npos);
    EXPECT_NE(info.standardOutput.find("sourceURL = " + take.path.string()), std::string::npos);
    const auto brief = vorlane({"info", take.path.string()});
    EXPECT_EQ(brief.standardOutput.find("sourceURL = "), std::string::npos);
}

TEST_F(ScanCommandTest, AFileOfWhichNothingCanBeReadFails) {
    writeFile(media / "broken.wav", "RIFF....WAVEjunk");
    const auto json = scanJson({"--quiet", (media / "broken.wav").string()}, 1);
    ASSERT_EQ(json["files"].size(), 1u);
    EXPECT_EQ(json["files"][0]["mediaType"], "unknown");
}

}  // namespace
}  // namespace vorlane
