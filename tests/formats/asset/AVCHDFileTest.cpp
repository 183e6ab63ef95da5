// AVCHD streams: the camera metadata in the stream's SEI messages, the parameter sets of the
// video. (Streams cut short or overwritten are seeds of the mts_payload fuzz target.)
#include <gtest/gtest.h>

#include <ctime>

#include "formats/asset/AVCCExtractor.h"
#include "formats/asset/AVCHDFile.h"
#include "formats/asset/MediaTools.h"
#include "platform/FileReader.h"
#include "support/TestSupport.h"
#include "support/Words.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// A file object with a 25 fps video track, as the media layer leaves an AVCHD clip.
std::shared_ptr<AVCHDFile> clipAt25() {
    auto file = std::make_shared<AVCHDFile>("clip.MTS");
    file->addTrackWithMediaType(MediaTrackTypeVideo, 0x1011)->setVideoFrameRate(25);
    return file;
}

std::vector<uint8_t> tags(std::initializer_list<std::array<uint8_t, 5>> list) {
    std::vector<uint8_t> data = {uint8_t(list.size())};
    for (const auto& tag : list)
        data.insert(data.end(), tag.begin(), tag.end());
    return data;
}

std::string localDateText(const std::optional<MetadataValue>& date) {
    if (!date || !date->date()) return "none";
    const std::time_t seconds = std::chrono::system_clock::to_time_t(*date->date());
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// User bits and the tag list, which the stream made by ffmpeg and the exiftool sample do not carry.
TEST(AVCHDFile, CameraMetadataTags) {
    const auto file = clipAt25();
    file->h264SEIExtractionWithData(tags({{0x13, 0x05, 0x04, 0x03, 0x02},
                                          {0x14, 0x78, 0x56, 0x34, 0x12},
                                          {0x18, 0x02, 0x20, 0x24, 0x05},
                                          {0x19, 0x17, 0x10, 0x00, 0x02},
                                          {0xe0, 0x10, 0x11, 0x00, 0x00}}));
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->rawUserBits(), 0x12345678u);
    const auto dictionary = file->metaDataValue(kMFSEIData);
    ASSERT_TRUE(dictionary && dictionary->dictionary());
    EXPECT_EQ(dictionary->dictionary()->size(), 5u);
}

TEST(AVCHDFile, SonyModelNeedsTheSonyMakerTag) {
    const std::array<uint8_t, 5> model1 = {0xe4, 'H', 'D', 'R', '-'};
    const std::array<uint8_t, 5> model2 = {0xe5, 'C', 'X', '5', '5'};
    const std::array<uint8_t, 5> model3 = {0xe6, '0', 'V', 0, 0};
    const auto sony = clipAt25();
    sony->h264SEIExtractionWithData(tags({{0xe0, 0x01, 0x08, 0, 0}, model1, model2, model3}));
    EXPECT_EQ(sony->manufacturer(), "Sony");
    EXPECT_EQ(sony->modelname(), "HDR-CX550V");

    const auto unnamed = clipAt25();
    unnamed->h264SEIExtractionWithData(tags({model1, model2, model3}));
    EXPECT_FALSE(unnamed->modelname());
    const auto panasonic = clipAt25();
    panasonic->h264SEIExtractionWithData(tags({{0xe0, 0x01, 0x03, 0, 0}, model1, model2, model3}));
    EXPECT_EQ(panasonic->manufacturer(), "Panasonic");
    EXPECT_FALSE(panasonic->modelname());
}

TEST(AVCHDFile, TagsOutsideTheDataAndTimecodesThatAreNoDigits) {
    const auto file = clipAt25();
    // Five tags announced, one and a half present.
    file->h264SEIExtractionWithData(
        std::vector<uint8_t>{5, 0x13, 0x01, 0x00, 0x00, 0x10, 0x14, 0xff});
    ASSERT_TRUE(file->fileTimecode());
    EXPECT_EQ(file->fileTimecode()->timecodeString(TCOptionWrap24h), "10:00:00:01");
    EXPECT_EQ(file->fileTimecode()->rawUserBits(), 0u);

    const auto blank = clipAt25();
    blank->h264SEIExtractionWithData(tags({{0x13, 0xff, 0xff, 0xff, 0xff},
                                           {0x18, 0xff, 0xff, 0xff, 0xff},
                                           {0x19, 0xff, 0xff, 0xff, 0xff}}));
    EXPECT_FALSE(blank->hasTimecode());
    EXPECT_FALSE(blank->metaDataValue(kOriginalCreationDate));
    // A year the clock cannot hold is no recording date.
    const auto far = clipAt25();
    far->h264SEIExtractionWithData(
        tags({{0x18, 0x00, 0x24, 0x24, 0x05}, {0x19, 0x17, 0x10, 0x00, 0x02}}));
    EXPECT_FALSE(far->metaDataValue(kOriginalCreationDate));
    EXPECT_TRUE(blank->metaDataValue(kMFSEIData));

    const auto none = clipAt25();
    none->h264SEIExtractionWithData({});
    none->h264SEIExtractionWithData(std::vector<uint8_t>{0, 0x13, 1, 2, 3, 4});
    EXPECT_FALSE(none->metaDataValue(kMFSEIData));
    EXPECT_FALSE(none->hasTimecode());
}

// A 192-byte-unit stream written by ffmpeg with its video as stream 0x1011 and an MDPM message
// put into the H.264 stream.
std::filesystem::path writeCameraStream(const std::filesystem::path& path) {
    const std::string mdpm = std::string("MDPM") + "\x02\x13\x05\x04\x03\x02\xe0\x01\x08\x01\x01";
    test::runTool(
        test::words("ffmpeg -v error -y -f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi -i "
                    "sine=frequency=440:sample_rate=48000 -t 1 -c:v libx264 -c:a ac3 -f mpegts "
                    "-mpegts_m2ts_mode 1 -streamid 0:0x1011 -streamid 1:0x1100 -bsf:v",
                    {"h264_metadata=sei_user_data=17ee8c60-f84d-11d9-8cd6-0800200c9a66+" + mdpm,
                     path.string()}));
    return path;
}

TEST(AVCHDFile, StreamMadeByFfmpeg) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    const auto path = writeCameraStream(folder / "00001.MTS");
    ASSERT_TRUE(AVCHDFile::isSupportedURL(path));
    auto file = std::make_shared<AVCHDFile>(path);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});

    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->sourceTrackID(), 0x1011);
    // The picture size comes from the SPS: 320 × 192 coded, cropped to 180 lines.
    EXPECT_EQ(video->videoSize().width, 320);
    EXPECT_EQ(video->videoSize().height, 180);
    EXPECT_EQ(video->videoFrameRate(), 25.0);
    const auto probe = nlohmann::json::parse(test::runTool(
        {"ffprobe", "-v", "error", "-print_format", "json", "-show_streams", path.string()}));
    const auto& stream = probe["streams"][0];
    EXPECT_EQ(video->metaData().at(kVideoH264Level).integer(), stream["level"].get<int64_t>());
    EXPECT_EQ(video->metaData().at(kVideoH264Profile).integer(), 100);  // High
    ASSERT_TRUE(video->metaData().count(kVideoAVCC));
    const MetadataBytes record = *video->metaData().at(kVideoAVCC).bytes();
    AVCCExtractor extractor(record, nullptr);
    EXPECT_TRUE(extractor.isValid());
    EXPECT_EQ(extractor.h264Profile(), 100);

    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), "02:03:04:05");
    EXPECT_EQ(timecode->frameRate(), 25.0);
    EXPECT_EQ(file->manufacturer(), "Sony");
    EXPECT_TRUE(file->thumbnail().hasPixels());
    ASSERT_TRUE(file->firstAudioTrack());
}

// exiftool's AVCHD sample: seven units from a Canon camera, shorter than the usual search.
TEST(AVCHDFile, HeaderOnlyFixture) {
    VORLANE_REQUIRE_TESTDATA(data);
    VORLANE_REQUIRE_TOOL("exiftool");
    const auto path = data / "headers" / "exiftool_M2TS.mts";
    const auto facts = test::exiftoolFacts(path);
    auto file = std::make_shared<AVCHDFile>(path);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});

    EXPECT_EQ(file->manufacturer(), test::exiftoolFacts(path, false)["H264:Make"]);
    // The camera's wall-clock time, read as local time like every recording date.
    const std::string original = facts["H264:DateTimeOriginal"];  // "2008:12:31 23:16:24+01:00"
    std::string expected = original.substr(0, 19);
    expected[4] = expected[7] = '-';
    EXPECT_EQ(localDateText(file->metaDataValue(kOriginalCreationDate)), expected);
    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->videoSize().width, facts["H264:ImageWidth"].get<double>());
    EXPECT_EQ(video->videoSize().height, facts["H264:ImageHeight"].get<double>());
    EXPECT_EQ(video->metaData().at(kVideoH264Profile).integer(), 100);
    EXPECT_EQ(video->metaData().at(kVideoH264Level).integer(), 40);
    ASSERT_TRUE(file->firstAudioTrack());
    EXPECT_EQ(file->firstAudioTrack()->audioChannelCount(),
              facts["AC3:AudioChannels"].get<unsigned>());
    EXPECT_FALSE(file->hasTimecode());  // this camera wrote no timecode tag
}

TEST(AVCHDFile, PayloadOfUnitsWithAdaptationFieldsAndPESHeaders) {
    // Two units: the first with an adaptation field and a PES header before an SPS, the second
    // continuing it; a unit of another stream in between.
    std::vector<uint8_t> stream;
    const auto unit = [&](uint8_t flags, uint16_t pid, std::vector<uint8_t> body) {
        std::vector<uint8_t> packet = {0, 0, 0, 0, 0x47, uint8_t(flags | (pid >> 8)), uint8_t(pid),
                                       0};
        packet[7] = body.empty() ? 0x20 : 0x10;
        packet.insert(packet.end(), body.begin(), body.end());
        packet.resize(192, 0xff);
        stream.insert(stream.end(), packet.begin(), packet.end());
    };
    std::vector<uint8_t> first = {0x07, 0x10, 1, 2, 3, 4, 5, 6};  // adaptation field, PCR
    const std::vector<uint8_t> pes = {0, 0, 1, 0xe0, 0, 0, 0x80, 0x80, 0x05, 1, 2, 3, 4, 5};
    first.insert(first.end(), pes.begin(), pes.end());
    const std::vector<uint8_t> sps = {0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1e, 0xab};
    first.insert(first.end(), sps.begin(), sps.end());
    first.resize(184, 0x11);
    unit(0x40, 0x1011, first);
    stream[stream.size() - 192 + 7] = 0x30;  // adaptation field and payload
    unit(0x40, 0x1100, {0, 0, 1, 0xc0});
    unit(0x00, 0x1011, std::vector<uint8_t>(184, 0x22));
    unit(0x00, 0x1011, {});  // adaptation field only
    unit(0x00, 0x1011, std::vector<uint8_t>(184, 0x33));

    auto reader = FileReader::fromBuffer(stream);
    const auto payload = AVCHDFile::readMTSVideoPayload(*reader, 4096);
    ASSERT_TRUE(payload);
    ASSERT_GE(payload->size(), sps.size());
    EXPECT_TRUE(std::equal(sps.begin(), sps.end(), payload->begin()));
    EXPECT_EQ(payload->size(), (184 - 8 - pes.size()) + 184 + 184);
    EXPECT_EQ(payload->back(), 0x33);

    // Fewer than five units in sync: nothing found.
    stream.resize(4 * 192);
    reader = FileReader::fromBuffer(stream);
    EXPECT_EQ(AVCHDFile::readMTSVideoPayload(*reader, 4096), MetadataBytes());
}

TEST(AVCHDFile, CameraMetadataWithEmulationPrevention) {
    const std::vector<uint8_t> payload = {0x00, 0x00, 0x01, 0x06, 0x9a, 0x66, 0x4d, 0x44, 0x50,
                                          0x4d, 0x01, 0x13, 0x00, 0x00, 0x03, 0x00, 0x10, 0x80};
    const auto data = AVCHDFile::seiDataWithPayload(payload);
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (MetadataBytes{0x01, 0x13, 0x00, 0x00, 0x00, 0x10, 0x80}));
    const auto file = clipAt25();
    file->h264SEIExtractionWithData(*data);
    ASSERT_TRUE(file->fileTimecode());
    EXPECT_EQ(file->fileTimecode()->timecodeString(TCOptionWrap24h), "10:00:00:00");
    EXPECT_FALSE(AVCHDFile::seiDataWithPayload(std::vector<uint8_t>{0x9a, 0x66, 0x4d}));
}

}  // namespace
}  // namespace vorlane
