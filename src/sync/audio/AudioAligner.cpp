#include "sync/audio/AudioAligner.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "sync/audio/AnalysisSignal.h"
#include "sync/audio/CorrelationScan.h"
#include "sync/audio/EnvelopeMatch.h"

namespace vorlane {
namespace {

constexpr int32_t kMinimumSampleRate = 1000;
constexpr int32_t kMaximumSampleRate = 768000;
constexpr double kMinimumClipSeconds = 1.0;
// Confidence grows with the compared window's length from nothing at half a second to full at
// five seconds.
constexpr double kNoEvidenceSeconds = 0.5;
constexpr double kFullEvidenceSeconds = 5.0;
constexpr double kMinimumOverlapSeconds = 1.0;
// Of the compared camera window, this much must overlap the recording.
constexpr double kMinimumOverlapFraction = 0.5;
constexpr double kWindowSeconds = 30.0;
// Of a long clip, the contour search uses at most this much around the compared window.
constexpr double kContourQuerySeconds = 300.0;
// Ranges up to this wide are searched on the waveforms directly.
constexpr double kDirectSearchSeconds = 60.0;
// The waveform comparison covers at least this much either side of the range's centre, so
// that the noise and the next best place are measured over enough lags.
constexpr double kNoiseSpanSeconds = 2.0;
// How far the waveform comparison looks around a place the contour search found.
constexpr double kContourToleranceSeconds = 0.1;
constexpr size_t kContourCandidates = 6;
constexpr double kContourSeparationSeconds = 1.0;
// Peaks closer than this are one place (a lag off by more is a wrong answer).
constexpr double kPeakWidthSeconds = 0.001;
constexpr double kNoiseExclusionSeconds = 0.02;
constexpr double kSilenceDbfs = -70.0;
constexpr float kLargestLevel = 1000.0f;  // beyond, a sample counts as damaged
// How far (in standard deviations of the correlation noise) the peak must stand above its
// echoes: confidence grows from nothing at 3 to full at 6.
constexpr double kUnsafeMarginSigmas = 3.0;
constexpr double kSafeMarginSigmas = 6.0;
// A peak less than twice what the backwards sound reaches is no clear match.
constexpr double kChanceLikeRatio = 0.5;

// A recorder's sound: in memory, or read from its file on demand.
struct Recording {
    int32_t sampleRate = 0;
    int64_t sampleCount = 0;
    std::function<std::vector<float>(int64_t firstSample, size_t count)> read;

    double seconds() const { return double(sampleCount) / sampleRate; }
};

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

bool isSilent(std::span<const float> samples) {
    double sum = 0.0, squares = 0.0;
    for (const float sample : samples) {
        const double value = std::abs(sample) <= kLargestLevel ? sample : 0.0;
        sum += value;
        squares += value * value;
    }
    const double n = double(samples.size());
    const double variance = squares / n - (sum / n) * (sum / n);
    return !(variance > 0.0) || 10.0 * std::log10(variance) < kSilenceDbfs;
}

AudioAlignment failed(AudioSyncProblem problem) {
    AudioAlignment alignment;
    alignment.problem = problem;
    return alignment;
}

// The camera window compared on the waveforms, in analysis samples.
struct CameraWindow {
    double startSeconds = 0.0;  // camera time of its first sample
    double seconds = 0.0;       // its length in recorder time
    CorrelationQuery query;
    CorrelationQuery reversed;  // the window played backwards: sound surely unrelated

    CameraWindow(const AudioExcerpt& camera, double start, double length, double clockRatio)
        : CameraWindow(start, length,
                       analysisSignal(camera.samples, camera.sampleRate, start,
                                      size_t(std::lround(length * kAnalysisRate)), clockRatio)) {}
    CameraWindow(double start, double length, std::vector<float> samples)
        : startSeconds(start),
          seconds(length),
          query(samples),
          reversed(std::vector<float>(samples.rbegin(), samples.rend())) {}

    double minimumOverlapSeconds() const {
        return std::max(kMinimumOverlapSeconds, kMinimumOverlapFraction * seconds);
    }
};

// A waveform match: the recorder time of the window's first sample and the peak's figures.
struct WindowMatch {
    AudioSyncProblem problem = AudioSyncProblem::None;
    double windowLag = 0.0;
    CorrelationPeak peak;
    double surrogatePeak = 0.0;
};

// Which way the camera window is compared: as recorded (with the backwards sound over the same
// lags as a measure of chance), or only backwards (the search for chance matches).
enum class Direction { Forwards, Backwards };

WindowMatch matchWindow(CameraWindow& window, const Recording& recording, double lagMin,
                        double lagMax, Direction direction = Direction::Forwards) {
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
    const bool forwards = direction == Direction::Forwards;
    const CorrelationScan scan(forwards ? window.query : window.reversed, reference, recordedBegin,
                               recordedEnd, overlapSamples);
    const auto toIndex = [&](double lag, bool up) {
        const double sample = lag * kAnalysisRate;
        return std::clamp<int64_t>(int64_t(up ? std::ceil(sample) : std::floor(sample)) - firstLag,
                                   0, int64_t(lagCount));
    };
    match.peak = scan.peak(size_t(toIndex(searchMin, true)), size_t(toIndex(searchMax, false) + 1),
                           size_t(std::lround(kPeakWidthSeconds * kAnalysisRate)),
                           size_t(std::lround(kNoiseExclusionSeconds * kAnalysisRate)));
    if (!match.peak.found) {
        const bool silent = std::all_of(reference.begin(), reference.end(),
                                        [](float sample) { return sample == 0.0f; });
        match.problem =
            silent ? AudioSyncProblem::SilentRecorderSound : AudioSyncProblem::FlatCorrelation;
        return match;
    }
    match.windowLag = (double(firstLag) + match.peak.lag) / kAnalysisRate;
    if (forwards)
        match.surrogatePeak =
            CorrelationScan(window.reversed, reference, recordedBegin, recordedEnd, overlapSamples)
                .highest();
    return match;
}

// The answer from the best waveform match. `rivals` are the best correlations found at other
// places (other candidates of a wide search), `surrogates` the best correlation of the camera's
// sound played backwards over all compared windows.
AudioAlignment alignmentOf(const WindowMatch& match, double windowSeconds, double lag,
                           int32_t recorderRate, double rivals, double surrogates) {
    if (match.problem != AudioSyncProblem::None) return failed(match.problem);
    AudioAlignment alignment;
    const double peak = std::abs(match.peak.value);
    alignment.lagSeconds = lag;
    alignment.recorderSampleRate = recorderRate;
    alignment.lagRecorderSamples = lag * recorderRate;
    alignment.correlation = match.peak.value;
    const double farRival = std::max(match.peak.farRival, rivals);
    alignment.nextBestRatio = std::max(farRival, match.peak.nearRival) / peak;
    alignment.peakToNoise = match.peak.noise > 0.0 ? peak / match.peak.noise : 0.0;
    alignment.chanceRatio = surrogates / peak;
    // Distinct from any other place and from unrelated sound...
    const double distinctness = 1.0 - std::min(1.0, std::max(farRival, surrogates) / peak);
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

// A place the contour search found: the recorder time of the compared window's first sample.
struct Place {
    size_t recording = 0;
    double windowLag = 0.0;
    double score = 0.0;
};

// The clip prepared for a search: its compared window and the contour around it.
struct PreparedClip {
    CameraWindow window;
    std::vector<float> contour;  // at most kContourQuerySeconds of frames around the window
    double windowOffset = 0.0;   // seconds from the contour's first frame to the window's start

    // The contour and the window's offset in it for the backwards search.
    std::vector<float> reversedContour() const { return {contour.rbegin(), contour.rend()}; }
    double reversedWindowOffset() const {
        return double(contour.size()) / kEnvelopeFrameRate - windowOffset - window.seconds;
    }
};

PreparedClip prepareClip(const AudioExcerpt& clip) {
    const AudioEnvelope envelope = audioEnvelope(clip.samples, clip.sampleRate);
    const auto& frames = envelope.frames;
    double start = 0.0;
    double length = clip.seconds();
    if (length > kWindowSeconds) {
        const auto windowFrames = size_t(kWindowSeconds * kEnvelopeFrameRate);
        start =
            double(mostActiveStretch(frames, 0, frames.size(), windowFrames)) / kEnvelopeFrameRate;
        length = kWindowSeconds;
    }
    const auto contourFrames =
        std::min(frames.size(), size_t(kContourQuerySeconds * kEnvelopeFrameRate));
    const auto centreFrame = int64_t((start + 0.5 * length) * kEnvelopeFrameRate);
    const auto firstFrame = size_t(std::clamp<int64_t>(centreFrame - int64_t(contourFrames / 2), 0,
                                                       int64_t(frames.size() - contourFrames)));
    return {CameraWindow(clip, start, length, 1.0),
            std::vector<float>(frames.begin() + ptrdiff_t(firstFrame),
                               frames.begin() + ptrdiff_t(firstFrame + contourFrames)),
            start - double(firstFrame) / kEnvelopeFrameRate};
}

// The best places of a contour in one recording's contour, among window lags `range`.
std::vector<Place> contourPlaces(std::span<const float> contour, double windowOffset,
                                 size_t recordingIndex, const AudioEnvelope& recording,
                                 LagRange range) {
    const auto toFrame = [&](double windowLag, double fallback) {
        const double lag = std::isfinite(windowLag) ? windowLag - windowOffset : fallback;
        return int64_t(std::floor(lag * kEnvelopeFrameRate));
    };
    const double contourSeconds = double(contour.size()) / kEnvelopeFrameRate;
    const double minimumOverlap =
        std::max(kMinimumOverlapSeconds, kMinimumOverlapFraction * contourSeconds);
    const auto found = envelopeCandidates(
        contour, recording.frames, toFrame(range.minimumSeconds, -1e9),
        toFrame(range.maximumSeconds, 1e9) + 1, size_t(minimumOverlap * kEnvelopeFrameRate),
        kContourCandidates, size_t(kContourSeparationSeconds * kEnvelopeFrameRate));
    std::vector<Place> places;
    for (const auto& candidate : found)
        places.push_back(
            {recordingIndex, candidate.lag / kEnvelopeFrameRate + windowOffset, candidate.score});
    return places;
}

using RecordingAt = std::function<Recording(size_t)>;

// The window compared at the best places of all recordings.
struct CheckedPlace {
    size_t recording = 0;
    WindowMatch match;

    double magnitude() const {
        return match.problem == AudioSyncProblem::None ? std::abs(match.peak.value) : 0.0;
    }
};

std::vector<CheckedPlace> checkPlaces(CameraWindow& window, std::vector<Place> places,
                                      const RecordingAt& recordingAt, Direction direction) {
    std::sort(places.begin(), places.end(),
              [](const Place& a, const Place& b) { return a.score > b.score; });
    if (places.size() > kContourCandidates) places.resize(kContourCandidates);
    std::vector<CheckedPlace> checked;
    for (const Place& place : places)
        checked.push_back(
            {place.recording, matchWindow(window, recordingAt(place.recording),
                                          place.windowLag - kContourToleranceSeconds,
                                          place.windowLag + kContourToleranceSeconds, direction)});
    return checked;
}

// Searches the recordings for the clip's window, first on the contours, then on the waveforms
// at the best places; and, as a measure of what chance alone finds with the same effort, the
// same for the clip played backwards. `ranges` gives the window lags searched per recording.
AudioPlacement searchRecordings(PreparedClip& clip, std::span<const AudioEnvelope> envelopes,
                                const std::function<LagRange(size_t)>& ranges,
                                const RecordingAt& recordingAt) {
    std::vector<Place> places;
    std::vector<Place> chancePlaces;
    const std::vector<float> reversedContour = clip.reversedContour();
    for (size_t index = 0; index < envelopes.size(); ++index) {
        const int32_t rate = envelopes[index].sampleRate;
        if (rate < kMinimumSampleRate || rate > kMaximumSampleRate) continue;
        const auto found =
            contourPlaces(clip.contour, clip.windowOffset, index, envelopes[index], ranges(index));
        places.insert(places.end(), found.begin(), found.end());
        const auto chance = contourPlaces(reversedContour, clip.reversedWindowOffset(), index,
                                          envelopes[index], ranges(index));
        chancePlaces.insert(chancePlaces.end(), chance.begin(), chance.end());
    }
    const auto checked = checkPlaces(clip.window, places, recordingAt, Direction::Forwards);
    if (checked.empty()) return {0, failed(AudioSyncProblem::FlatCorrelation)};
    const auto best = std::max_element(
        checked.begin(), checked.end(),
        [](const auto& a, const auto& b) { return a.magnitude() < b.magnitude(); });
    if (best->magnitude() == 0.0) return {best->recording, failed(best->match.problem)};
    double rivals = 0.0;
    double chance = 0.0;
    for (const CheckedPlace& other : checked) {
        chance = std::max(chance, other.match.surrogatePeak);
        const bool samePlace =
            other.recording == best->recording &&
            std::abs(other.match.windowLag - best->match.windowLag) <= kPeakWidthSeconds;
        if (!samePlace) rivals = std::max(rivals, other.magnitude());
    }
    for (const CheckedPlace& backwards :
         checkPlaces(clip.window, chancePlaces, recordingAt, Direction::Backwards))
        chance = std::max(chance, backwards.magnitude());
    const int32_t rate = recordingAt(best->recording).sampleRate;
    return {best->recording,
            alignmentOf(best->match, clip.window.seconds,
                        best->match.windowLag - clip.window.startSeconds, rate, rivals, chance)};
}

}  // namespace

std::optional<AudioSyncProblem> excerptProblem(const AudioExcerpt& excerpt, bool camera) {
    if (excerpt.samples.empty())
        return camera ? AudioSyncProblem::NoCameraSound : AudioSyncProblem::NoRecorderSound;
    if (excerpt.sampleRate < kMinimumSampleRate || excerpt.sampleRate > kMaximumSampleRate)
        return AudioSyncProblem::UnsupportedSampleRate;
    if (excerpt.seconds() < kMinimumClipSeconds) return AudioSyncProblem::TooShort;
    if (isSilent(excerpt.samples))
        return camera ? AudioSyncProblem::SilentCameraSound : AudioSyncProblem::SilentRecorderSound;
    return std::nullopt;
}

AudioAlignment alignAudio(const AudioExcerpt& camera, const AudioExcerpt& recorder,
                          LagRange range) {
    if (const auto problem = excerptProblem(camera, true)) return failed(*problem);
    if (const auto problem = excerptProblem(recorder, false)) return failed(*problem);
    PreparedClip clip = prepareClip(camera);
    const Recording recording = recordingInMemory(recorder);
    const double minimumOverlap = clip.window.minimumOverlapSeconds();
    const double feasibleMin = std::max(
        range.minimumSeconds, minimumOverlap - clip.window.seconds - clip.window.startSeconds);
    const double feasibleMax = std::min(
        range.maximumSeconds, recording.seconds() - minimumOverlap - clip.window.startSeconds);
    if (feasibleMin > feasibleMax) return failed(AudioSyncProblem::TooLittleOverlap);
    if (feasibleMax - feasibleMin <= kDirectSearchSeconds) {
        const double start = clip.window.startSeconds;
        const WindowMatch match =
            matchWindow(clip.window, recording, feasibleMin + start, feasibleMax + start);
        return alignmentOf(match, clip.window.seconds, match.windowLag - start, recorder.sampleRate,
                           0.0, match.surrogatePeak);
    }
    const AudioEnvelope recorderEnvelope = audioEnvelope(recorder.samples, recorder.sampleRate);
    const double start = clip.window.startSeconds;
    return searchRecordings(
               clip, std::span<const AudioEnvelope>(&recorderEnvelope, 1),
               [&](size_t) {
                   return LagRange{feasibleMin + start, feasibleMax + start};
               },
               [&](size_t) { return recording; })
        .alignment;
}

AudioPlacement placeAudio(const AudioExcerpt& clip, std::span<const AudioEnvelope> recordings,
                          const RecordingReader& read) {
    if (const auto problem = excerptProblem(clip, true)) return {0, failed(*problem)};
    if (recordings.empty()) return {0, failed(AudioSyncProblem::NoRecorderSound)};
    PreparedClip prepared = prepareClip(clip);
    return searchRecordings(
        prepared, recordings, [](size_t) { return LagRange::anywhere(); },
        [&](size_t index) {
            Recording recording;
            recording.sampleRate = recordings[index].sampleRate;
            recording.sampleCount = recordings[index].sampleCount;
            recording.read = [&read, index](int64_t first, size_t count) {
                std::vector<float> samples = read(index, first, count);
                samples.resize(count, 0.0f);
                return samples;
            };
            return recording;
        });
}

AudioAlignment alignAudioWindow(const AudioExcerpt& camera, double startSeconds, double seconds,
                                double clockRatio, const AudioExcerpt& recorder,
                                LagRange windowRange) {
    if (const auto problem = excerptProblem(camera, true)) return failed(*problem);
    if (const auto problem = excerptProblem(recorder, false)) return failed(*problem);
    CameraWindow window(camera, startSeconds, seconds, clockRatio);
    const WindowMatch match = matchWindow(window, recordingInMemory(recorder),
                                          windowRange.minimumSeconds, windowRange.maximumSeconds);
    return alignmentOf(match, window.seconds, match.windowLag, recorder.sampleRate, 0.0,
                       match.surrogatePeak);
}

}  // namespace vorlane
