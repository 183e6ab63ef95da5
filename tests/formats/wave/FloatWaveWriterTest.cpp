// WAVE files of float sound as ffmpeg and sox read them: mono and stereo in the plain float
// format, more channels in the extensible one, every sample as written.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/wave/FloatWaveWriter.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

TEST(FloatWaveWriter, FfmpegAndSoxReadEverySampleAsWritten) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("sox");
    test::ScratchFolder folder;
    for (const int channels : {1, 2, 5}) {
        const auto path = folder / ("float" + std::to_string(channels) + ".wav");
        auto writer = FloatWaveWriter::create(path, channels, 44100);
        ASSERT_TRUE(writer) << FloatWaveWriter::failure();
        std::vector<float> samples;
        for (int frame = 0; frame < 1000 * channels; ++frame)
            samples.push_back(float(frame % 201 - 100) / 128.0f + 1e-7f * float(frame));
        ASSERT_TRUE(writer->append({samples.data(), samples.size() / 2}));
        ASSERT_TRUE(writer->append({samples.data() + samples.size() / 2, samples.size() / 2}));
        EXPECT_FALSE(std::filesystem::exists(path));  // not before it is complete
        ASSERT_TRUE(writer->commit());

        const std::string raw = test::runTool({"ffmpeg", "-v", "error", "-i", path.string(), "-f",
                                               "f32le", "-c:a", "pcm_f32le", "-"});
        ASSERT_EQ(raw.size(), samples.size() * 4) << channels;
        EXPECT_EQ(std::memcmp(raw.data(), samples.data(), raw.size()), 0) << channels;
        const std::string info = test::runTool({"soxi", path.string()});
        EXPECT_NE(info.find("Channels       : " + std::to_string(channels)), std::string::npos)
            << info;
        EXPECT_NE(info.find("Sample Rate    : 44100"), std::string::npos) << info;
        EXPECT_NE(info.find("32-bit Floating Point PCM"), std::string::npos) << info;
        EXPECT_NE(info.find("= 1000 samples"), std::string::npos) << info;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
}

}  // namespace
}  // namespace vorlane
