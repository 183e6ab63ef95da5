// Audio over a range against ffmpeg's own decode of the whole track, cut at the same samples.
#include <gtest/gtest.h>

#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/GeneratedMedia.h"
#include "platform/media/MediaAsset.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::generatedMedia;

struct Case {
    const char* file;
    int bitDepth;
    // AC-3 decoders dither with a random generator that runs on from the decoder's start, so a
    // decode that starts elsewhere differs by small noise (far below the step between
    // neighbouring samples of the test tones, so a shift by one sample still shows).
    int64_t tolerance = 0;
};

int64_t sampleAt(const uint8_t* bytes, size_t index, int bitDepth) {
    const size_t width = size_t(bitDepth / 8);
    uint64_t value = 0;
    for (size_t b = 0; b < width; ++b)
        value |= uint64_t(bytes[index * width + b]) << (8 * b);
    const int shift = 64 - bitDepth;
    return int64_t(value << shift) >> shift;
}

// Ranges that start inside packets and frames, at the very start, and run past the end; the
// same through an asset opened for its sound only.
TEST(AssetAudioDecoder, RangesMatchIndependentDecode) {
    VORLANE_REQUIRE_FFMPEG();
    for (const Case& item :
         {Case{"tone16.wav", 16}, Case{"tone24.wav", 24}, Case{"tone32.wav", 32},
          Case{"tone.aif", 16}, Case{"qt25.mov", 24}, Case{"tone.m4a", 16}, Case{"tone.m4a", 24},
          Case{"tone.mp3", 16}, Case{"tone.ac3", 16, 64}, Case{"df2997.mov", 16}}) {
        SCOPED_TRACE(std::string(item.file) + " at " + std::to_string(item.bitDepth));
        const auto path = generatedMedia(item.file);
        const auto asset = MediaAsset::assetWithURL(path);
        const auto soundAsset = MediaAsset::assetForSoundWithURL(path);
        ASSERT_TRUE(asset && soundAsset);
        const auto audio = asset->tracksWithMediaType(AssetMediaType::Audio);
        ASSERT_FALSE(audio.empty());
        const AssetTrack& track = audio[0];
        const int32_t rate = int32_t(track.formatDescription->audio->sampleRate);
        const std::string reference = test::referenceDecode(path, item.bitDepth);
        const size_t frameBytes = size_t(item.bitDepth / 8) * 2;
        const int64_t referenceFrames = int64_t(reference.size() / frameBytes);
        // The reference begins with the track's first sample.
        const int64_t trackStart = CMTimeConvertScale(track.timeRange.start, rate,
                                                      CMTimeRoundingMethod::RoundHalfAwayFromZero)
                                       .value;

        for (const auto& [startSample, length] : std::vector<std::pair<int64_t, int64_t>>{
                 {trackStart + 12345, 7777},
                 {trackStart + 50001, 33333},
                 {trackStart, 2000},
                 {trackStart + referenceFrames - 1000, 5000}}) {
            for (const auto& opened : {asset, soundAsset}) {
                SCOPED_TRACE(std::to_string(startSample) +
                             (opened == asset ? "" : " (sound only)"));
                const CMTimeRange range{CMTimeMake(startSample, rate), CMTimeMake(length, rate)};
                const auto decoded = decodeAudioTrack(*opened, track.trackID, range, item.bitDepth);
                ASSERT_TRUE(decoded);
                EXPECT_EQ(decoded->channelCount, 2);
                EXPECT_EQ(decoded->sampleRate, rate);
                EXPECT_EQ(decoded->startTime, range.start);
                const int64_t offset = startSample - trackStart;
                const int64_t expectedFrames = std::min(length, referenceFrames - offset);
                ASSERT_EQ(decoded->frameCount, expectedFrames);
                const auto* expected = reinterpret_cast<const uint8_t*>(reference.data()) +
                                       size_t(offset) * frameBytes;
                ASSERT_EQ(decoded->samples.size(), size_t(expectedFrames) * frameBytes);
                const size_t count = size_t(expectedFrames) * 2;
                size_t index = 0;
                while (index < count && std::abs(sampleAt(expected, index, item.bitDepth) -
                                                 sampleAt(decoded->samples.data(), index,
                                                          item.bitDepth)) <= item.tolerance) {
                    ++index;
                }
                EXPECT_EQ(index, count)
                    << "first difference at sample " << index << ": "
                    << sampleAt(expected, index, item.bitDepth) << " expected, "
                    << sampleAt(decoded->samples.data(), index, item.bitDepth) << " decoded";
            }
        }
    }
}

TEST(AssetAudioDecoder, RefusesWhatItCannotRead) {
    VORLANE_REQUIRE_FFMPEG();
    const auto asset = MediaAsset::assetWithURL(generatedMedia("qt25.mov"));
    ASSERT_TRUE(asset);
    const CMTimeRange second{kCMTimeZero, CMTimeMake(1, 1)};
    EXPECT_FALSE(decodeAudioTrack(*asset, 1, second, 16));   // the video track
    EXPECT_FALSE(decodeAudioTrack(*asset, 99, second, 16));  // no such track
    EXPECT_FALSE(decodeAudioTrack(*asset, 2, second, 12));
    EXPECT_FALSE(decodeAudioTrack(*asset, 2, {CMTimeMake(-2, 1), CMTimeMake(1, 1)}, 16));
    // Past the end: a valid answer without frames.
    const auto beyond = decodeAudioTrack(*asset, 2, {CMTimeMake(10, 1), CMTimeMake(1, 1)}, 16);
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->frameCount, 0);
}

// A faststart movie cut short keeps its index: the range answers the frames still there.
TEST(AssetAudioDecoder, TruncatedMovieGivesPartialRange) {
    VORLANE_REQUIRE_FFMPEG();
    const std::string movie = test::readFile(generatedMedia("faststart.mov"));
    const std::vector<uint8_t> half(movie.begin(),
                                    movie.begin() + std::ptrdiff_t(movie.size() / 2));
    const auto asset = MediaAsset::assetWithBytes(half);
    ASSERT_TRUE(asset);
    const uint64_t opening = asset->bytesRead();
    const auto decoded = decodeAudioTrack(*asset, 2, {kCMTimeZero, CMTimeMake(4, 1)}, 16);
    ASSERT_TRUE(decoded);
    EXPECT_GT(decoded->frameCount, 0);
    EXPECT_LT(decoded->frameCount, 4 * 48000);
    EXPECT_GT(asset->bytesRead(), opening);
}

}  // namespace
}  // namespace vorlane
