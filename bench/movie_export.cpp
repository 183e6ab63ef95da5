// Writing movies, side by side with the ffmpeg program doing the same work.
//
// BM_Passthrough*: a day of four camera clips (H.264 1080p25, 20 s each, stereo 24-bit PCM,
// timecode track, made by ffmpeg) rewritten with their timecode: Vorlane's embed-timecode run
// (pictures copied, sound decoded and written as PCM, timecode track, metadata) against
// `ffmpeg -c copy` of each clip into a movie with the same timecode. Times are wall-clock, the
// tool's process starts included.
//
// BM_ProRes*: one of the clips encoded as ProRes 422 HQ (prores_ks, 10-bit 4:2:2): Vorlane's
// movie export against `ffmpeg -c:v prores_ks -profile:v 3`.
//
// Files live in $TMPDIR/vorlane_bench_movie_export and are removed at the end unless
// VORLANE_BENCH_KEEP is set.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RunFfmpeg.h"
#include "app/ApplicationController.h"
#include "app/ExportCommands.h"
#include "export/MediaExportOptionsController.h"
#include "export/MovieExport.h"
#include "export/MovieExportRun.h"
#include "media/MediaPool.h"
#include "platform/ByteOrder.h"
#include "platform/NotificationCenter.h"

namespace {

using namespace vorlane;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kClips = 4;

fs::path workFolder() {
    return fs::temp_directory_path() / "vorlane_bench_movie_export";
}

std::string timecodeOf(int clip) {
    return "10:0" + std::to_string(clip) + ":00:00";
}

// A clip of `seconds` at the path, made once.
bool makeClip(const fs::path& path, int seconds, const std::string& timecode) {
    return fs::exists(path) || ffmpeg({"-f",         "lavfi",
                                       "-i",         "testsrc2=size=1920x1080:rate=25",
                                       "-f",         "lavfi",
                                       "-i",         "sine=frequency=1000:sample_rate=48000",
                                       "-t",         std::to_string(seconds),
                                       "-c:v",       "libx264",
                                       "-preset",    "ultrafast",
                                       "-pix_fmt",   "yuv420p",
                                       "-c:a",       "pcm_s24le",
                                       "-ac",        "2",
                                       "-timecode",  timecode,
                                       path.string()});
}

// The day's clips, made once.
const std::vector<fs::path>& day() {
    static const std::vector<fs::path> clips = [] {
        std::vector<fs::path> made;
        fs::create_directories(workFolder() / "day");
        for (int clip = 0; clip < kClips; ++clip) {
            const fs::path path =
                workFolder() / "day" / ("A001_C00" + std::to_string(clip) + ".mov");
            if (!makeClip(path, 20, timecodeOf(clip))) return std::vector<fs::path>();
            made.push_back(path);
        }
        return made;
    }();
    return clips;
}

// The clip the ProRes benchmarks encode, in a folder of its own; empty when it cannot be made.
fs::path proResClip() {
    const fs::path path = workFolder() / "prores" / "B001_C001.mov";
    fs::create_directories(path.parent_path());
    return makeClip(path, 4, timecodeOf(0)) ? path : fs::path();
}

class QuietPanel : public MovieExportRunPanel {
  public:
    void logEntry(const std::string&) override {}
    void setPercent(double) override {}
    void stop() override {}
    bool aborted() const override { return false; }
};

// A pool of the day's clips, analysed.
struct DayPool {
    explicit DayPool(const std::vector<fs::path>& paths)
        : defaults(workFolder() / "defaults.json"),
          controller(ApplicationHooks::standard(), defaults, center) {
        controller.addPaths(paths);
        controller.waitForAnalysis(300s);
        controller.mediaPool().enumerateSyncGroups();
    }
    UserDefaults defaults;
    NotificationCenter center;
    ApplicationController controller;
};

fs::path freshOutput(const std::string& name) {
    const fs::path folder = workFolder() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void BM_PassthroughVorlane(benchmark::State& state) {
    if (day().empty()) return state.SkipWithError("ffmpeg could not make the clips");
    DayPool pool(day());
    MediaExportOptionsController options;
    options.readSettings();
    for (auto _ : state) {
        const fs::path out = freshOutput("vorlane");
        QuietPanel panel;
        MovieExportRun run(pool.controller.mediaPool(), panel,
                           ExportCommands::logHeader(pool.defaults));
        if (!run.exportTimecode(out, options)) state.SkipWithError("the export failed");
    }
}
BENCHMARK(BM_PassthroughVorlane)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PassthroughFFmpeg(benchmark::State& state) {
    if (day().empty()) return state.SkipWithError("ffmpeg could not make the clips");
    for (auto _ : state) {
        const fs::path out = freshOutput("ffmpeg");
        for (int clip = 0; clip < kClips; ++clip)
            if (!ffmpeg({"-i", day()[size_t(clip)].string(), "-map", "0:v", "-map", "0:a", "-c",
                         "copy", "-timecode", timecodeOf(clip),
                         (out / day()[size_t(clip)].filename()).string()}))
                state.SkipWithError("ffmpeg failed");
    }
}
BENCHMARK(BM_PassthroughFFmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ProResVorlane(benchmark::State& state) {
    const fs::path clip = proResClip();
    if (clip.empty()) return state.SkipWithError("ffmpeg could not make the clip");
    DayPool pool({clip});
    const auto file = pool.controller.mediaPool().files().front();
    for (auto _ : state) {
        MovieExport exporter(freshOutput("prores-vorlane"), pool.defaults);
        exporter.setVideoCodec(fourCC("apch"));
        exporter.exportClipAsync(file, MovieFileType::QuickTimeMovie);
        if (exporter.exportFailed()) state.SkipWithError(exporter.errorMessage().c_str());
    }
}
BENCHMARK(BM_ProResVorlane)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_ProResFFmpeg(benchmark::State& state) {
    const fs::path clip = proResClip();
    if (clip.empty()) return state.SkipWithError("ffmpeg could not make the clip");
    for (auto _ : state) {
        const fs::path out = freshOutput("prores-ffmpeg");
        if (!ffmpeg({"-i", clip.string(), "-map", "0:v", "-map", "0:a", "-c:v", "prores_ks",
                     "-profile:v", "3", "-pix_fmt", "yuv422p10le", "-c:a", "copy", "-timecode",
                     timecodeOf(0), (out / clip.filename()).string()}))
            state.SkipWithError("ffmpeg failed");
    }
}
BENCHMARK(BM_ProResFFmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("VORLANE_BENCH_KEEP")) {
        std::error_code error;
        fs::remove_all(workFolder(), error);
    }
    return 0;
}
