// Clock drift between a camera and a recorder over one take: the lag measured on the sound
// near the take's start and near its end. A camera at 24 fps against a recorder at 23.976, or a
// recorder with a pulled-up sample rate, drifts by 1000 ppm: 0.6 s over ten minutes.
#pragma once

#include "sync/audio/AudioAlignment.h"
#include "sync/audio/AudioExcerpt.h"

namespace vorlane {

// Takes shorter than this are not measured: over a shorter span the drift of good clocks
// stays below what the lag can show.
constexpr double kMinimumDriftTakeSeconds = 120.0;

struct AudioDrift {
    AudioSyncProblem problem = AudioSyncProblem::FlatCorrelation;
    // The change of the lag per second of camera time, in millionths: positive when the
    // recorder's sound falls later and later behind the camera's (the camera's clock runs slow
    // against the recorder's).
    double ppm = 0.0;
    // The two measurements: camera times of the windows' first samples and the recorder times
    // at which those samples sound.
    double startCameraSeconds = 0.0;
    double startLagSeconds = 0.0;
    double endCameraSeconds = 0.0;
    double endLagSeconds = 0.0;
    double confidence = 0.0;  // the lower of the two measurements'

    bool measured() const { return problem == AudioSyncProblem::None; }
    // How far the sound moves over a take of that length, in seconds and in frames.
    double secondsOver(double takeSeconds) const { return ppm * 1e-6 * takeSeconds; }
    double framesOver(double takeSeconds, double frameRate) const {
        return secondsOver(takeSeconds) * frameRate;
    }
};

// The drift of the camera's take against the recorder's sound; `startRange` bounds the lag of
// the camera's first sample as for alignAudio().
AudioDrift measureAudioDrift(const AudioExcerpt& camera, const AudioExcerpt& recorder,
                             LagRange startRange);

}  // namespace vorlane
