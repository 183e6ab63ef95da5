// Test signals as mono floating-point sample lists (full scale = 1.0), the impairments used to
// benchmark timecode reading, and conversion to integer PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorlane::mediagen {

using Samples = std::vector<float>;

// Linear gain of a level in dB relative to full scale.
double gainOfDbfs(double dbfs);
// Root-mean-square level of the samples in dBFS (-infinity for silence or no samples).
double rmsDbfs(const Samples& samples);

Samples silence(size_t count);
// A sine wave with its peak at `peakDbfs`.
Samples sine(double frequency, double peakDbfs, size_t count, int sampleRate);
// Uniform white noise with its RMS level at `rmsLevelDbfs`; the same seed gives the same noise.
Samples whiteNoise(double rmsLevelDbfs, size_t count, uint32_t seed);
// Silence with one click: `width` samples at `peakDbfs` starting at sample `position` (the
// click's leading edge, for sync-accuracy tests). A position past the end gives silence.
Samples click(size_t count, size_t position, double peakDbfs, size_t width = 1);
// Music-like material: a chord of three partials with soft attacks that changes every two
// seconds. `firstSample` is the position of sample 0 on a running clock (samples since
// midnight, say), so two recordings of the same moment hold the same music.
Samples chords(size_t count, int sampleRate, double peakDbfs, int64_t firstSample = 0);
// Room sound: white noise with its RMS level at `rmsLevelDbfs` that is a function of the running
// clock (sample `firstSample` on), so two recordings of the same moment hold the same room sound.
Samples ambience(size_t count, double rmsLevelDbfs, int64_t firstSample);

// Adds `source` × `gain` into `target` from sample `at` on; what lies past the end is dropped.
void mixInto(Samples& target, const Samples& source, size_t at, double gain = 1.0);

// Damage applied to a clean signal, in this order: low-pass, DC offset, noise, reversal.
struct Impairments {
    std::optional<double> lowPassHz;        // one-pole low-pass with this cut-off
    double dcOffset = 0.0;                  // added to every sample (full scale = 1.0)
    std::optional<double> signalToNoiseDb;  // white noise this far below the signal's RMS
    bool reversed = false;                  // played backwards
    uint32_t noiseSeed = 1;
};
void impair(Samples& samples, const Impairments& impairments, int sampleRate);

// Integer PCM, rounded and clipped to the format's range.
std::vector<int16_t> toPcm16(const Samples& samples);
std::vector<int32_t> toPcm32(const Samples& samples);

}  // namespace vorlane::mediagen
