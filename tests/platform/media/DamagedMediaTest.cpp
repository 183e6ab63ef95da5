// Cut and overwritten files: every operation answers (nothing, or what is still readable) and
// nothing reads outside its buffers (the suite runs under the sanitizers).
#include <gtest/gtest.h>

#include <random>

#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/AssetImageGenerator.h"
#include "platform/media/GeneratedMedia.h"
#include "platform/media/MediaAsset.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

// Uses everything the asset offers; answers how many audio frames came out. Whatever the damage,
// the one second asked of a track never gives more than a second of sound, and the samples fill
// exactly the frames claimed.
int64_t walk(const std::shared_ptr<MediaAsset>& asset) {
    int64_t frames = 0;
    for (const AssetTrack& track : asset->tracks()) {
        if (track.mediaType == AssetMediaType::Timecode) {
            asset->firstTimecodeFrameNumber(track.trackID);
        }
        if (track.mediaType == AssetMediaType::Audio) {
            const auto audio =
                decodeAudioTrack(*asset, track.trackID, {CMTimeMake(1, 2), CMTimeMake(1, 1)}, 24);
            if (!audio) continue;
            EXPECT_LE(audio->frameCount, audio->sampleRate);
            EXPECT_EQ(audio->samples.size(), size_t(audio->frameCount) * audio->bytesPerFrame());
            frames += audio->frameCount;
        }
    }
    AssetImageGenerator(asset).copyImageAtTime(CMTimeMake(1, 1));
    return frames;
}

TEST(DamagedMedia, CutFilesAnswerWhatRemains) {
    VORLANE_REQUIRE_FFMPEG();
    for (const std::string name :
         {"faststart.mov", "clip.ts", "tone.mp3", "tone16.wav", "tone.m4a", "tone.ac3"}) {
        SCOPED_TRACE(name);
        const std::string bytes = test::readFile(test::generatedMedia(name));
        for (const size_t divisor : {2, 3, 7}) {
            const size_t keep = bytes.size() / divisor;
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(keep));
            if (const auto asset = MediaAsset::assetWithBytes(cut)) walk(asset);
        }
    }
    // A 3 s WAV file cut to two thirds still holds the first 2 s: 0.5 to 1.5 s is whole.
    const std::string wave = test::readFile(test::generatedMedia("tone16.wav"));
    const std::vector<uint8_t> cut(wave.begin(),
                                   wave.begin() + std::ptrdiff_t(wave.size() * 2 / 3));
    const auto asset = MediaAsset::assetWithBytes(cut);
    ASSERT_TRUE(asset);
    EXPECT_EQ(walk(asset), 48000);
}

TEST(DamagedMedia, OverwrittenBytesDoNotCrash) {
    VORLANE_REQUIRE_FFMPEG();
    std::mt19937 random(7);
    int opened = 0;
    for (const std::string name :
         {"faststart.mov", "qt25.mov", "clip.ts", "tone.mp3", "tone24.wav", "tone.m4a"}) {
        SCOPED_TRACE(name);
        const std::string original = test::readFile(test::generatedMedia(name));
        for (int round = 0; round < 12; ++round) {
            std::vector<uint8_t> bytes(original.begin(), original.end());
            // Header regions are where the sizes and counts live: hit them more often.
            const size_t span = round % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 4096);
            for (int hit = 0; hit < 4; ++hit) {
                const size_t at = random() % span;
                for (size_t k = at; k < std::min(bytes.size(), at + 16); ++k)
                    bytes[k] = round % 3 ? uint8_t(random()) : 0xff;
            }
            if (const auto asset = MediaAsset::assetWithBytes(bytes)) {
                walk(asset);
                ++opened;
            }
        }
    }
    // Most damage leaves a file that still opens; the checks in walk() then ran on it.
    EXPECT_GT(opened, 36);
}

}  // namespace
}  // namespace vorlane
