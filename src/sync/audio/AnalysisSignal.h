// Sound in the form the alignment compares waveforms in: resampled to one analysis rate,
// band-limited to where a camera microphone metres away and a boom both carry the voice
// (rumble, room tone below 200 Hz and everything above 3.4 kHz removed) and with the speech
// spectrum's tilt flattened, so that the correlation peak is narrow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorlane {

constexpr int32_t kAnalysisRate = 8000;

// `count` analysis samples from excerpt time `startSeconds` on, sample k at excerpt time
// startSeconds + k ÷ (kAnalysisRate × clockRatio): a clock ratio above 1 reads a source whose
// clock ran slow as if it had run right. Time outside the samples counts as silence.
std::vector<float> analysisSignal(std::span<const float> samples, int32_t sampleRate,
                                  double startSeconds, size_t count, double clockRatio = 1.0);

// True when the samples' level (without DC) lies below −70 dBFS: no usable sound. Damaged
// samples (infinities, not-a-number, absurd levels) count as silence.
bool soundIsSilent(std::span<const float> samples);

// Input samples beyond a window's ends that analysisSignal() reads for it.
int64_t analysisMarginSamples(int32_t sampleRate);

}  // namespace vorlane
