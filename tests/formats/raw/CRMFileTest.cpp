#include <gtest/gtest.h>

#include "formats/asset/MediaTools.h"
#include "formats/dng/RawClipFiles.h"
#include "formats/raw/CRMFile.h"
#include "platform/ByteOrder.h"
#include "platform/DateFields.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

TEST(CRMFileTest, AClipGivesGeometryTimingSoundTimecodeAndCameraMetadata) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    const fs::path path = folder / "A001C001_240517AB_CANON.CRM";
    test::CanonRawClip written;
    written.timecode = "10:11:12:13";
    test::writeCanonRawClip(path, written);

    auto file = std::make_shared<CRMFile>(path);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
    // ffprobe reads the same clip as a QuickTime movie.
    const std::string probed =
        test::runTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                       "stream=codec_tag_string,width,height,r_frame_rate", "-of", "default=nw=1",
                       path.string()});
    EXPECT_NE(probed.find("codec_tag_string=CRAW"), std::string::npos) << probed;
    EXPECT_NE(probed.find("r_frame_rate=24000/1001"), std::string::npos) << probed;
    ASSERT_EQ(file->videoTrackCount(), 1);
    const auto video = file->firstVideoTrack();
    EXPECT_EQ(video->fourCC(), fourCC("CRAW"));
    EXPECT_EQ(video->videoSize().width, 1920);
    EXPECT_EQ(video->videoSize().height, 1080);
    EXPECT_EQ(video->videoFrameRate(), 24000.0 / 1001);
    EXPECT_EQ(file->duration(), CMTimeMake(3 * 1001, 24000));
    EXPECT_EQ(file->thumbnail().resourceName, kVideoCodecUnavailableImage);

    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->audioSampleRate(), 48000);
    EXPECT_EQ(audio->audioChannelCount(), 2u);
    EXPECT_EQ(audio->audioBitDepth(), 24u);
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), test::ffprobeTimecode(path));
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "10:11:12:13");

    EXPECT_EQ(file->manufacturer(), written.make);
    EXPECT_EQ(file->modelname(), written.model);
    EXPECT_EQ(file->metaDataString(kLensModel), written.lens);
    EXPECT_EQ(file->serialnumber(), written.serial);
    EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(),
              (DateFields{2024, 5, 17, 10, 11, 12}.localDate()));
}

}  // namespace
}  // namespace vorlane
