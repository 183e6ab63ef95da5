// Files read through the media layer, checked against what ffprobe, mediainfo and exiftool
// report about files made by ffmpeg and by other people's tools.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/asset/AVFoundationFile.h"
#include "formats/asset/MediaTools.h"
#include "media/ThumbnailPicture.h"
#include "mediagen/MovieWriter.h"
#include "platform/ByteOrder.h"
#include "platform/NotificationCenter.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using mediagen::MovieContainer;
using mediagen::MovieOptions;
using mediagen::Rate;
using mediagen::Timecode;

std::shared_ptr<AVFoundationFile> analyzed(const std::filesystem::path& path,
                                           MetadataDictionary options = {}) {
    auto file = std::make_shared<AVFoundationFile>(path);
    file->analyzeWithOptions(options);
    return file;
}

std::filesystem::path movie(MovieOptions options) {
    std::string error;
    EXPECT_TRUE(mediagen::writeMovie(options, &error)) << error;
    return options.path;
}

struct TimecodeCase {
    const char* name;
    MovieContainer container;
    Rate rate;
    Timecode start;
    int32_t containerType;
};

// Our file timecode, ffprobe's and mediainfo's must be the same text for files that ffmpeg
// wrote with a timecode track.
TEST(AVFoundationFile, TimecodeTrackAgreesWithFfprobeAndMediainfo) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    VORLANE_REQUIRE_TOOL("mediainfo");
    test::ScratchFolder folder;
    const TimecodeCase cases[] = {
        {"qt25.mov",
         MovieContainer::QuickTime,
         Rate::fps25(),
         {10, 0, 0, 0},
         MediaFileContainerQuicktime},
        {"qt2997df.mov",
         MovieContainer::QuickTime,
         Rate::fps2997(true),
         {1, 0, 0, 2},
         MediaFileContainerQuicktime},
        {"mp4_23976.mp4",
         MovieContainer::Mpeg4,
         Rate::fps23976(),
         {23, 59, 58, 20},
         MediaFileContainerMP4},
    };
    for (const TimecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        MovieOptions options;
        options.path = folder / c.name;
        options.container = c.container;
        options.rate = c.rate;
        options.frameCount = 12;
        options.width = 160;
        options.height = 90;
        options.timecode = c.start;
        const auto path = movie(options);
        const auto file = analyzed(path);

        const std::shared_ptr<TCHelper> timecode = file->fileTimecode();
        ASSERT_TRUE(timecode);
        const std::string ours = timecode->timecodeString(TCOptionWrap24h);
        EXPECT_EQ(ours, c.start.text(c.rate.dropFrame));
        EXPECT_EQ(ours, test::ffprobeTimecode(path));
        EXPECT_EQ(ours, test::mediainfoTimecode(path));
        EXPECT_EQ(timecode->dropFrame(), c.rate.dropFrame);
        EXPECT_DOUBLE_EQ(timecode->frameRate(), c.rate.fps());
        EXPECT_EQ(file->fileContainerType(), c.containerType);
        EXPECT_EQ(file->fileTimecodeCount(), 1);

        const auto video = file->firstVideoTrack();
        ASSERT_TRUE(video);
        EXPECT_EQ(video->fourCC(), fourCC("avc1"));
        EXPECT_EQ(video->videoSize().width, 160);
        EXPECT_EQ(video->videoSize().height, 90);
        EXPECT_EQ(video->videoFieldCount(), 1);
        // The frame rate comes from the shortest frame duration: exactly the picture rate.
        EXPECT_DOUBLE_EQ(video->videoFrameRate(), c.rate.fps());
        EXPECT_EQ(video->timeRange().duration,
                  CMTimeMake(12LL * c.rate.denominator, c.rate.numerator));
        // 'avcC' gives profile and level.
        EXPECT_TRUE(video->metaData().count(kVideoH264Profile));
        EXPECT_TRUE(video->metaData().count(kVideoH264Level));
    }
}

TEST(AVFoundationFile, TimecodeTrackIsSkippedWhenTheFileHasOne) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "tc.mov";
    options.frameCount = 5;
    options.timecode = Timecode{1, 0, 0, 0};
    const auto path = movie(options);
    AVFoundationFile file(path);
    const auto earlier = TCHelper::helperWithFrameRate(25, false);
    earlier->setType(TCTypeFile);
    file.addTimecodeTrackWithTCHelper(earlier);
    file.analyzeWithOptions({});
    EXPECT_EQ(file.fileTimecodeCount(), 1);
    EXPECT_EQ(file.fileTimecode(), earlier);
}

// An action camera writes 29 frames per second into the 'tmcd' description of 29.97 material
// while its counter runs at 30: the start is the one ffprobe reads, not 30/29 of it (20 minutes
// late at ten o'clock).
TEST(AVFoundationFile, TimecodeDescriptionWithRateRoundedDown) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "written.mov";
    options.rate = Rate::fps2997(false);
    options.frameCount = 6;
    options.width = 160;
    options.height = 90;
    options.timecode = Timecode{10, 0, 0, 0};
    std::string bytes = test::readFile(movie(options));
    // Time scale 30000, frame duration 1001, number of frames 30 (only the 'tmcd' entry).
    const std::string counted30("\x00\x00\x75\x30\x00\x00\x03\xE9\x1E", 9);
    const size_t at = bytes.find(counted30);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(counted30, at + 1), std::string::npos);
    bytes[at + 8] = 29;
    test::writeFile(folder / "camera.mov", bytes);

    const auto timecode = analyzed(folder / "camera.mov")->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(test::ffprobeTimecode(folder / "camera.mov"), "10:00:00:00");
    EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), "10:00:00:00");
    EXPECT_DOUBLE_EQ(timecode->frameRate(), 30000.0 / 1001.0);
}

// A 29.97 video track reports the exact rate of its shortest frame duration, 1001/30000; AAC
// reports 16 bits and, in stereo, 4 bytes per frame.
TEST(AVFoundationFile, FrameRateFromShortestFrameAndCompressedSoundLayout) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "aac.mp4";
    options.container = MovieContainer::Mpeg4;
    options.rate = Rate::fps2997(false);
    options.frameCount = 30;
    options.audioTracks = {test::writeStereoTone(folder / "tone.wav", 1.0)};
    options.audioCodec = mediagen::MovieAudioCodec::Aac;
    const auto file = analyzed(movie(options));

    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_DOUBLE_EQ(video->videoFrameRate(), 30000.0 / 1001.0);

    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->fourCC(), fourCC("aac "));
    EXPECT_EQ(audio->audioChannelCount(), 2u);
    EXPECT_EQ(audio->audioBitDepth(), 16u);
    EXPECT_EQ(audio->audioBytesPerFrame(), 4u);
    EXPECT_EQ(audio->audioSampleRate(), 48000.0);
    EXPECT_EQ(audio->audioChannelMask(), 0u);
    EXPECT_EQ(file->type(), MediaTypeMovie);
    EXPECT_EQ(file->readableAudioInfo(), "no Audio");  // summaries are rebuilt when finished
    file->setAnalyzingFinished();
    EXPECT_EQ(file->readableAudioInfo(), "AAC, 2CH, 16bit, 48000Hz");
    EXPECT_FALSE(file->avAsset());  // released when analysis finished
}

TEST(AVFoundationFile, LinearPCMTracksInOrderWithTheirIDs) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "pcm.mov";
    options.frameCount = 10;
    const auto tone = test::writeStereoTone(folder / "tone.wav", 0.4);
    options.audioTracks = {tone, tone, tone};
    options.audioCodec = mediagen::MovieAudioCodec::Pcm24;
    const auto path = movie(options);

    AVFoundationFile file(path);
    file.setMaxAudioTrackCount(2);
    file.analyzeWithOptions({});
    ASSERT_EQ(file.audioTrackCount(), 2);
    const auto probe = nlohmann::json::parse(test::runTool(
        {"ffprobe", "-v", "error", "-print_format", "json", "-show_streams", path.string()}));
    for (int i = 0; i < 2; ++i) {
        const auto track = file.audioTracks()[size_t(i)];
        const auto& stream = probe["streams"][size_t(i + 1)];
        EXPECT_EQ(track->sourceTrackID(), std::stoi(stream["id"].get<std::string>(), nullptr, 16));
        EXPECT_EQ(track->mediaTrackID(), track->sourceTrackID());
        EXPECT_EQ(track->trackNumber(), i + 1);
        EXPECT_EQ(track->audioBitDepth(), 24u);
        EXPECT_EQ(track->audioBytesPerFrame(), 6u);
        EXPECT_EQ(track->audioChannelCount(), unsigned(stream["channels"]));
    }
}

// exiftool's test movie: JPEG pictures and 8-bit sound described, no sample data at all.
TEST(AVFoundationFile, HeaderOnlyQuickTimeFixture) {
    VORLANE_REQUIRE_TESTDATA(data);
    VORLANE_REQUIRE_TOOL("exiftool");
    const auto path = data / "headers" / "exiftool_QuickTime.mov";
    const auto facts = test::exiftoolFacts(path);
    const auto file = analyzed(path, {{kAnalyzeCreateThumbnail, true}});

    EXPECT_EQ(file->fileContainerType(), MediaFileContainerQuicktime);
    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->sourceTrackID(), facts["Track1:TrackID"].get<int>());
    EXPECT_EQ(fourCCString(video->fourCC()), facts["Track1:CompressorID"]);
    EXPECT_EQ(video->codecName(), facts["Track1:CompressorName"]);
    EXPECT_EQ(video->videoSize().width, facts["Track1:ImageWidth"].get<double>());
    EXPECT_EQ(video->videoSize().height, facts["Track1:ImageHeight"].get<double>());
    EXPECT_DOUBLE_EQ(video->videoFrameRate(), facts["Track1:VideoFrameRate"].get<double>());
    EXPECT_NEAR(video->timeRange().duration.seconds(), facts["Track1:TrackDuration"].get<double>(),
                0.01);

    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->sourceTrackID(), facts["Track2:TrackID"].get<int>());
    EXPECT_EQ(audio->audioChannelCount(), facts["Track2:AudioChannels"].get<unsigned>());
    EXPECT_EQ(audio->audioBitDepth(), facts["Track2:AudioBitsPerSample"].get<unsigned>());
    EXPECT_EQ(audio->audioSampleRate(), facts["Track2:AudioSampleRate"].get<double>());
    EXPECT_FALSE(file->hasTimecode());
    // No picture can be decoded from a movie without sample data.
    EXPECT_EQ(file->thumbnail().resourceName, kVideoCodecUnavailableImage);

    const std::string detailed = file->metaDescription(1);
    EXPECT_NE(detailed.find("+++ AVF/Quicktime Metadata +++"), std::string::npos);
    EXPECT_NE(detailed.find("årtist"), std::string::npos);
    EXPECT_NE(file->metaDescription(0).find("AVF/Quicktime Metadata = YES\n"), std::string::npos);
}

TEST(AVFoundationFile, HeaderOnlyAIFFFixture) {
    VORLANE_REQUIRE_TESTDATA(data);
    VORLANE_REQUIRE_TOOL("exiftool");
    const auto path = data / "headers" / "exiftool_AIFF.aif";
    const auto facts = test::exiftoolFacts(path);
    const auto file = analyzed(path, {{kAnalyzeCreateThumbnail, true}});
    EXPECT_EQ(file->fileContainerType(), MediaFileContainerAIFF);
    ASSERT_EQ(file->audioTrackCount(), 1);
    const auto audio = file->firstAudioTrack();
    EXPECT_EQ(audio->audioChannelCount(), facts["AIFF:NumChannels"].get<unsigned>());
    EXPECT_EQ(audio->audioBitDepth(), facts["AIFF:SampleSize"].get<unsigned>());
    EXPECT_EQ(audio->audioSampleRate(), facts["AIFF:SampleRate"].get<double>());
    EXPECT_EQ(audio->timeRange().duration, CMTimeMake(facts["AIFF:NumSampleFrames"].get<int64_t>(),
                                                      facts["AIFF:SampleRate"].get<int32_t>()));
    EXPECT_EQ(file->type(), MediaTypeAudio);
    EXPECT_EQ(file->thumbnail().resourceName, MediaObject::defaultThumbnailAudio().resourceName);
}

// The thumbnail is the frame at one second, fitted into 160 × 90 with its shape kept; the file
// list hears about it.
TEST(AVFoundationFile, ThumbnailIsFittedIntoTheListSize) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "square.mov";
    options.width = 320;
    options.height = 240;  // 4:3: black bars left and right
    options.frameCount = 40;
    options.pattern = "smptebars";
    const auto path = movie(options);

    int updates = 0;
    const auto token = NotificationCenter::defaultCenter().addObserverForName(
        kUpdateMediaFileNotification, [&](const Notification&) { ++updates; });
    const auto file = analyzed(path, {{kAnalyzeCreateThumbnail, true}});
    NotificationCenter::defaultCenter().removeObserver(token);

    const Image thumbnail = file->thumbnail();
    ASSERT_TRUE(thumbnail.hasPixels());
    EXPECT_EQ(thumbnail.width, kThumbnailWidth);
    EXPECT_EQ(thumbnail.height, kThumbnailHeight);
    const auto pixel = [&](int x, int y) {
        const size_t at = (size_t(y) * size_t(thumbnail.width) + size_t(x)) * 4;
        return std::array<uint8_t, 4>{thumbnail.rgba[at], thumbnail.rgba[at + 1],
                                      thumbnail.rgba[at + 2], thumbnail.rgba[at + 3]};
    };
    EXPECT_EQ(pixel(2, 45), (std::array<uint8_t, 4>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(157, 45), (std::array<uint8_t, 4>{0, 0, 0, 255}));
    const auto greyBar = pixel(25, 20);  // the first bar, 75% grey
    EXPECT_GT(int(greyBar[0]) + greyBar[1] + greyBar[2], 450);
    EXPECT_EQ(updates, 1);
}

TEST(AVFoundationFile, ThumbnailOfAShortMovieAndOfAGivenPicture) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "short.mov";
    options.frameCount = 5;  // shorter than the one second the picture is taken at
    const auto file = analyzed(movie(options), {{kAnalyzeCreateThumbnail, true}});
    EXPECT_TRUE(file->thumbnail().hasPixels());

    const auto picture = folder / "still.png";
    test::runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v",
                   "1", picture.string()});
    AVFoundationFile withOriginal(options.path);
    withOriginal.setMetaDataValue(kOriginalThumbnailURL, picture.string());
    withOriginal.analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
    const Image thumbnail = withOriginal.thumbnail();
    ASSERT_TRUE(thumbnail.hasPixels());
    const size_t centre = (45 * size_t(kThumbnailWidth) + 80) * 4;
    EXPECT_GT(thumbnail.rgba[centre], 200);
    EXPECT_LT(thumbnail.rgba[centre + 1], 50);
}

// Profile 122 is 4:2:2 10-bit; a format name keeps no trailing NUL; without one the code shows.
TEST(AVFoundationFile, CodecNames) {
    FormatDescription format;
    format.mediaSubType = fourCC("avc1");
    EXPECT_EQ(AVFoundationFile::videoCodecName(format, 122), "H.264 10bit 4:2:2");
    EXPECT_EQ(AVFoundationFile::videoCodecName(format, std::nullopt), "H.264/MPEG-4");
    format.mediaSubType = fourCC("apcn");
    format.formatName = std::string("Apple ProRes 422\0", 17);
    EXPECT_EQ(AVFoundationFile::videoCodecName(format, std::nullopt), "Apple ProRes 422");
    format.formatName.clear();
    EXPECT_EQ(AVFoundationFile::videoCodecName(format, std::nullopt), "apcn");
}

// Cut, overwritten and empty movies: analysis ends with what could be read.
TEST(AVFoundationFile, DamagedMoviesEndAnalysisCleanly) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    MovieOptions options;
    options.path = folder / "whole.mov";
    options.frameCount = 50;
    options.timecode = Timecode{2, 0, 0, 0};
    options.audioTracks = {test::writeStereoTone(folder / "tone.wav", 2.0)};
    const auto whole = movie(options);
    options.path = folder / "whole.mp4";
    options.container = MovieContainer::Mpeg4;
    options.audioCodec = mediagen::MovieAudioCodec::Aac;
    const auto wholeMp4 = movie(options);

    const size_t size = std::filesystem::file_size(whole);
    for (const size_t cut : {size_t(0), size_t(7), size_t(40), size / 3, size - 9}) {
        SCOPED_TRACE(cut);
        test::copyPrefix(whole, folder / "cut.mov", cut);
        test::copyPrefix(wholeMp4, folder / "cut.mp4", cut);
        for (const char* name : {"cut.mov", "cut.mp4"}) {
            const auto file = analyzed(folder / name, {{kAnalyzeCreateThumbnail, true}});
            file->setAnalyzingFinished();
            EXPECT_TRUE(file->hasBeenAnalyzed());
            file->metaDescription(1);
        }
    }
    std::string bytes = test::readFile(whole);
    for (size_t at = 64; at < bytes.size(); at += 97)
        bytes[at] = char(bytes[at] ^ 0x5a);
    test::writeFile(folder / "garbled.mov", bytes);
    const auto garbled = analyzed(folder / "garbled.mov", {{kAnalyzeCreateThumbnail, true}});
    garbled->setAnalyzingFinished();
    EXPECT_TRUE(garbled->hasBeenAnalyzed());

    const auto missing = analyzed(folder / "missing.mov");
    EXPECT_TRUE(missing->tracks().empty());
    EXPECT_EQ(missing->extendedMetaDescription(0), "");
}

}  // namespace
}  // namespace vorlane
