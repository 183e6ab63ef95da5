// Scanning large days as `vorlane scan` does (walk, pool, analysis with LTC reading, device
// groups): 2,000 to 20,000 files, either small non-media files or copies of a small shoot of
// 12 Broadcast WAV files (two recorders, the first writing each take as two files). The time
// per file must stay flat as the count grows.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/ApplicationController.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/Signals.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace {

namespace fs = std::filesystem;
using namespace vorlane;

constexpr int kShootFiles = 12;
constexpr int kFilesPerFolder = 1000;

fs::path benchFolder() {
    static const fs::path folder = [] {
        const fs::path made = fs::temp_directory_path() / "vorlane-bench-scan-scale";
        fs::remove_all(made);
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

// Four takes a minute apart: recorder A's two files (tracks 1 and 2) and recorder B's file.
fs::path shoot() {
    const fs::path folder = benchFolder() / "shoot";
    if (fs::exists(folder)) return folder;
    fs::create_directories(folder);
    for (int take = 0; take < kShootFiles / 3; ++take) {
        for (int file = 0; file < 3; ++file) {
            mediagen::RecorderTake recorder;
            recorder.path =
                folder / ("T" + std::to_string(take) + "_" + std::to_string(file) + ".wav");
            recorder.start = mediagen::Timecode{9, take, 0, 0};
            recorder.channels = {mediagen::sine(440.0, -20.0, 4800, 48000)};
            recorder.firstChannelIndex = file == 1 ? 2 : 1;
            recorder.originator = file == 2 ? "Vorlane RecorderB" : "Vorlane RecorderA";
            if (!mediagen::writeRecorderTake(recorder)) return {};
        }
    }
    return folder;
}

// A day of `count` files of the kind, made once per run.
fs::path day(bool media, int count) {
    const fs::path folder = benchFolder() / ((media ? "shoot-" : "notes-") + std::to_string(count));
    if (fs::exists(folder)) return folder;
    const fs::path source = media ? shoot() : fs::path();
    for (int index = 0; index < count; ++index) {
        const fs::path sub = folder / ("part" + std::to_string(index / kFilesPerFolder));
        if (index % kFilesPerFolder == 0) fs::create_directories(sub);
        if (!media) {
            std::ofstream(sub / ("note" + std::to_string(index) + ".txt")) << "not media\n";
        } else if (index % kShootFiles == 0) {
            fs::copy(source, sub / ("copy" + std::to_string(index / kShootFiles)));
        }
    }
    return folder;
}

void scan(benchmark::State& state, bool media) {
    Log::setStandardErrorEnabled(false);
    const int count = int(state.range(0));
    const fs::path folder = day(media, count);
    UserDefaults defaults(benchFolder() / "defaults.json");
    NotificationCenter center;
    size_t files = 0;
    for (auto _ : state) {
        ApplicationController controller(ApplicationHooks::standard(), defaults, center);
        const auto result = controller.addPaths({folder});
        controller.waitForAnalysis();
        controller.mediaPool().enumerateSyncGroups();
        files = controller.mediaPool().count();
        benchmark::DoNotOptimize(result);
    }
    state.counters["pool"] = double(files);
    state.counters["s_per_file"] = benchmark::Counter(
        double(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ScanNonMedia(benchmark::State& state) {
    scan(state, false);
}
void BM_ScanShootCopies(benchmark::State& state) {
    scan(state, true);
}

BENCHMARK(BM_ScanNonMedia)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_ScanShootCopies)
    ->Arg(2004)
    ->Arg(5004)
    ->Arg(10008)
    ->Arg(20004)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
