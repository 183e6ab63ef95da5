// The sample reader against ffmpeg's own decode of the same files, and its layout rules.
#include <gtest/gtest.h>

#include <cmath>

#include "mediagen/MovieWriter.h"
#include "mediagen/Readback.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "timecode/ltc/AudioBufferReader.h"
#include "timecode/ltc/LtcMedia.h"

namespace vorlane {
namespace {

using mediagen::SampleFormat;
using mediagen::Samples;
using test::ScratchFolder;

// The top 16 bits of a sample that ffmpeg delivered as a float (exact for up to 24 bits).
int16_t top16(float sample) {
    return int16_t(std::floor(double(sample) * 32768.0));
}

// Every channel, every depth: the reader delivers the two most significant bytes of what ffmpeg
// decodes from the file.
TEST(AudioBufferReader, SamplesAreTheTopSixteenBitsOfTheFile) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    const Samples left = mediagen::chords(4800, 48000, -3.0);
    const Samples right = mediagen::whiteNoise(-12.0, 4800, 9);
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
        EXPECT_EQ(reader->bytesPerChannel(), uint32_t(mediagen::bitsPerSample(format) / 8));
        for (int64_t channel = 0; channel < 2; ++channel) {
            reader->restartWithChannel(channel);
            for (size_t i = 0; !reader->finished(); ++i, reader->increment())
                ASSERT_EQ(reader->currentValue(), top16((*reference)[size_t(channel)][i]))
                    << "channel " << channel << " sample " << i;
        }
    }
}

// 24-bit stereo: channel 1 of frame p is read from bytes p × 6 + 5 and p × 6 + 4; 8-bit samples
// become their byte shifted up.
TEST(AudioBufferReader, LayoutOfPackedSamples) {
    std::vector<uint8_t> bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
                                  0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc};
    auto reader = AudioBufferReader::readerWithPCM(bytes, 2, 24, 48000);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->totalSamples(), 2);
    reader->restartWithChannel(1);
    EXPECT_EQ(uint16_t(reader->currentValue()), 0x6655);
    EXPECT_EQ(reader->lastValue(), reader->currentValue());
    reader->increment();
    EXPECT_EQ(uint16_t(reader->currentValue()), 0xccbb);
    reader->increment();
    EXPECT_TRUE(reader->finished());
    reader->increment();
    EXPECT_EQ(reader->currentPosition(), 2);
    auto bytesOnly = AudioBufferReader::readerWithPCM({0x7f, 0x80, 0x01}, 1, 8, 8000);
    EXPECT_EQ(bytesOnly->currentValue(), 0x7f00);
    bytesOnly->increment();
    EXPECT_EQ(bytesOnly->currentValue(), -32768);
}

TEST(AudioBufferReader, ChannelLevels) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 1000; ++i) {
        const int16_t square = i % 20 < 10 ? 1000 + 300 : 1000 - 300;
        for (const int16_t value : {int16_t(0), square}) {
            bytes.push_back(uint8_t(uint16_t(value) & 0xff));
            bytes.push_back(uint8_t(uint16_t(value) >> 8));
        }
    }
    auto reader = AudioBufferReader::readerWithPCM(bytes, 2, 16, 48000);
    const auto silent = reader->analyzeChannel(0);
    EXPECT_EQ(silent.analyzedDcOffset, 0.0);
    EXPECT_EQ(silent.analyzedRMS, 0.0);
    const auto square = reader->analyzeChannel(1);
    EXPECT_DOUBLE_EQ(square.analyzedDcOffset, 1000.0);
    EXPECT_DOUBLE_EQ(square.analyzedRMS, 300.0);
    EXPECT_TRUE(reader->finished());
    EXPECT_EQ(reader->analyzeChannel(1).channel, 1);
}

// A 16-bit mono track from range start 10 s: position 24000 is at 10.5 s of the file. A range
// before zero opens no reader; a range past the end holds nothing.
TEST(AudioBufferReader, RangesInFileTime) {
    ScratchFolder folder;
    test::writeChannels(folder / "tone.wav", {mediagen::sine(1000, -6, 11 * 48000, 48000)});
    const auto file = test::AssetMediaFile::open(folder / "tone.wav");
    ASSERT_TRUE(file);
    const auto track = file->firstAudioTrack();
    auto reader =
        AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(10, 1), CMTimeMake(1, 1)});
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->totalSamples(), 48000);
    reader->setCurrentPosition(24000);
    EXPECT_EQ(reader->currentSampleTime(), CMTimeMake(21, 2));
    EXPECT_FALSE(
        AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(-2, 1), CMTimeMake(1, 1)}));
    auto past = AudioBufferReader::initWithMediaTrack(track, {CMTimeMake(20, 1), CMTimeMake(1, 1)});
    ASSERT_TRUE(past);
    EXPECT_EQ(past->totalSamples(), 0);
    EXPECT_TRUE(past->finished());
    EXPECT_EQ(past->currentValue(), 0);
    // A track without a file behind it.
    EXPECT_FALSE(AudioBufferReader::initWithMediaTrack(
        std::make_shared<MediaTrack>(MediaTrackTypeAudio), {kCMTimeZero, CMTimeMake(1, 1)}));
}

// Compressed sound carries no bit depth: it is read at 16 bits.
TEST(AudioBufferReader, CompressedTracksAreReadAtSixteenBits) {
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
    EXPECT_EQ(reader->bytesPerChannel(), 2u);
    EXPECT_EQ(reader->totalSamples(), 24000);
    // A -6 dBFS sine: RMS 0.354 of full scale.
    EXPECT_NEAR(reader->analyzeChannel(0).analyzedRMS, 0.5 / std::sqrt(2.0) * 32768, 300);
}

}  // namespace
}  // namespace vorlane
