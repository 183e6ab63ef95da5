// How syncing grows with the pool: for generated shooting days of 250 to 2,000 in-memory files
// (two cameras and a recorder, a take a minute, some files without timecode), the sync
// information of every file and the synced clip of every video file, as the application builds
// them (one sorted snapshot of the pool per round). For comparison, the sync information by the
// matching rule applied to every pair of files.
//
//   build/release/bench/bench_sync_scale
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "sync/MediaSyncComposition.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr int32_t kSampleRate = 48000;

std::shared_ptr<MediaTrack> addAudio(MediaFile& file, CMTime length) {
    auto track = file.addTrackWithMediaType(MediaTrackTypeAudio, 0);
    track->setCodecName("Linear PCM");
    track->setAudioChannelCount(2);
    track->setAudioBitDepth(24);
    track->setAudioSampleRate(kSampleRate);
    track->setTimeRange({kCMTimeZero, length});
    return track;
}

std::shared_ptr<MediaFile> camera(int take, int cameraIndex, bool timed) {
    auto file = std::make_shared<MediaFile>("/day/cam" + std::to_string(cameraIndex) + "/C" +
                                            std::to_string(take) + ".mov");
    auto video = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    video->setCodecName("H.264");
    video->setVideoSize({1920, 1080});
    video->setVideoFrameRate(25.0);
    const CMTime length = CMTimeMake(25 * 30 + take % 50, 25);
    video->setTimeRange({kCMTimeZero, length});
    addAudio(*file, length);
    file->setMetaDataValue(kModel, cameraIndex == 0 ? "FX6" : "FX9");
    file->setMetaDataValue(kSerialNumber, std::to_string(cameraIndex));
    if (timed) {
        // Takes a minute apart from 08:00, the cameras rolling a little after the sound.
        const int64_t frame =
            (8 * 3600 + 60 * int64_t(take)) * 25 + 25 * (2 + cameraIndex) + take % 7;
        auto value = TCHelper::helperWithFrameCount(frame, 25.0, false);
        value->setType(TCTypeFile);
        file->addTimecodeTrackWithTCHelper(value);
    }
    return file;
}

std::shared_ptr<MediaFile> recorder(int take) {
    auto file = std::make_shared<MediaFile>("/day/sound/T" + std::to_string(take) + ".wav");
    addAudio(*file, CMTimeMake(kSampleRate * 40 + take, kSampleRate));
    file->setMetaDataValue(kModel, "MixPre");
    auto value = TCHelper::helperWithTime(
        CMTimeMake((8 * 3600 + 60 * int64_t(take)) * kSampleRate + 13 * take, kSampleRate), 25.0,
        false);
    value->setType(TCTypeFile);
    file->addTimecodeTrackWithTCHelper(value);
    return file;
}

// A pool of about `count` files: per take a recorder file and one or two camera files; every
// twentieth camera file has no timecode.
struct GeneratedPool {
    UserDefaults defaults{"/nonexistent/vorlane-bench-defaults.json"};
    NotificationCenter center;
    std::shared_ptr<MediaPool> pool;

    explicit GeneratedPool(int count) {
        defaults.setBool(true, DefaultsKey::automaticallySetSyncGroups);
        pool = MediaPool::create(
            [](const std::filesystem::path&, MediaPool&) {
                return MediaReaderChoice{nullptr, {}, "in-memory files only"};
            },
            defaults, center);
        std::vector<std::shared_ptr<MediaFile>> files;
        for (int take = 0; int(files.size()) < count; ++take) {
            files.push_back(recorder(take));
            files.push_back(camera(take, 0, take % 20 != 7));
            if (take % 3 != 0 && int(files.size()) < count) files.push_back(camera(take, 1, true));
        }
        pool->analyzeItemsInBackground(files);
        MainQueue::runUntil([this] { return !pool->hasPendingAnalysis(); },
                            std::chrono::minutes(5));
        MainQueue::drain();
        pool->enumerateSyncGroups();
    }
};

GeneratedPool& poolOfSize(int count) {
    static std::map<int, std::unique_ptr<GeneratedPool>> pools;
    auto& slot = pools[count];
    if (!slot) slot = std::make_unique<GeneratedPool>(count);
    return *slot;
}

// The sync information of every file, then the synced clip of every video file.
void BM_SyncInformationAndClips(benchmark::State& state) {
    GeneratedPool& generated = poolOfSize(int(state.range(0)));
    CompositionSettings settings;
    settings.involveDate = true;
    settings.keepOriginalAudio = true;
    size_t segments = 0;
    for (auto _ : state) {
        const auto index = MediaSyncIndex::indexWithMediaPool(*generated.pool);
        for (const auto& file : index->sortedFiles())
            MediaSyncComposition::updateSyncInfoOfMediaFile(*file, *index, true, false);
        segments = 0;
        for (const auto& file : generated.pool->files()) {
            if (!(file->type() & MediaTypeVideo)) continue;
            auto clip = MediaSyncComposition::syncCompositionWithMasterFile(file, index, settings);
            clip->syncMedia();
            for (const auto& track : clip->tracks())
                segments += track->segments().size();
        }
        benchmark::DoNotOptimize(segments);
    }
    state.counters["files"] = double(generated.pool->count());
    state.counters["segments"] = double(segments);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SyncInformationAndClips)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// The sync information by the rule over every pair (what the round above must agree with).
void BM_SyncInformationPairwise(benchmark::State& state) {
    GeneratedPool& generated = poolOfSize(int(state.range(0)));
    const auto files = generated.pool->files();
    for (auto _ : state) {
        int synced = 0;
        for (const auto& file : files) {
            int32_t types = 0;
            for (const auto& other : files)
                if (MediaSyncComposition::isMediaFile(*file, *other, true, false, false))
                    types |= other->type();
            synced += (types & MediaTypeAudio) && (file->type() & MediaTypeVideo);
        }
        benchmark::DoNotOptimize(synced);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SyncInformationPairwise)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
