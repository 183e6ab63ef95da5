// The sync check as the file list and `vorlane verify` run it, against scanning the same day:
// eight takes made by ffmpeg, each a recorder file (75 s of pink noise, two channels, 24-bit
// Broadcast WAV with its time reference) and a camera clip (an H.264 picture with a timecode track
// and 60 s of the recorder's sound as 16-bit PCM, five seconds into the take). The picture is
// either a tiny one, which leaves the scan little but the sound to read, or a camera's HD frame
// (1920 x 1080 test pattern, a key frame every second), whose thumbnail the scan decodes.
//   - Scanning the day: the files added to a pool and analysed with the standard settings (LTC
//     read, thumbnails made), per clip, for both picture sizes.
//   - Checking every clip by its sound (the pool analysed beforehand), per clip, with camera
//     excerpts of 60, 20 and 10 s, for both picture sizes: the camera's sound is read from
//     between its pictures.
// Times are the process's CPU time (the scan analyses on worker threads; this machine is shared),
// items are clips: a 500-clip day costs 500 ÷ items_per_second.
//
//   build/release/bench/bench_audio_check
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "RunFfmpeg.h"
#include "app/ApplicationController.h"
#include "app/StandardDefaults.h"
#include "platform/UserDefaults.h"
#include "sync/MediaSyncIndex.h"
#include "sync/audio/AudioSyncCheck.h"

namespace vorlane {
namespace {

constexpr int kTakes = 8;
constexpr int32_t kRate = 48000;

std::filesystem::path workFolder() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_audio_check";
}

// The day's folder with pictures `height` lines high (36 or 1080), made once; empty when ffmpeg
// failed.
std::filesystem::path day(int64_t height) {
    const bool hd = height >= 1080;
    const auto folder = workFolder() / (hd ? "day_hd" : "day");
    const auto marker = folder / ".complete";
    if (std::filesystem::exists(marker)) return folder;
    std::filesystem::create_directories(folder);
    for (int take = 0; take < kTakes; ++take) {
        const int minutes = 2 * take;
        const auto recorder = folder / ("REC_" + std::to_string(take) + ".WAV");
        char timecode[16];
        std::snprintf(timecode, sizeof timecode, "10:%02d:05:00", minutes);
        const long long reference = (36000LL + minutes * 60LL) * kRate;
        if (!ffmpeg({"-f", "lavfi", "-i",
                     "anoisesrc=c=pink:r=48000:d=75:seed=" + std::to_string(take + 1), "-ac", "2",
                     "-c:a", "pcm_s24le", "-write_bext", "1", "-metadata",
                     "time_reference=" + std::to_string(reference), recorder.string()}) ||
            !ffmpeg({"-f",
                     "lavfi",
                     "-i",
                     hd ? "testsrc2=s=1920x1080:r=25:d=60" : "color=s=64x36:r=25:d=60",
                     "-ss",
                     "5",
                     "-t",
                     "60",
                     "-i",
                     recorder.string(),
                     "-map",
                     "0:v",
                     "-map",
                     "1:a",
                     "-ac",
                     "1",
                     "-c:v",
                     "libx264",
                     "-preset",
                     "ultrafast",
                     "-g",
                     "25",
                     "-c:a",
                     "pcm_s16le",
                     "-timecode",
                     timecode,
                     (folder / ("CAM_" + std::to_string(take) + ".mov")).string()}))
            return {};
    }
    std::fclose(std::fopen(marker.c_str(), "w"));
    return folder;
}

struct Scanned {
    Scanned() : defaults(workFolder() / "defaults.json") {
        StandardDefaults::createIfNeeded(defaults);
        controller =
            std::make_unique<ApplicationController>(ApplicationHooks::standard(), defaults, center);
    }
    UserDefaults defaults;
    NotificationCenter center;
    std::unique_ptr<ApplicationController> controller;
};

std::unique_ptr<Scanned> scan(const std::filesystem::path& folder) {
    auto scanned = std::make_unique<Scanned>();
    scanned->controller->addPaths({folder});
    scanned->controller->waitForAnalysis();
    scanned->controller->mediaPool().enumerateSyncGroups();
    return scanned;
}

void BM_ScanTheDay(benchmark::State& state) {
    const auto folder = day(state.range(0));
    if (folder.empty()) return state.SkipWithError("ffmpeg failed");
    for (auto _ : state)
        benchmark::DoNotOptimize(scan(folder));
    state.SetItemsProcessed(int64_t(state.iterations()) * kTakes);
}
BENCHMARK(BM_ScanTheDay)
    ->ArgName("picture")
    ->Arg(36)
    ->Arg(1080)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();

void BM_CheckTheDay(benchmark::State& state) {
    const auto folder = day(state.range(0));
    if (folder.empty()) return state.SkipWithError("ffmpeg failed");
    const auto scanned = scan(folder);
    MediaPool& pool = scanned->controller->mediaPool();
    const auto index = MediaSyncIndex::indexWithMediaPool(pool);
    const auto settings = CompositionSettings::fromUserDefaults(pool.userDefaults());
    AudioSyncCheckOptions options;
    options.excerptSeconds = double(state.range(1));
    int agreeing = 0;
    for (auto _ : state) {
        agreeing = 0;
        for (const auto& file : pool.files()) {
            if (!file->hasVideo()) continue;
            const auto check = checkAudioSyncOfFile(file, index, settings, options);
            agreeing += check.verdict == AudioSyncCheck::Verdict::Agrees ? 1 : 0;
        }
    }
    state.counters["agreeing"] = agreeing;
    state.SetItemsProcessed(int64_t(state.iterations()) * kTakes);
}
BENCHMARK(BM_CheckTheDay)
    ->ArgNames({"picture", "excerpt"})
    ->ArgsProduct({{36, 1080}, {60, 20, 10}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
