// Speed of the sound alignment, on a generated day of recorder sound (48 kHz): syllable-like
// bursts of noise with pauses, different everywhere, made on demand at any position, so eight
// hours need no memory. The camera's minute is cut from it, 15 dB down, low-passed at 4 kHz,
// with its own noise at 0 dB and converted to 44.1 kHz.
//   - Placing one minute of camera sound without timecode among eight hours, as one recording
//     and as 96 five-minute files. The recordings' envelopes are built beforehand (once per
//     day, while the files are read); the reader delivers the stretches compared.
//   - Building those envelopes, per hour of sound.
//   - The sync check of one clip: 10 s and 30 s of camera sound against the recorder within
//     half a second of the timecode offset (a 500-clip day costs 500 times that).
//
//   build/release/bench/bench_audio_sync
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sync/audio/AudioAligner.h"
#include "sync/audio/BiquadFilter.h"
#include "sync/audio/SincResampler.h"

namespace vorlane {
namespace {

constexpr int32_t kRecorderRate = 48000;
constexpr int32_t kCameraRate = 44100;
constexpr int64_t kDaySamples = int64_t(8) * 3600 * kRecorderRate;

uint64_t mixed(uint64_t value) {
    value += 0x9e3779b97f4a7c15ull;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ull;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebull;
    return value ^ (value >> 31);
}

// Uniform in [−1, 1) from a position and a stream number.
float noiseAt(int64_t position, uint64_t stream) {
    return float(double(mixed(uint64_t(position) * 4 + stream) >> 11) * 0x1.0p-52 - 1.0);
}

// The day's sound: 120 ms syllables, a third of them silent, each with its own level.
float daySample(int64_t position) {
    constexpr int64_t kSyllable = kRecorderRate * 120 / 1000;
    const int64_t syllable = position / kSyllable;
    const uint64_t draw = mixed(uint64_t(syllable) * 4 + 3);
    const double level = draw % 3 == 0 ? 0.0 : 0.05 + double(draw >> 40) * 0x1.0p-24 * 0.45;
    const double phase = double(position - syllable * kSyllable) / kSyllable;
    const double shape = std::sin(3.14159265358979 * phase);
    return float(level * shape * shape) * noiseAt(position, 0) + 0.002f * noiseAt(position, 1);
}

std::vector<float> daySamples(int64_t first, size_t count) {
    std::vector<float> samples(count, 0.0f);
    for (size_t k = 0; k < count; ++k) {
        const int64_t position = first + int64_t(k);
        if (position >= 0 && position < kDaySamples) samples[k] = daySample(position);
    }
    return samples;
}

// The camera's sound of `seconds` from recorder sample `first` on.
std::vector<float> cameraSound(int64_t first, double seconds) {
    std::vector<float> near = daySamples(first, size_t(seconds * kRecorderRate) + 1000);
    auto lowPass = BiquadFilter::lowPass(4000.0, kRecorderRate);
    double speech = 0.0, noise = 0.0;
    for (size_t k = 0; k < near.size(); ++k) {
        near[k] = lowPass.filtered(near[k]) * 0.1778f;  // −15 dB
        speech += double(near[k]) * near[k];
        noise += double(noiseAt(int64_t(k), 2)) * noiseAt(int64_t(k), 2);
    }
    const auto gain = float(std::sqrt(speech / noise));  // room noise at 0 dB
    for (size_t k = 0; k < near.size(); ++k)
        near[k] += gain * noiseAt(int64_t(k), 2);
    SincResampler resampler(double(kRecorderRate) / kCameraRate, 0.45);
    return resampler.resample(near, 0.0, size_t(seconds * kCameraRate));
}

// The day as recordings of `files` equal parts, their envelopes built once.
struct Day {
    int64_t samplesPerFile = 0;
    std::vector<AudioEnvelope> envelopes;
};

const Day& dayInFiles(int files) {
    static std::vector<std::pair<int, Day>> days;
    for (const auto& [count, day] : days)
        if (count == files) return day;
    Day day;
    day.samplesPerFile = kDaySamples / files;
    const int64_t chunk = 10 * kRecorderRate;
    for (int file = 0; file < files; ++file) {
        AudioEnvelopeBuilder builder(kRecorderRate);
        const int64_t first = file * day.samplesPerFile;
        for (int64_t at = 0; at < day.samplesPerFile; at += chunk)
            builder.append(
                daySamples(first + at, size_t(std::min(chunk, day.samplesPerFile - at))));
        day.envelopes.push_back(builder.finish());
    }
    days.emplace_back(files, std::move(day));
    return days.back().second;
}

void BM_PlaceOneMinuteInEightHours(benchmark::State& state) {
    const Day& day = dayInFiles(int(state.range(0)));
    const int64_t truth = int64_t(5.5 * 3600 * kRecorderRate) + 12345;
    const std::vector<float> camera = cameraSound(truth, 60.0);
    const RecordingReader read = [&](size_t recording, int64_t first, size_t count) {
        const int64_t start = int64_t(recording) * day.samplesPerFile;
        std::vector<float> samples = daySamples(start + first, count);
        for (size_t k = 0; k < count; ++k)
            if (first + int64_t(k) < 0 || first + int64_t(k) >= day.samplesPerFile) samples[k] = 0;
        return samples;
    };
    AudioPlacement placed;
    for (auto _ : state)
        placed = placeAudio({camera, kCameraRate}, day.envelopes, read);
    const double found =
        double(placed.recording) * double(day.samplesPerFile) + placed.alignment.lagRecorderSamples;
    state.counters["errorMs"] = (found - double(truth)) / kRecorderRate * 1000.0;
    state.counters["confidence"] = placed.alignment.confidence;
}
BENCHMARK(BM_PlaceOneMinuteInEightHours)
    ->Arg(1)
    ->Arg(96)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_BuildEnvelopesPerHour(benchmark::State& state) {
    const std::vector<float> minute = daySamples(0, 60 * kRecorderRate);
    for (auto _ : state) {
        AudioEnvelopeBuilder builder(kRecorderRate);
        for (int m = 0; m < 60; ++m)
            builder.append(minute);
        benchmark::DoNotOptimize(builder.finish());
    }
}
BENCHMARK(BM_BuildEnvelopesPerHour)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CheckOneClip(benchmark::State& state) {
    const double seconds = double(state.range(0));
    const int64_t truth = int64_t(2.25 * 3600 * kRecorderRate) + 777;
    const std::vector<float> camera = cameraSound(truth, seconds);
    // The recorder's file around the clip, as the check reads it.
    const int64_t fileStart = truth - 20 * kRecorderRate;
    const std::vector<float> recorder =
        daySamples(fileStart, size_t((seconds + 40.0) * kRecorderRate));
    const double offset = double(truth - fileStart) / kRecorderRate + 0.2;  // timecode 0.2 s off
    AudioAlignment found;
    for (auto _ : state)
        found = alignAudio({camera, kCameraRate}, {recorder, kRecorderRate},
                           LagRange::around(offset, 0.5));
    state.counters["errorMs"] = (found.lagSeconds - (offset - 0.2)) * 1000.0;
    state.counters["confidence"] = found.confidence;
}
BENCHMARK(BM_CheckOneClip)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
