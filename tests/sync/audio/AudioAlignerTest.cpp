// The sound alignment on speech from the corpus (SpeechCorpus.h) cut and resampled by sox, and
// on sound it must refuse to confirm.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "sync/audio/AudioAligner.h"
#include "sync/audio/SpeechCorpus.h"

namespace vorlane {
namespace {

using test::SpeechCorpus;

#define VORLANE_REQUIRE_CORPUS(name)             \
    SpeechCorpus* name = SpeechCorpus::shared(); \
    if (!name) GTEST_SKIP() << "espeak-ng or sox is not installed (scripts/deps installs them)"

std::vector<float> slice(const std::vector<float>& samples, double fromSeconds, double seconds,
                         int32_t rate) {
    const auto first = samples.begin() + ptrdiff_t(std::llround(fromSeconds * rate));
    return {first, first + ptrdiff_t(std::llround(seconds * rate))};
}

std::vector<float> whiteNoise(double seconds, int32_t rate, float level, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-level, level);
    std::vector<float> noise(size_t(seconds * rate));
    for (float& sample : noise)
        sample = uniform(random);
    return noise;
}

// A cut of the recorder, converted by sox to another rate, lies where it was cut to within a
// hundredth of a millisecond; an exact copy to a twentieth of a sample.
TEST(AudioAligner, FindsSoxResampledCutsToTheSample) {
    VORLANE_REQUIRE_CORPUS(corpus);
    const auto pair = corpus->pair(40, 20.0);
    ASSERT_EQ(pair.recorderRate, 48000);
    const AudioExcerpt recorder{pair.recorder, 48000};
    const double cut = 123457.0 / 48000.0;
    const std::vector<float> copy = slice(pair.recorder, cut, 10.0, 48000);
    const AudioAlignment exact =
        alignAudio({copy, 48000}, recorder, LagRange::around(cut + 0.3, 0.5));
    ASSERT_TRUE(exact.confirmed());
    EXPECT_NEAR(exact.lagRecorderSamples, 123457.0, 0.05);
    EXPECT_EQ(exact.lagTime(), CMTimeMake(123457, 48000));
    EXPECT_GT(exact.correlation, 0.99);
    for (const int32_t rate : {44100, 32000, 96000}) {
        const std::vector<float> converted = corpus->resampledBySox(copy, 48000, rate);
        const AudioAlignment found = alignAudio({converted, rate}, recorder, LagRange::anywhere());
        ASSERT_TRUE(found.confirmed()) << rate;
        EXPECT_NEAR(found.lagSeconds, cut, 1e-5) << rate;
    }
}

// A camera that rolled 3 s before the recorder: its first sample lies before the recording,
// at a negative lag, found from the overlap alone. Played with inverted polarity, the same.
TEST(AudioAligner, FindsACameraThatRolledBeforeTheRecorder) {
    VORLANE_REQUIRE_CORPUS(corpus);
    const auto pair = corpus->pair(41, 10.0);
    const int32_t rate = pair.recorderRate;
    const std::vector<float> recording = slice(pair.recorder, 10.0, 30.0, rate);
    std::vector<float> camera = slice(pair.recorder, 7.0, 12.0, rate);
    const AudioAlignment early =
        alignAudio({camera, rate}, {recording, rate}, LagRange::around(-3.1, 1.0));
    ASSERT_TRUE(early.confirmed());
    EXPECT_NEAR(early.lagSeconds, -3.0, 1e-5);
    EXPECT_FALSE(early.polarityInverted());
    for (float& sample : camera)
        sample = -sample;
    const AudioAlignment inverted =
        alignAudio({camera, rate}, {recording, rate}, LagRange::anywhere());
    ASSERT_TRUE(inverted.confirmed());
    EXPECT_NEAR(inverted.lagSeconds, -3.0, 1e-5);
    EXPECT_TRUE(inverted.polarityInverted());
}

// Sound that cannot confirm says why, and never confirms.
TEST(AudioAligner, CannotConfirmWithoutUsableSound) {
    VORLANE_REQUIRE_CORPUS(corpus);
    const auto pair = corpus->pair(42, 10.0);
    const AudioExcerpt recorder{pair.recorder, pair.recorderRate};
    const AudioExcerpt camera{pair.camera, pair.cameraRate};
    const LagRange range = LagRange::around(pair.timecodeSeconds, 1.0);
    const auto problem = [&](const AudioExcerpt& cameraSide, const AudioExcerpt& recorderSide,
                             LagRange lags) {
        const AudioAlignment found = alignAudio(cameraSide, recorderSide, lags);
        EXPECT_FALSE(found.confirmed());
        EXPECT_LT(found.confidence, kAudioSyncConfidenceThreshold);
        return found.problem;
    };
    EXPECT_EQ(problem({{}, 48000}, recorder, range), AudioSyncProblem::NoCameraSound);
    EXPECT_EQ(problem(camera, {{}, 48000}, range), AudioSyncProblem::NoRecorderSound);
    const std::vector<float> silence(5 * 48000, 0.0f);
    EXPECT_EQ(problem({silence, 48000}, recorder, range), AudioSyncProblem::SilentCameraSound);
    const std::vector<float> hiss = whiteNoise(5.0, 48000, 1e-4f, 1);  // −84 dBFS
    EXPECT_EQ(problem({hiss, 48000}, recorder, range), AudioSyncProblem::SilentCameraSound);
    EXPECT_EQ(problem(camera, {silence, 48000}, LagRange::anywhere()),
              AudioSyncProblem::SilentRecorderSound);
    const std::vector<float> blip = slice(pair.camera, 0.0, 0.9, pair.cameraRate);
    EXPECT_EQ(problem({blip, pair.cameraRate}, recorder, range), AudioSyncProblem::TooShort);
    EXPECT_EQ(problem(camera, recorder, LagRange::around(recorder.seconds() + 60.0, 1.0)),
              AudioSyncProblem::TooLittleOverlap);
    EXPECT_EQ(problem({pair.camera, 0}, recorder, range), AudioSyncProblem::UnsupportedSampleRate);
    EXPECT_EQ(problem(camera, {pair.recorder, 2000000}, range),
              AudioSyncProblem::UnsupportedSampleRate);
    // Room noise the recorder never heard, and a steady tone that matches every period.
    const std::vector<float> noise = whiteNoise(10.0, 48000, 0.1f, 2);
    const AudioSyncProblem unrelated = problem({noise, 48000}, recorder, LagRange::anywhere());
    EXPECT_TRUE(unrelated == AudioSyncProblem::FlatCorrelation ||
                unrelated == AudioSyncProblem::AmbiguousMatch);
    std::vector<float> tone(20 * 48000);
    for (size_t n = 0; n < tone.size(); ++n)
        tone[n] = 0.3f * float(std::sin(2.0 * std::numbers::pi * 440.0 * double(n) / 48000.0));
    const AudioSyncProblem periodic =
        problem({slice(tone, 3.0, 5.0, 48000), 48000}, {tone, 48000}, LagRange::around(3.0, 1.0));
    EXPECT_TRUE(periodic == AudioSyncProblem::FlatCorrelation ||
                periodic == AudioSyncProblem::AmbiguousMatch);
}

// Damaged samples (not-a-number, infinities) count as silence: the rest still aligns.
TEST(AudioAligner, DamagedSamplesCountAsSilence) {
    VORLANE_REQUIRE_CORPUS(corpus);
    const auto pair = corpus->pair(43, 10.0);
    std::vector<float> camera = pair.camera;
    for (size_t n = 1000; n < 3000; ++n)
        camera[n] = n % 2 ? std::numeric_limits<float>::quiet_NaN()
                          : std::numeric_limits<float>::infinity();
    const AudioAlignment found = alignAudio(
        {camera, pair.cameraRate}, {pair.recorder, pair.recorderRate}, LagRange::anywhere());
    ASSERT_TRUE(found.confirmed());
    EXPECT_NEAR(found.lagSeconds, pair.truthSeconds, 0.001);
}

// A clip without timecode placed among a day's recordings, through envelopes built piece by
// piece while the recordings are read and a reader of short stretches.
TEST(AudioAligner, PlacesAClipAmongTheDaysRecordings) {
    VORLANE_REQUIRE_CORPUS(corpus);
    // Three scenes without a passage in common.
    std::vector<test::SoundPair> takes;
    for (const int first : {0, 4, 8})
        takes.push_back(corpus->pair(uint32_t(50 + first), 5.0,
                                     {true, 0.0, {first, first + 1, first + 2, first + 3}}));
    std::vector<AudioEnvelope> envelopes;
    for (const auto& take : takes) {
        AudioEnvelopeBuilder builder(take.recorderRate);
        for (size_t first = 0; first < take.recorder.size(); first += 12345)
            builder.append(
                std::span<const float>(take.recorder)
                    .subspan(first, std::min<size_t>(12345, take.recorder.size() - first)));
        envelopes.push_back(builder.finish());
    }
    size_t reads = 0;
    const RecordingReader read = [&](size_t recording, int64_t firstSample, size_t count) {
        ++reads;
        const auto& samples = takes.at(recording).recorder;
        std::vector<float> stretch(count, 0.0f);
        for (size_t k = 0; k < count; ++k) {
            const int64_t at = firstSample + int64_t(k);
            if (at >= 0 && at < int64_t(samples.size())) stretch[k] = samples[size_t(at)];
        }
        return stretch;
    };
    const AudioPlacement placed =
        placeAudio({takes[1].camera, takes[1].cameraRate}, envelopes, read);
    ASSERT_TRUE(placed.alignment.confirmed()) << audioSyncProblemText(placed.alignment.problem);
    EXPECT_EQ(placed.recording, 1u);
    EXPECT_NEAR(placed.alignment.lagSeconds, takes[1].truthSeconds, 0.001);
    EXPECT_GT(reads, 0u);
}

}  // namespace
}  // namespace vorlane
