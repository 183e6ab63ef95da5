// Thumbnails against ffmpeg's own scaled picture of the same frame; PNG files read back by
// ffmpeg.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/AssetImageGenerator.h"
#include "platform/media/GeneratedMedia.h"
#include "platform/media/ImageEncoding.h"
#include "platform/media/MediaAsset.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::generatedMedia;

TEST(AssetImageGenerator, ThumbnailFitsAndShowsTheFrame) {
    VORLANE_REQUIRE_FFMPEG();
    const auto path = generatedMedia("qt25.mov");
    const auto asset = MediaAsset::assetWithURL(path);
    ASSERT_TRUE(asset);
    const auto image = AssetImageGenerator(asset).copyImageAtTime(CMTimeMake(600, 600));
    ASSERT_TRUE(image && image->hasPixels());
    EXPECT_EQ(image->width, 160);
    EXPECT_EQ(image->height, 90);
    // The movie's only sync sample is its first frame, so that is the picture for 1 s.
    const std::string reference =
        test::runTool({"ffmpeg", "-v", "error", "-i", path.string(), "-frames:v", "1", "-vf",
                       "scale=160:90", "-pix_fmt", "rgba", "-f", "rawvideo", "-"});
    ASSERT_EQ(reference.size(), image->rgba.size());
    double difference = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        difference += std::abs(int(uint8_t(reference[i])) - int(image->rgba[i]));
    EXPECT_LT(difference / double(reference.size()), 6.0);
}

TEST(AssetImageGenerator, KeepsTheDisplayAspectRatio) {
    VORLANE_REQUIRE_FFMPEG();
    // 720 × 576 with wide pixels shows at 1024 × 576, that is 16:9.
    const auto anamorphic = MediaAsset::assetWithURL(generatedMedia("anamorphic.mov"));
    ASSERT_TRUE(anamorphic);
    const auto wide = AssetImageGenerator(anamorphic).copyImageAtTime(kCMTimeZero);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, 160);
    EXPECT_EQ(wide->height, 90);
    // 320 × 240 is 4:3.
    const auto square = MediaAsset::assetWithURL(generatedMedia("df2997.mov"));
    ASSERT_TRUE(square);
    AssetImageGenerator generator(square);
    const auto narrow = generator.copyImageAtTime(CMTimeMake(1, 1));
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->width, 120);
    EXPECT_EQ(narrow->height, 90);
    // Sound alone gives no picture.
    const auto sound = MediaAsset::assetWithURL(generatedMedia("tone16.wav"));
    EXPECT_FALSE(AssetImageGenerator(sound).copyImageAtTime(kCMTimeZero));
}

// A transport stream seeks by time stamps, not to sync samples: the picture still comes.
TEST(AssetImageGenerator, TransportStream) {
    VORLANE_REQUIRE_FFMPEG();
    const auto asset = MediaAsset::assetWithURL(generatedMedia("clip.ts"));
    ASSERT_TRUE(asset);
    AssetImageGenerator generator(asset);
    for (const CMTime time : {kCMTimeZero, CMTimeMake(1, 1)}) {
        const auto image = generator.copyImageAtTime(time);
        ASSERT_TRUE(image && image->hasPixels());
        EXPECT_EQ(image->width, 160);
    }
}

TEST(ImageEncoding, PNGReadsBackLossless) {
    VORLANE_REQUIRE_FFMPEG();
    Image image;
    image.width = 7;
    image.height = 5;
    for (int i = 0; i < 7 * 5 * 4; ++i)
        image.rgba.push_back(uint8_t(i * 37 + 11));
    const auto png = encodePNG(image);
    ASSERT_TRUE(png);
    test::ScratchFolder scratch;
    test::writeFile(scratch / "picture.png", std::string(png->begin(), png->end()));
    const std::string decoded =
        test::runTool({"ffmpeg", "-v", "error", "-i", (scratch / "picture.png").string(),
                       "-pix_fmt", "rgba", "-f", "rawvideo", "-"});
    EXPECT_EQ(decoded, std::string(image.rgba.begin(), image.rgba.end()));
    EXPECT_FALSE(encodePNG(Image::named("film.png")));
}

}  // namespace
}  // namespace vorlane
