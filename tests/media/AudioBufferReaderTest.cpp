// The LTC reader's sample reader against ffmpeg's own decode of the same files, and its ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "media/AudioBufferReader.h"
#include "media/LtcMedia.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Readback.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "timecode/ltc/LtcDecoder.h"

namespace vorlane {
namespace {

using mediagen::SampleFormat;
using test::ScratchFolder;

// The top 16 bits of a sample that ffmpeg delivered as a float (exact for up to 24 bits).
int16_t top16(float sample) {
    return int16_t(std::floor(double(sample) * 32768.0));
}

// Every channel, every depth, read in pieces: the two most significant bytes of what ffmpeg
// decodes from the file.
TEST(AudioBufferReader, SamplesAreTheTopSixteenBitsOfTheFile) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    const auto left = mediagen::chords(4800, 48000, -3.0);
    const auto right = mediagen::whiteNoise(-12.0, 4800, 9);
    for (const SampleFormat format : {SampleFormat::Pcm16, SampleFormat::Pcm24}) {
        const auto path = folder / "pcm.wav";
        test::writeChannels(path, {left, right}, format);
        const auto reference = mediagen::decodeAudioWithFfmpeg(path);
        ASSERT_TRUE(reference);
        const auto file = test::AssetMediaFile::open(path);
        ASSERT_TRUE(file);
        auto reader = AudioBufferReader::initWithMediaTrack(file->firstAudioTrack(),
                                                            {kCMTimeZero, CMTimeMake(1, 10)});
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->totalChannels(), 2);
        EXPECT_EQ(reader->totalSamples(), 4800);
        size_t frame = 0;
        for (PcmSamples piece = reader->readSamples(1000); piece.frameCount > 0;
             piece = reader->readSamples(1000)) {
            for (size_t i = 0; i < piece.frameCount; ++i, ++frame)
                for (int64_t channel = 0; channel < 2; ++channel)
                    ASSERT_EQ(piece.value(i, channel), top16((*reference)[size_t(channel)][frame]))
                        << "channel " << channel << " frame " << frame;
        }
        EXPECT_EQ(frame, 4800u);
        EXPECT_EQ(reader->samplesRead(), 4800);
    }
}

// A range from 10 s starts at 10 s of the file; a range before zero opens no reader; a range
// past the end holds nothing.
TEST(AudioBufferReader, RangesInFileTime) {
    ScratchFolder folder;
    test::writeChannels(folder / "tone.wav", {mediagen::sine(1000, -6, 11 * 48000, 48000)});
    const auto file = test::AssetMediaFile::open(folder / "tone.wav");
    ASSERT_TRUE(file);
    const auto track = file->firstAudioTrack();
    auto reader =
        AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(10, 1), CMTimeMake(1, 1)});
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->startTime(), CMTimeMake(10, 1));
    EXPECT_EQ(reader->totalSamples(), 48000);
    EXPECT_FALSE(
        AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(-2, 1), CMTimeMake(1, 1)}));
    auto past = AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(20, 1), CMTimeMake(1, 1)});
    ASSERT_TRUE(past);
    EXPECT_EQ(past->readSamples().frameCount, 0u);
    // A track without a file behind it.
    EXPECT_FALSE(AudioBufferReader::initWithMediaTrack(
        std::make_shared<MediaTrack>(MediaTrackTypeAudio), {kCMTimeZero, CMTimeMake(1, 1)}));
}

// Compressed sound, which carries no bit depth, at its level.
TEST(AudioBufferReader, CompressedTracks) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    test::writeChannels(folder / "tone.wav", {mediagen::sine(440, -6, 96000, 48000)});
    mediagen::MovieOptions movie;
    movie.path = folder / "aac.mp4";
    movie.container = mediagen::MovieContainer::Mpeg4;
    movie.frameCount = 50;
    movie.width = 160;
    movie.height = 90;
    movie.audioTracks = {folder / "tone.wav"};
    movie.audioCodec = mediagen::MovieAudioCodec::Aac;
    std::string error;
    ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;
    const auto file = test::AssetMediaFile::open(movie.path);
    ASSERT_TRUE(file);
    const auto track = file->firstAudioTrack();
    ASSERT_TRUE(track);
    EXPECT_EQ(track->audioBitDepth(), 0u);
    auto reader =
        AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(1, 2), CMTimeMake(1, 2)});
    ASSERT_TRUE(reader);
    const PcmSamples piece = reader->readSamples(48000);
    ASSERT_EQ(piece.frameCount, 24000u);
    std::vector<int16_t> values(piece.frameCount);
    piece.unpackChannel(0, 0, values.size(), values.data());
    // A -6 dBFS sine: RMS 0.354 of full scale.
    EXPECT_NEAR(LtcChannelLevels::measure(values.data(), values.size()).rms,
                0.5 / std::sqrt(2.0) * 32768, 300);
}

// An MP3 begins with the encoder's priming samples, which decoders drop: the first sample heard
// is the file's time zero, as in ffmpeg's decode, so sound placed by the file's timecode is not
// late by the encoder delay.
TEST(AudioBufferReader, Mp3StartsWithItsFirstAudibleSample) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    mediagen::Samples click = mediagen::silence(96000);
    for (size_t i = 24000; i < 24048; ++i)
        click[i] = 0.9f;
    test::writeChannels(folder / "click.wav", {click});
    const auto mp3 = folder / "click.mp3";
    test::runTool({"ffmpeg", "-v", "error", "-y", "-i", (folder / "click.wav").string(), "-c:a",
                   "libmp3lame", "-b:a", "320k", mp3.string()});
    const auto reference = mediagen::decodeAudioWithFfmpeg(mp3);
    ASSERT_TRUE(reference);
    const auto loudest = [](auto begin, auto end) {
        return std::max_element(begin, end,
                                [](float a, float b) { return std::abs(a) < std::abs(b); });
    };
    const auto& channel = (*reference)[0];
    const int64_t expected = loudest(channel.begin(), channel.end()) - channel.begin();

    const auto file = test::AssetMediaFile::open(mp3);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->firstAudioTrack()->timeRange().start, kCMTimeZero);
    auto reader = AudioBufferReader::initWithMediaTrack(file->firstAudioTrack(),
                                                        {kCMTimeZero, CMTimeMake(1, 1)});
    ASSERT_TRUE(reader);
    const PcmSamples piece = reader->readSamples(48000);
    std::vector<int16_t> values(piece.frameCount);
    piece.unpackChannel(0, 0, values.size(), values.data());
    const auto found = loudest(values.begin(), values.end());
    EXPECT_EQ(found - values.begin(), expected);
}

}  // namespace
}  // namespace vorlane
