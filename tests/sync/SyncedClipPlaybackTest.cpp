// The player on the demo shooting day (made by ffmpeg, libsndfile and libltc's encoder): a
// camera take's synced clip, as the playback mapping lays it out, shows the camera's own frames
// (compared with ffmpeg's decode) and plays the camera's and the recorder's clap on the sample
// where the picture shows it.
#include <gtest/gtest.h>

#include <cmath>

#include "export/ExportTestSupport.h"
#include "media/MediaPool.h"
#include "platform/media/CompositionAudioMixer.h"
#include "platform/media/CompositionVideoReader.h"
#include "support/TestSupport.h"
#include "sync/MediaMapping.h"
#include "sync/MediaSyncComposition.h"

namespace vorlane {
namespace {

class SyncedClipPlaybackTest : public test::AnalysedDemoShootTest {
  protected:
    std::shared_ptr<const PlayableComposition> playbackOf(const std::string& name) {
        for (const auto& file : controller->mediaPool().files()) {
            if (file->name() != name) continue;
            auto clip =
                MediaSyncComposition::syncCompositionWithMasterFile(file, controller->mediaPool());
            clip->setXmlMode(false);
            clip->setForPlayback(true);
            clip->syncMedia();
            return MediaMapping::avCompositionForMediaObject(clip, MediaMappingPlayback);
        }
        return nullptr;
    }
};

TEST_F(SyncedClipPlaybackTest, ShowsTheCameraFramesAndPlaysTheClapWhereThePictureShowsIt) {
    const auto composition = playbackOf("A001_C001.mov");
    ASSERT_TRUE(composition);
    const PlayableSegment* picture = nullptr;
    for (const auto& track : composition->tracks())
        for (const auto& segment : track.segments())
            if (track.mediaType() == AssetMediaType::Video && !segment.empty && !picture)
                picture = &segment;
    ASSERT_TRUE(picture);
    const CMTime shift = picture->targetRange.start - picture->sourceRange.start;

    CompositionVideoReader reader(composition);
    const CMTime frame = reader.frameDuration();
    ASSERT_EQ(frame, CMTimeMake(1, 25));
    const auto first = reader.frameAtTime(shift + CMTimeMultiply(frame, 100));
    ASSERT_TRUE(first);
    const std::string raw = test::runTool(
        {"ffmpeg", "-v", "error", "-i", picture->sourceURL.string(), "-map", "0:v:0", "-fps_mode",
         "passthrough", "-f", "rawvideo", "-pix_fmt", first->pixelFormat, "-"});
    const size_t bytes = first->pixels.size();
    ASSERT_GT(raw.size(), 200 * bytes);
    for (const int64_t wanted : {100, 75, 190, 0, 1, 150, 149}) {
        const auto shown = reader.frameAtTime(shift + CMTimeMultiply(frame, wanted));
        ASSERT_TRUE(shown);
        const std::string pixels(shown->pixels.begin(), shown->pixels.end());
        EXPECT_TRUE(pixels == raw.substr(size_t(wanted) * bytes, bytes)) << "frame " << wanted;
    }

    // The clap of 10:00:05:00 is the camera's frame 75, 3 s into the take.
    CompositionAudioMixer mixer(composition);
    const int64_t rate = mixer.sampleRate();
    const int64_t clap = CMTimeConvertScale(shift + CMTimeMake(3, 1), int32_t(rate),
                                            CMTimeRoundingMethod::RoundHalfAwayFromZero)
                             .value;
    std::vector<float> sound;
    const int64_t from = clap - rate / 2;
    mixer.mix(from, rate, sound);
    const int channels = mixer.channelCount();
    int heard = 0;
    for (int channel = 0; channel < channels; ++channel) {
        float loudest = 0;
        for (int64_t index = 0; index < rate; ++index)
            loudest = std::max(loudest, std::fabs(sound[size_t(index * channels + channel)]));
        // Silent channels, and timecode channels that are never quiet, have no clap.
        float before = 0;
        for (int64_t index = 0; index < rate / 4; ++index)
            before = std::max(before, std::fabs(sound[size_t(index * channels + channel)]));
        if (loudest < 0.05f || before > loudest / 4) continue;
        int64_t edge = 0;
        while (2 * std::fabs(sound[size_t(edge * channels + channel)]) <= loudest)
            ++edge;
        EXPECT_EQ(from + edge, clap) << "channel " << channel;
        ++heard;
    }
    EXPECT_GE(heard, 2);  // the camera's and the recorder's
}

}  // namespace
}  // namespace vorlane
