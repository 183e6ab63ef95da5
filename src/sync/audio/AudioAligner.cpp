#include "sync/audio/AudioAligner.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "sync/audio/AlignmentConfidence.h"
#include "sync/audio/AnalysisSignal.h"
#include "sync/audio/EnvelopeMatch.h"
#include "sync/audio/WaveformMatch.h"

namespace vorlane {
namespace {

constexpr int32_t kMinimumSampleRate = 1000;
constexpr int32_t kMaximumSampleRate = 768000;
constexpr double kMinimumClipSeconds = 1.0;
// The camera window compared on the waveforms: its most active stretch of this length. A
// check near a known offset needs less sound than a search among many places.
constexpr double kCheckWindowSeconds = 6.0;
constexpr double kSearchWindowSeconds = 30.0;
// Of a long clip, the contour search uses at most this much around the compared window.
constexpr double kContourQuerySeconds = 300.0;
// Ranges up to this wide are searched on the waveforms directly.
constexpr double kDirectSearchSeconds = 60.0;
// How far the waveform comparison looks around a place the contour search found.
constexpr double kContourToleranceSeconds = 0.1;
constexpr size_t kContourCandidates = 6;
constexpr double kContourSeparationSeconds = 1.0;

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

PreparedClip prepareClip(const AudioExcerpt& clip, double windowSeconds, bool withContour) {
    double start = 0.0;
    double length = clip.seconds();
    std::vector<float> frames;
    if (length > windowSeconds || withContour)
        frames = audioEnvelope(clip.samples, clip.sampleRate).frames;
    if (length > windowSeconds) {
        const auto windowFrames = size_t(windowSeconds * kEnvelopeFrameRate);
        start =
            double(mostActiveStretch(frames, 0, frames.size(), windowFrames)) / kEnvelopeFrameRate;
        length = windowSeconds;
    }
    PreparedClip prepared{CameraWindow(clip, start, length, 1.0), {}, 0.0};
    if (!withContour) return prepared;
    const auto contourFrames =
        std::min(frames.size(), size_t(kContourQuerySeconds * kEnvelopeFrameRate));
    const auto centreFrame = int64_t((start + 0.5 * length) * kEnvelopeFrameRate);
    const auto firstFrame = size_t(std::clamp<int64_t>(centreFrame - int64_t(contourFrames / 2), 0,
                                                       int64_t(frames.size() - contourFrames)));
    prepared.contour.assign(frames.begin() + ptrdiff_t(firstFrame),
                            frames.begin() + ptrdiff_t(firstFrame + contourFrames));
    prepared.windowOffset = start - double(firstFrame) / kEnvelopeFrameRate;
    return prepared;
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
    const double minimumOverlap = minimumOverlapFor(contourSeconds);
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
    if (checked.empty()) {
        const bool silent =
            std::all_of(envelopes.begin(), envelopes.end(),
                        [](const AudioEnvelope& envelope) { return envelope.silent(); });
        return {0, AudioAlignment::failure(silent ? AudioSyncProblem::SilentRecorderSound
                                                  : AudioSyncProblem::FlatCorrelation)};
    }
    const auto best = std::max_element(
        checked.begin(), checked.end(),
        [](const auto& a, const auto& b) { return a.magnitude() < b.magnitude(); });
    if (best->magnitude() == 0.0)
        return {best->recording, AudioAlignment::failure(best->match.problem)};
    double rivals = 0.0;
    double chance = 0.0;
    for (const CheckedPlace& other : checked) {
        chance = std::max(chance, other.match.chancePeak);
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
    // The recorder's sound may be a whole file; its silence shows in the stretch compared.
    if (camera && soundIsSilent(excerpt.samples)) return AudioSyncProblem::SilentCameraSound;
    return std::nullopt;
}

AudioAlignment alignAudio(const AudioExcerpt& camera, const AudioExcerpt& recorder,
                          LagRange range) {
    if (const auto problem = excerptProblem(camera, true)) return AudioAlignment::failure(*problem);
    if (const auto problem = excerptProblem(recorder, false))
        return AudioAlignment::failure(*problem);
    const Recording recording = recordingInMemory(recorder);
    // Narrow ranges are compared on the waveforms directly, wide ones searched on the contours
    // first.
    const double widthWithinSound = std::min(range.maximumSeconds, recording.seconds()) -
                                    std::max(range.minimumSeconds, -camera.seconds());
    const bool direct = widthWithinSound <= kDirectSearchSeconds;
    PreparedClip clip =
        prepareClip(camera, direct ? kCheckWindowSeconds : kSearchWindowSeconds, !direct);
    const double start = clip.window.startSeconds;
    const double minimumOverlap = clip.window.minimumOverlapSeconds();
    const double feasibleMin =
        std::max(range.minimumSeconds, minimumOverlap - clip.window.seconds - start);
    const double feasibleMax =
        std::min(range.maximumSeconds, recording.seconds() - minimumOverlap - start);
    if (feasibleMin > feasibleMax)
        return AudioAlignment::failure(AudioSyncProblem::TooLittleOverlap);
    if (direct) {
        const WindowMatch match =
            matchWindow(clip.window, recording, feasibleMin + start, feasibleMax + start);
        return alignmentOf(match, clip.window.seconds, match.windowLag - start, recorder.sampleRate,
                           0.0, match.chancePeak);
    }
    const AudioEnvelope recorderEnvelope = audioEnvelope(recorder.samples, recorder.sampleRate);
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
    if (const auto problem = excerptProblem(clip, true))
        return {0, AudioAlignment::failure(*problem)};
    if (recordings.empty()) return {0, AudioAlignment::failure(AudioSyncProblem::NoRecorderSound)};
    PreparedClip prepared = prepareClip(clip, kSearchWindowSeconds, true);
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
    if (const auto problem = excerptProblem(camera, true)) return AudioAlignment::failure(*problem);
    if (const auto problem = excerptProblem(recorder, false))
        return AudioAlignment::failure(*problem);
    CameraWindow window(camera, startSeconds, seconds, clockRatio);
    const WindowMatch match = matchWindow(window, recordingInMemory(recorder),
                                          windowRange.minimumSeconds, windowRange.maximumSeconds);
    return alignmentOf(match, window.seconds, match.windowLag, recorder.sampleRate, 0.0,
                       match.chancePeak);
}

}  // namespace vorlane
