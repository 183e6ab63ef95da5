// Runs the built `vorlane ltc` and `vorlane scan` on files with LTC made by libltc's encoder and
// checks what they print and how they exit.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mediagen/AudioFileWriter.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

class LtcCommandTest : public testing::Test {
  protected:
    void SetUp() override {
        // Stereo 24-bit: chords on the left, 25 fps LTC on the right.
        mediagen::LtcOptions options;
        options.start = {10, 0, 0, 0};
        options.userBits = 0x11223344;
        options.durationSeconds = 4.0;
        options.firstFrameSample = -700;
        const auto signal = mediagen::generateLtc(options);
        ASSERT_TRUE(signal);
        truth = signal->secondsAtSampleZero();
        mediagen::AudioFileOptions file;
        file.path = media / "ltc.wav";
        file.channels = {mediagen::chords(signal->samples.size(), 48000, -20.0), signal->samples};
        ASSERT_TRUE(mediagen::writeAudioFile(file));
        file.path = media / "quiet.wav";
        file.channels = {mediagen::chords(96000, 48000, -20.0)};
        ASSERT_TRUE(mediagen::writeAudioFile(file));
    }

    ProcessResult vorlane(const std::vector<std::string>& arguments) {
        return test::runVorlane(config.path(), arguments);
    }
    nlohmann::json ltcJson(std::vector<std::string> arguments, int expectedStatus = 0) {
        arguments.insert(arguments.begin(), {"ltc", "--json", "--quiet"});
        const auto result = vorlane(arguments);
        EXPECT_EQ(result.exitStatus, expectedStatus) << result.standardError;
        return nlohmann::json::parse(result.standardOutput);
    }
    nlohmann::json scanJson(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"scan", "--json", "--quiet"});
        const auto result = vorlane(arguments);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        return nlohmann::json::parse(result.standardOutput);
    }
    std::string ltcPath() const { return (media / "ltc.wav").string(); }

    ScratchFolder config;
    ScratchFolder media;
    double truth = 0.0;
};

TEST_F(LtcCommandTest, PrintsTheAudioTimecodesFound) {
    const auto human = vorlane({"ltc", "--quiet", ltcPath()});
    EXPECT_EQ(human.exitStatus, 0) << human.standardError;
    EXPECT_EQ(human.standardOutput, ltcPath() +
                                        ": 1 audio timecode\n"
                                        "  10:00:00:00  25.00fps  NDF  user bits 11.22.33.44  "
                                        "on channel 2\n");

    const auto json = ltcJson({ltcPath()});
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["text"], "10:00:00:00");
    EXPECT_EQ(json[0]["frameRate"], 25.0);
    EXPECT_EQ(json[0]["dropFrame"], false);
    EXPECT_EQ(json[0]["type"], "audio");
    EXPECT_EQ(json[0]["source"], "on channel 2");
    EXPECT_EQ(json[0]["userBits"], "11.22.33.44");
    EXPECT_NEAR(json[0]["seconds"].get<double>(), truth, 0.0001);
}

TEST_F(LtcCommandTest, OptionsReachTheDecoder) {
    EXPECT_EQ(ltcJson({ltcPath(), "--channel", "2", "--track", "1", "--ranges", "0"}).size(), 1u);
    const auto offset = ltcJson({ltcPath(), "--offset", "-5"});
    ASSERT_EQ(offset.size(), 1u);
    EXPECT_NEAR(offset[0]["seconds"].get<double>(), truth - 0.2, 0.0001);
    const auto given = ltcJson({ltcPath(), "--fps", "25", "--algorithm", "4", "--ranges", "3"});
    ASSERT_EQ(given.size(), 1u);
    EXPECT_EQ(given[0]["frameRate"], 25.0);

    const auto left = vorlane({"ltc", "--quiet", ltcPath(), "--channel", "1", "--fps", "24"});
    EXPECT_EQ(left.exitStatus, 1);
    EXPECT_EQ(left.standardOutput, "");
    EXPECT_NE(left.standardError.find(ltcPath() + ": no audio timecode found; read one second "
                                                  "from the middle (windows 1) with adaptive "
                                                  "thresholds (algorithm 0), frame rate 24, all "
                                                  "1 audio track, channel 1"),
              std::string::npos)
        << left.standardError;
    const auto track = vorlane({"ltc", "--quiet", ltcPath(), "--track", "2"});
    EXPECT_EQ(track.exitStatus, 1);
    EXPECT_NE(track.standardError.find("there is no audio track 2 (the file has 1)"),
              std::string::npos)
        << track.standardError;
}

TEST_F(LtcCommandTest, NothingFoundOrNothingToReadFailsAndSaysWhy) {
    const auto quiet = (media / "quiet.wav").string();
    EXPECT_EQ(ltcJson({quiet}, 1), nlohmann::json::array());
    const auto none = vorlane({"ltc", "--quiet", quiet, "--ranges", "4", "--algorithm", "3"});
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_NE(none.standardError.find("no audio timecode found; read one second each from the "
                                      "start, the middle and 2 s before the end, then the whole "
                                      "file (windows 4) with slope (algorithm 3), frame rate "
                                      "detected, all 1 audio track, all channels"),
              std::string::npos)
        << none.standardError;
    const auto missing = (media / "missing.wav").string();
    const auto gone = vorlane({"ltc", "--quiet", missing});
    EXPECT_EQ(gone.exitStatus, 1);
    EXPECT_NE(gone.standardError.find(missing + ": no such file or folder"), std::string::npos);
    test::writeFile(media / "notes.txt", "not media");
    EXPECT_EQ(vorlane({"ltc", "--quiet", (media / "notes.txt").string()}).exitStatus, 1);
}

// A scan decodes LTC on import unless --no-ltc is given or the setting is off.
TEST_F(LtcCommandTest, ScanReadsLtcOnImportAsSet) {
    const auto json = scanJson({ltcPath()});
    ASSERT_EQ(json["files"].size(), 1u);
    const auto& audio = json["files"][0]["audioTimecode"];
    ASSERT_FALSE(audio.is_null());
    EXPECT_EQ(audio["text"], "10:00:00:00");
    EXPECT_EQ(audio["source"], "on channel 2");
    EXPECT_EQ(json["files"][0]["metadata"]["Reel"], "11223344");
    EXPECT_TRUE(scanJson({"--no-ltc", ltcPath()})["files"][0]["audioTimecode"].is_null());
    EXPECT_EQ(vorlane({"settings", "set", "readAudioTcOnImport", "false"}).exitStatus, 0);
    EXPECT_TRUE(scanJson({ltcPath()})["files"][0]["audioTimecode"].is_null());
}

// Movies read by the platform reader: LTC compressed to AAC, 50 fps video over 25 fps LTC.
TEST_F(LtcCommandTest, ScanReadsLtcInMovies) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    mediagen::LtcOptions options;
    options.start = {1, 0, 0, 0};
    options.durationSeconds = 3.0;
    const auto signal = mediagen::generateLtc(options);
    ASSERT_TRUE(signal);
    mediagen::AudioFileOptions sound;
    sound.path = media / "ltc25.wav";
    sound.format = mediagen::SampleFormat::Pcm16;
    sound.channels = {signal->samples};
    ASSERT_TRUE(mediagen::writeAudioFile(sound));
    mediagen::MovieOptions movie;
    movie.path = media / "camera.mov";
    movie.rate = {50, 1, false};
    movie.width = 320;
    movie.height = 180;
    movie.frameCount = 125;
    movie.audioTracks = {sound.path};
    movie.audioCodec = mediagen::MovieAudioCodec::Aac;
    std::string error;
    ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;
    const auto json = scanJson({movie.path.string()});
    ASSERT_EQ(json["files"].size(), 1u);
    const auto& audio = json["files"][0]["audioTimecode"];
    ASSERT_FALSE(audio.is_null()) << json.dump(2);
    EXPECT_EQ(audio["text"], "01:00:00:00");
    EXPECT_EQ(audio["frameRate"], 50.0);
    EXPECT_EQ(json["files"][0]["timecode"]["type"], "audio");
}

}  // namespace
}  // namespace vorlane
