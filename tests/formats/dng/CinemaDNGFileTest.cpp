#include <gtest/gtest.h>

#include "formats/asset/MediaTools.h"
#include "formats/dng/CinemaDNGFile.h"
#include "formats/dng/DNGImage.h"
#include "formats/dng/RawClipFiles.h"
#include "formats/wave/BWFFile.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using mediagen::Rate;
using mediagen::Timecode;

constexpr double kNTSCFilm = 24000.0 / 1001;

std::string timecodeText(const std::shared_ptr<TCHelper>& timecode) {
    return timecode ? timecode->timecodeString(TCOptionNone) : "none";
}

// exiftool prints a DNG time address as 01:00:00.04.
std::string exiftoolTimecode(const fs::path& image) {
    std::string text = test::exiftoolFacts(image, false)["IFD0:TimeCodes"].get<std::string>();
    std::replace(text.begin(), text.end(), '.', ':');
    return text;
}

TEST(CinemaDNGFileTest, AGeneratedClipReadsAsOneClipWithItsSound) {
    test::ScratchFolder folder;
    const fs::path clip = folder / "A001_C001";
    test::writeCinemaDNGClip(clip, "A001_C001_", 5, Timecode{1, 0, 0, 0}, Rate::fps23976());
    test::writeCameraWave(clip / "A001_C001.wav", Timecode{1, 0, 0, 0}, Rate::fps23976(), 0.5, "12",
                          "3");

    EXPECT_TRUE(CinemaDNGFile::isURLPartOfDNGDirectory(clip / "A001_C001.wav"));
    auto file = CinemaDNGFile::initWithURL(clip / "A001_C001.wav");
    ASSERT_TRUE(file);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
    // The first image decoded by the media layer.
    EXPECT_TRUE(file->thumbnail().hasPixels());
    EXPECT_EQ(file->sourceURLPath(), clip / "A001_C001_000001.dng");
    EXPECT_EQ(file->frameCount(), 5u);
    EXPECT_EQ(file->commonName(), "A001_C001_[000001-000005].dng");
    EXPECT_EQ(file->modelname(), "Pocket Cinema Camera");
    EXPECT_EQ(file->serialnumber(), "BM0042");
    EXPECT_EQ(file->scene(), "12");
    EXPECT_EQ(file->take(), "3");

    // libtiff stores the rate as a decimal fraction; it is read as the NTSC rate.
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    VORLANE_REQUIRE_TOOL("exiftool");
    EXPECT_EQ(timecodeText(timecode), exiftoolTimecode(clip / "A001_C001_000001.dng"));
    EXPECT_EQ(timecodeText(timecode), "01:00:00:00");
    EXPECT_EQ(exiftoolTimecode(clip / "A001_C001_000005.dng"), "01:00:00:04");
    EXPECT_EQ(timecode->frameRate(), kNTSCFilm);

    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codecName(), "CinemaDNG 16bit");
    EXPECT_EQ(video->videoFrameRate(), kNTSCFilm);
    EXPECT_EQ(video->videoSize().width, 64);
    EXPECT_EQ(file->duration(), CMTimeMake(5 * 1001, 24000));

    // The sound is the WAV's own track, still read from the WAV.
    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(audio && file->audioFile());
    EXPECT_EQ(audio->mediaObject(), file->audioFile());
    EXPECT_EQ(audio->audioSampleRate(), 48000);
    EXPECT_EQ(audio->audioChannelCount(), 2u);
    EXPECT_EQ(audio->audioBitDepth(), 24u);
    EXPECT_EQ(timecodeText(file->audioFile()->fileTimecode()), "01:00:00:00");
    EXPECT_EQ(file->type(), MediaTypeMovie);
}

TEST(CinemaDNGFileTest, ClipsWithoutTimecodeRunAt24FromZeroAndPlainDNGsAreNoClip) {
    test::ScratchFolder folder;
    test::writeCinemaDNGClip(folder / "untimed", "B_", 48, std::nullopt, Rate::fps25());
    auto file = CinemaDNGFile::initWithURL(folder / "untimed" / "B_000007.dng");
    ASSERT_TRUE(file);
    file->analyzeWithOptions({});
    EXPECT_EQ(timecodeText(file->fileTimecode()), "00:00:00:00");
    EXPECT_EQ(file->fileTimecode()->source(), "CinemaDNG Default");
    EXPECT_EQ(file->duration(), CMTimeMake(2, 1));
    EXPECT_FALSE(file->hasAudio());
    EXPECT_EQ(file->tracks().size(), 2u);

    // A drop-frame address (bit 6 of the frames byte).
    test::DNGFrame frame;
    frame.timecode = Timecode{23, 59, 30, 5};
    frame.dropFrame = true;
    frame.frameRate = 30000.0 / 1001;
    fs::create_directories(folder / "df");
    test::writeDNGFrame(folder / "df" / "C_0001.dng", frame);
    auto dropFrame = CinemaDNGFile::initWithURL(folder / "df" / "C_0001.dng");
    ASSERT_TRUE(dropFrame);
    const auto value = dropFrame->timecodeOfDNGImage(dropFrame->firstDNG());
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->dropFrame());
    EXPECT_EQ(value->frameRate(), 30000.0 / 1001);
    EXPECT_EQ(value->timecodeString(TCOptionUniformSeparators), "23;59;30;05");
}

TEST(CinemaDNGFileTest, AFolderOfStillsIsNoClip) {
    test::ScratchFolder folder;
    test::writeDNGFrame(folder / "IMG_0001.dng", test::DNGFrame{});
    test::writeDNGFrame(folder / "IMG_0002.dng", test::DNGFrame{});
    EXPECT_FALSE(CinemaDNGFile::isURLPartOfDNGDirectory(folder / "IMG_0001.dng"));
    EXPECT_FALSE(CinemaDNGFile::initWithURL(folder / "IMG_0001.dng"));
}

// Three frames of 2 GiB each, their sensor data a hole in sparse files: indexing the clip reads
// the tags of the first and last frame only.
TEST(CinemaDNGFileTest, IndexingASparse6GiBClipReadsKilobytes) {
    test::ScratchFolder folder;
    test::writeCinemaDNGClip(folder.path(), "S_", 3, Timecode{10, 0, 0, 0}, Rate::fps24());
    constexpr uint64_t kFrameSize = 2ull << 30;
    for (const char* name : {"S_000001.dng", "S_000002.dng", "S_000003.dng"})
        fs::resize_file(folder / name, kFrameSize);
    auto file = CinemaDNGFile::initWithURL(folder / "S_000002.dng");
    ASSERT_TRUE(file);
    file->analyzeWithOptions({});
    EXPECT_EQ(file->filesize(), 3 * kFrameSize);
    EXPECT_EQ(timecodeText(file->fileTimecode()), "10:00:00:00");
    EXPECT_LT(file->bytesRead(), 8192u);
    RecordProperty("bytesRead", std::to_string(file->bytesRead()));
}

}  // namespace
}  // namespace vorlane
