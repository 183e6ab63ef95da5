// The decoder on whole files made by others: LTC from libltc's encoder at every rate, on any
// channel, at every depth, inside compressed movies, and recordings of a hardware generator.
// The truth is what the generator states: the label of every frame and the sample where it
// starts, hence the timecode at the file's time zero.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "mediagen/MovieWriter.h"
#include "mediagen/Signals.h"
#include "mediagen/Timecode.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcMedia.h"

namespace vorlane {
namespace {

using mediagen::Rate;
using mediagen::SampleFormat;
using test::LtcFile;
using test::readLtc;
using test::ScratchFolder;

// Two samples at 48 kHz: the edge detector reports an edge on the sample after the crossing.
constexpr double kStartTolerance = 0.00005;

// Seconds since midnight within one day.
double daySeconds(double seconds) {
    return std::fmod(std::fmod(seconds, 86400.0) + 86400.0, 86400.0);
}

double exactRate(const Rate& rate) {
    return TCHelper::quantizedFrameRate(rate.fps());
}

// The file carries exactly one audio timecode: the signal's timecode at time zero, its rate,
// drop-frame flag and user bits.
void expectStart(const MediaFile& file, const mediagen::LtcSignal& signal, uint32_t userBits,
                 const std::string& source, double rate = 0.0) {
    ASSERT_EQ(file.audioTimecodeCount(), 1);
    const std::shared_ptr<TCHelper> found = file.audioTimecode();
    const double seconds = signal.secondsAtSampleZero();
    EXPECT_EQ(found->frameRate(), rate != 0.0 ? rate : exactRate(signal.rate));
    EXPECT_EQ(found->dropFrame(), signal.rate.dropFrame);
    EXPECT_EQ(found->timecodeString(TCOptionWrap24h), test::shownTimecode(seconds, signal.rate));
    EXPECT_NEAR(daySeconds(found->time().seconds()), daySeconds(seconds), kStartTolerance);
    EXPECT_EQ(found->rawUserBits(), userBits);
    EXPECT_EQ(found->type(), TCTypeAudio);
    EXPECT_EQ(found->index(), 1);
    EXPECT_EQ(found->source(), source);
}

struct RateCase {
    const char* name;
    Rate rate;
    mediagen::Timecode start;
};

const RateCase kRates[] = {
    {"23.976", Rate::fps23976(), {10, 0, 0, 0}},
    {"24", Rate::fps24(), {1, 2, 3, 4}},
    {"25", Rate::fps25(), {23, 59, 58, 10}},
    // Runs through the labels that drop frame skips at 00:01:00.
    {"29.97 DF", Rate::fps2997(true), {0, 0, 59, 0}},
    {"29.97 NDF", Rate::fps2997(false), {13, 30, 0, 0}},
    {"30", Rate::fps30(), {7, 7, 7, 7}},
};

// Automatic detection tells every rate, the NTSC ones included, from the middle window of the
// default request and from the start window.
TEST(LtcReaderFiles, EveryRateGivesTheExactStartTimecodeAndRate) {
    ScratchFolder folder;
    for (const RateCase& item : kRates) {
        for (const int32_t ranges : {0, 1}) {
            SCOPED_TRACE(std::string(item.name) + " window setting " + std::to_string(ranges));
            LtcFile plan;
            plan.ltc.rate = item.rate;
            plan.ltc.start = item.start;
            plan.ltc.userBits = 0x12345678;
            plan.ltc.durationSeconds = 3.0;
            plan.ltc.firstFrameSample = -700;
            const auto path = folder / "ltc.wav";
            const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
            AudioTimecodeRequest request;
            request.readingRanges = ranges;
            const auto file = readLtc(path, request);
            ASSERT_TRUE(file);
            expectStart(*file, signal, 0x12345678, "on channel 1");
            EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), 1u);
            EXPECT_TRUE(file->audioTimecodeHasBeenRead());
            EXPECT_EQ(file->reel(), "12345678");
        }
    }
}

TEST(LtcReaderFiles, AnyChannelOfMonoStereoAndEightChannelFilesAtEveryDepth) {
    ScratchFolder folder;
    struct Layout {
        int channels;
        int ltcChannel;
        SampleFormat format;
    };
    for (const Layout& layout :
         {Layout{1, 0, SampleFormat::Pcm16}, Layout{2, 1, SampleFormat::Pcm24},
          Layout{2, 0, SampleFormat::Pcm32}, Layout{8, 5, SampleFormat::Pcm16},
          Layout{8, 7, SampleFormat::Pcm24}, Layout{8, 2, SampleFormat::Pcm32}}) {
        SCOPED_TRACE(std::to_string(layout.channels) + " channels, LTC on " +
                     std::to_string(layout.ltcChannel) + ", " +
                     std::to_string(mediagen::bitsPerSample(layout.format)) + " bits");
        LtcFile plan;
        plan.ltc.rate = Rate::fps25();
        plan.ltc.start = {9, 59, 59, 0};
        plan.ltc.userBits = 0xA1B2C3D4;
        plan.ltc.durationSeconds = 2.0;
        plan.ltc.firstFrameSample = 333;
        plan.channels = layout.channels;
        plan.ltcChannel = layout.ltcChannel;
        plan.format = layout.format;
        const auto path = folder / "multi.wav";
        const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
        const auto file = readLtc(path);
        ASSERT_TRUE(file);
        expectStart(*file, signal, 0xA1B2C3D4,
                    "on channel " + std::to_string(layout.ltcChannel + 1));
        EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), uint64_t(1) << layout.ltcChannel);
    }
}

// Two tracks: sources name the track; a given channel or track reads only that one.
TEST(LtcReaderFiles, MoviesWithSeveralTracksNameTheTrack) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    LtcFile plan;
    plan.ltc.rate = Rate::fps25();
    plan.ltc.start = {15, 0, 0, 0};
    plan.ltc.durationSeconds = 2.0;
    plan.channels = 2;
    plan.ltcChannel = 1;
    plan.format = SampleFormat::Pcm16;
    const mediagen::LtcSignal signal = test::writeLtcFile(folder / "stereo.wav", plan);
    plan.channels = 1;
    plan.ltcChannel = 0;
    test::writeLtcFile(folder / "mono.wav", plan);
    test::writeChannels(folder / "music.wav", {mediagen::chords(96000, 48000, -12.0),
                                               mediagen::chords(96000, 48000, -12.0, 7)});
    mediagen::MovieOptions movie;
    movie.path = folder / "tracks.mov";
    movie.frameCount = 50;
    movie.audioTracks = {folder / "music.wav", folder / "stereo.wav", folder / "mono.wav"};
    std::string error;
    ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;

    const auto file = readLtc(movie.path);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->audioTimecodeCount(), 2);
    const auto tracks = file->audioTracks();
    EXPECT_EQ(tracks[0]->audioChannelMask(), 0u);
    EXPECT_EQ(tracks[1]->audioChannelMask(), 2u);
    EXPECT_EQ(tracks[2]->audioChannelMask(), 1u);
    std::vector<std::string> sources;
    for (const auto& track : file->tracksWithType(MediaTrackTypeTimecode)) {
        sources.push_back(track->timecode()->source());
        EXPECT_EQ(track->timecode()->timecodeString(TCOptionWrap24h),
                  test::shownTimecode(signal.secondsAtSampleZero(), signal.rate));
    }
    EXPECT_EQ(sources, (std::vector<std::string>{"on channel 2 of track 2", "on track 3"}));

    AudioTimecodeRequest request;
    request.track = 2;
    const auto third = readLtc(movie.path, request);
    ASSERT_EQ(third->audioTimecodeCount(), 1);
    EXPECT_EQ(third->audioTimecode()->source(), "on track 3");
    request.track = 1;
    request.channel = 0;
    const auto wrongChannel = readLtc(movie.path, request);
    EXPECT_EQ(wrongChannel->audioTimecodeCount(), 0);
    EXPECT_EQ(wrongChannel->readableAudioTimecodeInfo(), "no Audio-Timecode found");
}

// LTC compressed to AAC at 128 kbit/s inside QuickTime and MPEG-4 movies; the start lands on
// the video's frame grid (the file's best timescale).
TEST(LtcReaderFiles, CompressedLtcInMoviesAndVideoAtTwiceTheLtcRate) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    struct Case {
        mediagen::MovieContainer container;
        Rate video;
        Rate ltc;
        double resultRate;
    };
    for (const Case& item :
         {Case{mediagen::MovieContainer::QuickTime, Rate::fps25(), Rate::fps25(), 25.0},
          Case{mediagen::MovieContainer::Mpeg4, Rate::fps25(), Rate::fps25(), 25.0},
          Case{mediagen::MovieContainer::QuickTime, Rate{50, 1, false}, Rate::fps25(), 50.0},
          Case{mediagen::MovieContainer::Mpeg4, Rate::fps23976(), Rate::fps23976(),
               24000.0 / 1001.0},
          Case{mediagen::MovieContainer::QuickTime, Rate::fps2997(true), Rate::fps2997(true),
               30000.0 / 1001.0}}) {
        SCOPED_TRACE(std::to_string(item.video.fps()) + " fps video over " +
                     std::to_string(item.ltc.fps()) + " fps LTC");
        LtcFile plan;
        plan.ltc.rate = item.ltc;
        plan.ltc.start = {11, 22, 33, 12};
        plan.ltc.userBits = 0x00C0FFEE;
        plan.ltc.durationSeconds = 4.0;
        plan.ltc.firstFrameSample = -1000;
        plan.format = SampleFormat::Pcm16;
        const mediagen::LtcSignal signal = test::writeLtcFile(folder / "ltc.wav", plan);
        mediagen::MovieOptions movie;
        movie.path =
            folder / (item.container == mediagen::MovieContainer::QuickTime ? "m.mov" : "m.mp4");
        movie.container = item.container;
        movie.rate = item.video;
        movie.width = 320;
        movie.height = 180;
        movie.frameCount = int64_t(std::lround(3.5 * item.video.fps()));
        movie.audioTracks = {folder / "ltc.wav"};
        movie.audioCodec = mediagen::MovieAudioCodec::Aac;
        std::string error;
        ASSERT_TRUE(mediagen::writeMovie(movie, &error)) << error;
        const auto file = readLtc(movie.path);
        ASSERT_TRUE(file);
        ASSERT_EQ(file->audioTimecodeCount(), 1);
        const auto found = file->audioTimecode();
        EXPECT_EQ(found->frameRate(), TCHelper::quantizedFrameRate(item.resultRate));
        EXPECT_EQ(found->dropFrame(), item.ltc.dropFrame);
        EXPECT_EQ(found->rawUserBits(), 0x00C0FFEEu);
        EXPECT_EQ(found->source(), "on channel 1");
        EXPECT_EQ(found->time().timescale, file->bestTimeScale());
        // Whole frames of the video: within half a frame of the truth.
        EXPECT_NEAR(found->time().seconds(), signal.secondsAtSampleZero(),
                    0.5 / item.video.fps() + kStartTolerance);
    }
}

// A rate given by the user is used as given, even the whole rate for NTSC LTC; the offset adds
// frames.
TEST(LtcReaderFiles, GivenRateAndOffsetAreUsedAsGiven) {
    ScratchFolder folder;
    LtcFile plan;
    plan.ltc.rate = Rate::fps2997(false);
    plan.ltc.start = {10, 0, 0, 0};
    plan.ltc.durationSeconds = 2.0;
    plan.ltc.firstFrameSample = -700;
    const auto path = folder / "ntsc.wav";
    const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
    AudioTimecodeRequest request;
    request.frameRate = 29.97;
    expectStart(*readLtc(path, request), signal, 0, "on channel 1");
    request.frameRate = 30.0;
    const auto whole = readLtc(path, request);
    ASSERT_EQ(whole->audioTimecodeCount(), 1);
    EXPECT_EQ(whole->audioTimecode()->frameRate(), 30.0);
    // 10 hours of labels at 1/30 s instead of 1001/30000 s: 36 seconds apart.
    EXPECT_NEAR(whole->audioTimecode()->time().seconds() - signal.secondsAtSampleZero(), -36.0,
                0.05);
    request.frameRate = 0.0;
    request.offset = -1;
    const auto earlier = readLtc(path, request);
    ASSERT_EQ(earlier->audioTimecodeCount(), 1);
    EXPECT_NEAR(earlier->audioTimecode()->time().seconds(),
                signal.secondsAtSampleZero() - 1001.0 / 30000.0, kStartTolerance);
}

// The edge settings each read a clean signal; the GoPro default (windows 2, slope edges) too.
TEST(LtcReaderFiles, EveryEdgeSettingReadsACleanSignal) {
    ScratchFolder folder;
    LtcFile plan;
    plan.ltc.rate = Rate::fps24();
    plan.ltc.start = {20, 0, 0, 0};
    plan.ltc.durationSeconds = 5.0;
    plan.ltc.levelDbfs = -6.0;
    const auto path = folder / "clean.wav";
    const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
    for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
        SCOPED_TRACE("edge setting " + std::to_string(algorithm));
        AudioTimecodeRequest request;
        request.readingAlgorithm = algorithm;
        request.readingRanges = algorithm == 3 ? 2 : 1;
        expectStart(*readLtc(path, request), signal, 0, "on channel 1");
    }
}

// Frames that are valid but not consecutive are not used: a recorder's jumps, and the labels
// drop frame skips.
TEST(LtcReaderFiles, OnlyConsecutiveFramesAreUsed) {
    ScratchFolder folder;
    // Four frames that each jump a minute ahead, then a steady run.
    mediagen::Samples samples;
    for (int jump = 0; jump < 4; ++jump) {
        mediagen::LtcOptions options;
        options.start = {5, jump, 0, 0};
        options.durationSeconds = 0.04;
        const auto frame = mediagen::generateLtc(options);
        samples.insert(samples.end(), frame->samples.begin(), frame->samples.end());
    }
    mediagen::LtcOptions steady;
    steady.start = {6, 0, 0, 0};
    steady.durationSeconds = 1.0;
    const auto run = mediagen::generateLtc(steady);
    samples.insert(samples.end(), run->samples.begin(), run->samples.end());
    test::writeChannels(folder / "jumps.wav", {samples});
    AudioTimecodeRequest request;
    request.readingRanges = 0;
    const auto jumps = readLtc(folder / "jumps.wav", request);
    ASSERT_EQ(jumps->audioTimecodeCount(), 1);
    EXPECT_NEAR(jumps->audioTimecode()->time().seconds(), 6 * 3600.0 - 4 * 0.04, kStartTolerance);

    // 29.97 drop frame whose first whole frames straddle the skipped labels ;00 and ;01.
    LtcFile plan;
    plan.ltc.rate = Rate::fps2997(true);
    plan.ltc.start = {0, 9, 59, 27};
    plan.ltc.firstFrameSample = -1500;
    plan.ltc.durationSeconds = 1.0;
    const auto path = folder / "skip.wav";
    const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
    expectStart(*readLtc(path, request), signal, 0, "on channel 1");
    plan.ltc.start = {0, 0, 59, 27};
    const mediagen::LtcSignal dropping = test::writeLtcFile(path, plan);
    expectStart(*readLtc(path, request), dropping, 0, "on channel 1");
}

struct DumpedFrame {
    std::string label;
    uint32_t userBits = 0;
    int64_t firstSample = 0;
};

// The first frame of an ltcdump listing: "<user bits> <label> | <first> <last>".
DumpedFrame firstDumpedFrame(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        DumpedFrame frame;
        std::string bits, bar;
        fields >> bits >> frame.label >> bar >> frame.firstSample;
        frame.userBits = uint32_t(std::stoul(bits, nullptr, 16));
        return frame;
    }
    return {};
}

// Recordings of a hardware generator, as other people's decoder listed them.
TEST(LtcReaderFiles, HardwareGeneratorRecordings) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    struct Recording {
        const char* file;
        Rate rate;
    };
    for (const Recording& item :
         {Recording{"pico_25fps.wav", Rate::fps25()}, Recording{"pico_24fps.wav", Rate::fps24()},
          Recording{"pico_2997fps_df.wav", Rate::fps2997(true)}}) {
        const auto path = testdata / "ltc" / item.file;
        const DumpedFrame first = firstDumpedFrame(path.string() + ".ltcdump");
        const auto label = mediagen::Timecode::parse(first.label);
        ASSERT_TRUE(label) << first.label;
        const double seconds = double(*mediagen::frameNumber(*label, item.rate)) / item.rate.fps() -
                               double(first.firstSample) / 48000.0;
        for (const int32_t ranges : {0, 1, 2, 4}) {
            SCOPED_TRACE(std::string(item.file) + " window setting " + std::to_string(ranges));
            AudioTimecodeRequest request;
            request.readingRanges = ranges;
            const auto file = readLtc(path, request);
            ASSERT_TRUE(file);
            ASSERT_GE(file->audioTimecodeCount(), 1);
            const auto found = file->audioTimecode();
            EXPECT_EQ(found->frameRate(), exactRate(item.rate));
            EXPECT_EQ(found->dropFrame(), item.rate.dropFrame);
            EXPECT_EQ(found->rawUserBits(), first.userBits);
            EXPECT_EQ(found->timecodeString(TCOptionWrap24h),
                      test::shownTimecode(seconds, item.rate));
            // The generator's clock drifts a few parts per million from the recorder's.
            EXPECT_NEAR(found->time().seconds(), seconds, 0.0005);
        }
    }
}

// libltc's own test recording: 8-bit unsigned mono without a header. Its frames are 885 samples
// long and count 25 labels a second, so it was sampled near 22.05 kHz.
TEST(LtcReaderFiles, LibltcTestRecordingWrappedAsWave) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const std::string raw = test::readFile(testdata / "ltc" / "libltc_timecode.raw");
    mediagen::Samples samples;
    for (const char byte : raw)
        samples.push_back(float((uint8_t(byte) - 128) / 128.0));
    ScratchFolder folder;
    const auto path = folder / "libltc.wav";
    test::writeChannels(path, {samples}, SampleFormat::Pcm16, 22050);
    AudioTimecodeRequest request;
    request.readingRanges = 0;
    const auto file = readLtc(path, request);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->audioTimecodeCount(), 1);
    const auto found = file->audioTimecode();
    EXPECT_EQ(found->frameRate(), 25.0);
    // 00:05:27:17 begins at sample 626.
    const double seconds = (5 * 60 + 27) + 17 / 25.0 - 626 / 22050.0;
    EXPECT_EQ(found->timecodeString(TCOptionWrap24h), "00:05:27:16");
    EXPECT_NEAR(found->time().seconds(), seconds, 0.002);
}

}  // namespace
}  // namespace vorlane
