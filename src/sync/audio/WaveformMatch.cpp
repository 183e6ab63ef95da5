#include "sync/audio/WaveformMatch.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "sync/audio/AnalysisSignal.h"

namespace vorlane {
namespace {

constexpr double kMinimumOverlapSeconds = 1.0;
// Of the compared camera window, this much must overlap the recording.
constexpr double kMinimumOverlapFraction = 0.5;
// The comparison covers at least this much either side of the range's centre, so that the
// noise and the next best place are measured over enough lags.
constexpr double kNoiseSpanSeconds = 1.0;
// Peaks within this of the best are its echoes and the voice's periodicity; the noise is
// measured beyond.
constexpr double kNoiseExclusionSeconds = 0.02;

}  // namespace

Recording recordingInMemory(const AudioExcerpt& excerpt) {
    Recording recording;
    recording.sampleRate = excerpt.sampleRate;
    recording.sampleCount = int64_t(excerpt.samples.size());
    recording.read = [samples = excerpt.samples](int64_t first, size_t count) {
        std::vector<float> chunk(count, 0.0f);
        const int64_t begin = std::max<int64_t>(first, 0);
        const int64_t end = std::min(first + int64_t(count), int64_t(samples.size()));
        for (int64_t n = begin; n < end; ++n)
            chunk[size_t(n - first)] = samples[size_t(n)];
        return chunk;
    };
    return recording;
}

CameraWindow::CameraWindow(const AudioExcerpt& camera, double start, double length,
                           double clockRatio)
    : CameraWindow(start, length,
                   analysisSignal(camera.samples, camera.sampleRate, start,
                                  size_t(std::lround(length * kAnalysisRate)), clockRatio)) {}

CameraWindow::CameraWindow(double start, double length, std::vector<float> samples)
    : startSeconds(start),
      seconds(length),
      query(samples),
      reversed(std::vector<float>(samples.rbegin(), samples.rend())) {}

double CameraWindow::minimumOverlapSeconds() const {
    return minimumOverlapFor(seconds);
}

double minimumOverlapFor(double seconds) {
    return std::max(kMinimumOverlapSeconds, kMinimumOverlapFraction * seconds);
}

WindowMatch matchWindow(CameraWindow& window, const Recording& recording, double lagMin,
                        double lagMax, Direction direction) {
    WindowMatch match;
    const double minimumOverlap = window.minimumOverlapSeconds();
    const double feasibleMin = minimumOverlap - window.seconds;
    const double feasibleMax = recording.seconds() - minimumOverlap;
    const double searchMin = std::max(lagMin, feasibleMin);
    const double searchMax = std::min(lagMax, feasibleMax);
    if (searchMin > searchMax) {
        match.problem = AudioSyncProblem::TooLittleOverlap;
        return match;
    }
    const double centre = 0.5 * (searchMin + searchMax);
    const double evaluatedMin =
        std::max(std::min(searchMin, centre - kNoiseSpanSeconds), feasibleMin);
    const double evaluatedMax =
        std::min(std::max(searchMax, centre + kNoiseSpanSeconds), feasibleMax);

    // Lags in analysis samples; reference sample k of the window is recorder time
    // (firstLag + k) ÷ kAnalysisRate.
    const auto firstLag = int64_t(std::floor(evaluatedMin * kAnalysisRate));
    const auto lagCount = size_t(int64_t(std::ceil(evaluatedMax * kAnalysisRate)) - firstLag + 1);
    const size_t referenceLength = lagCount + window.query.size() - 1;
    const double referenceStart = double(firstLag) / kAnalysisRate;
    const int64_t margin = analysisMarginSamples(recording.sampleRate);
    const auto firstSample = int64_t(std::floor(referenceStart * recording.sampleRate)) - margin;
    const auto sampleCount = size_t(
        std::ceil(double(referenceLength) / kAnalysisRate * recording.sampleRate) + 2 * margin);
    const std::vector<float> chunk = recording.read(firstSample, sampleCount);
    // Silence is judged on the part of the stretch that lies inside the recording.
    const int64_t recordedFirst = std::clamp<int64_t>(-firstSample, 0, int64_t(sampleCount));
    const int64_t recordedLast = std::clamp<int64_t>(recording.sampleCount - firstSample,
                                                     recordedFirst, int64_t(sampleCount));
    if (soundIsSilent(std::span<const float>(chunk).subspan(
            size_t(recordedFirst), size_t(recordedLast - recordedFirst)))) {
        match.problem = AudioSyncProblem::SilentRecorderSound;
        return match;
    }
    const std::vector<float> reference = analysisSignal(
        chunk, recording.sampleRate, referenceStart - double(firstSample) / recording.sampleRate,
        referenceLength);

    const auto clampToWindow = [&](int64_t index) {
        return size_t(std::clamp<int64_t>(index, 0, int64_t(referenceLength)));
    };
    const size_t recordedBegin = clampToWindow(-firstLag);
    const size_t recordedEnd =
        clampToWindow(int64_t(std::llround(recording.seconds() * kAnalysisRate)) - firstLag);
    const size_t overlapSamples = size_t(std::ceil(minimumOverlap * kAnalysisRate));
    // Forwards, the window played backwards is compared over the same lags as a measure of
    // chance.
    const bool forwards = direction == Direction::Forwards;
    std::optional<CorrelationScan> chance;
    std::optional<CorrelationScan> scan;
    if (forwards) {
        auto both = CorrelationScan::forwardsAndBackwards(window.query, reference, recordedBegin,
                                                          recordedEnd, overlapSamples);
        scan.emplace(std::move(both.first));
        chance.emplace(std::move(both.second));
    } else {
        scan.emplace(window.reversed, reference, recordedBegin, recordedEnd, overlapSamples);
    }
    const auto toIndex = [&](double lag, bool up) {
        const double sample = lag * kAnalysisRate;
        return std::clamp<int64_t>(int64_t(up ? std::ceil(sample) : std::floor(sample)) - firstLag,
                                   0, int64_t(lagCount));
    };
    match.peak = scan->peak(size_t(toIndex(searchMin, true)), size_t(toIndex(searchMax, false) + 1),
                            size_t(std::lround(kPeakWidthSeconds * kAnalysisRate)),
                            size_t(std::lround(kNoiseExclusionSeconds * kAnalysisRate)));
    if (!match.peak.found) {
        match.problem = AudioSyncProblem::FlatCorrelation;
        return match;
    }
    match.windowLag = (double(firstLag) + match.peak.lag) / kAnalysisRate;
    if (chance) match.chancePeak = chance->highest();
    return match;
}

}  // namespace vorlane
