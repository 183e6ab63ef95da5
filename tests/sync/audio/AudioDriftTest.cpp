// Clock drift measured on a take whose camera clock sox's speed effect slowed.
#include <gtest/gtest.h>

#include <cstdio>

#include "sync/audio/AudioDrift.h"
#include "sync/audio/SpeechCorpus.h"

namespace vorlane {
namespace {

using test::SpeechCorpus;

// A recorder pulled up by 1000 ppm against the camera over a ten-minute take: 0.6 s, 15 frames
// at 25 fps.
TEST(AudioDrift, MeasuresAThousandPpmOverTenMinutes) {
    SpeechCorpus* corpus = SpeechCorpus::shared();
    if (!corpus) GTEST_SKIP() << "espeak-ng or sox is not installed (scripts/deps installs them)";
    const auto take = corpus->driftingTake(10.0, 1000.0);
    const AudioExcerpt camera{take.camera, take.cameraRate};
    const AudioDrift drift = measureAudioDrift(camera, {take.recorder, take.recorderRate},
                                               LagRange::around(take.timecodeSeconds, 1.0));
    ASSERT_TRUE(drift.measured()) << audioSyncProblemText(drift.problem);
    std::printf("drift %.3f ppm, %.2f frames at 25 fps over %.0f s, confidence %.3f\n", drift.ppm,
                drift.framesOver(camera.seconds(), 25.0), camera.seconds(), drift.confidence);
    EXPECT_NEAR(drift.ppm, 1000.0, 20.0);
    EXPECT_NEAR(drift.framesOver(camera.seconds(), 25.0), 15.0, 0.3);
    // Each end where the camera's clock puts it.
    EXPECT_NEAR(drift.startLagSeconds, take.truthSeconds + 1.001 * drift.startCameraSeconds, 0.001);
    EXPECT_NEAR(drift.endLagSeconds, take.truthSeconds + 1.001 * drift.endCameraSeconds, 0.001);
    EXPECT_GE(drift.confidence, kAudioSyncConfidenceThreshold);

    const std::vector<float> shortTake(take.camera.begin(),
                                       take.camera.begin() + 100 * take.cameraRate);
    EXPECT_EQ(measureAudioDrift({shortTake, take.cameraRate}, {take.recorder, take.recorderRate},
                                LagRange::anywhere())
                  .problem,
              AudioSyncProblem::TakeTooShortForDrift);
}

}  // namespace
}  // namespace vorlane
