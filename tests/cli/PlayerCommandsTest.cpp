// `vorlane still` and `vorlane listen` on the demo shoot (made by ffmpeg, libsndfile and libltc's
// encoder; its README states every start timecode): the picture written at a timecode is the
// camera's frame as ffmpeg decodes it, black where the clip has no picture, and the sound written
// over a range holds the recorder's samples at their sync offset, read back by ffmpeg.
#include <gtest/gtest.h>

#include <cstring>

#include "export/ExportTestSupport.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

// A picture file decoded by ffmpeg to RGBA bytes.
std::string rgbaOf(const std::filesystem::path& picture) {
    return test::runTool({"ffmpeg", "-v", "error", "-i", picture.string(), "-f", "rawvideo",
                          "-pix_fmt", "rgba", "-"});
}

// Frame `index` of a movie as ffmpeg decodes and converts it to RGBA.
std::string sourceFrame(const std::filesystem::path& movie, int index) {
    return test::runTool({"ffmpeg", "-v", "error", "-i", movie.string(), "-vf",
                          "select=eq(n\\," + std::to_string(index) + ")", "-frames:v", "1", "-f",
                          "rawvideo", "-pix_fmt", "rgba", "-"});
}

// A sound file decoded by ffmpeg to interleaved 32-bit float.
std::vector<float> floatSamples(const std::filesystem::path& sound) {
    const std::string raw = test::runTool(
        {"ffmpeg", "-v", "error", "-i", sound.string(), "-f", "f32le", "-c:a", "pcm_f32le", "-"});
    std::vector<float> samples(raw.size() / 4);
    std::memcpy(samples.data(), raw.data(), samples.size() * 4);
    return samples;
}

class PlayerCommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        VORLANE_REQUIRE_TOOL("ffprobe");
        VORLANE_REQUIRE_DEMO_SHOOT(made);
        shoot = made;
    }

    ProcessResult run(const std::string& command, const std::string& master,
                      std::vector<std::string> options) {
        std::vector<std::string> arguments = {command, shoot.string(), "--master",
                                              (shoot / master).string(), "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return test::runVorlane(config.path(), arguments);
    }

    std::filesystem::path shoot;
    ScratchFolder config;
    ScratchFolder out;
};

TEST_F(PlayerCommandsTest, StillIsTheCameraFrameAtTheTimecodeAndBlackWithoutPicture) {
    // A001_C001.mov starts at 10:00:02:00; the clap is its frame 75.
    const struct {
        const char* typed;
        int frame;
    } stills[] = {{"10:00:05:00", 75}, {"10:00:02:00", 0}, {"10000507", 82}, {"10:00:11;24", 249}};
    for (const auto& still : stills) {
        const auto png = out / (std::to_string(still.frame) + ".png");
        const ProcessResult result =
            run("still", "A001_C001.mov", {"--at", still.typed, "-o", png.string()});
        ASSERT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_TRUE(rgbaOf(png) == sourceFrame(shoot / "A001_C001.mov", still.frame))
            << still.typed;
    }
    // The recorder's take starts 2 s before the camera: its clip has no picture there.
    const auto black = out / "black.png";
    const ProcessResult result =
        run("still", "SC12_T01.WAV", {"--at", "10:00:01:00", "-o", black.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const std::string pixels = rgbaOf(black);
    ASSERT_FALSE(pixels.empty());
    for (size_t index = 0; index < pixels.size(); ++index)
        ASSERT_EQ(uint8_t(pixels[index]), index % 4 == 3 ? 255 : 0) << "byte " << index;
}

TEST_F(PlayerCommandsTest, ListenHoldsTheRecorderSamplesAtTheirSyncOffset) {
    const auto wav = out / "mix.wav";
    const ProcessResult result =
        run("listen", "A001_C001.mov",
            {"--from", "10:00:04:00", "--to", "10:00:06:00", "-o", wav.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const std::string probe =
        test::runTool({"ffprobe", "-v", "error", "-show_entries",
                       "stream=codec_name,sample_rate,channels", "-of", "csv=p=0", wav.string()});
    int channels = 0;
    ASSERT_EQ(probe.rfind("pcm_f32le,48000,", 0), 0u) << probe;
    channels = std::stoi(probe.substr(std::strlen("pcm_f32le,48000,")));
    const std::vector<float> mix = floatSamples(wav);
    constexpr size_t kFrames = 2 * 48000;
    ASSERT_EQ(mix.size(), kFrames * size_t(channels));

    // The recorder starts at 10:00:00:00: 10:00:04:00 is its sample 192000.
    const std::vector<float> recorder = floatSamples(shoot / "SC12_T01.WAV");
    const size_t recorderChannels = recorder.size() / (12 * 48000);
    ASSERT_EQ(recorderChannels, 2u);
    for (size_t channel = 0; channel < recorderChannels; ++channel) {
        bool found = false;
        for (int written = 0; written < channels && !found; ++written) {
            size_t equal = 0;
            for (size_t frame = 0; frame < kFrames; ++frame)
                equal += mix[frame * size_t(channels) + size_t(written)] ==
                         recorder[(192000 + frame) * recorderChannels + channel];
            found = equal == kFrames;
        }
        EXPECT_TRUE(found) << "recorder channel " << channel;
    }
}

TEST_F(PlayerCommandsTest, RefusalsSayWhyExitWithTheirStatusAndWriteNothing) {
    const auto png = (out / "frame.png").string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"still", "A001_C001.mov", "--at", "09:00:00:00", "-o", png},
         1,
         "outside the synced clip"},
        {{"still", "A001_C001.mov", "--at", "10:00:12:00", "-o", png}, 1, "10:00:11:24"},
        {{"still", "NO_SUCH.mov", "--at", "10:00:05:00", "-o", png}, 1, "not a media file"},
        {{"still", "A001_C001.mov", "--at", "10:00:05:00", "-o", (out / "no" / "f.png").string()},
         1,
         "cannot write"},
        {{"still", "A001_C001.mov", "--at", "ten o'clock", "-o", png}, 2, "not a timecode"},
        {{"listen", "A001_C001.mov", "--from", "10:00:06:00", "--to", "10:00:04:00", "-o", png},
         1,
         "--to must come after --from"},
    };
    for (const auto& refused : cases) {
        std::vector<std::string> options(refused.arguments.begin() + 2, refused.arguments.end());
        const ProcessResult result = run(refused.arguments[0], refused.arguments[1], options);
        EXPECT_EQ(result.exitStatus, refused.status) << result.standardError;
        EXPECT_NE(result.standardError.find(refused.says), std::string::npos)
            << result.standardError;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

}  // namespace
}  // namespace vorlane
