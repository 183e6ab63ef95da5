// The coarse search: where in a recording does a clip's loudness contour (AudioEnvelope) recur?
// Pearson correlation of the two contours at every lag of a range, computed by FFT, so an hour
// of recording costs about as much as a few seconds of waveform comparison. The contours are
// immune to the phase changes of distance and reverberation, and 10 ms frames tolerate drift;
// the places found are then checked on the waveforms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorlane {

struct EnvelopeCandidate {
    double lag = 0.0;    // reference frame of query frame 0, refined between frames
    double score = 0.0;  // Pearson correlation × √(overlap ÷ query length)
};

// The best `count` places among lags [lagBegin, lagEnd) (lag k puts query frame 0 at reference
// frame k; negative lags put the query's start before the reference's), at least `separation`
// frames apart, best first. Lags overlapping fewer than `minimumOverlap` frames do not count.
std::vector<EnvelopeCandidate> envelopeCandidates(std::span<const float> query,
                                                  std::span<const float> reference,
                                                  int64_t lagBegin, int64_t lagEnd,
                                                  size_t minimumOverlap, size_t count,
                                                  size_t separation);

}  // namespace vorlane
