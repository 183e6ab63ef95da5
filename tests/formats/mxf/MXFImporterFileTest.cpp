// The platform's MXF reader with our parser's metadata reads the same tracks and start timecode as
// our own MXF reader on files of two writers (ffmpeg, the shared D-10 sample).
#include <gtest/gtest.h>

#include "TestPaths.h"
#include "formats/mxf/FFmpegMXFFiles.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFImporterFile.h"
#include "media/MediaTrack.h"
#include "media/ThumbnailPicture.h"
#include "platform/Process.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// `vbiLines`: the lines above the picture that FFmpeg's decoder keeps and the descriptor's
// display height leaves out (D-10 stores 608 lines for a 576-line picture).
void expectSameAsParser(const std::filesystem::path& path, int64_t vbiLines = 0) {
    SCOPED_TRACE(path.filename().string());
    test::ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    const auto parsed = MXFFile::initWithURL(path, defaults);
    ASSERT_NE(parsed, nullptr);
    parsed->analyzeWithOptions({});
    const auto imported = std::make_shared<MXFImporterFile>(path, defaults);
    imported->analyzeWithOptions({});

    ASSERT_NE(imported->fileTimecode(), nullptr);
    ASSERT_NE(parsed->fileTimecode(), nullptr);
    EXPECT_EQ(imported->fileTimecode()->description(), parsed->fileTimecode()->description());
    EXPECT_EQ(imported->fileContainerType(), MediaFileContainerMXF);
    EXPECT_EQ(imported->manufacturer(), parsed->manufacturer());
    EXPECT_EQ(imported->modelname(), parsed->modelname());

    const auto ourVideo = parsed->tracksWithType(MediaTrackTypeVideo);
    const auto theirVideo = imported->tracksWithType(MediaTrackTypeVideo);
    ASSERT_EQ(theirVideo.size(), ourVideo.size());
    for (size_t i = 0; i < ourVideo.size(); ++i) {
        EXPECT_EQ(theirVideo[i]->videoSize().width, ourVideo[i]->videoSize().width);
        EXPECT_EQ(theirVideo[i]->videoSize().height, ourVideo[i]->videoSize().height + vbiLines);
        EXPECT_NEAR(theirVideo[i]->videoFrameRate(), ourVideo[i]->videoFrameRate(), 0.001);
    }
    const auto ourAudio = parsed->tracksWithType(MediaTrackTypeAudio);
    const auto theirAudio = imported->tracksWithType(MediaTrackTypeAudio);
    ASSERT_EQ(theirAudio.size(), ourAudio.size());
    for (size_t i = 0; i < ourAudio.size(); ++i) {
        EXPECT_EQ(theirAudio[i]->audioChannelCount(), ourAudio[i]->audioChannelCount());
        EXPECT_EQ(theirAudio[i]->audioSampleRate(), ourAudio[i]->audioSampleRate());
    }
}

TEST(MXFImporterFileTest, ReadsTheTracksAndTimecodeOfTheParser) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    for (const std::string name :
         {"op1a_mpeg2.mxf", "op1a_2997.mxf", "dnxhd_2997.mxf", "atom_video.mxf", "atom_audio.mxf"})
        expectSameAsParser(test::ffmpegMXFFile(name));
    VORLANE_REQUIRE_TESTDATA(testdata);
    expectSameAsParser(testdata / "mxf" / "bmx_d10_sample.mxf", 32);
}

// Our reader's thumbnail is the first frame the media layer decodes, as the importer's is.
TEST(MXFImporterFileTest, ThumbnailsAreDecodedFrames) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    const MetadataDictionary options = {{kAnalyzeCreateThumbnail, true}};
    for (const std::string name : {"op1a_mpeg2.mxf", "atom_video.mxf", "atom_audio.mxf"}) {
        SCOPED_TRACE(name);
        const auto file = MXFFile::initWithURL(test::ffmpegMXFFile(name), defaults);
        ASSERT_NE(file, nullptr);
        file->analyzeWithOptions(options);
        if (name == "atom_audio.mxf") {
            EXPECT_EQ(file->thumbnail().resourceName,
                      MediaObject::defaultThumbnailAudio().resourceName);
            continue;
        }
        const Image thumbnail = file->thumbnail();
        ASSERT_TRUE(thumbnail.hasPixels());
        EXPECT_EQ(thumbnail.width, kThumbnailWidth);
    }
}

}  // namespace
}  // namespace vorlane
