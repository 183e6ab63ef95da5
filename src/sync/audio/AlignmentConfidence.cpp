#include "sync/audio/AlignmentConfidence.h"

#include <algorithm>
#include <cmath>

namespace vorlane {
namespace {

// Confidence grows with the compared window's length from nothing at half a second to full at
// five seconds.
constexpr double kNoEvidenceSeconds = 0.5;
constexpr double kFullEvidenceSeconds = 5.0;
// How far (in standard deviations of the correlation noise) the peak must stand above its
// echoes: confidence grows from nothing at 3 to full at 6.
constexpr double kUnsafeMarginSigmas = 3.0;
constexpr double kSafeMarginSigmas = 6.0;
// A peak less than twice what the backwards sound reaches is no clear match.
constexpr double kChanceLikeRatio = 0.5;

}  // namespace

AudioAlignment alignmentOf(const WindowMatch& match, double windowSeconds, double lag,
                           int32_t recorderRate, double rivals, double chance) {
    if (match.problem != AudioSyncProblem::None) return AudioAlignment::failure(match.problem);
    AudioAlignment alignment;
    const double peak = std::abs(match.peak.value);
    alignment.lagSeconds = lag;
    alignment.recorderSampleRate = recorderRate;
    alignment.lagRecorderSamples = lag * recorderRate;
    alignment.correlation = match.peak.value;
    const double farRival = std::max(match.peak.farRival, rivals);
    alignment.nextBestRatio = std::max(farRival, match.peak.nearRival) / peak;
    alignment.peakToNoise = match.peak.noise > 0.0 ? peak / match.peak.noise : 0.0;
    alignment.chanceRatio = chance / peak;
    // Distinct from any other place and from unrelated sound...
    const double distinctness = 1.0 - std::min(1.0, std::max(farRival, chance) / peak);
    // ...and from its own echoes by more than noise can bridge.
    const double nearMargin =
        match.peak.noise > 0.0 ? (peak - match.peak.nearRival) / match.peak.noise : 0.0;
    const double nearSafety = std::clamp(
        (nearMargin - kUnsafeMarginSigmas) / (kSafeMarginSigmas - kUnsafeMarginSigmas), 0.0, 1.0);
    // A second of sound can match a similar word anywhere; a few seconds rarely do by chance.
    const double evidence = std::clamp(
        (windowSeconds - kNoEvidenceSeconds) / (kFullEvidenceSeconds - kNoEvidenceSeconds), 0.0,
        1.0);
    alignment.confidence = distinctness * nearSafety * evidence;
    // Not confirmed: unrelated sound matches about as well, or the match is too short to tell
    // (no clear match); or another place or an echo competes (several places).
    if (alignment.confidence >= kAudioSyncConfidenceThreshold)
        alignment.problem = AudioSyncProblem::None;
    else if (alignment.chanceRatio > kChanceLikeRatio ||
             evidence <= std::min(distinctness, nearSafety))
        alignment.problem = AudioSyncProblem::FlatCorrelation;
    else
        alignment.problem = AudioSyncProblem::AmbiguousMatch;
    return alignment;
}

}  // namespace vorlane
