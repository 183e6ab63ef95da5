// `vorlane verify` on the demo shoot and on variants that ffmpeg makes of its files: a camera
// whose timecode ffmpeg sets three frames late, others whose scratch sound it silences, leaves
// out or cuts short, a phone file stripped of its timecode (placed by --audio-sync), and a
// three-minute take whose camera sound runs 1000 ppm fast.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "export/ExportTestSupport.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

class VerifyCommandTest : public testing::Test {
  protected:
    nlohmann::json verify(const std::filesystem::path& folder, int expectedStatus) {
        const ProcessResult result =
            test::runVorlane(config.path(), {"verify", "--json", "--quiet", folder.string()});
        EXPECT_EQ(result.exitStatus, expectedStatus) << result.standardError;
        return nlohmann::json::parse(result.standardOutput, nullptr, false);
    }

    // A folder (in the work folder) with a copy of the camera file of the demo shoot with
    // ffmpeg's changes (its picture and the maps given) and the recorder's take.
    std::filesystem::path variant(const std::filesystem::path& shoot,
                                  const std::vector<std::string>& changes,
                                  const std::string& name = "variant") {
        const auto folder = work.path() / name;
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(shoot / "SC12_T01.WAV", folder / "SC12_T01.WAV");
        std::vector<std::string> command = {
            "ffmpeg", "-v", "error", "-i", (shoot / "A001_C001.mov").string(), "-map", "0:v"};
        command.insert(command.end(), changes.begin(), changes.end());
        command.push_back((folder / "A001_C001.mov").string());
        test::runTool(command);
        return folder;
    }

    std::string probedTimecode(const std::filesystem::path& movie) {
        return test::runTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream_tags=timecode", "-of", "default=nw=1:nk=1", movie.string()});
    }

    ScratchFolder config;
    ScratchFolder work;
};

TEST_F(VerifyCommandTest, EveryClipOfTheDemoShootAgreesWithinAMillisecond) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    const nlohmann::json report = verify(shoot, 0);
    ASSERT_EQ(report["clips"].size(), 5u) << report.dump(1);
    for (const auto& clip : report["clips"]) {
        EXPECT_EQ(clip["verdict"], "agrees") << clip.dump(1);
        EXPECT_LT(std::abs(clip["differenceMilliseconds"].get<double>()), 1.0) << clip.dump(1);
        EXPECT_GE(clip["confidence"].get<double>(), 0.5);
        // Of the four sound files over scene 14 the one whose iXML names its channel "Boom".
        if (clip["name"] == "A001_C003.mov") {
            EXPECT_EQ(clip["recorder"], "SC14_T01_1.WAV");
        }
    }
    // The file list's sync information carries the verdict.
    const ProcessResult scan = test::runVorlane(
        config.path(), {"scan", "--json", "--sync-info", "--quiet", (shoot / "B_0001.mp4").string(),
                        (shoot / "SC12_T01.WAV").string()});
    const auto files = nlohmann::json::parse(scan.standardOutput, nullptr, false);
    for (const auto& file : files["files"])
        if (file["name"] == "B_0001.mp4") {
            EXPECT_EQ(file["syncInfo"], "synced, sound agrees (\u00b10 samples)");
        }
}

TEST_F(VerifyCommandTest, ACameraTimecodeThreeFramesLateDisagreesByThreeFrames) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    const auto folder = variant(shoot, {"-map", "0:a", "-c", "copy", "-timecode", "10:00:02:03"});
    ASSERT_EQ(probedTimecode(folder / "A001_C001.mov"), "10:00:02:03\n");
    const nlohmann::json report = verify(folder, 1);
    ASSERT_EQ(report["clips"].size(), 1u) << report.dump(1);
    const auto& clip = report["clips"][0];
    EXPECT_EQ(clip["verdict"], "disagrees");
    EXPECT_NEAR(clip["differenceFrames"].get<double>(), 3.0, 0.025);  // one millisecond at 25 fps
    EXPECT_EQ(
        clip["text"].get<std::string>().rfind("sound disagrees: +3 frames 0 ms (confidence 0.", 0),
        0u)
        << clip["text"];
}

// Silent scratch sound, none at all, and a clip of 0.6 s.
TEST_F(VerifyCommandTest, SoundThatCannotConfirmSaysWhy) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-map", "0:a", "-c:v", "copy", "-c:a", "pcm_s16le", "-af", "volume=0"},
         "the clip's sound is silent"},
        {{"-c", "copy"}, "the clip has no sound"},
        {{"-map", "0:a", "-t", "0.6", "-c:a", "copy"}, "shorter than one second"},
    };
    for (size_t index = 0; index < cases.size(); ++index) {
        std::vector<std::string> changes = cases[index].first;
        changes.insert(changes.end(), {"-timecode", "10:00:02:00"});
        const auto folder = variant(shoot, changes, std::to_string(index));
        EXPECT_EQ(probedTimecode(folder / "A001_C001.mov"), "10:00:02:00\n");
        const nlohmann::json report = verify(folder, 0);
        ASSERT_EQ(report["clips"].size(), 1u) << report.dump(1);
        EXPECT_EQ(report["clips"][0]["text"], "sound cannot confirm: " + cases[index].second);
        EXPECT_TRUE(report["clips"][0]["audioOffset"].is_null());
        // Without the camera's sound in the clip there is no timecode offset to show either.
        EXPECT_EQ(report["clips"][0]["timecodeOffset"].is_null(), index == 1);
    }
}

TEST_F(VerifyCommandTest, ATakeOfThreeMinutesWhoseCameraRuns1000PpmFastShowsTheDrift) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    // Pink noise on a recorder that starts at 10:00:00:00 (bext time reference), and the same
    // sound played 1000 ppm fast (48048 Hz taken as 48000 Hz) on a camera that starts with it.
    const auto recorder = work.path() / "REC.WAV";
    test::runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                   "anoisesrc=c=pink:r=48000:d=185:seed=11", "-c:a", "pcm_s24le", "-write_bext",
                   "1", "-metadata", "time_reference=1728000000", recorder.string()});
    test::runTool({"ffmpeg",
                   "-v",
                   "error",
                   "-f",
                   "lavfi",
                   "-i",
                   "color=s=64x36:r=25:d=180",
                   "-i",
                   recorder.string(),
                   "-filter:a",
                   "asetrate=48048,aresample=48000",
                   "-map",
                   "0:v",
                   "-map",
                   "1:a",
                   "-t",
                   "180",
                   "-c:v",
                   "mpeg4",
                   "-c:a",
                   "pcm_s16le",
                   "-timecode",
                   "10:00:00:00",
                   (work.path() / "CAM.mov").string()});
    const nlohmann::json report = verify(work.path(), 1);
    ASSERT_EQ(report["clips"].size(), 1u) << report.dump(1);
    const auto& clip = report["clips"][0];
    ASSERT_TRUE(clip["drift"]["measured"]) << clip.dump(1);
    EXPECT_NEAR(clip["drift"]["ppm"].get<double>(), 1000.0, 20.0);
    EXPECT_NEAR(clip["drift"]["frames"].get<double>(), 4.5, 0.1);  // 0.18 s over 180 s at 25 fps
    // In the middle of the take the sound lies 90 ms behind the timecode's place for it.
    EXPECT_EQ(clip["verdict"], "disagrees");
    EXPECT_NEAR(clip["differenceMilliseconds"].get<double>(), -90.0, 1.0);
}

// The phone's file of take 12/2 made anew by ffmpeg as AAC without any of its tags, so it has
// no timecode; the recorder's take and a camera's clip beside it.
TEST_F(VerifyCommandTest, APhoneFileWithoutTimecodeIsPlacedByItsSound) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    for (const char* name : {"SC12_T02.WAV", "B_0002.mp4"})
        std::filesystem::copy_file(shoot / name, work.path() / name);
    const auto phone = work.path() / "HANDY_0001.m4a";
    test::runTool({"ffmpeg", "-v", "error", "-i", (shoot / "HANDY_0001.mp3").string(),
                   "-map_metadata", "-1", "-c:a", "aac", phone.string()});
    const auto phoneTimecode = [&](const std::vector<std::string>& options) {
        std::vector<std::string> arguments = {"scan", "--json", "--quiet", work.path().string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto scan = nlohmann::json::parse(
            test::runVorlane(config.path(), arguments).standardOutput, nullptr, false);
        for (const auto& file : scan["files"])
            if (file["name"] == "HANDY_0001.m4a") return file["timecode"];
        return nlohmann::json();
    };
    EXPECT_TRUE(phoneTimecode({}).is_null());
    const nlohmann::json placed = phoneTimecode({"--audio-sync"});
    ASSERT_TRUE(placed.is_object());
    EXPECT_NEAR(placed["seconds"].get<double>(), 36066.0, 0.001);  // 10:01:06:00
    EXPECT_EQ(placed["type"], "audio");
    EXPECT_EQ(placed["source"].get<std::string>().rfind(
                  "sound matched to SC12_T02.WAV, confidence 0.", 0),
              0u);
    // The setting does the same without the option.
    test::runVorlane(config.path(), {"settings", "set", "audioSyncWithoutTimecode", "on"});
    EXPECT_EQ(phoneTimecode({})["text"], "10:01:06:00");

    // In the FCPXML the phone is connected to the camera's clip, which starts at 10:01:04:00, two
    // seconds in.
    const auto document = work.path() / "day.fcpxml";
    test::runVorlane(config.path(), {"export", "fcpxml", "-o", document.string(), "--quiet",
                                     work.path().string()});
    const std::string text = test::readFile(document);
    EXPECT_NE(text.find("name=\"HANDY_0001\" offset=\"2400000/1200000s\""), std::string::npos);
}

}  // namespace
}  // namespace vorlane
