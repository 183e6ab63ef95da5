// The answers of the sound alignment: where a camera's sound lies in a recorder's, how sure
// that is, and why sound cannot confirm when it cannot.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "platform/CMTime.h"

namespace vorlane {

// An alignment at or above this confidence confirms; below it the sound cannot confirm. In
// the test corpus (speech against room noise down to −10 dB, camera sound unrelated to the
// recorder's) no alignment more than 1 ms from the truth reached it.
constexpr double kAudioSyncConfidenceThreshold = 0.5;

enum class AudioSyncProblem {
    None,
    NoCameraSound,
    SilentCameraSound,
    NoRecorderSound,
    SilentRecorderSound,
    TooShort,          // a clip shorter than one second
    TooLittleOverlap,  // no lag in the range overlaps the recorder's sound long enough
    FlatCorrelation,   // no peak stands out of the noise
    AmbiguousMatch,    // another place matches nearly as well
    TakeTooShortForDrift,
    UnsupportedSampleRate,  // below 1 kHz or above 768 kHz
};

// Why sound cannot confirm, for "sound cannot confirm: …" ("camera sound is silent").
std::string audioSyncProblemText(AudioSyncProblem problem);

// The lags to consider: the recorder time (from the start of the recorder's excerpt) at which
// the camera's first sample sounds.
struct LagRange {
    double minimumSeconds = -std::numeric_limits<double>::infinity();
    double maximumSeconds = std::numeric_limits<double>::infinity();

    static LagRange around(double expectedSeconds, double toleranceSeconds) {
        return {expectedSeconds - toleranceSeconds, expectedSeconds + toleranceSeconds};
    }
    static LagRange anywhere() { return {}; }
    double width() const { return maximumSeconds - minimumSeconds; }
};

struct AudioAlignment {
    AudioSyncProblem problem = AudioSyncProblem::FlatCorrelation;
    // The recorder time (from the start of its excerpt) at which the camera's first sample
    // sounds; the same in recorder samples, between samples. Set whenever a best match was
    // found, also below the threshold (then for diagnosis only).
    double lagSeconds = 0.0;
    double lagRecorderSamples = 0.0;
    int32_t recorderSampleRate = 0;
    // 0 … 1: how far the peak stands out of the next best place and of the noise.
    double confidence = 0.0;
    // The normalised correlation at the lag (−1 … 1; negative: one side's polarity inverted).
    double correlation = 0.0;
    double nextBestRatio = 1.0;  // the next best place's correlation ÷ the peak's
    // The best correlation the camera's sound played backwards (surely unrelated) reaches over
    // the same lags, ÷ the peak's: what chance alone gives.
    double chanceRatio = 1.0;
    double peakToNoise = 0.0;  // the peak in standard deviations of the correlation noise

    static AudioAlignment failure(AudioSyncProblem problem) {
        AudioAlignment alignment;
        alignment.problem = problem;
        return alignment;
    }

    bool confirmed() const { return problem == AudioSyncProblem::None; }
    bool polarityInverted() const { return correlation < 0.0; }
    // The lag at the recorder's rate, rounded to the nearest sample.
    CMTime lagTime() const;
};

}  // namespace vorlane
