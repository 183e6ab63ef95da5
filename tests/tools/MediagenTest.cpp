// The media generator checked against readers nobody here wrote: libltc's decoder, ffprobe,
// mediainfo and exiftool. Other tests trust what the generator says it made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "mediagen/BroadcastWave.h"
#include "mediagen/DemoShoot.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Readback.h"
#include "mediagen/Signals.h"
#include "mediagen/Timecode.h"
#include "support/TestSupport.h"

namespace vorlane::mediagen {
namespace {

using test::runTool;
using test::ScratchFolder;
using ::testing::HasSubstr;

// One value that ffprobe reports, e.g. entries "stream_tags=timecode" of stream "v:0".
std::string probe(const std::filesystem::path& path, const std::string& entries,
                  const std::string& stream = "") {
    std::vector<std::string> arguments = {"ffprobe", "-v", "error"};
    if (!stream.empty()) arguments.insert(arguments.end(), {"-select_streams", stream});
    arguments.insert(arguments.end(),
                     {"-show_entries", entries, "-of", "default=nw=1:nk=1", path.string()});
    std::string value = runTool(arguments);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
}

void expectDecodedLtcMatches(const LtcSignal& signal, const std::vector<DecodedLtcFrame>& decoded,
                             int64_t tolerance) {
    // A frame cut by the signal's start or end cannot be read, nor can libltc always finish the
    // last whole one.
    ASSERT_GE(decoded.size() + 3, signal.frames.size());
    size_t match = 0;
    while (match < signal.frames.size() && signal.frames[match].timecode != decoded[0].timecode)
        ++match;
    ASSERT_LT(match, signal.frames.size()) << decoded[0].timecode.text();
    for (size_t i = 0; i < decoded.size() && match + i < signal.frames.size(); ++i) {
        const LtcFrame& made = signal.frames[match + i];
        SCOPED_TRACE(made.timecode.text(signal.rate.dropFrame));
        EXPECT_EQ(decoded[i].timecode, made.timecode);
        EXPECT_EQ(decoded[i].dropFrame, made.dropFrame);
        EXPECT_EQ(decoded[i].userBits, made.userBits);
        EXPECT_NEAR(double(decoded[i].startSample), double(made.firstSample), double(tolerance));
    }
}

TEST(MediagenTimecode, SamplesSinceMidnightAgreeWithARealRecorder) {
    // A recorder's 23.976 files counting 2002 samples per frame. Its TimeReference is the sample
    // clock of the first sample, which lies a few samples inside the labelled frame.
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("ffprobe");
    const std::pair<const char*, Timecode> takes[] = {{"A101_1.WAV", {12, 39, 59, 0}},
                                                      {"A101_2.WAV", {12, 40, 4, 0}}};
    for (const auto& [name, start] : takes) {
        const auto file = testdata / "bwf" / "sounddevices" / name;
        const int64_t reference = std::stoll(probe(file, "format_tags=time_reference"));
        const int64_t frameStart = samplesSinceMidnight(start, Rate::fps23976(), 48000);
        EXPECT_GE(reference, frameStart) << name;
        EXPECT_LT(reference, frameStart + 2002) << name;
    }
}

TEST(MediagenLtc, LibltcDecodesEveryRateWithFramePositionsAndUserBits) {
    for (const Rate& rate : {Rate::fps23976(), Rate::fps24(), Rate::fps25(), Rate::fps2997(true),
                             Rate::fps2997(false), Rate::fps30()}) {
        SCOPED_TRACE(rate.speedText());
        LtcOptions options;
        options.rate = rate;
        options.start = {0, 0, 59, 20};  // crosses a minute, where drop frame skips labels
        options.userBits = 0x12345678;
        options.durationSeconds = 2.0;
        options.firstFrameSample = -700;  // the recording starts inside the first frame
        const auto signal = generateLtc(options);
        ASSERT_TRUE(signal);
        expectDecodedLtcMatches(*signal, decodeLtcWithLibltc(signal->samples, 48000, rate.fps()),
                                2);
    }
}

TEST(MediagenLtc, ImpairedSignalsStillDecodeAndReversedOnesRunBackwards) {
    LtcOptions options;
    options.start = {1, 0, 0, 0};
    options.durationSeconds = 1.0;
    options.impairments.signalToNoiseDb = 20.0;
    options.impairments.dcOffset = 0.05;
    options.impairments.lowPassHz = 8000.0;
    const auto impaired = generateLtc(options);
    ASSERT_TRUE(impaired);
    expectDecodedLtcMatches(*impaired, decodeLtcWithLibltc(impaired->samples, 48000, 25.0), 4);

    options.impairments = {};
    options.impairments.reversed = true;
    const auto reversed = generateLtc(options);
    ASSERT_TRUE(reversed);
    EXPECT_EQ(reversed->frames.front().timecode, (Timecode{1, 0, 0, 24}));
    EXPECT_EQ(reversed->frames.front().firstSample, 0);
    const auto decoded = decodeLtcWithLibltc(reversed->samples, 48000, 25.0);
    ASSERT_GE(decoded.size(), 20u);
    for (const DecodedLtcFrame& frame : decoded)
        EXPECT_TRUE(frame.reversed);
    EXPECT_LT(decoded.back().timecode, decoded.front().timecode);
}

TEST(MediagenBroadcastWave, ToolsReadTimeReferenceDescriptionAndIxml) {
    VORLANE_REQUIRE_TOOL("ffprobe");
    VORLANE_REQUIRE_TOOL("exiftool");
    ScratchFolder folder;
    RecorderTake take;
    take.path = folder / "T07.WAV";
    take.start = {10, 0, 0, 0};
    take.rate = Rate::fps2997(true);
    take.channels = {sine(440.0, -20.0, 4800, 48000), silence(4800), silence(4800)};
    take.channelNames = {"Boom", "Lav 1", "Lav 2"};
    take.scene = "12A";
    take.take = "7";
    take.tape = "T01";
    take.userBits = 0xCAFE0042;
    take.fileSet = IxmlFileSet{2, "FAMILY-1", "T07", "A"};
    const auto facts = writeRecorderTake(take);
    ASSERT_TRUE(facts);
    // 10:00:00;00 drop frame is frame 1,078,920, each 1601.6 samples long.
    EXPECT_EQ(probe(take.path, "format_tags=time_reference"), "1727998272");
    EXPECT_THAT(probe(take.path, "format_tags=comment"), HasSubstr("sSPEED=029.970-DF"));
    EXPECT_EQ(probe(take.path, "stream=channels,bits_per_sample,sample_rate", "a:0"),
              "48000\n3\n24");
    const std::string exif = runTool({"exiftool", "-a", "-s", "-XML:all", take.path.string()});
    EXPECT_THAT(exif, HasSubstr("BwfxmlSpeedTimecodeRate         : 29.97002997003"));
    EXPECT_THAT(exif, HasSubstr("BwfxmlSpeedTimecodeFlag         : DF"));
    EXPECT_THAT(exif, HasSubstr("BwfxmlUbits                     : CAFE0042"));
    EXPECT_THAT(exif, HasSubstr("BwfxmlFileSetTotalFiles         : 2"));
    EXPECT_THAT(exif, HasSubstr("BwfxmlTrackListTrackName        : Lav 2"));
}

TEST(MediagenBroadcastWave, Rf64AndAiffAreReadable) {
    VORLANE_REQUIRE_TOOL("ffprobe");
    ScratchFolder folder;
    RecorderTake take;
    take.path = folder / "BIG.WAV";
    take.container = AudioContainer::Rf64;
    take.format = SampleFormat::Pcm32;
    take.start = {1, 0, 0, 0};
    take.channels = {silence(480)};
    ASSERT_TRUE(writeRecorderTake(take));
    EXPECT_EQ(test::readFile(take.path).substr(0, 4), "RF64");
    EXPECT_EQ(probe(take.path, "format_tags=time_reference"), "172800000");

    AudioFileOptions aiff;
    aiff.path = folder / "tone.aif";
    aiff.container = AudioContainer::Aiff;
    aiff.format = SampleFormat::Pcm16;
    aiff.channels = {sine(1000.0, -6.0, 4800, 48000), silence(4800)};
    ASSERT_TRUE(writeAudioFile(aiff));
    EXPECT_EQ(probe(aiff.path, "stream=codec_name,channels", "a:0"), "pcm_s16be\n2");
}

TEST(MediagenMovie, QuickTimeTimecodeTrackAndLtcSoundSurviveFfmpeg) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    ScratchFolder folder;
    const Rate rate = Rate::fps2997(true);
    LtcOptions ltcOptions;
    ltcOptions.rate = rate;
    ltcOptions.start = {10, 0, 0, 0};
    ltcOptions.durationSeconds = 2.0;
    ltcOptions.firstFrameSample = -800;
    const auto ltc = generateLtc(ltcOptions);
    ASSERT_TRUE(ltc);
    AudioFileOptions sound;
    sound.path = folder / "sound.wav";
    sound.format = SampleFormat::Pcm24;
    sound.channels = {chords(96000, 48000, -12.0), ltc->samples};
    ASSERT_TRUE(writeAudioFile(sound));

    MovieOptions movie;
    movie.path = folder / "clip.mov";
    movie.rate = rate;
    movie.width = 320;
    movie.height = 180;
    movie.frameCount = 59;
    movie.timecode = Timecode{10, 0, 0, 0};
    movie.burnIn = movie.timecode;
    movie.caption = "take: 1 'quoted'";
    movie.flashFrames = {3, 30};
    movie.audioTracks = {sound.path};
    movie.metadata = {{"com.apple.quicktime.make", "Vorlane"},
                      {"com.apple.quicktime.model", "Test Camera"}};
    movie.useMetadataTags = true;
    std::string error;
    ASSERT_TRUE(writeMovie(movie, &error)) << error;

    EXPECT_EQ(probe(movie.path, "stream_tags=timecode", "v:0"), "10:00:00;00");
    EXPECT_EQ(probe(movie.path, "stream=r_frame_rate,nb_frames", "v:0"), "30000/1001\n59");
    EXPECT_EQ(probe(movie.path, "stream=codec_tag_string", "d:0"), "tmcd");
    const std::string keys = runTool({"exiftool", "-s", "-Keys:all", movie.path.string()});
    EXPECT_THAT(keys, HasSubstr("Model                           : Test Camera"));

    const auto channels = decodeAudioWithFfmpeg(movie.path);
    ASSERT_TRUE(channels);
    ASSERT_EQ(channels->size(), 2u);
    EXPECT_NEAR(double((*channels)[1].size()), 59 * 1601.6, 1.0);
    expectDecodedLtcMatches(*ltc, decodeLtcWithLibltc((*channels)[1], 48000, rate.fps()), 2);
}

TEST(MediagenMovie, Mpeg4AacKeepsLtcAndTransportStreamsAreWritten) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    LtcOptions ltcOptions;
    ltcOptions.start = {23, 59, 59, 0};  // runs over midnight
    ltcOptions.durationSeconds = 2.0;
    const auto ltc = generateLtc(ltcOptions);
    ASSERT_TRUE(ltc);
    AudioFileOptions sound;
    sound.path = folder / "sound.wav";
    sound.format = SampleFormat::Float32;
    sound.channels = {silence(96000), ltc->samples};
    ASSERT_TRUE(writeAudioFile(sound));

    MovieOptions movie;
    movie.path = folder / "clip.mp4";
    movie.container = MovieContainer::Mpeg4;
    movie.width = 320;
    movie.height = 180;
    movie.frameCount = 50;
    movie.audioTracks = {sound.path};
    movie.audioCodec = MovieAudioCodec::Aac;
    std::string error;
    ASSERT_TRUE(writeMovie(movie, &error)) << error;
    EXPECT_EQ(probe(movie.path, "stream=codec_name", "a:0"), "aac");
    EXPECT_EQ(probe(movie.path, "stream=index", "d"), "");
    const auto channels = decodeAudioWithFfmpeg(movie.path);
    ASSERT_TRUE(channels);
    const auto decoded = decodeLtcWithLibltc((*channels)[1], 48000, 25.0);
    expectDecodedLtcMatches(*ltc, decoded, 4);
    EXPECT_TRUE(std::any_of(decoded.begin(), decoded.end(), [](const DecodedLtcFrame& frame) {
        return frame.timecode == Timecode{0, 0, 0, 0};
    }));

    movie.path = folder / "clip.m2ts";
    movie.container = MovieContainer::MpegTs;
    ASSERT_TRUE(writeMovie(movie, &error)) << error;
    EXPECT_EQ(probe(movie.path, "format=format_name"), "mpegts");
}

TEST(MediagenMp3, Id3FramesCarryTheTimecodeText) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    ScratchFolder folder;
    AudioFileOptions source;
    source.path = folder / "source.wav";
    source.format = SampleFormat::Pcm16;
    source.channels = {sine(440.0, -12.0, 48000, 48000)};
    ASSERT_TRUE(writeAudioFile(source));
    Mp3Options mp3;
    mp3.path = folder / "memo.mp3";
    mp3.source = source.path;
    mp3.tags = {{"album", "TC=01:00:00:00 FR=25"}, {"TIMECODE", "01:00:00:00"}};
    mp3.withId3v1 = true;
    std::string error;
    ASSERT_TRUE(writeMp3(mp3, &error)) << error;
    const std::string id3 = runTool({"exiftool", "-s", "-ID3:all", mp3.path.string()});
    EXPECT_THAT(id3, HasSubstr("Album                           : TC=01:00:00:00 FR=25"));
    EXPECT_THAT(id3, HasSubstr("UserDefinedText                 : (TIMECODE) 01:00:00:00"));
    const std::string bytes = test::readFile(mp3.path);
    EXPECT_EQ(bytes.substr(0, 3), "ID3");
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
}

// How many decoded LTC frames put sample 0 in frame `expected`, counting from where each was read.
size_t framesPlacingSampleZeroAt(const std::vector<DecodedLtcFrame>& decoded,
                                 const Timecode& expected, const Rate& rate, int sampleRate) {
    const double samplesPerFrame = double(sampleRate) * rate.denominator / rate.numerator;
    return size_t(std::count_if(decoded.begin(), decoded.end(), [&](const DecodedLtcFrame& frame) {
        const int64_t frameAtZero = frameNumber(frame.timecode, rate).value_or(-1) -
                                    std::llround(double(frame.startSample) / samplesPerFrame);
        return frameAtZero == frameNumber(expected, rate);
    }));
}

TEST(MediagenDemoShoot, MakesTheDayOnceWithTheTimecodesItsReadmeStates) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    ScratchFolder folder;
    const auto shootFolder = folder / "shoot";
    std::string error;
    const auto shoot = makeDemoShoot(shootFolder, &error);
    ASSERT_TRUE(shoot) << error;
    EXPECT_TRUE(shoot->made);
    uintmax_t bytes = 0;
    for (const DemoFile& file : shoot->files) {
        ASSERT_TRUE(std::filesystem::exists(shootFolder / file.name)) << file.name;
        bytes += std::filesystem::file_size(shootFolder / file.name);
    }
    EXPECT_LT(bytes, 25u << 20);
    EXPECT_FALSE(std::filesystem::exists(shootFolder / ".work"));

    const std::string readme = test::readFile(shootFolder / "README.txt");
    EXPECT_THAT(readme, HasSubstr("A001_C002.mov   Camera A  10:01:05:12  10:01:15:12"));
    EXPECT_THAT(readme, HasSubstr("+ SC12_T01.WAV    starts 2 s before the picture; picture "
                                  "frame 0 = sample 96000; overlap 10 s"));
    EXPECT_THAT(readme, HasSubstr("+ HANDY_0001.mp3  starts 13 fr after the picture"));

    // Camera A: the timecode track. Camera B and the AIFF: LTC that libltc reads back.
    EXPECT_EQ(probe(shootFolder / "A001_C002.mov", "stream_tags=timecode", "v:0"), "10:01:05:12");
    const Rate rate = Rate::fps25();
    for (const auto& [name, start] : {std::pair{"B_0001.mp4", Timecode{10, 0, 3, 10}},
                                      std::pair{"LAV_0001.aif", Timecode{10, 2, 29, 0}}}) {
        const auto channels = decodeAudioWithFfmpeg(shootFolder / name);
        ASSERT_TRUE(channels && channels->size() == 2) << name;
        // ffmpeg decodes AAC with the encoder's padding after the end, up to one packet.
        EXPECT_GE(channels->front().size(), 480000u) << name;
        EXPECT_LT(channels->front().size(), 480000u + 1024u) << name;
        const auto decoded = decodeLtcWithLibltc((*channels)[1], 48000, 25.0);
        ASSERT_GE(decoded.size(), 240u) << name;
        // AAC at 128 kb/s damages LTC now and then: libltc misreads the odd frame of camera B
        // (the first, whose sound starts with a ramp, and one or two more), never many.
        EXPECT_GE(framesPlacingSampleZeroAt(decoded, start, rate, 48000) + 3, decoded.size())
            << name;
        EXPECT_EQ(decoded.back().userBits, 0x17052400u);
    }

    // The recorder: TimeReference, the split set's iXML, and the clap's leading edge exactly
    // where the README puts it (sample 240000 of SC12_T01.WAV).
    EXPECT_EQ(probe(shootFolder / "SC14_T01_3.WAV", "format_tags=time_reference"), "1735104000");
    const std::string ixml =
        runTool({"exiftool", "-s", "-XML:all", (shootFolder / "SC14_T01_3.WAV").string()});
    EXPECT_THAT(ixml, HasSubstr("BwfxmlFileSetTotalFiles         : 3"));
    EXPECT_THAT(ixml, HasSubstr("BwfxmlFileSetFamilyUid          : VORLANE-DEMO-SC14_T01"));
    EXPECT_THAT(ixml, HasSubstr("BwfxmlTrackListTrackChannelIndex: 3"));
    const auto recorder = decodeAudioWithFfmpeg(shootFolder / "SC12_T01.WAV");
    ASSERT_TRUE(recorder && recorder->size() == 2);
    const Samples& boom = recorder->front();
    size_t steepest = 1;
    for (size_t i = 1; i < boom.size(); ++i)
        if (boom[i] - boom[i - 1] > boom[steepest] - boom[steepest - 1]) steepest = i;
    EXPECT_EQ(steepest, 240000u);

    // A complete shoot is left alone; a missing marker makes it again.
    const auto modified = std::filesystem::last_write_time(shootFolder / "B_0001.mp4");
    const auto again = makeDemoShoot(shootFolder, &error);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->made);
    EXPECT_EQ(std::filesystem::last_write_time(shootFolder / "B_0001.mp4"), modified);
}

}  // namespace
}  // namespace vorlane::mediagen
