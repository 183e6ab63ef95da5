// Making a QuickTime movie of an MXF file's essence, side by side with the ffmpeg program.
//
// The clip: two minutes of OP1a MPEG-2 4:2:2 at 25 fps and 30 Mbit/s with four mono 24-bit sound
// tracks and a timecode, made by ffmpeg. BM_ReferenceMovie: Vorlane's analysis plus reference
// movie (every edit unit found through the index, nothing of the essence copied);
// BM_FFmpegRewrap: `ffmpeg -c copy` of all streams into a QuickTime movie (the essence copied);
// BM_FFmpegDemux: ffmpeg only reading all packets (`-f null`). Times are wall-clock, ffmpeg's
// process start included.
//
// Files live in $TMPDIR/vorlane_bench_mxf_reference_movie and are removed at the end unless
// VORLANE_BENCH_KEEP is set.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RunFfmpeg.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFReferenceMovie.h"
#include "platform/Log.h"

namespace {

using namespace vorlane;
namespace fs = std::filesystem;

fs::path workFolder() {
    return fs::temp_directory_path() / "vorlane_bench_mxf_reference_movie";
}

// The clip, made once; empty when ffmpeg could not make it.
const fs::path& clip() {
    static const fs::path path = [] {
        fs::create_directories(workFolder());
        const fs::path made = workFolder() / "A001C001.mxf";
        const bool ok =
            fs::exists(made) ||
            ffmpeg(
                {"-f",         "lavfi",       "-i",       "testsrc=size=720x576:rate=25",
                 "-f",         "lavfi",       "-i",       "sine=frequency=1000:sample_rate=48000",
                 "-t",         "120",         "-map",     "0:v",
                 "-map",       "1:a",         "-map",     "1:a",
                 "-map",       "1:a",         "-map",     "1:a",
                 "-c:v",       "mpeg2video",  "-b:v",     "30M",
                 "-minrate",   "30M",         "-maxrate", "30M",
                 "-bufsize",   "2M",          "-pix_fmt", "yuv422p",
                 "-g",         "12",          "-c:a",     "pcm_s24le",
                 "-timecode",  "10:00:00:00", "-f",       "mxf",
                 made.string()});
        return ok ? made : fs::path();
    }();
    return path;
}

void BM_ReferenceMovie(benchmark::State& state) {
    if (clip().empty()) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    const fs::path movie = workFolder() / "reference.mov";
    for (auto _ : state) {
        const auto file = MXFFile::initWithURL(clip());
        if (!file || !file->analyzeMXF() || !MXFReferenceMovie::writeMovieOfFile(*file, movie)) {
            state.SkipWithError("the reference movie was not written");
            return;
        }
    }
    state.counters["movieKiB"] = double(fs::file_size(movie)) / 1024.0;
    state.counters["clipMiB"] = double(fs::file_size(clip())) / double(1 << 20);
}
BENCHMARK(BM_ReferenceMovie)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FFmpegRewrap(benchmark::State& state) {
    if (clip().empty()) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    const fs::path movie = workFolder() / "rewrapped.mov";
    for (auto _ : state) {
        if (!ffmpeg({"-i", clip().string(), "-map", "0", "-c", "copy", movie.string()})) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
    }
    state.counters["movieKiB"] = double(fs::file_size(movie)) / 1024.0;
}
BENCHMARK(BM_FFmpegRewrap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FFmpegDemux(benchmark::State& state) {
    if (clip().empty()) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    for (auto _ : state) {
        if (!ffmpeg({"-i", clip().string(), "-map", "0", "-c", "copy", "-f", "null", "-"})) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
    }
}
BENCHMARK(BM_FFmpegDemux)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    Log::setStandardErrorEnabled(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("VORLANE_BENCH_KEEP")) {
        std::error_code error;
        fs::remove_all(workFolder(), error);
    }
    return 0;
}
