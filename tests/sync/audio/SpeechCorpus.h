// Test material for the sound alignment, made from independent sources: speech from espeak-ng,
// noise from sox, and sox's own effects for the camera's distance (15 dB quieter, reverberant,
// low-passed at 4 kHz), its delay (a cut at a known sample) and its sample rate. The speech
// and noise pools are made once per test program in a scratch folder; each pair is then mixed
// from them by its seed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace vorlane::test {

struct SoundPair {
    std::vector<float> camera;
    int32_t cameraRate = 0;
    std::vector<float> recorder;
    int32_t recorderRate = 0;
    // The recorder time at which the camera's first sample sounds (for a drifting take: at
    // the camera's start).
    double truthSeconds = 0.0;
    // What a timecode slightly off would give: the truth moved by up to 0.3 s.
    double timecodeSeconds = 0.0;
};

class SpeechCorpus {
  public:
    // The shared corpus, or null when espeak-ng or sox is missing.
    static SpeechCorpus* shared();

    struct PairOptions {
        // Unrelated: the camera's speech comes from passages the recorder never heard.
        bool related = true;
        double clipSeconds = 0.0;  // 0: 6 to 20 s
        // The scene's passages (of 0 … 11); five drawn by the seed when empty.
        std::vector<int> passages;
    };
    // A boom recording of a scene and a camera clip cut from it, with room noise `snrDb` below
    // the camera's speech.
    SoundPair pair(uint32_t seed, double snrDb, const PairOptions& options);
    SoundPair pair(uint32_t seed, double snrDb) { return pair(seed, snrDb, PairOptions()); }
    // A take of `minutes` whose camera clock runs slow by `ppm` (sox's speed effect), with room
    // noise 10 dB below the camera's speech.
    SoundPair driftingTake(double minutes, double ppm);

    // The samples converted from one rate to another by sox.
    std::vector<float> resampledBySox(const std::vector<float>& samples, int32_t fromRate,
                                      int32_t toRate);

  private:
    SpeechCorpus();
    std::vector<float> scene(std::vector<int> passages, uint32_t seed) const;
    std::vector<float> cameraFromScene(const std::vector<float>& scene, int64_t firstSample,
                                       int64_t sampleCount, int32_t rate,
                                       const std::string& speed = "");
    void addNoise(std::vector<float>& samples, int32_t rate, double snrDb, uint32_t seed) const;

    ScratchFolder folder_;
    std::vector<std::vector<float>> passages_;  // at 48 kHz
    std::vector<float> roomNoise44_;
    std::vector<float> roomNoise48_;
    std::vector<float> boomNoise_;
    int fileCounter_ = 0;
};

}  // namespace vorlane::test
