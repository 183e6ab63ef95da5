// `vorlane scan` on movies, AVCHD and MP3 files made by ffmpeg: the timecode scripts see is the
// one ffprobe reports, and --thumbnails writes the pictures.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "formats/asset/MediaTools.h"
#include "mediagen/MovieWriter.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

TEST(ScanPlatformMedia, TimecodesAndThumbnails) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder config;
    test::ScratchFolder media;
    test::ScratchFolder pictures;
    std::filesystem::create_directories(media / "cam_b");
    mediagen::MovieOptions movie;
    movie.frameCount = 10;
    movie.timecode = mediagen::Timecode{9, 59, 59, 20};
    for (const auto& path : {media / "A001.mov", media / "cam_b" / "A001.mov"}) {
        movie.path = path;
        std::string error;
        ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;
    }
    mediagen::Mp3Options sound;
    sound.path = media / "take.mp3";
    sound.source = test::writeStereoTone(media / "tone.wav", 0.5);
    sound.tags = {{"album", "TC=10:00:00:00 FR=25"}};
    ASSERT_TRUE(mediagen::writeMp3(sound));
    std::filesystem::remove(media / "tone.wav");

    const auto result =
        test::runVorlane(config.path(), {"scan", "--json", "--quiet", "--thumbnails",
                                         (pictures / "thumbs").string(), media.path().string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto json = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(json["files"].size(), 3u);
    const std::string probed = test::ffprobeTimecode(media / "A001.mov");
    int movies = 0;
    for (const auto& file : json["files"]) {
        if (file["name"] == "A001.mov") {
            ++movies;
            EXPECT_EQ(file["container"], "Quicktime");
            EXPECT_EQ(file["fileTimecode"]["text"], probed);
        } else {
            EXPECT_EQ(file["container"], "MP3");
            EXPECT_EQ(file["fileTimecode"]["text"], "10:00:00:00");
        }
    }
    EXPECT_EQ(movies, 2);

    // Two pictures, the second name made unique; the sound file has none.
    for (const char* name : {"A001.mov.png", "A001.mov-2.png"}) {
        const auto png = pictures / "thumbs" / name;
        ASSERT_TRUE(std::filesystem::exists(png)) << name;
        const auto probe = nlohmann::json::parse(test::runTool(
            {"ffprobe", "-v", "error", "-print_format", "json", "-show_streams", png.string()}));
        EXPECT_EQ(probe["streams"][0]["width"], 160);
        EXPECT_EQ(probe["streams"][0]["height"], 90);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pictures / "thumbs"),
                            std::filesystem::directory_iterator()),
              2);

    EXPECT_EQ(test::runVorlane(config.path(), {"scan", "--no-thumbnails", "--thumbnails",
                                               pictures.path().string(), media.path().string()})
                  .exitStatus,
              2);
}

}  // namespace
}  // namespace vorlane
