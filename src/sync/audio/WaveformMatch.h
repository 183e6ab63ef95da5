// The step every alignment ends in: one window of the camera's sound compared with a
// recorder's sound on the waveforms, over the lags near where it should lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "sync/audio/AudioAlignment.h"
#include "sync/audio/AudioExcerpt.h"
#include "sync/audio/CorrelationScan.h"

namespace vorlane {

// Peaks closer than this are one place (a lag off by more is a wrong answer).
constexpr double kPeakWidthSeconds = 0.001;

// A recorder's sound: in memory, or read from its file on demand (`read` answers silence
// outside the recording).
struct Recording {
    int32_t sampleRate = 0;
    int64_t sampleCount = 0;
    std::function<std::vector<float>(int64_t firstSample, size_t count)> read;

    double seconds() const { return double(sampleCount) / sampleRate; }
};

Recording recordingInMemory(const AudioExcerpt& excerpt);

// The overlap with a recording that a lag of a window (or contour) of `seconds` needs: half
// of it, and at least a second.
double minimumOverlapFor(double seconds);

// The camera window compared on the waveforms (AnalysisSignal.h), forwards and backwards.
struct CameraWindow {
    double startSeconds = 0.0;  // camera time of its first sample
    double seconds = 0.0;       // its length in recorder time
    CorrelationQuery query;
    CorrelationQuery reversed;  // the window played backwards: sound surely unrelated

    CameraWindow(const AudioExcerpt& camera, double start, double length, double clockRatio);

    // The overlap with the recording a lag needs.
    double minimumOverlapSeconds() const;

  private:
    CameraWindow(double start, double length, std::vector<float> samples);
};

// A waveform match: the recorder time of the window's first sample and the peak's figures.
struct WindowMatch {
    AudioSyncProblem problem = AudioSyncProblem::None;
    double windowLag = 0.0;
    CorrelationPeak peak;
    double chancePeak = 0.0;  // the backwards window's best over the same lags (forwards only)
};

// Which way the camera window is compared: as recorded (with the backwards sound over the same
// lags as a measure of chance), or only backwards (the search for chance matches).
enum class Direction { Forwards, Backwards };

// The best match of the window among window lags (the recorder time of its first sample)
// [lagMin, lagMax]. The correlation is evaluated at least two seconds either side, where the
// next best place and the noise are measured.
WindowMatch matchWindow(CameraWindow& window, const Recording& recording, double lagMin,
                        double lagMax, Direction direction = Direction::Forwards);

}  // namespace vorlane
