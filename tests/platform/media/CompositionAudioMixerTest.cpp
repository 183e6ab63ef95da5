#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/media/CompositionAudioMixer.h"
#include "platform/media/GeneratedMedia.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

constexpr int32_t kRate = 48000;

CMTime sample(int64_t frame) {
    return CMTimeMake(frame, kRate);
}

// ffmpeg's decode of a file's sound as 32-bit integers, as floats of full scale 1.
std::vector<float> referenceSound(const std::filesystem::path& file) {
    const std::string raw = test::referenceDecode(file, 32);
    std::vector<float> samples(raw.size() / 4);
    for (size_t index = 0; index < samples.size(); ++index) {
        int32_t value = 0;
        std::memcpy(&value, raw.data() + index * 4, 4);
        samples[index] = float(value) / 2147483648.0f;
    }
    return samples;
}

std::shared_ptr<PlayableComposition> soundOf(std::vector<PlayableSegment> segments) {
    auto composition = std::make_shared<PlayableComposition>();
    EXPECT_TRUE(composition->addMutableTrackWithMediaType(AssetMediaType::Audio, 1)
                    ->setSegments(std::move(segments)));
    return composition;
}

TEST(CompositionAudioMixer, PlacesSourceSamplesAtTheirOffsetsWithSilenceInGaps) {
    VORLANE_REQUIRE_FFMPEG();
    const auto mono = test::generatedMedia("other.mov");
    const auto stereo = test::generatedMedia("gop.mov");
    const auto monoSamples = referenceSound(mono);
    const auto stereoSamples = referenceSound(stereo);
    // 2 s of the mono file from 1 s on, 1 s of silence, 3 s of the stereo file from 5 s and 7
    // samples on.
    const int64_t stereoFirst = 5 * kRate + 7;
    CompositionAudioMixer mixer(soundOf({
        PlayableSegment::compositionTrackSegmentWithURL(mono, 2, {sample(kRate), sample(2 * kRate)},
                                                        {sample(0), sample(2 * kRate)}),
        PlayableSegment::compositionTrackSegmentWithTimeRange({sample(2 * kRate), sample(kRate)}),
        PlayableSegment::compositionTrackSegmentWithURL(stereo, 2,
                                                        {sample(stereoFirst), sample(3 * kRate)},
                                                        {sample(3 * kRate), sample(3 * kRate)}),
    }));
    ASSERT_EQ(mixer.sampleRate(), kRate);
    ASSERT_EQ(mixer.channelCount(), 2);
    EXPECT_EQ(mixer.frameCount(), 6 * kRate);
    const auto expected = [&](int64_t frame, int channel) -> float {
        if (frame < 2 * kRate) return channel == 0 ? monoSamples[size_t(frame + kRate)] : 0.0f;
        if (frame < 3 * kRate || frame >= 6 * kRate) return 0.0f;
        return stereoSamples[size_t((frame - 3 * kRate + stereoFirst) * 2 + channel)];
    };
    const auto check = [&](int64_t first, int64_t count) {
        std::vector<float> block;
        mixer.mix(first, count, block);
        ASSERT_EQ(block.size(), size_t(count) * 2);
        int64_t wrong = 0;
        for (int64_t frame = 0; frame < count; ++frame)
            for (int channel = 0; channel < 2; ++channel)
                wrong += block[size_t(frame * 2 + channel)] != expected(first + frame, channel);
        EXPECT_EQ(wrong, 0) << "block at " << first;
    };
    // Played through in odd blocks, then jumps backwards and into the middle of segments.
    for (int64_t first = 0; first < 6 * kRate; first += 1001)
        check(first, std::min<int64_t>(1001, 6 * kRate - first));
    check(4 * kRate + 333, 5000);
    check(kRate - 17, 2 * kRate);
    check(6 * kRate - 10, 100);  // the end and past it: silence
}

// A 44.1 kHz source in a 48 kHz composition plays converted: sox's own conversion of the file,
// the tone's onset on the sample its time falls on, its frequency, and the same samples whether
// the composition is played through or entered by a jump.
TEST(CompositionAudioMixer, ConvertsASourceAtAnotherRateToTheCompositionRate) {
    VORLANE_REQUIRE_FFMPEG();
    VORLANE_REQUIRE_TOOL("sox");
    const auto first = test::generatedMedia("meter.wav");
    const auto tone = test::generatedMedia("onset44.wav");
    test::ScratchFolder folder;
    const auto converted = folder / "converted.wav";
    test::runTool({"sox", tone.string(), "-r", "48000", converted.string()});
    const auto reference = referenceSound(converted);
    ASSERT_EQ(reference.size(), size_t(2 * kRate));

    // The 48 kHz file for 1 s sets the rate, then 2 s of the 44.1 kHz file.
    CompositionAudioMixer mixer(soundOf({
        PlayableSegment::compositionTrackSegmentWithURL(first, 1, {sample(0), sample(kRate)},
                                                        {sample(0), sample(kRate)}),
        PlayableSegment::compositionTrackSegmentWithURL(
            tone, 1, {CMTimeMake(0, 44100), CMTimeMake(88200, 44100)},
            {sample(kRate), sample(2 * kRate)}),
    }));
    ASSERT_EQ(mixer.sampleRate(), kRate);
    std::vector<float> played;
    for (int64_t at = kRate; at < 3 * kRate; at += 1001) {
        std::vector<float> block;
        mixer.mix(at, std::min<int64_t>(1001, 3 * kRate - at), block);
        for (size_t frame = 0; frame < block.size() / 2; ++frame)
            played.push_back(block[frame * 2]);
    }
    ASSERT_EQ(played.size(), size_t(2 * kRate));

    // A sample early or late would differ from sox's by up to 0.065 (0.5 × 2π × 1000 ÷ 48000).
    // The two filters differ only at the file's very end.
    float largest = 0;
    for (size_t frame = 0; frame + 64 < played.size(); ++frame)
        largest = std::max(largest, std::fabs(played[frame] - reference[frame]));
    EXPECT_LT(largest, 0.001f);
    // The onset 0.5 s into the file is 24000 samples in; the sine reaches a quarter 4 samples on.
    size_t onset = 0;
    while (onset < played.size() && std::fabs(played[onset]) < 0.25f)
        ++onset;
    EXPECT_NEAR(double(onset), 24000.0 + 4.0, 1.0);
    int rising = 0;
    for (size_t frame = kRate; frame < size_t(2 * kRate); ++frame)
        rising += played[frame - 1] < 0 && played[frame] >= 0;
    EXPECT_NEAR(rising, 1000, 1);

    std::vector<float> jumped;
    mixer.mix(kRate + 70001, 2000, jumped);
    for (size_t frame = 0; frame < 2000; ++frame)
        ASSERT_EQ(jumped[frame * 2], played[70001 + frame]) << "frame " << frame;
}

TEST(CompositionAudioMixer, MetersReadAToneOnOneChannelAndSilenceOnTheOther) {
    VORLANE_REQUIRE_FFMPEG();
    const auto file = test::generatedMedia("meter.wav");
    CompositionAudioMixer mixer(soundOf({PlayableSegment::compositionTrackSegmentWithURL(
        file, 1, {sample(0), sample(kRate)}, {sample(0), sample(kRate)})}));
    std::vector<float> block;
    mixer.mix(kRate / 2, 4800, block);
    const AudioLevels levels = measureLevels(block.data(), 4800, mixer.channelCount());
    ASSERT_EQ(levels.peak.size(), 2u);
    EXPECT_NEAR(decibelsOfLevel(levels.peak[0]), -12.0, 0.05);
    EXPECT_NEAR(decibelsOfLevel(levels.rms[0]), -12.0 - 3.01, 0.05);  // a sine's RMS
    EXPECT_EQ(decibelsOfLevel(levels.peak[1]), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(levels.rms[1], 0.0f);
}

}  // namespace
}  // namespace vorlane
