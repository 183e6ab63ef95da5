#include "mediagen/Signals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace vorlane::mediagen {

double gainOfDbfs(double dbfs) {
    return std::pow(10.0, dbfs / 20.0);
}

double rmsDbfs(const Samples& samples) {
    double sum = 0.0;
    for (const float sample : samples)
        sum += double(sample) * sample;
    if (sum <= 0.0) return -std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(sum / double(samples.size()));
}

Samples silence(size_t count) {
    return Samples(count, 0.0f);
}

Samples sine(double frequency, double peakDbfs, size_t count, int sampleRate) {
    const double gain = gainOfDbfs(peakDbfs);
    const double step = 2.0 * std::numbers::pi * frequency / sampleRate;
    Samples samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = float(gain * std::sin(step * double(i)));
    return samples;
}

Samples whiteNoise(double rmsLevelDbfs, size_t count, uint32_t seed) {
    // A uniform distribution over [-a, a] has the RMS a / sqrt(3).
    const double amplitude = gainOfDbfs(rmsLevelDbfs) * std::sqrt(3.0);
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> distribution(-amplitude, amplitude);
    Samples samples(count);
    for (float& sample : samples)
        sample = float(distribution(generator));
    return samples;
}

Samples ambience(size_t count, double rmsLevelDbfs, int64_t firstSample) {
    const double amplitude = gainOfDbfs(rmsLevelDbfs) * std::sqrt(3.0);
    Samples samples(count);
    for (size_t i = 0; i < count; ++i) {
        // SplitMix64 of the clock: independent uniform values, the same for the same moment.
        uint64_t state = uint64_t(firstSample + int64_t(i)) * 0x9E3779B97F4A7C15ull;
        state = (state ^ (state >> 30)) * 0xBF58476D1CE4E5B9ull;
        state = (state ^ (state >> 27)) * 0x94D049BB133111EBull;
        state ^= state >> 31;
        const double unit = double(state >> 11) / double(1ull << 53);  // [0, 1)
        samples[i] = float(amplitude * (2.0 * unit - 1.0));
    }
    return samples;
}

Samples click(size_t count, size_t position, double peakDbfs, size_t width) {
    Samples samples(count, 0.0f);
    const float value = float(gainOfDbfs(peakDbfs));
    for (size_t i = position; i < count && i - position < width; ++i)
        samples[i] = value;
    return samples;
}

Samples chords(size_t count, int sampleRate, double peakDbfs, int64_t firstSample) {
    // Root notes of a slow progression (A3, F3, C4, G3) with a major or minor third and a fifth.
    static constexpr double roots[] = {220.0, 174.61, 261.63, 196.0};
    static constexpr bool minor[] = {true, false, false, false};
    const double gain = gainOfDbfs(peakDbfs) / 3.0;
    const int64_t chordLength = int64_t(sampleRate) * 2;
    const double attack = 0.05 * sampleRate;
    Samples samples(count);
    for (size_t i = 0; i < count; ++i) {
        const int64_t clock = firstSample + int64_t(i);
        const int64_t chord = clock / chordLength;
        const int64_t sinceChange = clock % chordLength;
        const size_t index = size_t(chord % 4);
        const double root = roots[index];
        const double third = root * (minor[index] ? 1.189207 : 1.259921);
        const double fifth = root * 1.498307;
        // Soft attack and slow decay within each chord, so the envelope marks the changes.
        const double envelope = std::min(1.0, double(sinceChange) / attack) *
                                std::exp(-double(sinceChange) / (1.5 * sampleRate));
        const double t = double(clock) / sampleRate;
        double value = 0.0;
        for (const double frequency : {root, third, fifth})
            value += std::sin(2.0 * std::numbers::pi * frequency * t);
        samples[i] = float(gain * envelope * value);
    }
    return samples;
}

void mixInto(Samples& target, const Samples& source, size_t at, double gain) {
    if (at >= target.size()) return;
    const size_t count = std::min(source.size(), target.size() - at);
    for (size_t i = 0; i < count; ++i)
        target[at + i] += float(gain * source[i]);
}

void impair(Samples& samples, const Impairments& impairments, int sampleRate) {
    if (impairments.lowPassHz && *impairments.lowPassHz > 0.0) {
        const double coefficient =
            1.0 - std::exp(-2.0 * std::numbers::pi * *impairments.lowPassHz / sampleRate);
        double state = 0.0;
        for (float& sample : samples) {
            state += coefficient * (sample - state);
            sample = float(state);
        }
    }
    if (impairments.dcOffset != 0.0)
        for (float& sample : samples)
            sample = float(sample + impairments.dcOffset);
    if (impairments.signalToNoiseDb) {
        const double signalLevel = rmsDbfs(samples);
        if (std::isfinite(signalLevel)) {
            const Samples noise = whiteNoise(signalLevel - *impairments.signalToNoiseDb,
                                             samples.size(), impairments.noiseSeed);
            mixInto(samples, noise, 0);
        }
    }
    if (impairments.reversed) std::reverse(samples.begin(), samples.end());
}

namespace {

template <typename Integer>
std::vector<Integer> toPcm(const Samples& samples) {
    constexpr double top = double(std::numeric_limits<Integer>::max());
    constexpr double bottom = double(std::numeric_limits<Integer>::min());
    std::vector<Integer> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const double value = std::isfinite(samples[i]) ? double(samples[i]) : 0.0;
        const double scaled = std::round(value * (top + 1.0));
        pcm[i] = Integer(std::clamp(scaled, bottom, top));
    }
    return pcm;
}

}  // namespace

std::vector<int16_t> toPcm16(const Samples& samples) {
    return toPcm<int16_t>(samples);
}

std::vector<int32_t> toPcm32(const Samples& samples) {
    return toPcm<int32_t>(samples);
}

}  // namespace vorlane::mediagen
