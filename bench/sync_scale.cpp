// How syncing grows with the pool: for generated shooting days of 250 to 2,000 in-memory files
// (two cameras and a recorder, a take a minute, some files without timecode), the sync
// information of every file and the synced clip of every video file, as the application builds
// them (one sorted snapshot of the pool per round). For comparison, the sync information by the
// matching rule applied to every pair of files.
//
//   build/release/bench/bench_sync_scale
#include <benchmark/benchmark.h>

#include "GeneratedPool.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncedClips.h"

namespace vorlane {
namespace {

using bench::GeneratedPool;
using bench::poolOfSize;

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
        buildSyncedClips(filesWithVideo(generated.pool->files()), index, settings, {},
                         [&](const auto&, const auto& clip) {
                             for (const auto& track : clip->tracks())
                                 segments += track->segments().size();
                         });
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
