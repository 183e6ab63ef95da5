// The asset's tracks, format descriptions, timecode tracks and metadata against ffprobe's view
// of files made by ffmpeg.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "platform/ByteOrder.h"
#include "platform/media/GeneratedMedia.h"
#include "platform/media/MediaAsset.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::generatedMedia;
using test::probeMedia;

double ratio(const std::string& text) {
    const auto slash = text.find('/');
    const double den = std::stod(text.substr(slash + 1));
    return den == 0 ? 0 : std::stod(text.substr(0, slash)) / den;
}

AssetMediaType expectedKind(const nlohmann::json& stream) {
    const std::string type = stream["codec_type"];
    if (type == "video") return AssetMediaType::Video;
    if (type == "audio") return AssetMediaType::Audio;
    return stream.value("codec_tag_string", "") == "tmcd" ? AssetMediaType::Timecode
                                                          : AssetMediaType::Data;
}

// Every track of every generated container against ffprobe: kind and order, ID, time range,
// rates, sizes, sound layout, codec code.
TEST(MediaAsset, TracksMatchProbe) {
    VORLANE_REQUIRE_FFMPEG();
    for (const std::string name :
         {"qt25.mov", "df2997.mov", "m23976.mp4", "anamorphic.mov", "tone16.wav", "tone24.wav",
          "tone32.wav", "tone.aif", "tone.m4a", "tone.mp3", "tone.ac3", "clip.ts"}) {
        SCOPED_TRACE(name);
        const auto path = generatedMedia(name);
        const auto asset = MediaAsset::assetWithURL(path);
        ASSERT_TRUE(asset);
        const auto probe = probeMedia(path);
        const auto& streams = probe["streams"];
        ASSERT_EQ(asset->tracks().size(), streams.size());
        const bool ownIDs = name.ends_with(".mov") || name.ends_with(".mp4") ||
                            name.ends_with(".m4a") || name.ends_with(".ts");
        double earliestStart = 1e9;
        for (const auto& stream : streams)
            earliestStart = std::min(earliestStart, std::stod(stream.value("start_time", "0")));
        // Transport streams count from their earliest stream, sound files from their first
        // sample heard (an MP3 starts after its encoder delay).
        if (!name.ends_with(".ts") && !name.ends_with(".mp3")) earliestStart = 0;

        for (size_t i = 0; i < streams.size(); ++i) {
            const auto& stream = streams[i];
            const AssetTrack& track = asset->tracks()[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(track.mediaType, expectedKind(stream));
            const int32_t id =
                ownIDs ? int32_t(std::stol(stream["id"].get<std::string>(), nullptr, 16))
                       : int32_t(i + 1);
            EXPECT_EQ(track.trackID, id);
            EXPECT_EQ(asset->trackWithTrackID(id), &track);
            if (stream.contains("duration")) {
                EXPECT_NEAR(track.timeRange.duration.seconds(),
                            std::stod(stream["duration"].get<std::string>()), 1e-5);
            }
            if (stream.contains("start_time")) {
                EXPECT_NEAR(track.timeRange.start.seconds(),
                            std::stod(stream["start_time"].get<std::string>()) - earliestStart,
                            1e-5);
            }
            ASSERT_TRUE(track.formatDescription);
            const FormatDescription& format = *track.formatDescription;
            if (ownIDs && !name.ends_with(".ts")) {
                EXPECT_EQ(fourCCString(format.codecTag), stream["codec_tag_string"]);
            }
            if (track.mediaType == AssetMediaType::Video) {
                EXPECT_EQ(format.width, stream["width"]);
                EXPECT_EQ(format.height, stream["height"]);
                EXPECT_NEAR(track.nominalFrameRate, ratio(stream["avg_frame_rate"]), 1e-4);
                EXPECT_NEAR(1 / track.minFrameDuration.seconds(), ratio(stream["r_frame_rate"]),
                            1e-6);
                const std::string order = stream.value("field_order", "unknown");
                if (order == "progressive") {
                    EXPECT_EQ(format.fieldCount, 1);
                } else if (order == "tt" || order == "bb") {
                    EXPECT_EQ(format.fieldCount, 2);
                }
            }
            if (track.mediaType == AssetMediaType::Audio) {
                ASSERT_TRUE(format.audio);
                EXPECT_EQ(format.audio->sampleRate,
                          std::stod(stream["sample_rate"].get<std::string>()));
                EXPECT_EQ(format.audio->channelsPerFrame, stream["channels"]);
                const std::string layout = stream.value("channel_layout", "unknown");
                EXPECT_EQ(format.channelLayoutMask, layout == "stereo" ? 3u : 0u) << layout;
                const int bits = stream.value("bits_per_sample", 0);
                EXPECT_EQ(format.audio->bitsPerChannel, uint32_t(bits));
                if (bits > 0) {
                    EXPECT_EQ(format.audio->bytesPerFrame, uint32_t(bits / 8 * 2));
                }
            }
        }
        // The library reports the container's duration from its start time on.
        const auto& container = probe["format"];
        const double start = std::stod(container.value("start_time", "0"));
        EXPECT_NEAR(asset->duration().seconds(),
                    std::stod(container["duration"].get<std::string>()) + start - earliestStart,
                    1e-3);
    }
}

TEST(MediaAsset, AudioFormatCodes) {
    VORLANE_REQUIRE_FFMPEG();
    struct Expected {
        const char* file;
        const char* subType;
        const char* codecTag;
        uint32_t flags;
        uint32_t framesPerPacket;
    };
    const uint32_t signedPacked = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    for (const Expected& expected : {
             Expected{"tone16.wav", "lpcm", "sowt", signedPacked, 1},
             Expected{"tone24.wav", "lpcm", "in24", signedPacked, 1},
             Expected{"tone32.wav", "lpcm", "in32", signedPacked, 1},
             Expected{"tone.aif", "lpcm", "twos", signedPacked | kAudioFormatFlagIsBigEndian, 1},
             Expected{"qt25.mov", "lpcm", "in24", signedPacked, 1},
             Expected{"tone.m4a", "aac ", "mp4a", 0, 1024},
             Expected{"tone.mp3", ".mp3", ".mp3", 0, 1152},
             Expected{"tone.ac3", "ac-3", "ac-3", 0, 1536},
         }) {
        SCOPED_TRACE(expected.file);
        const auto asset = MediaAsset::assetWithURL(generatedMedia(expected.file));
        ASSERT_TRUE(asset);
        const auto audio = asset->tracksWithMediaType(AssetMediaType::Audio);
        ASSERT_EQ(audio.size(), 1u);
        const FormatDescription& format = *audio[0].formatDescription;
        EXPECT_EQ(fourCCString(format.mediaSubType), expected.subType);
        EXPECT_EQ(fourCCString(format.codecTag), expected.codecTag);
        EXPECT_EQ(format.audio->formatID, format.mediaSubType);
        EXPECT_EQ(format.audio->formatFlags, expected.flags);
        EXPECT_EQ(format.audio->framesPerPacket, expected.framesPerPacket);
    }
}

// QuickTime at 25 fps: the timecode track's reel name and first sample, the avcC atom, and the
// metadata written with QuickTime metadata keys. Timecode starts, rates and drop frame are
// compared with ffprobe and mediainfo in AVFoundationFileTest.
TEST(MediaAsset, QuickTimeTimecodeTrackAndMetadata) {
    VORLANE_REQUIRE_FFMPEG();
    const auto asset = MediaAsset::assetWithURL(generatedMedia("qt25.mov"));
    ASSERT_TRUE(asset);
    const auto timecodes = asset->tracksWithMediaType(AssetMediaType::Timecode);
    ASSERT_EQ(timecodes.size(), 1u);
    ASSERT_TRUE(timecodes[0].formatDescription && timecodes[0].formatDescription->timecode);
    EXPECT_EQ(timecodes[0].formatDescription->timecode->sourceReferenceName, "A001");
    const auto sample = asset->copyFirstSampleData(timecodes[0].trackID);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->size(), 4u);

    const AssetTrack& video = asset->tracks()[0];
    EXPECT_EQ(video.minFrameDuration, CMTimeMake(1, 25));
    EXPECT_EQ(video.naturalWidth, 320);
    const auto& atoms = video.formatDescription->extensionAtoms;
    ASSERT_TRUE(atoms.count("avcC"));
    EXPECT_EQ(atoms.at("avcC").at(0), 1);  // configuration version
    EXPECT_EQ(atoms.at("avcC").at(1), video.formatDescription->profile);
    EXPECT_GT(video.totalSampleDataLength, 0);

    const auto reel =
        asset->metadataItemForKey("com.apple.quicktime.reel", kMetadataFormatQuickTimeMetadata);
    ASSERT_TRUE(reel);
    EXPECT_EQ(reel->stringValue, "REEL7");
    ASSERT_TRUE(asset->creationDate());
    EXPECT_EQ(
        std::chrono::duration_cast<std::chrono::seconds>(asset->creationDate()->time_since_epoch())
            .count(),
        1714979289);
}

TEST(MediaAsset, MetadataKeySpaces) {
    VORLANE_REQUIRE_FFMPEG();
    const auto mp4 = MediaAsset::assetWithURL(generatedMedia("m23976.mp4"));
    ASSERT_TRUE(mp4);
    EXPECT_EQ(mp4->tracks()[0].minFrameDuration, CMTimeMake(1001, 24000));
    const auto title = mp4->metadataItemForKey("©nam", kMetadataFormatiTunesMetadata);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->stringValue, "Vorlane");
    EXPECT_EQ(title->commonKey, "title");

    const auto mp3 = MediaAsset::assetWithURL(generatedMedia("tone.mp3"));
    ASSERT_TRUE(mp3);
    const auto album = mp3->metadataItemForKey("TALB", kMetadataFormatID3Metadata);
    ASSERT_TRUE(album);
    EXPECT_EQ(album->stringValue, "TC=01:00:00:00 FR=25 SC=12");
    const auto formats = mp3->availableMetadataFormats();
    EXPECT_NE(std::find(formats.begin(), formats.end(), kMetadataFormatID3Metadata), formats.end());
}

TEST(MediaAsset, AnamorphicNaturalSize) {
    VORLANE_REQUIRE_FFMPEG();
    const auto asset = MediaAsset::assetWithURL(generatedMedia("anamorphic.mov"));
    ASSERT_TRUE(asset);
    EXPECT_EQ(asset->tracks()[0].formatDescription->width, 720);
    EXPECT_EQ(asset->tracks()[0].naturalWidth, 1024);
    EXPECT_EQ(asset->tracks()[0].naturalHeight, 576);
    EXPECT_EQ(asset->tracks()[0].formatDescription->mediaSubType, fourCC("mp4v"));
}

// DNxHD: the compression ID of the first frame header (what an 'ARES' atom holds), the Avid
// atoms of the sample description.
TEST(MediaAsset, AvidCompressionID) {
    VORLANE_REQUIRE_FFMPEG();
    const auto asset = MediaAsset::assetWithURL(generatedMedia("dnxhd.mov"));
    ASSERT_TRUE(asset);
    const FormatDescription& format = *asset->tracks()[0].formatDescription;
    EXPECT_EQ(format.mediaSubType, fourCC("AVdn"));
    EXPECT_TRUE(format.extensionAtoms.count("ACLR"));
    EXPECT_EQ(format.avidCompressionID, 1253u);  // DNxHD 36: 1920 x 1080, 8 bits
    const auto frame = asset->copyFirstSampleData(1);
    ASSERT_TRUE(frame && frame->size() > 0x2c);
    EXPECT_EQ(format.avidCompressionID, readBE32(frame->data() + 0x28));
}

TEST(MediaAsset, CountsBytesRead) {
    VORLANE_REQUIRE_FFMPEG();
    const auto path = generatedMedia("faststart.mov");
    const auto size = std::filesystem::file_size(path);
    const auto asset = MediaAsset::assetWithURL(path);
    ASSERT_TRUE(asset);
    const uint64_t opening = asset->bytesRead();
    EXPECT_GT(opening, 0u);
    EXPECT_LT(opening, size);
    EXPECT_LT(opening, size / 4);
    EXPECT_EQ(asset->firstTimecodeFrameNumber(3), (59 * 60 + 50) * 25);
}

TEST(MediaAsset, UnreadableInputAnswersNothing) {
    VORLANE_REQUIRE_FFMPEG();
    test::ScratchFolder scratch;
    EXPECT_FALSE(MediaAsset::assetWithURL(scratch / "absent.mov"));
    EXPECT_FALSE(MediaAsset::assetWithURL(scratch.path()));
    const std::vector<uint8_t> zeros(5000, 0);
    EXPECT_FALSE(MediaAsset::assetWithBytes(zeros));
    // A movie whose index sits at the end, cut in half, has lost its index.
    const std::string movie = test::readFile(generatedMedia("qt25.mov"));
    test::writeFile(scratch / "half.mov", movie.substr(0, movie.size() / 2));
    EXPECT_FALSE(MediaAsset::assetWithURL(scratch / "half.mov"));
}

}  // namespace
}  // namespace vorlane
