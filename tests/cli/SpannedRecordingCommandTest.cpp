// The command line with a take that the recorder split over three Broadcast WAV files (the
// media generator's, bext time references continuing) and a camera movie made by ffmpeg whose
// timecode spans the cut between the first two files: one recording in `scan` and `info`, and
// `sync` lays both files' sound under the picture to the sample.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mediagen/BroadcastWave.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

void writePart(const std::filesystem::path& path, mediagen::Timecode start, double seconds) {
    mediagen::RecorderTake take;
    take.path = path;
    take.start = start;
    take.format = mediagen::SampleFormat::Pcm16;
    take.originator = "ZOOM F8n";
    take.channels = {mediagen::chords(size_t(seconds * 48000), 48000, -12.0)};
    std::string error;
    EXPECT_TRUE(mediagen::writeRecorderTake(take, &error)) << error;
}

TEST(SpannedRecordingCommand, ACameraTakeAcrossACutSyncsWithBothFiles) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder config;
    ScratchFolder media;
    writePart(media / "ZOOM0001.WAV", {10, 0, 0, 0}, 20);
    writePart(media / "ZOOM0002.WAV", {10, 0, 20, 0}, 20);
    writePart(media / "ZOOM0003.WAV", {10, 0, 40, 0}, 10);
    mediagen::MovieOptions movie;
    movie.path = media / "A001C001.mov";
    movie.width = 160;
    movie.height = 90;
    movie.frameCount = 250;
    movie.timecode = mediagen::Timecode{10, 0, 15, 0};
    std::string error;
    ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;

    auto result =
        test::runVorlane(config.path(), {"scan", "--json", "--quiet", media.path().string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto scan = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(scan["files"].size(), 2u) << scan.dump(1);
    const auto& recording = scan["files"][1];
    EXPECT_EQ(recording["name"], "ZOOM0001.WAV");
    EXPECT_EQ(recording["duration"], 50.0);
    ASSERT_EQ(recording["parts"].size(), 3u);
    EXPECT_EQ(recording["parts"][2]["start"], 40.0);
    EXPECT_EQ(recording["missingParts"], nlohmann::json::array());
    EXPECT_TRUE(recording["info"]["file"].get<std::string>().starts_with("3 Files "));

    result =
        test::runVorlane(config.path(), {"info", "--quiet", (media / "ZOOM0002.WAV").string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    for (const char* line :
         {"File = ZOOM0001.WAV\n", "3 Files\n", "Part 1 = ZOOM0001.WAV", "Part 3 = ZOOM0003.WAV"})
        EXPECT_NE(result.standardOutput.find(line), std::string::npos) << line;

    result = test::runVorlane(config.path(), {"sync", "--json", "--quiet", media.path().string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto clips = nlohmann::json::parse(result.standardOutput)["clips"];
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0]["status"], "synced");
    std::vector<nlohmann::json> sound;
    for (const auto& track : clips[0]["tracks"])
        if (track["kind"] == "audio")
            for (const auto& segment : track["segments"])
                if (!segment["source"].is_null()) sound.push_back(segment);
    ASSERT_EQ(sound.size(), 2u) << clips[0].dump(1);
    EXPECT_EQ(sound[0]["source"], (media / "ZOOM0001.WAV").string());
    EXPECT_EQ(sound[0]["sourceStart"], 15.0);
    EXPECT_EQ(sound[0]["targetStart"], 0.0);
    EXPECT_EQ(sound[0]["duration"], 5.0);
    EXPECT_EQ(sound[1]["source"], (media / "ZOOM0002.WAV").string());
    EXPECT_EQ(sound[1]["sourceStart"], 0.0);
    EXPECT_EQ(sound[1]["targetStart"], 5.0);
    EXPECT_EQ(sound[1]["duration"], 5.0);

    // The FCPXML document names each file with its own start on the recorder's clock.
    const auto document = config / "synced.fcpxml";
    result = test::runVorlane(config.path(), {"export", "fcpxml", "-o", document.string(),
                                              "--quiet", media.path().string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const std::string fcpxml = test::readFile(document);
    for (const char* asset : {"name=\"ZOOM0001\" src=\"file://", "start=\"1728000000/48000s\"",
                              "name=\"ZOOM0002\" src=\"file://", "start=\"1728960000/48000s\"",
                              "name=\"ZOOM0003\" src=\"file://", "start=\"1729920000/48000s\""})
        EXPECT_NE(fcpxml.find(asset), std::string::npos) << asset;
}

}  // namespace
}  // namespace vorlane
