// The MXF reader on files other people's software wrote (the shared D-10 sample, files ffmpeg
// writes here): start timecode, rate, drop frame, picture size, sound format and duration exactly
// as mediainfo and ffprobe report them; the reader choice and `vorlane scan` on such files.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "TestPaths.h"
#include "formats/ReaderChoice.h"
#include "formats/mxf/FFmpegMXFFiles.h"
#include "formats/mxf/MXFFile.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using nlohmann::json;

json mediaInfo(const std::filesystem::path& path) {
    return json::parse(test::runTool({"mediainfo", "--Output=JSON", path.string()}))["media"];
}

json ffprobe(const std::filesystem::path& path) {
    return json::parse(test::runTool({"ffprobe", "-v", "error", "-print_format", "json",
                                      "-show_streams", "-show_format", path.string()}));
}

std::vector<json> mediaInfoTracks(const json& media, const std::string& type) {
    std::vector<json> tracks;
    for (const json& track : media["track"])
        if (track["@type"] == type) tracks.push_back(track);
    return tracks;
}

std::vector<json> ffprobeStreams(const json& probe, const std::string& type) {
    std::vector<json> streams;
    for (const json& stream : probe["streams"])
        if (stream["codec_type"] == type) streams.push_back(stream);
    return streams;
}

double number(const json& value) {
    return value.is_string() ? std::stod(value.get<std::string>()) : value.get<double>();
}

// The analysed file with every value mediainfo and ffprobe report checked against it.
std::shared_ptr<MXFFile> expectAgreement(const std::filesystem::path& path) {
    SCOPED_TRACE(path.filename().string());
    auto file = MXFFile::initWithURL(path);
    EXPECT_NE(file, nullptr);
    if (!file || !file->analyzeMXF()) {
        ADD_FAILURE() << "not analysed";
        return file;
    }
    const json media = mediaInfo(path);
    const json probe = ffprobe(path);

    // The material package's start timecode, its exact rate and drop frame.
    const auto timecode = file->fileTimecode();
    json material;
    for (const json& other : mediaInfoTracks(media, "Other"))
        if (other.value("TimeCode_Settings", "") == "Material Package") material = other;
    EXPECT_FALSE(material.is_null());
    EXPECT_NE(timecode, nullptr);
    if (!timecode || material.is_null()) return file;
    const std::string text = timecode->timecodeString(TCOptionWrap24h);
    EXPECT_EQ(text, material["TimeCode_FirstFrame"]);
    EXPECT_EQ(text, probe["format"]["tags"]["timecode"]);
    EXPECT_EQ(timecode->dropFrame(), text.find(';') != std::string::npos);
    EXPECT_DOUBLE_EQ(timecode->frameRate(),
                     number(material["FrameRate_Num"]) / number(material["FrameRate_Den"]));
    const std::vector<json> essence = mediaInfoTracks(media, file->hasVideo() ? "Video" : "Audio");
    if (!essence.empty() && essence[0].contains("Delay")) {
        // Where the start lies in seconds: the frame count at the exact rate.
        EXPECT_NEAR(CMTimeGetSeconds(timecode->time()), number(essence[0]["Delay"]), 0.0005);
    }

    // Pictures: mediainfo shows the displayed size, ffprobe the coded one (the same except for
    // pictures coded with extra lines, whose coded height mediainfo reports as the original).
    const std::vector<json> videos = mediaInfoTracks(media, "Video");
    const std::vector<json> videoStreams = ffprobeStreams(probe, "video");
    EXPECT_EQ(size_t(file->videoTrackCount()), videos.size());
    EXPECT_EQ(videoStreams.size(), videos.size());
    for (size_t i = 0; i < videos.size() && i < size_t(file->videoTrackCount()); ++i) {
        const auto track = file->videoTracks()[i];
        EXPECT_EQ(track->videoSize().width, number(videos[i]["Width"]));
        EXPECT_EQ(track->videoSize().height, number(videos[i]["Height"]));
        EXPECT_EQ(track->videoSize().width, number(videoStreams[i]["width"]));
        EXPECT_EQ(number(videoStreams[i]["height"]), videos[i].contains("Height_Original")
                                                         ? number(videos[i]["Height_Original"])
                                                         : track->videoSize().height);
        EXPECT_DOUBLE_EQ(track->videoFrameRate(),
                         number(videos[i]["FrameRate_Num"]) / number(videos[i]["FrameRate_Den"]));
        const double frames =
            CMTimeGetSeconds(track->timeRange().duration) * track->videoFrameRate();
        EXPECT_NEAR(frames, number(videos[i]["FrameCount"]), 1e-9);
        EXPECT_NEAR(frames, number(videoStreams[i]["duration_ts"]), 1e-9);
    }

    // Sound: tracks, channels, rate and depth.
    const std::vector<json> audios = mediaInfoTracks(media, "Audio");
    const std::vector<json> audioStreams = ffprobeStreams(probe, "audio");
    EXPECT_EQ(size_t(file->audioTrackCount()), audios.size());
    EXPECT_EQ(audioStreams.size(), audios.size());
    for (size_t i = 0; i < audios.size() && i < size_t(file->audioTrackCount()); ++i) {
        const auto track = file->audioTracks()[i];
        EXPECT_EQ(track->audioChannelCount(), number(audios[i]["Channels"]));
        EXPECT_EQ(track->audioChannelCount(), number(audioStreams[i]["channels"]));
        EXPECT_EQ(track->audioSampleRate(), number(audios[i]["SamplingRate"]));
        EXPECT_EQ(track->audioSampleRate(), number(audioStreams[i]["sample_rate"]));
        EXPECT_EQ(track->audioBitDepth(), number(audios[i]["BitDepth"]));
        EXPECT_EQ(track->audioBitDepth(), number(audioStreams[i]["bits_per_sample"]));
    }

    // Duration: ffprobe to the microsecond, mediainfo to the millisecond.
    const double seconds = CMTimeGetSeconds(file->duration());
    EXPECT_NEAR(seconds, number(probe["format"]["duration"]), 0.0000005);
    EXPECT_NEAR(seconds, number(mediaInfoTracks(media, "General")[0]["Duration"]), 0.0005001);
    return file;
}

class MXFFileRealFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VORLANE_REQUIRE_TOOL("mediainfo");
        VORLANE_REQUIRE_TOOL("ffprobe");
    }
};

TEST_F(MXFFileRealFilesTest, SharedD10Sample) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const auto file = expectAgreement(testdata / "mxf" / "bmx_d10_sample.mxf");
    ASSERT_NE(file->fileTimecode(), nullptr);
    EXPECT_EQ(file->fileTimecode()->timecodeString(TCOptionWrap24h), "23:58:30:00");
    EXPECT_EQ(file->fileTimecode()->frameRate(), 25.0);
    EXPECT_FALSE(file->fileTimecode()->dropFrame());
    ASSERT_EQ(file->videoTrackCount(), 1);
    EXPECT_EQ(file->firstVideoTrack()->videoSize().height, 576);
    EXPECT_EQ(file->firstVideoTrack()->fourCC(), fourCC("mp2v"));
    EXPECT_EQ(file->firstVideoTrack()->videoFieldCount(), 2);
    EXPECT_EQ(file->firstAudioTrack()->audioChannelCount(), 4u);
    EXPECT_EQ(file->duration(), CMTimeMake(2, 25));
    EXPECT_EQ(file->manufacturer(), "FFmpeg");
    EXPECT_EQ(file->modelname(), "OP1a Muxer");
}

TEST_F(MXFFileRealFilesTest, FilesFFmpegWrites) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    const auto op1a = expectAgreement(test::ffmpegMXFFile("op1a_mpeg2.mxf"));
    EXPECT_EQ(op1a->fileTimecode()->timecodeString(0), "10:00:00:00");
    EXPECT_EQ(op1a->duration(), CMTimeMake(12, 1));

    const auto dnxhd = expectAgreement(test::ffmpegMXFFile("dnxhd_2997.mxf"));
    ASSERT_NE(dnxhd->fileTimecode(), nullptr);
    EXPECT_EQ(dnxhd->fileTimecode()->timecodeString(0), "01:00:00;00");
    EXPECT_TRUE(dnxhd->fileTimecode()->dropFrame());
    EXPECT_EQ(dnxhd->fileTimecode()->time(), CMTimeMake(107892 * 1001, 30000));
    EXPECT_EQ(dnxhd->duration(), CMTimeMake(15 * 1001, 30000));
    const auto picture = dnxhd->firstVideoTrack();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->codecName(), "DNxHD");
    EXPECT_EQ(picture->fourCC(), fourCC("AVdn"));
    // The compression ID the encoder wrote into each frame's header.
    const std::string bytes = test::readFile(test::ffmpegMXFFile("dnxhd_2997.mxf"));
    const size_t frame = bytes.find(std::string("\x00\x00\x02\x80\x01", 5));
    ASSERT_NE(frame, std::string::npos);
    const auto cid = readBE32(reinterpret_cast<const uint8_t*>(bytes.data() + frame + 0x28));
    EXPECT_EQ(picture->metaData().at(kVideoAvidResolutionID), MetadataValue(int64_t(cid)));

    const auto video = expectAgreement(test::ffmpegMXFFile("atom_video.mxf"));
    EXPECT_EQ(video->fileTimecode()->timecodeString(0), "12:34:56:07");
    EXPECT_EQ(video->type(), MediaTypeVideo);
    const auto audio = expectAgreement(test::ffmpegMXFFile("atom_audio.mxf"));
    EXPECT_EQ(audio->type(), MediaTypeAudio);
    EXPECT_EQ(audio->firstAudioTrack()->timeRange().duration, CMTimeMake(1, 1));
}

TEST(MXFReaderChoiceTest, MXFFilesAreReadByTheOwnReaderWhateverTheImporterSetting) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    NotificationCenter center;
    auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const auto sample = testdata / "mxf" / "bmx_d10_sample.mxf";
    EXPECT_TRUE(isSupportedMediaURL(sample));
    for (int64_t importer : {0, 1, 2}) {
        defaults.setInteger(importer, DefaultsKey::mxfImporter);
        defaults.setInteger(2, DefaultsKey::mxfAudioOptions);
        const MediaReaderChoice choice = chooseMediaReader(sample, *pool);
        const auto file = std::dynamic_pointer_cast<MXFFile>(choice.file);
        ASSERT_NE(file, nullptr) << importer;
        EXPECT_EQ(file->maxAudioTrackCount(), 2);
        EXPECT_EQ(defaults.integerForKey(DefaultsKey::mxfImporter), importer);
    }
}

TEST(MXFScanTest, ScanShowsTheStartTimecode) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder config;
    const auto sample = (testdata / "mxf" / "bmx_d10_sample.mxf").string();
    const std::vector<std::string> command = {"env",
                                              "VORLANE_CONFIG_DIR=" + config.path().string(),
                                              VORLANE_BINARY_DIR "/vorlane",
                                              "scan",
                                              "--no-ltc",
                                              "--quiet"};
    auto arguments = command;
    arguments.insert(arguments.end(), {"--json", sample});
    const json scan = json::parse(test::runTool(arguments));
    ASSERT_EQ(scan["files"].size(), 1u);
    const json& entry = scan["files"][0];
    EXPECT_EQ(entry["container"], "MXF");
    EXPECT_EQ(entry["mediaType"], "movie");
    EXPECT_EQ(entry["timecode"]["text"], "23:58:30:00");
    EXPECT_EQ(entry["timecode"]["frameRate"], 25.0);
    EXPECT_EQ(entry["timecode"]["dropFrame"], false);
    EXPECT_EQ(entry["timecode"]["seconds"], 86310.0);

    arguments = command;
    arguments.push_back(sample);
    EXPECT_NE(test::runTool(arguments).find("23:58:30:00"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
