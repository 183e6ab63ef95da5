#include "sync/audio/AudioAlignment.h"

#include <cmath>

namespace vorlane {

std::string audioSyncProblemText(AudioSyncProblem problem) {
    switch (problem) {
        case AudioSyncProblem::None:
            return "";
        case AudioSyncProblem::NoCameraSound:
            return "the clip has no sound";
        case AudioSyncProblem::SilentCameraSound:
            return "the clip's sound is silent";
        case AudioSyncProblem::NoRecorderSound:
            return "no recorder sound";
        case AudioSyncProblem::SilentRecorderSound:
            return "the recorder's sound is silent";
        case AudioSyncProblem::TooShort:
            return "shorter than one second";
        case AudioSyncProblem::TooLittleOverlap:
            return "too little overlap with the recorder's sound";
        case AudioSyncProblem::FlatCorrelation:
            return "no clear match in the sound";
        case AudioSyncProblem::AmbiguousMatch:
            return "the sound matches several places";
        case AudioSyncProblem::TakeTooShortForDrift:
            return "the take is shorter than two minutes";
        case AudioSyncProblem::UnsupportedSampleRate:
            return "unsupported sample rate";
    }
    return "";
}

CMTime AudioAlignment::lagTime() const {
    if (recorderSampleRate <= 0) return kCMTimeInvalid;
    return CMTimeMake(int64_t(std::llround(lagRecorderSamples)), recorderSampleRate);
}

}  // namespace vorlane
