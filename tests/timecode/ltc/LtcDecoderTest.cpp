// The LTC decoder on sound held in memory, made by libltc's encoder: where the start time comes
// from, every rate at every sample rate, damaged LTC, nothing from what is not LTC, windows
// decoded in blocks, and bad input ending cleanly. The truth is the encoder's: the label of
// every frame and the sample where it starts.
#include <gtest/gtest.h>

#include <algorithm>

#include "mediagen/LtcGenerator.h"
#include "mediagen/Signals.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcDecoder.h"

namespace vorlane {
namespace {

using mediagen::Rate;
using mediagen::Samples;

// Channels interleaved as 16-bit little-endian PCM.
std::vector<uint8_t> pcm16(const std::vector<Samples>& channels) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < channels[0].size(); ++i) {
        for (const Samples& channel : channels) {
            const uint16_t value = uint16_t(mediagen::toPcm16({channel[i]})[0]);
            bytes.push_back(uint8_t(value & 0xff));
            bytes.push_back(uint8_t(value >> 8));
        }
    }
    return bytes;
}

struct Decoding {
    LtcDecoderSettings settings;
    double sampleRate = 48000;
    CMTime start = kCMTimeZero;
    std::vector<int64_t> channels = {0};
    size_t piece = 0;  // frames handed over at a time; 0: all at once

    LtcDecoder::Result of(const std::vector<uint8_t>& bytes, int64_t channelCount = 1) const {
        const PcmSamples samples =
            PcmSamples::ofBytes(bytes.data(), bytes.size(), channelCount, 16);
        LtcDecoder decoder(settings, channels, sampleRate, start, int64_t(samples.frameCount));
        for (size_t at = 0; at < samples.frameCount && !decoder.complete();) {
            const size_t count =
                piece == 0 ? samples.frameCount : std::min(piece, samples.frameCount - at);
            decoder.decode(
                PcmSamples{samples.bytes + at * samples.bytesPerFrame(), count, channelCount, 2});
            at += count;
        }
        return decoder.finish();
    }
};

mediagen::LtcSignal ltc(const mediagen::LtcOptions& options) {
    std::string error;
    const auto signal = mediagen::generateLtc(options, &error);
    EXPECT_TRUE(signal) << error;
    return signal.value_or(mediagen::LtcSignal{});
}

// The frame in progress at the signal's first sample, as the encoder labelled it.
std::string firstLabel(const mediagen::LtcSignal& signal) {
    return signal.frames.front().timecode.text(signal.rate.dropFrame);
}

// 25 fps LTC whose frame B reads 10:00:00:00 and ends at sample 12000 of a 48 kHz window
// starting at 0: 10:00:00:01 less 0.25 s, 35999.79 s exactly, shown as 09:59:59:20; an offset of
// -1 frame gives 09:59:59:19; a window 10 s into its file answers for the file's time zero.
TEST(LtcDecoder, StartTimeIsTheFrameAfterBLessTheWindowsTime) {
    mediagen::LtcOptions options;
    options.start = {9, 59, 59, 23};
    options.firstFrameSample = 12000 - 3 * 1920;
    options.durationSeconds = 1.0;
    const auto bytes = pcm16({ltc(options).samples});
    Decoding decoding;
    const auto found = decoding.of(bytes);
    ASSERT_EQ(found.timecodes.size(), 1u);
    const auto& timecode = found.timecodes[0].timecode;
    EXPECT_EQ(timecode->timecodeString(0), "09:59:59:20");
    EXPECT_EQ(timecode->time(), CMTimeMake(3599979, 100));
    EXPECT_EQ(timecode->time().timescale, 48000);
    EXPECT_EQ(timecode->frameRate(), 25.0);
    EXPECT_EQ(found.channelMask, 1u);
    decoding.settings.readingOffset = -1;
    EXPECT_EQ(decoding.of(bytes).timecodes.at(0).timecode->timecodeString(0), "09:59:59:19");
    decoding.settings.readingOffset = 0;
    decoding.start = CMTimeMake(10, 1);
    EXPECT_EQ(decoding.of(bytes).timecodes.at(0).timecode->time(), CMTimeMake(3598979, 100));
}

// At every sample rate the label, rate, drop-frame flag and user bits are the LTC's own, even
// where the bit cells are a few samples long and detection is off by whole frames per second
// (30 fps at 8 kHz: cells under three samples, which detection misreads).
TEST(LtcDecoder, EveryRateAtEverySampleRate) {
    for (const int sampleRate : {8000, 11025, 16000, 22050, 32000, 44100, 96000, 192000}) {
        for (const Rate& rate : {Rate::fps23976(), Rate::fps24(), Rate::fps25(),
                                 Rate::fps2997(true), Rate::fps2997(false), Rate::fps30()}) {
            if (sampleRate == 8000 && rate.numerator != 30) continue;
            SCOPED_TRACE(std::to_string(sampleRate) + " Hz, " + rate.fractionText() +
                         (rate.dropFrame ? " DF" : ""));
            mediagen::LtcOptions options;
            options.rate = rate;
            options.sampleRate = sampleRate;
            options.start = {12, 34, 56, 10};
            options.userBits = 0x87654321;
            options.firstFrameSample = -sampleRate / 100;
            options.durationSeconds = 1.0;
            const auto signal = ltc(options);
            Decoding decoding;
            decoding.sampleRate = sampleRate;
            const auto found = decoding.of(pcm16({signal.samples}));
            ASSERT_EQ(found.timecodes.size(), 1u);
            const auto& timecode = found.timecodes[0].timecode;
            EXPECT_EQ(timecode->timecodeString(0), firstLabel(signal));
            EXPECT_EQ(timecode->frameRate(), rate.fps());
            EXPECT_EQ(timecode->dropFrame(), rate.dropFrame);
            EXPECT_EQ(timecode->rawUserBits(), 0x87654321u);
            // Within two samples, or the encoder's rise time, of the truth.
            EXPECT_NEAR(timecode->time().seconds(), signal.secondsAtSampleZero(),
                        std::max(2.0 / sampleRate, 0.00005));
        }
    }
}

// Too few frames after the pair to measure the rate: the bit cells tell 24 or 30; the video's
// rate decides for NTSC, and at 30 the drop-frame flag.
TEST(LtcDecoder, ShortRunsTakeTheNtscRateFromVideoOrDropFrame) {
    mediagen::LtcOptions options;
    options.rate = Rate::fps23976();
    options.durationSeconds = 0.25;
    const auto bytes = pcm16({ltc(options).samples});
    Decoding decoding;
    EXPECT_EQ(decoding.of(bytes).timecodes.at(0).timecode->frameRate(), 24.0);
    decoding.settings.videoFrameRate = 23.976;
    EXPECT_EQ(decoding.of(bytes).timecodes.at(0).timecode->frameRate(), 24000.0 / 1001.0);
    options.rate = Rate::fps2997(true);
    const auto found = Decoding{}.of(pcm16({ltc(options).samples}));
    EXPECT_EQ(found.timecodes.at(0).timecode->frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(found.timecodes.at(0).timecode->dropFrame());
}

// Damaged LTC: quiet, noisy, offset and low-passed down to 500 Hz, which the thresholds alone
// miss and the sharpened reading of edge setting 0 restores.
TEST(LtcDecoder, DamagedLtc) {
    struct Damage {
        const char* name;
        double levelDbfs;
        mediagen::Impairments impairments;
    };
    std::vector<Damage> damages = {{"-60 dBFS", -60.0, {}},
                                   {"SNR 6 dB", -10.0, {}},
                                   {"DC -0.5", -10.0, {}},
                                   {"low-pass 1 kHz", -10.0, {}},
                                   {"low-pass 500 Hz", -10.0, {}}};
    damages[1].impairments.signalToNoiseDb = 6.0;
    damages[2].impairments.dcOffset = -0.5;
    damages[3].impairments.lowPassHz = 1000.0;
    damages[4].impairments.lowPassHz = 500.0;
    for (const Damage& damage : damages) {
        for (const Rate& rate : {Rate::fps25(), Rate::fps2997(true)}) {
            SCOPED_TRACE(std::string(damage.name) + " at " + rate.fractionText());
            mediagen::LtcOptions options;
            options.rate = rate;
            options.start = {19, 50, 0, 0};
            options.firstFrameSample = -1111;
            options.durationSeconds = 1.0;
            options.levelDbfs = damage.levelDbfs;
            options.impairments = damage.impairments;
            const auto signal = ltc(options);
            const auto found = Decoding{}.of(pcm16({signal.samples}));
            ASSERT_EQ(found.timecodes.size(), 1u);
            EXPECT_EQ(found.timecodes[0].timecode->frameRate(), rate.fps());
            // The filter delays the edges.
            EXPECT_NEAR(found.timecodes[0].timecode->time().seconds(), signal.secondsAtSampleZero(),
                        0.0005);
        }
    }
}

// Nothing that is not forward LTC gives a timecode, under any edge setting.
TEST(LtcDecoder, NoTimecodeFromSignalsThatAreNotLtc) {
    constexpr int kRate = 48000;
    constexpr size_t kLength = 3 * kRate;
    std::vector<std::pair<std::string, Samples>> signals = {
        {"silence", mediagen::silence(kLength)},
        {"dither", mediagen::whiteNoise(-96.0, kLength, 3)},
        {"noise", mediagen::whiteNoise(-20.0, kLength, 4)},
        {"loud noise", mediagen::whiteNoise(-3.0, kLength, 5)},
        {"chords", mediagen::chords(kLength, kRate, -6.0)},
        {"click", mediagen::click(kLength, 1000, -1.0, 12)},
    };
    for (const double frequency : {50.0, 440.0, 1000.0, 1200.0, 1500.0, 2000.0, 2400.0, 3000.0})
        signals.emplace_back(std::to_string(int(frequency)) + " Hz",
                             mediagen::sine(frequency, -6.0, kLength, kRate));
    for (const Rate& rate : {Rate::fps24(), Rate::fps25(), Rate::fps2997(true), Rate::fps30()}) {
        mediagen::LtcOptions backwards;
        backwards.rate = rate;
        backwards.start = {10, 0, 0, 0};
        backwards.durationSeconds = 3.0;
        backwards.impairments.reversed = true;
        signals.emplace_back("backwards " + rate.fractionText(), ltc(backwards).samples);
    }
    for (const auto& [name, samples] : signals) {
        const auto bytes = pcm16({samples});
        for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
            for (const double rate : {0.0, 25.0}) {
                SCOPED_TRACE(name + ", edge setting " + std::to_string(algorithm) + ", rate " +
                             std::to_string(rate));
                Decoding decoding;
                decoding.settings.readingAlgorithm = LtcReadingAlgorithm(algorithm);
                decoding.settings.readingFrameRate = rate;
                const auto found = decoding.of(bytes);
                EXPECT_TRUE(found.timecodes.empty());
                EXPECT_EQ(found.channelMask, 0u);
                EXPECT_FALSE(found.abandoned);
            }
        }
    }
}

// Channels the sound lacks are not read. (Which channels carry LTC, and reading only the ones
// asked, is checked on files in the reader's tests.)
TEST(LtcDecoder, ChannelsTheSoundLacksAreNotRead) {
    mediagen::LtcOptions options;
    options.durationSeconds = 1.0;
    Decoding decoding;
    decoding.channels = {4, 64};
    EXPECT_TRUE(decoding.of(pcm16({ltc(options).samples}), 1).timecodes.empty());
}

// A rate that is not a usable frame rate abandons the decoding.
TEST(LtcDecoder, UnusableGivenRateAbandonsTheDecoding) {
    mediagen::LtcOptions options;
    options.durationSeconds = 1.0;
    Decoding decoding;
    decoding.settings.readingFrameRate = 26.5;  // bit cells close enough to read 25 fps LTC
    const auto found = decoding.of(pcm16({ltc(options).samples}));
    EXPECT_TRUE(found.abandoned);
    EXPECT_TRUE(found.timecodes.empty());
}

// A long window is decoded in blocks: LTC that starts late, and low-passed LTC (which edge
// setting 0 finds with its sharpened reading), give the same start however the samples arrive.
TEST(LtcDecoder, LongWindowsGiveTheSameResultInAnyPieces) {
    constexpr size_t kLength = 21 * 48000;
    mediagen::LtcOptions late;
    late.rate = Rate::fps2997(true);
    late.start = {4, 5, 6, 7};
    late.durationSeconds = 3.0;
    const auto clean = ltc(late);
    late.rate = Rate::fps25();
    late.impairments.lowPassHz = 500.0;
    const auto filtered = ltc(late);
    std::vector<Samples> channels(2, mediagen::silence(kLength));
    const size_t cleanAt = 479999, filteredAt = 14 * 48000 + 123;
    mediagen::mixInto(channels[0], clean.samples, cleanAt);
    mediagen::mixInto(channels[1], filtered.samples, filteredAt);
    const auto bytes = pcm16(channels);
    for (const int32_t algorithm : {0, 4}) {
        for (const size_t piece : {size_t(0), size_t(997), size_t(48000)}) {
            SCOPED_TRACE("edge setting " + std::to_string(algorithm) + ", pieces of " +
                         std::to_string(piece));
            Decoding decoding;
            decoding.settings.readingAlgorithm = LtcReadingAlgorithm(algorithm);
            decoding.channels = {0, 1};
            decoding.piece = piece;
            const auto found = decoding.of(bytes, 2);
            ASSERT_EQ(found.timecodes.size(), 2u);
            EXPECT_NEAR(found.timecodes[0].timecode->time().seconds(),
                        clean.secondsAtSampleZero() - cleanAt / 48000.0, 0.00005);
            EXPECT_NEAR(found.timecodes[1].timecode->time().seconds(),
                        filtered.secondsAtSampleZero() - filteredAt / 48000.0, 0.0005);
        }
    }
}

// Samples as 16 bits: 24-bit stereo channel 1 of frame p from bytes p × 6 + 5 and p × 6 + 4,
// 8-bit ones shifted up; levels; and buffers too small or odd for anything to be found.
TEST(LtcDecoder, SamplesLevelsAndOddBuffers) {
    const std::vector<uint8_t> packed = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                         0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd};
    const auto stereo = PcmSamples::ofBytes(packed.data(), packed.size(), 2, 24);
    EXPECT_EQ(stereo.frameCount, 2u);
    EXPECT_EQ(uint16_t(stereo.value(0, 1)), 0x6655);
    EXPECT_EQ(uint16_t(stereo.value(1, 1)), 0xccbb);
    EXPECT_EQ(uint16_t(PcmSamples::ofBytes(packed.data() + 8, 1, 1, 8).value(0, 0)), 0x9900);
    EXPECT_EQ(PcmSamples::ofBytes(packed.data(), 4, 1, 12).frameCount, 0u);
    EXPECT_EQ(PcmSamples::ofBytes(packed.data(), 4, 0, 16).frameCount, 0u);

    std::vector<int16_t> square(1000);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = int16_t(i % 20 < 10 ? 1300 : 700);
    const auto levels = LtcChannelLevels::measure(square.data(), square.size());
    EXPECT_DOUBLE_EQ(levels.dcOffset, 1000.0);
    EXPECT_DOUBLE_EQ(levels.rms, 300.0);
    EXPECT_EQ(LtcChannelLevels::measure(square.data(), 0).rms, 0.0);

    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{1}, std::vector<uint8_t>{1, 2, 3},
          std::vector<uint8_t>(1001, 0x80)}) {
        for (const uint32_t depth : {8u, 16u, 24u, 32u}) {
            for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
                LtcDecoderSettings settings;
                settings.readingAlgorithm = LtcReadingAlgorithm(algorithm);
                const auto found = LtcDecoder::decodeWindow(
                    settings, {0, 1}, PcmSamples::ofBytes(bytes.data(), bytes.size(), 2, depth),
                    48000);
                EXPECT_TRUE(found.timecodes.empty());
            }
        }
    }
}

}  // namespace
}  // namespace vorlane
