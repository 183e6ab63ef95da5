// Reading audio timecode from whole files made by others: LTC from libltc's encoder at every
// rate, on any channel, at every depth, inside compressed movies, and recordings of a hardware
// generator as another decoder listed them; the reading windows, whole files, and bad input.
// The truth is what the encoder or the listing states: the label of every frame and the sample
// where it starts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "media/LtcMedia.h"
#include "media/LtcReader.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Signals.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using mediagen::Rate;
using mediagen::SampleFormat;
using test::LtcFile;
using test::readLtc;
using test::ScratchFolder;

// Two samples at 48 kHz.
constexpr double kStartTolerance = 0.00005;

AudioTimecodeRequest windows(LtcReadingRanges ranges) {
    AudioTimecodeRequest request;
    request.readingRanges = ranges;
    return request;
}

// Seconds since midnight within one day.
double daySeconds(double seconds) {
    return std::fmod(std::fmod(seconds, 86400.0) + 86400.0, 86400.0);
}

// The file carries exactly one audio timecode: the signal's label and time at the file's first
// sample, its rate, drop-frame flag and user bits.
void expectStart(const MediaFile& file, const mediagen::LtcSignal& signal, uint32_t userBits,
                 const std::string& source) {
    ASSERT_EQ(file.audioTimecodeCount(), 1);
    const std::shared_ptr<TCHelper> found = file.audioTimecode();
    EXPECT_EQ(found->frameRate(), signal.rate.fps());
    EXPECT_EQ(found->dropFrame(), signal.rate.dropFrame);
    EXPECT_EQ(found->timecodeString(TCOptionWrap24h), test::labelAtSampleZero(signal));
    EXPECT_NEAR(daySeconds(found->time().seconds()), daySeconds(signal.secondsAtSampleZero()),
                kStartTolerance);
    EXPECT_EQ(found->rawUserBits(), userBits);
    EXPECT_EQ(found->type(), TCTypeAudio);
    EXPECT_EQ(found->index(), 1);
    EXPECT_EQ(found->source(), source);
}

// Automatic detection tells every rate, the NTSC ones included, from the middle window of the
// default request and from the start window.
TEST(LtcReader, EveryRateGivesTheExactStartTimecodeAndRate) {
    ScratchFolder folder;
    for (const auto& [rate, start] : std::vector<std::pair<Rate, mediagen::Timecode>>{
             {Rate::fps23976(), {10, 0, 0, 0}},
             {Rate::fps24(), {1, 2, 3, 4}},
             {Rate::fps25(), {23, 59, 58, 10}},
             {Rate::fps2997(true), {0, 0, 59, 0}},  // through the labels drop frame skips
             {Rate::fps2997(false), {13, 30, 0, 0}},
             {Rate::fps30(), {7, 7, 7, 7}}}) {
        for (const LtcReadingRanges ranges :
             {LtcReadingRanges::FirstSecond, LtcReadingRanges::MiddleSecond}) {
            SCOPED_TRACE(rate.fractionText() + (rate.dropFrame ? " DF, " : ", ") +
                         description(ranges));
            LtcFile plan;
            plan.ltc.rate = rate;
            plan.ltc.start = start;
            plan.ltc.userBits = 0x12345678;
            plan.ltc.durationSeconds = 3.0;
            plan.ltc.firstFrameSample = -700;
            const auto path = folder / "ltc.wav";
            const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
            const auto file = readLtc(path, windows(ranges));
            ASSERT_TRUE(file);
            expectStart(*file, signal, 0x12345678, "on channel 1");
            EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), 1u);
            EXPECT_TRUE(file->audioTimecodeHasBeenRead());
            EXPECT_EQ(file->reel(), "12345678");
        }
    }
}

// LTC that begins exactly with the file shows its first frame, also where frames are not whole
// numbers of samples and edges are found a sample or so late.
TEST(LtcReader, FrameAlignedStartsShowTheFrameInProgress) {
    ScratchFolder folder;
    for (const Rate& rate : {Rate::fps23976(), Rate::fps2997(true), Rate::fps2997(false)}) {
        for (const int sampleRate : {48000, 44100}) {
            for (const mediagen::Timecode& start :
                 {mediagen::Timecode{10, 0, 0, 0}, mediagen::Timecode{1, 2, 3, 4},
                  mediagen::Timecode{23, 59, 59, 11}, mediagen::Timecode{0, 10, 0, 0}}) {
                SCOPED_TRACE(rate.fractionText() + (rate.dropFrame ? " DF at " : " at ") +
                             std::to_string(sampleRate) + " Hz from " + start.text());
                LtcFile plan;
                plan.ltc.rate = rate;
                plan.ltc.sampleRate = sampleRate;
                plan.ltc.start = start;
                plan.ltc.durationSeconds = 1.5;
                const auto path = folder / "aligned.wav";
                const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
                ASSERT_EQ(signal.frames.front().firstSample, 0);
                expectStart(*readLtc(path, windows(LtcReadingRanges::FirstSecond)), signal, 0,
                            "on channel 1");
            }
        }
    }
}

TEST(LtcReader, AnyChannelOfMonoStereoAndEightChannelFilesAtEveryDepth) {
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
        plan.ltc.start = {9, 59, 59, 0};
        plan.ltc.userBits = 0xA1B2C3D4;
        plan.ltc.durationSeconds = 2.0;
        plan.ltc.firstFrameSample = -333;
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

// Several tracks: sources name the track; a given track or channel reads only that one.
TEST(LtcReader, MoviesWithSeveralTracksNameTheTrack) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    LtcFile plan;
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
        EXPECT_EQ(track->timecode()->timecodeString(TCOptionWrap24h), "15:00:00:00");
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
TEST(LtcReader, CompressedLtcInMoviesAndVideoAtTwiceTheLtcRate) {
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
        EXPECT_EQ(found->frameRate(), item.resultRate);
        EXPECT_EQ(found->dropFrame(), item.ltc.dropFrame);
        EXPECT_EQ(found->rawUserBits(), 0x00C0FFEEu);
        EXPECT_EQ(found->time().timescale, file->bestTimeScale());
        // Whole frames of the video: within half a frame of the truth.
        EXPECT_NEAR(found->time().seconds(), signal.secondsAtSampleZero(),
                    0.5 / item.video.fps() + kStartTolerance);
    }
}

// A rate given by the user is used as given, even the whole rate for NTSC LTC; the offset adds
// frames.
TEST(LtcReader, GivenRateAndOffsetAreUsedAsGiven) {
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
TEST(LtcReader, EveryEdgeSettingReadsACleanSignal) {
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
        request.readingAlgorithm = LtcReadingAlgorithm(algorithm);
        request.readingRanges =
            algorithm == 3 ? LtcReadingRanges::MiddleStartAndEnd : LtcReadingRanges::MiddleSecond;
        expectStart(*readLtc(path, request), signal, 0, "on channel 1");
    }
}

// Frames that are valid but not consecutive are not used: a recorder's jumps, and the labels
// drop frame skips.
TEST(LtcReader, OnlyConsecutiveFramesAreUsed) {
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
    const auto request = windows(LtcReadingRanges::FirstSecond);
    const auto jumps = readLtc(folder / "jumps.wav", request);
    ASSERT_EQ(jumps->audioTimecodeCount(), 1);
    EXPECT_NEAR(jumps->audioTimecode()->time().seconds(), 6 * 3600.0 - 4 * 0.04, kStartTolerance);

    // 29.97 drop frame whose first whole frames straddle the skipped labels ;00 and ;01.
    LtcFile plan;
    plan.ltc.rate = Rate::fps2997(true);
    plan.ltc.firstFrameSample = -1500;
    plan.ltc.durationSeconds = 1.0;
    const auto path = folder / "skip.wav";
    for (const mediagen::Timecode& start :
         {mediagen::Timecode{0, 9, 59, 27}, mediagen::Timecode{0, 0, 59, 27}}) {
        plan.ltc.start = start;
        const mediagen::LtcSignal signal = test::writeLtcFile(path, plan);
        expectStart(*readLtc(path, request), signal, 0, "on channel 1");
    }
}

struct Listing {
    int frames = 0;
    std::string firstWord;  // of the first frame's line: the user bits in an ltcdump listing
};

// Every frame another decoder listed ("... <label> | <first sample> <last sample>"; drop-frame
// labels may end in '.'): the timecode read shows that label a quarter into the frame.
Listing expectListedLabels(const TCHelper& found, const std::filesystem::path& path,
                           int32_t sampleRate) {
    std::ifstream in(path);
    Listing listing;
    for (std::string line; std::getline(in, line);) {
        const size_t bar = line.find('|');
        if (line.empty() || line[0] == '#' || bar == std::string::npos) continue;
        std::istringstream before(line.substr(0, bar)), after(line.substr(bar + 1));
        std::string label;
        for (std::string word; before >> word;) {
            if (listing.frames == 0 && label.empty()) listing.firstWord = word;
            label = word;
        }
        if (label.size() > 8 && label[8] == '.') label[8] = ';';
        int64_t first = 0, last = 0;
        after >> first >> last;
        const std::string shown = found.timecodeStringWithDisplayOffset(
            CMTimeMake(first + (last - first) / 4, sampleRate), TCOptionWrap24h);
        if (shown != label) {
            ADD_FAILURE() << "frame listed at sample " << first << ": " << label << ", read "
                          << shown;
            break;
        }
        ++listing.frames;
    }
    return listing;
}

// Recordings of a hardware generator, and libltc's own test recording (8-bit unsigned mono
// without a header, sampled near 22.05 kHz: its frames are 885 samples long).
TEST(LtcReader, RecordingsListedByOtherDecoders) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    for (const auto& [name, rate] :
         std::vector<std::pair<std::string, Rate>>{{"pico_25fps.wav", Rate::fps25()},
                                                   {"pico_24fps.wav", Rate::fps24()},
                                                   {"pico_2997fps_df.wav", Rate::fps2997(true)}}) {
        const auto path = testdata / "ltc" / name;
        for (const LtcReadingRanges ranges :
             {LtcReadingRanges::FirstSecond, LtcReadingRanges::MiddleSecond,
              LtcReadingRanges::MiddleStartAndEnd, LtcReadingRanges::EverywhereThenWholeFile}) {
            SCOPED_TRACE(name + ", " + description(ranges));
            const auto file = readLtc(path, windows(ranges));
            ASSERT_TRUE(file);
            ASSERT_GE(file->audioTimecodeCount(), 1);
            const auto found = file->audioTimecode();
            EXPECT_EQ(found->frameRate(), rate.fps());
            EXPECT_EQ(found->dropFrame(), rate.dropFrame);
            const Listing listing = expectListedLabels(*found, path.string() + ".ltcdump", 48000);
            EXPECT_GT(listing.frames, 400);
            EXPECT_EQ(found->rawUserBits(), std::stoul(listing.firstWord, nullptr, 16));
        }
    }
    const std::string raw = test::readFile(testdata / "ltc" / "libltc_timecode.raw");
    mediagen::Samples samples;
    for (const char byte : raw)
        samples.push_back(float((uint8_t(byte) - 128) / 128.0));
    ScratchFolder folder;
    test::writeChannels(folder / "libltc.wav", {samples}, SampleFormat::Pcm16, 22050);
    const auto file = readLtc(folder / "libltc.wav", windows(LtcReadingRanges::FirstSecond));
    ASSERT_EQ(file->audioTimecodeCount(), 1);
    EXPECT_EQ(file->audioTimecode()->frameRate(), 25.0);
    EXPECT_GT(
        expectListedLabels(*file->audioTimecode(), testdata / "ltc" / "libltc_timecode.txt", 22050)
            .frames,
        40);
}

// The windows of each setting show in what the reading finds (above and below); codes past the
// last setting are refused.
TEST(LtcReader, UnknownWindowSettingsAreRefused) {
    EXPECT_FALSE(readingRangesWithCode(5));
    EXPECT_FALSE(readingTimeRanges(LtcReadingRanges(5), CMTimeMake(10, 1), 48000));
}

// Setting 2 on a 3-second file skips the end window (it would start before zero) and reads the
// middle; setting 4 finds LTC that only the end window holds.
TEST(LtcReader, ShortFilesAndLtcAtTheEnd) {
    ScratchFolder folder;
    LtcFile plan;
    plan.ltc.start = {4, 0, 0, 0};
    plan.ltc.durationSeconds = 3.0;
    const mediagen::LtcSignal signal = test::writeLtcFile(folder / "three.wav", plan);
    const auto three = readLtc(folder / "three.wav", windows(LtcReadingRanges::MiddleStartAndEnd));
    ASSERT_EQ(three->audioTimecodeCount(), 1);
    EXPECT_NEAR(three->audioTimecode()->time().seconds(), signal.secondsAtSampleZero(),
                kStartTolerance);

    mediagen::LtcOptions tail;
    tail.start = {8, 0, 0, 0};
    tail.durationSeconds = 1.2;
    mediagen::Samples samples = mediagen::silence(480000);
    mediagen::mixInto(samples, mediagen::generateLtc(tail)->samples, 480000 - 57600);
    test::writeChannels(folder / "tail.wav", {samples});
    for (const LtcReadingRanges ranges :
         {LtcReadingRanges::FirstSecond, LtcReadingRanges::MiddleSecond,
          LtcReadingRanges::MiddleStartAndEnd}) {
        EXPECT_FALSE(readLtc(folder / "tail.wav", windows(ranges))->hasAudioTimecode())
            << description(ranges);
    }
    const auto found =
        readLtc(folder / "tail.wav", windows(LtcReadingRanges::EverywhereThenWholeFile));
    ASSERT_EQ(found->audioTimecodeCount(), 1);
    EXPECT_NEAR(found->audioTimecode()->time().seconds(), 8 * 3600.0 - (480000 - 57600) / 48000.0,
                kStartTolerance);
}

// The whole file: LTC that starts late on one channel, low-passed LTC that only the sharpened
// reading finds on another; a channel read alone stops once its timecode is measured.
TEST(LtcReader, WholeFiles) {
    ScratchFolder folder;
    constexpr size_t kLength = 40 * 48000;
    mediagen::LtcOptions late;
    late.rate = Rate::fps2997(true);
    late.start = {21, 0, 0, 0};
    late.durationSeconds = 20.0;
    const auto clean = mediagen::generateLtc(late);
    late.rate = Rate::fps25();
    late.impairments.lowPassHz = 1000.0;
    const auto filtered = mediagen::generateLtc(late);
    const size_t cleanAt = 19 * 48000 + 777, filteredAt = 30 * 48000 + 5;
    std::vector<mediagen::Samples> channels = {mediagen::chords(kLength, 48000, -20.0),
                                               mediagen::silence(kLength),
                                               mediagen::silence(kLength)};
    mediagen::mixInto(channels[1], clean->samples, cleanAt);
    mediagen::mixInto(channels[2], filtered->samples, filteredAt);
    test::writeChannels(folder / "day.wav", channels);
    auto request = windows(LtcReadingRanges::WholeFile);
    const auto file = readLtc(folder / "day.wav", request);
    ASSERT_EQ(file->audioTimecodeCount(), 2);
    EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), 0b110u);
    const auto timecodes = file->tracksWithType(MediaTrackTypeTimecode);
    EXPECT_NEAR(timecodes[0]->timecode()->time().seconds(),
                clean->secondsAtSampleZero() - cleanAt / 48000.0, kStartTolerance);
    EXPECT_NEAR(timecodes[1]->timecode()->time().seconds(),
                filtered->secondsAtSampleZero() - filteredAt / 48000.0, 0.0005);

    request.channel = 1;
    const auto alone = test::AssetMediaFile::open(folder / "day.wav");
    const auto reader = LtcReader::initWithMediaFile(alone);
    reader->setRequest(request);
    EXPECT_TRUE(reader->findAudioTimecode());
    EXPECT_LT(reader->samplesDecoded(), int64_t(24 * 48000));
}

// Speech by an independent synthesizer gives no timecode under any edge setting.
TEST(LtcReader, SpeechGivesNoTimecode) {
    VORLANE_REQUIRE_TOOL("espeak-ng");
    ScratchFolder folder;
    const auto path = folder / "speech.wav";
    test::runTool({"espeak-ng", "-w", path.string(),
                   "Scene twelve, take three. Camera A rolling, sound speed. Mark it. "
                   "Ten hours, zero minutes, one second."});
    AudioTimecodeRequest request = windows(LtcReadingRanges::WholeFile);
    for (int32_t algorithm = 0; algorithm <= 4; ++algorithm) {
        request.readingAlgorithm = LtcReadingAlgorithm(algorithm);
        const auto file = readLtc(path, request);
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->hasAudioTimecode()) << algorithm;
        EXPECT_EQ(file->firstAudioTrack()->audioChannelMask(), 0u);
    }
}

TEST(LtcReader, RequestsEndCleanly) {
    ScratchFolder folder;
    LtcFile plan;
    plan.ltc.durationSeconds = 2.0;
    test::writeLtcFile(folder / "ltc.wav", plan);
    const auto file = test::AssetMediaFile::open(folder / "ltc.wav");
    ASSERT_TRUE(file);
    auto reader = LtcReader::initWithMediaFile(file);
    AudioTimecodeRequest request = windows(LtcReadingRanges::FirstSecond);
    request.track = 1;  // the file has one audio track
    reader->setRequest(request);
    EXPECT_FALSE(reader->findAudioTimecode());
    request.track = 0;
    request.readingAlgorithm = LtcReadingAlgorithm(7);  // finds no edges
    reader->setRequest(request);
    EXPECT_FALSE(reader->findAudioTimecode());
    request.readingRanges = LtcReadingRanges(5);
    reader->setRequest(request);
    EXPECT_FALSE(reader->findAudioTimecode());
    request = windows(LtcReadingRanges::FirstSecond);
    reader->setRequest(request);
    EXPECT_TRUE(reader->findAudioTimecode());
    // A track claiming more than the file holds: the middle window lies past the audio.
    file->firstAudioTrack()->setTimeRange({kCMTimeZero, CMTimeMake(100, 1)});
    reader->setRequest(windows(LtcReadingRanges::MiddleSecond));
    EXPECT_FALSE(reader->findAudioTimecode());
    EXPECT_EQ(file->audioTimecodeCount(), 0);
    // Media that went away after opening.
    std::filesystem::remove(folder / "ltc.wav");
    reader->setRequest(request);
    EXPECT_FALSE(reader->findAudioTimecode());

    // No audio: no reader.
    auto silentFile = std::make_shared<MediaFile>(folder / "video.mov");
    silentFile->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    EXPECT_FALSE(LtcReader::initWithMediaFile(silentFile));
    EXPECT_FALSE(LtcReader::initWithMediaFile(nullptr));

    // Zero-length and two-sample files under every window setting.
    test::writeChannels(folder / "empty.wav", {mediagen::Samples{}});
    test::writeChannels(folder / "two.wav", {mediagen::Samples{0.5f, -0.5f}});
    for (const char* name : {"empty.wav", "two.wav"}) {
        for (int32_t setting = 0; setting <= 4; ++setting) {
            const auto tiny = readLtc(folder / name, windows(LtcReadingRanges(setting)));
            ASSERT_TRUE(tiny) << name;
            EXPECT_FALSE(tiny->hasAudioTimecode());
            EXPECT_EQ(tiny->readableAudioTimecodeInfo(), "no Audio-Timecode found");
        }
    }
}

// Through the media file: the default request reads the middle second (GoPro files: the middle,
// start and end windows with slope edges); the user bits become the reel; a second reading
// replaces the first; an AV shift set before stays and moves the new audio timecode.
TEST(LtcReader, MediaFilesReadTheirOwnRequest) {
    ScratchFolder folder;
    mediagen::LtcOptions options;
    options.start = {14, 0, 0, 0};
    options.userBits = 0x0000BEEF;
    options.durationSeconds = 2.0;
    const auto signal = mediagen::generateLtc(options);
    mediagen::Samples samples = mediagen::silence(10 * 48000);
    mediagen::mixInto(samples, signal->samples, 0);
    test::writeChannels(folder / "start.wav", {samples});
    const auto file = test::AssetMediaFile::open(folder / "start.wav");
    ASSERT_TRUE(file);
    const auto picture = file->addTrackWithMediaType(MediaTrackTypeVideo, 99);  // for the shift
    picture->setVideoFrameRate(25.0);
    picture->setTimeRange({kCMTimeZero, CMTimeMake(10, 1)});
    file->readAudioTimecode();
    EXPECT_FALSE(file->hasAudioTimecode());
    EXPECT_TRUE(file->audioTimecodeHasBeenRead());
    file->setMetaDataValue(kMaker, "GoPro");
    file->setAvShift(CMTimeMake(1, 25));
    file->readAudioTimecode();
    file->readAudioTimecode();
    ASSERT_EQ(file->audioTimecodeCount(), 1);
    EXPECT_EQ(file->reel(), "0000BEEF");
    EXPECT_EQ(file->readableAudioTimecodeInfo(), "13:59:59:24 (25.00fps) on channel 1 ");
    EXPECT_EQ(file->shiftTime(), CMTimeMake(1, 25));
    EXPECT_NEAR(file->audioTimecode()->time().seconds(), 14 * 3600.0 - 0.04, kStartTolerance);
}

}  // namespace
}  // namespace vorlane
