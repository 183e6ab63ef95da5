#include "sync/audio/AudioDrift.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "sync/audio/AudioAligner.h"
#include "sync/audio/AudioEnvelope.h"
#include "sync/audio/EnvelopeMatch.h"

namespace vorlane {
namespace {

// Each end is measured on its most active window of this length within the first or last
// kEndSeconds of the take.
constexpr double kWindowSeconds = 30.0;
constexpr double kEndSeconds = 90.0;
// The largest drift looked for (a recorder at 48048 Hz labelled 48000 drifts by 1000 ppm).
constexpr double kMaximumPpm = 3000.0;
// How far the waveform comparison looks around the lag the contours gave.
constexpr double kContourToleranceSeconds = 0.1;
// Waveform rounds after the contour estimate: each reads the camera at the drift found before.
constexpr int kWaveformRounds = 2;

struct Window {
    double startSeconds = 0.0;
    std::span<const float> frames;
};

Window activeWindow(const AudioEnvelope& envelope, double fromSeconds, double toSeconds) {
    const auto windowFrames = size_t(kWindowSeconds * kEnvelopeFrameRate);
    const size_t first =
        mostActiveStretch(envelope.frames, size_t(fromSeconds * kEnvelopeFrameRate),
                          size_t(toSeconds * kEnvelopeFrameRate), windowFrames);
    return {double(first) / kEnvelopeFrameRate,
            std::span<const float>(envelope.frames).subspan(first, windowFrames)};
}

// The recorder time of the window's first frame by the contours, among `range`.
std::optional<double> contourLag(const Window& window, const AudioEnvelope& recorder,
                                 LagRange range) {
    const auto found = envelopeCandidates(
        window.frames, recorder.frames,
        int64_t(std::floor(std::max(range.minimumSeconds, -1e9) * kEnvelopeFrameRate)),
        int64_t(std::ceil(std::min(range.maximumSeconds, 1e9) * kEnvelopeFrameRate)) + 1,
        window.frames.size() / 2, 1, 1);
    if (found.empty()) return std::nullopt;
    return found.front().lag / kEnvelopeFrameRate;
}

AudioDrift failedDrift(AudioSyncProblem problem) {
    AudioDrift drift;
    drift.problem = problem;
    return drift;
}

}  // namespace

AudioDrift measureAudioDrift(const AudioExcerpt& camera, const AudioExcerpt& recorder,
                             LagRange startRange) {
    if (const auto problem = excerptProblem(camera, true)) return failedDrift(*problem);
    if (const auto problem = excerptProblem(recorder, false)) return failedDrift(*problem);
    const double takeSeconds = camera.seconds();
    if (takeSeconds < kMinimumDriftTakeSeconds)
        return failedDrift(AudioSyncProblem::TakeTooShortForDrift);

    const AudioEnvelope cameraEnvelope = audioEnvelope(camera.samples, camera.sampleRate);
    const AudioEnvelope recorderEnvelope = audioEnvelope(recorder.samples, recorder.sampleRate);
    // Near each end, and each in its own half of the take.
    const double half = 0.5 * takeSeconds;
    const Window start = activeWindow(cameraEnvelope, 0.0, std::min(kEndSeconds, half));
    const Window end =
        activeWindow(cameraEnvelope, std::max(takeSeconds - kEndSeconds, half), takeSeconds);
    const double span = end.startSeconds - start.startSeconds;

    // First the contours, which a drift of a few frames over the window does not blur.
    const auto startLag = contourLag(start, recorderEnvelope,
                                     {startRange.minimumSeconds + start.startSeconds,
                                      startRange.maximumSeconds + start.startSeconds});
    if (!startLag) return failedDrift(AudioSyncProblem::FlatCorrelation);
    const double allowance = kMaximumPpm * 1e-6 * span + kContourToleranceSeconds;
    const auto endLag =
        contourLag(end, recorderEnvelope, LagRange::around(*startLag + span, allowance));
    if (!endLag) return failedDrift(AudioSyncProblem::FlatCorrelation);

    // Then the waveforms, the camera read at the drift found so far, so that each window stays
    // coherent.
    AudioDrift drift;
    drift.startCameraSeconds = start.startSeconds;
    drift.endCameraSeconds = end.startSeconds;
    drift.startLagSeconds = *startLag;
    drift.endLagSeconds = *endLag;
    double ratio = (*endLag - *startLag) / span;
    for (int round = 0; round < kWaveformRounds; ++round) {
        const AudioAlignment atStart =
            alignAudioWindow(camera, start.startSeconds, kWindowSeconds, ratio, recorder,
                             LagRange::around(drift.startLagSeconds, kContourToleranceSeconds));
        const AudioAlignment atEnd =
            alignAudioWindow(camera, end.startSeconds, kWindowSeconds, ratio, recorder,
                             LagRange::around(drift.endLagSeconds, kContourToleranceSeconds));
        drift.confidence = std::min(atStart.confidence, atEnd.confidence);
        if (!atStart.confirmed() || !atEnd.confirmed()) {
            drift.problem = atStart.confirmed() ? atEnd.problem : atStart.problem;
            return drift;
        }
        drift.startLagSeconds = atStart.lagSeconds;
        drift.endLagSeconds = atEnd.lagSeconds;
        ratio = (drift.endLagSeconds - drift.startLagSeconds) / span;
    }
    drift.problem = AudioSyncProblem::None;
    drift.ppm = (ratio - 1.0) * 1e6;
    return drift;
}

}  // namespace vorlane
