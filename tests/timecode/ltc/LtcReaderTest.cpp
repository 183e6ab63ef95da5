// The decoder's rules on signals held in memory (the entry the fuzzer uses) and on small files:
// where the start time comes from, the step operations, no timecode from anything that is not
// LTC, and bad input ending the request cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "media/MediaFile.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/AudioBufferReader.h"
#include "timecode/ltc/LtcDecoding.h"
#include "timecode/ltc/LtcMedia.h"
#include "timecode/ltc/LtcReader.h"

namespace vorlane {
namespace {

using mediagen::Rate;
using mediagen::Samples;
using test::ScratchFolder;

std::vector<uint8_t> pcm16(const Samples& samples) {
    std::vector<uint8_t> bytes;
    for (const int16_t value : mediagen::toPcm16(samples)) {
        bytes.push_back(uint8_t(uint16_t(value) & 0xff));
        bytes.push_back(uint8_t(uint16_t(value) >> 8));
    }
    return bytes;
}

std::shared_ptr<AudioBufferReader> monoReader(const Samples& samples, double sampleRate = 48000,
                                              CMTime start = kCMTimeZero) {
    return AudioBufferReader::readerWithPCM(pcm16(samples), 1, 16, sampleRate, start);
}

Samples ltcSamples(const mediagen::LtcOptions& options) {
    std::string error;
    const auto signal = mediagen::generateLtc(options, &error);
    EXPECT_TRUE(signal) << error;
    return signal ? signal->samples : Samples{};
}

// 25 fps LTC whose frame B reads 10:00:00:00 and ends at sample 12000 of a 48 kHz window
// starting at 0: 10:00:00:01 less 0.25 s, 35999.79 s, shown as 09:59:59:20; an offset of -1
// frame gives 09:59:59:19.
TEST(LtcReader, StartTimeIsTheFrameAfterBLessTheReadersTime) {
    mediagen::LtcOptions options;
    options.start = {9, 59, 59, 23};
    options.firstFrameSample = 12000 - 3 * 1920;
    options.durationSeconds = 1.0;
    const Samples samples = ltcSamples(options);
    LtcReader reader;
    const auto found = reader.findTimecodesInBuffer(monoReader(samples));
    ASSERT_EQ(found.timecodes.size(), 1u);
    const auto& timecode = found.timecodes[0];
    EXPECT_EQ(timecode->timecodeString(0), "09:59:59:20");
    EXPECT_NEAR(timecode->time().seconds(), 35999.79, 0.00005);
    EXPECT_EQ(timecode->time().timescale, 48000);
    EXPECT_EQ(timecode->frameRate(), 25.0);
    EXPECT_EQ(timecode->source(), "on channel 1");
    EXPECT_EQ(found.channelMask, 1u);
    LtcReader earlier;
    earlier.setReadingOffset(-1);
    EXPECT_EQ(earlier.findTimecodesInBuffer(monoReader(samples)).timecodes[0]->timecodeString(0),
              "09:59:59:19");
    // A reader starting 10 s into its file answers for the file's time zero.
    LtcReader later;
    const auto shifted = later.findTimecodesInBuffer(monoReader(samples, 48000, CMTimeMake(10, 1)));
    EXPECT_NEAR(shifted.timecodes[0]->time().seconds(), 35989.79, 0.00005);
}

TEST(LtcReader, StepsDecodeFramesBitsAndUserBits) {
    mediagen::LtcOptions options;
    options.rate = Rate::fps2997(true);
    options.start = {12, 34, 56, 10};
    options.userBits = 0x87654321;
    options.durationSeconds = 0.5;
    LtcReader reader;
    reader.setBufferReader(monoReader(ltcSamples(options)));
    reader.restartWithChannel(0);
    ASSERT_TRUE(reader.findFrameRate());
    EXPECT_EQ(reader.frameRate(), 30.0);  // the bit cells tell the whole rate only
    reader.restartWithChannel(0);
    // Thresholds 0.7 RMS either side of the DC offset; -10 dBFS LTC is a square wave of 10362.
    const auto level = reader.bufferReader()->analyzeChannel(0);
    reader.bufferReader()->restartWithChannel(0);
    EXPECT_NEAR(level.analyzedRMS, 10362, 1000);
    EXPECT_EQ(reader.hysteresisPositive(),
              int32_t(level.analyzedDcOffset + 0.7 * level.analyzedRMS));
    EXPECT_EQ(reader.hysteresisNegative(),
              int32_t(level.analyzedDcOffset - 0.7 * level.analyzedRMS));
    ASSERT_TRUE(reader.findSync());
    EXPECT_TRUE(reader.syncedToBitStream());
    int64_t count = 0;
    uint32_t userBits = 0;
    ASSERT_TRUE(reader.readFrame(count, userBits));
    // The first sync word ends frame ;10, so the next frame is ;11: the nominal label count.
    EXPECT_EQ(count, (12 * 3600 + 34 * 60 + 56) * 30 + 11);
    EXPECT_EQ(userBits, 0x87654321u);
    EXPECT_TRUE(reader.dropFrame());
    reader.setReaderFrameRate(0.0);  // no rate: no bit is valid
    EXPECT_FALSE(reader.readFrame(count, userBits));
    EXPECT_FALSE(reader.syncedToBitStream());
    EXPECT_EQ(reader.description(), "FPS: 0.00, Track: -1, Chan: -1, Algorithm: 0, Ranges: 0");
    reader.setReadingFrameRate(29.97);
    reader.setReadingTrack(1);
    reader.setReadingChannel(3);
    reader.setReadingAlgorithm(3);
    reader.setReadingRanges(4);
    EXPECT_EQ(reader.description(), "FPS: 29.97, Track: 1, Chan: 3, Algorithm: 3, Ranges: 4");
}

// Detection measures the whole rate; only the sync-word distance tells 23.976 from 24.
TEST(LtcReader, RateDetectionAndItsNtscTwins) {
    for (const Rate& rate :
         {Rate::fps23976(), Rate::fps24(), Rate::fps25(), Rate::fps2997(false), Rate::fps30()}) {
        SCOPED_TRACE(rate.fractionText());
        mediagen::LtcOptions options;
        options.rate = rate;
        options.start = {1, 0, 0, 0};
        options.durationSeconds = 1.0;
        const Samples samples = ltcSamples(options);
        LtcReader reader;
        reader.setBufferReader(monoReader(samples));
        reader.restartWithChannel(0);
        ASSERT_TRUE(reader.findFrameRate());
        EXPECT_EQ(reader.frameRate(), double(rate.nominalFrames()));
        LtcReader full;
        const auto found = full.findTimecodesInBuffer(monoReader(samples));
        ASSERT_EQ(found.timecodes.size(), 1u);
        EXPECT_EQ(found.timecodes[0]->frameRate(), TCHelper::quantizedFrameRate(rate.fps()));
    }
    // Too few frames to measure: the video's rate decides, else the whole rate stays.
    mediagen::LtcOptions shortRun;
    shortRun.rate = Rate::fps23976();
    shortRun.durationSeconds = 0.25;
    const Samples samples = ltcSamples(shortRun);
    LtcReader withoutVideo;
    EXPECT_EQ(withoutVideo.findTimecodesInBuffer(monoReader(samples)).timecodes.at(0)->frameRate(),
              24.0);
    LtcReader withVideo;
    withVideo.setVideoFrameRate(23.976);
    EXPECT_EQ(withVideo.findTimecodesInBuffer(monoReader(samples)).timecodes.at(0)->frameRate(),
              24000.0 / 1001.0);
    // ... and at 29.97 the drop-frame flag.
    shortRun.rate = Rate::fps2997(true);
    LtcReader dropFrame;
    const auto found = dropFrame.findTimecodesInBuffer(monoReader(ltcSamples(shortRun)));
    EXPECT_EQ(found.timecodes.at(0)->frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(found.timecodes.at(0)->dropFrame());
}

// At every sample rate the rate of the result is the LTC's own, even where the bit cells are a
// few samples long and detection is off by whole frames per second.
TEST(LtcReader, EverySampleRate) {
    for (const int sampleRate : {11025, 16000, 22050, 32000, 44100, 96000, 192000}) {
        for (const Rate& rate : {Rate::fps23976(), Rate::fps24(), Rate::fps25(),
                                 Rate::fps2997(true), Rate::fps2997(false), Rate::fps30()}) {
            SCOPED_TRACE(std::to_string(sampleRate) + " Hz, " + rate.fractionText() +
                         (rate.dropFrame ? " DF" : ""));
            mediagen::LtcOptions options;
            options.rate = rate;
            options.sampleRate = sampleRate;
            options.start = {2, 3, 4, 5};
            options.firstFrameSample = -sampleRate / 100;
            options.durationSeconds = 1.0;
            const auto signal = mediagen::generateLtc(options);
            ASSERT_TRUE(signal);
            LtcReader reader;
            const auto found =
                reader.findTimecodesInBuffer(monoReader(signal->samples, sampleRate));
            ASSERT_EQ(found.timecodes.size(), 1u);
            EXPECT_EQ(found.timecodes[0]->frameRate(), TCHelper::quantizedFrameRate(rate.fps()));
            // Within two samples, or the generator's rise time, of the truth.
            EXPECT_NEAR(found.timecodes[0]->time().seconds(), signal->secondsAtSampleZero(),
                        std::max(2.0 / sampleRate, 0.00005));
        }
    }
}

// At 8 kHz a 30 fps bit cell is under three samples and detection reads 28: the frames read after
// the pair tell 30.
TEST(LtcReader, EightKilohertzThirtyFrames) {
    mediagen::LtcOptions options;
    options.rate = Rate::fps30();
    options.sampleRate = 8000;
    options.durationSeconds = 1.0;
    const Samples samples = ltcSamples(options);
    LtcReader detector;
    detector.setBufferReader(monoReader(samples, 8000));
    detector.restartWithChannel(0);
    ASSERT_TRUE(detector.findFrameRate());
    EXPECT_NE(detector.frameRate(), 30.0);
    LtcReader reader;
    const auto found = reader.findTimecodesInBuffer(monoReader(samples, 8000));
    ASSERT_EQ(found.timecodes.size(), 1u);
    EXPECT_EQ(found.timecodes[0]->frameRate(), 30.0);
    EXPECT_EQ(found.timecodes[0]->timecodeString(0), "00:00:00:00");
}

// Damaged LTC: quiet, noisy, offset and low-passed down to 500 Hz, which the thresholds alone
// miss and the second reading of edge setting 0 restores.
TEST(LtcReader, DamagedLtc) {
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
            const auto signal = mediagen::generateLtc(options);
            ASSERT_TRUE(signal);
            LtcReader reader;
            const auto found = reader.findTimecodesInBuffer(monoReader(signal->samples));
            ASSERT_EQ(found.timecodes.size(), 1u);
            EXPECT_EQ(found.timecodes[0]->frameRate(), TCHelper::quantizedFrameRate(rate.fps()));
            // The filter delays the edges.
            EXPECT_NEAR(found.timecodes[0]->time().seconds(), signal->secondsAtSampleZero(),
                        0.0005);
        }
    }
}

// Nothing that is not forward LTC gives a timecode, under any edge setting.
TEST(LtcReader, NoTimecodeFromSignalsThatAreNotLtc) {
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
        signals.emplace_back("backwards " + rate.fractionText(), ltcSamples(backwards));
    }
    for (const auto& [name, samples] : signals) {
        for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
            for (const double rate : {0.0, 25.0}) {
                SCOPED_TRACE(name + ", edge setting " + std::to_string(algorithm) + ", rate " +
                             std::to_string(rate));
                LtcReader reader;
                reader.setReadingAlgorithm(algorithm);
                reader.setReadingFrameRate(rate);
                const auto found = reader.findTimecodesInBuffer(monoReader(samples));
                EXPECT_TRUE(found.timecodes.empty());
                EXPECT_EQ(found.channelMask, 0u);
                EXPECT_FALSE(found.abandoned);
            }
        }
    }
}

TEST(LtcReader, SpeechGivesNoTimecode) {
    VORLANE_REQUIRE_TOOL("espeak-ng");
    ScratchFolder folder;
    const auto path = folder / "speech.wav";
    test::runTool({"espeak-ng", "-w", path.string(),
                   "Scene twelve, take three. Camera A rolling, sound speed. Mark it. "
                   "Ten hours, zero minutes, one second."});
    AudioTimecodeRequest request;
    request.readingRanges = 3;
    for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
        request.readingAlgorithm = algorithm;
        const auto file = test::readLtc(path, request);
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->hasAudioTimecode());
        EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), 0u);
    }
}

// Bit n of a track's mask is set exactly when channel n carries LTC.
TEST(LtcReader, ChannelMaskMarksTheChannelsWithLtc) {
    mediagen::LtcOptions options;
    options.start = {3, 0, 0, 0};
    options.durationSeconds = 1.0;
    const Samples ltc = ltcSamples(options);
    const Samples music = mediagen::chords(ltc.size(), 48000, -6.0);
    const Samples quiet = mediagen::silence(ltc.size());
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < ltc.size(); ++i) {
        for (const Samples* channel : {&music, &ltc, &quiet, &ltc}) {
            const int16_t value = mediagen::toPcm16({(*channel)[i]})[0];
            bytes.push_back(uint8_t(uint16_t(value) & 0xff));
            bytes.push_back(uint8_t(uint16_t(value) >> 8));
        }
    }
    LtcReader reader;
    const auto found =
        reader.findTimecodesInBuffer(AudioBufferReader::readerWithPCM(bytes, 4, 16, 48000));
    EXPECT_EQ(found.channelMask, 0b1010u);
    ASSERT_EQ(found.timecodes.size(), 2u);
    EXPECT_EQ(found.timecodes[0]->source(), "on channel 2");
    EXPECT_EQ(found.timecodes[1]->source(), "on channel 4");
    EXPECT_EQ(found.timecodes[1]->index(), 2);
    LtcReader one;
    one.setReadingChannel(3);
    EXPECT_EQ(one.findTimecodesInBuffer(AudioBufferReader::readerWithPCM(bytes, 4, 16, 48000))
                  .channelMask,
              0b1000u);
    LtcReader beyond;
    beyond.setReadingChannel(4);
    EXPECT_TRUE(beyond.findTimecodesInBuffer(AudioBufferReader::readerWithPCM(bytes, 4, 16, 48000))
                    .timecodes.empty());
}

// A rate that is not a usable frame rate abandons the reading.
TEST(LtcReader, UnusableGivenRateAbandonsTheReading) {
    mediagen::LtcOptions options;
    options.durationSeconds = 1.0;
    LtcReader reader;
    reader.setReadingFrameRate(26.5);  // bit cells close enough to read 25 fps LTC
    const auto found = reader.findTimecodesInBuffer(monoReader(ltcSamples(options)));
    EXPECT_TRUE(found.abandoned);
    EXPECT_TRUE(found.timecodes.empty());
}

TEST(LtcReaderWindows, WindowsOfEverySetting) {
    ScratchFolder folder;
    test::writeChannels(folder / "ten.wav", {mediagen::silence(480000)});
    const auto file = test::AssetMediaFile::open(folder / "ten.wav");
    ASSERT_TRUE(file);
    const auto reader = LtcReader::initWithMediaFile(file);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->preferredTimescale(), 48000);
    const auto second = [](double start, double length) {
        return CMTimeRangeMake(CMTimeMakeWithSeconds(start, 48000),
                               CMTimeMakeWithSeconds(length, 48000));
    };
    const std::vector<std::vector<CMTimeRange>> expected = {
        {second(0, 1)},
        {second(5, 1)},
        {second(5, 2), second(0, 2), second(6, 2)},
        {second(0, 10)},
        {second(0, 1), second(5, 1), second(8, 1), second(0, 10)},
    };
    for (int32_t setting = 0; setting <= 4; ++setting) {
        reader->setReadingRanges(setting);
        const auto windows = reader->readingTimeRanges();
        ASSERT_TRUE(windows);
        ASSERT_EQ(windows->size(), expected[size_t(setting)].size());
        for (size_t i = 0; i < windows->size(); ++i)
            EXPECT_TRUE(CMTimeRangeEqual((*windows)[i], expected[size_t(setting)][i]))
                << setting << ": " << (*windows)[i].description();
    }
    reader->setReadingRanges(5);
    EXPECT_FALSE(reader->readingTimeRanges());
    EXPECT_FALSE(reader->findAudioTimecode());
}

// Setting 2 on a 3-second file skips the end window (it would start before zero) and reads the
// middle; setting 4 finds LTC that only the end window holds.
TEST(LtcReaderWindows, ShortFilesAndLtcAtTheEnd) {
    ScratchFolder folder;
    test::LtcFile plan;
    plan.ltc.start = {4, 0, 0, 0};
    plan.ltc.durationSeconds = 3.0;
    const mediagen::LtcSignal signal = test::writeLtcFile(folder / "three.wav", plan);
    AudioTimecodeRequest request;
    request.readingRanges = 2;
    const auto three = test::readLtc(folder / "three.wav", request);
    ASSERT_EQ(three->audioTimecodeCount(), 1);
    EXPECT_NEAR(three->audioTimecode()->time().seconds(), signal.secondsAtSampleZero(), 0.00005);

    mediagen::LtcOptions tail;
    tail.start = {8, 0, 0, 0};
    tail.durationSeconds = 1.2;
    Samples samples = mediagen::silence(480000);
    mediagen::mixInto(samples, ltcSamples(tail), 480000 - 57600);
    test::writeChannels(folder / "tail.wav", {samples});
    for (const int32_t setting : {0, 1, 2}) {
        request.readingRanges = setting;
        EXPECT_FALSE(test::readLtc(folder / "tail.wav", request)->hasAudioTimecode()) << setting;
    }
    request.readingRanges = 4;
    const auto found = test::readLtc(folder / "tail.wav", request);
    ASSERT_EQ(found->audioTimecodeCount(), 1);
    EXPECT_NEAR(found->audioTimecode()->time().seconds(), 8 * 3600.0 - (480000 - 57600) / 48000.0,
                0.00005);
}

TEST(LtcReaderBadInput, RequestsEndCleanly) {
    ScratchFolder folder;
    test::LtcFile plan;
    plan.ltc.durationSeconds = 2.0;
    test::writeLtcFile(folder / "ltc.wav", plan);
    const auto file = test::AssetMediaFile::open(folder / "ltc.wav");
    ASSERT_TRUE(file);
    auto reader = LtcReader::initWithMediaFile(file);
    reader->setReadingTrack(1);  // the file has one audio track
    EXPECT_FALSE(reader->findAudioTimecode());
    reader->setReadingTrack(0);
    reader->setReadingAlgorithm(7);  // finds no edges
    EXPECT_FALSE(reader->findAudioTimecode());
    reader->setReadingAlgorithm(0);
    EXPECT_TRUE(reader->findAudioTimecode());
    // A track claiming more than the file holds: the middle window lies past the audio.
    file->firstAudioTrack()->setTimeRange({kCMTimeZero, CMTimeMake(100, 1)});
    reader->setReadingRanges(1);
    EXPECT_FALSE(reader->findAudioTimecode());
    EXPECT_EQ(file->audioTimecodeCount(), 0);
    // Media that went away after opening.
    std::filesystem::remove(folder / "ltc.wav");
    reader->setReadingRanges(0);
    EXPECT_FALSE(reader->findAudioTimecode());

    // No audio: no decoder.
    auto silentFile = std::make_shared<MediaFile>(folder / "video.mov");
    silentFile->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    EXPECT_FALSE(LtcReader::initWithMediaFile(silentFile));
    EXPECT_FALSE(LtcReader::initWithMediaFile(nullptr));

    // Zero-length and two-sample files under every window setting.
    test::writeChannels(folder / "empty.wav", {Samples{}});
    test::writeChannels(folder / "two.wav", {Samples{0.5f, -0.5f}});
    for (const char* name : {"empty.wav", "two.wav"}) {
        for (int32_t setting = 0; setting <= 4; ++setting) {
            AudioTimecodeRequest request;
            request.readingRanges = setting;
            const auto tiny = test::readLtc(folder / name, request);
            ASSERT_TRUE(tiny) << name;
            EXPECT_FALSE(tiny->hasAudioTimecode());
            EXPECT_EQ(tiny->readableAudioTimecodeInfo(), "no Audio-Timecode found");
        }
    }
}

TEST(LtcReaderBadInput, TinyAndOddBuffers) {
    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{1}, std::vector<uint8_t>{1, 2, 3},
          std::vector<uint8_t>(1001, 0x80)}) {
        for (const uint32_t depth : {8u, 16u, 24u, 32u}) {
            for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
                LtcReader reader;
                reader.setReadingAlgorithm(algorithm);
                const auto found = reader.findTimecodesInBuffer(
                    AudioBufferReader::readerWithPCM(bytes, 2, depth, 48000));
                EXPECT_TRUE(found.timecodes.empty());
            }
        }
    }
    EXPECT_FALSE(AudioBufferReader::readerWithPCM({0, 0}, 0, 16, 48000));
    EXPECT_FALSE(AudioBufferReader::readerWithPCM({0, 0}, 1, 12, 48000));
    EXPECT_FALSE(AudioBufferReader::readerWithPCM({0, 0}, 1, 16, 0.0));
    LtcReader reader;
    EXPECT_TRUE(reader.findTimecodesInBuffer(nullptr).timecodes.empty());
    EXPECT_FALSE(reader.findAudioTimecode());
    EXPECT_FALSE(reader.findSync());
    EXPECT_EQ(reader.nextBitPeriod(), 0.0);
}

// The reading through MediaFile: the default request reads the middle window; the user bits
// become the reel; the readable summary names the source.
TEST(LtcReader, MediaFileReadsThroughTheInstalledDecoder) {
    ScratchFolder folder;
    test::LtcFile plan;
    plan.ltc.start = {14, 0, 0, 0};
    plan.ltc.userBits = 0x0000BEEF;
    plan.ltc.durationSeconds = 4.0;
    test::writeLtcFile(folder / "ltc.wav", plan);
    const auto file = test::AssetMediaFile::open(folder / "ltc.wav");
    ASSERT_TRUE(file);
    MediaFile::installAudioTimecodeDecoder(decodeAudioTimecode);
    file->readAudioTimecode();
    ASSERT_TRUE(file->hasAudioTimecode());
    EXPECT_EQ(file->reel(), "0000BEEF");
    EXPECT_EQ(file->readableAudioTimecodeInfo(), "14:00:00:00 (25.00fps) on channel 1 ");
    // Reading again replaces the audio timecode.
    file->readAudioTimecode();
    EXPECT_EQ(file->audioTimecodeCount(), 1);
}

}  // namespace
}  // namespace vorlane
