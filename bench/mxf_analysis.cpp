// Analysing a multi-gigabyte MXF file (tracks, descriptors, start timecode) reads only its header
// metadata and index, side by side with `mediainfo` on the same file. The file is the shared D-10
// sample's header partition and footer around a 6 GiB essence item that is a hole in a sparse
// file. Each side reports its time per analysis and the bytes it read: ours from the file reader,
// mediainfo's from the kernel's count of bytes its read calls returned (/proc/PID/io, "rchar",
// taken while the exited process is not yet reaped). The ratios follow the benchmark table.
//
// The file is written to $TMPDIR/vorlane_bench_mxf_analysis_6g.mxf and removed at the end unless
// VORLANE_BENCH_KEEP is set.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "SparseMXF.h"
#include "formats/mxf/MXFFile.h"
#include "timecode/TCHelper.h"

extern char** environ;

namespace {

using namespace vorlane;

constexpr uint64_t kEssenceLength = 6ull << 30;

struct Measured {
    double seconds = 0.0;  // per analysis
    uint64_t bytesRead = 0;
};

Measured ours;
Measured mediaInfo;

std::filesystem::path sparsePath() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_mxf_analysis_6g.mxf";
}

bool prepareFile(benchmark::State& state) {
    const std::filesystem::path path = sparsePath();
    if (std::filesystem::exists(path) || bench::writeSparseMXF(path, kEssenceLength)) return true;
    state.SkipWithError("the shared D-10 sample is absent");
    return false;
}

void BM_MXFFileAnalysis(benchmark::State& state) {
    if (!prepareFile(state)) return;
    std::string timecode;
    uint64_t bytesRead = 0;
    for (auto _ : state) {
        auto file = MXFFile::initWithURL(sparsePath());
        if (!file || !file->analyzeMXF() || !file->fileTimecode()) {
            state.SkipWithError("the file did not analyse");
            return;
        }
        timecode = file->fileTimecode()->timecodeString(TCOptionWrap24h);
        bytesRead = file->bytesRead();
        benchmark::DoNotOptimize(file);
    }
    ours.bytesRead = bytesRead;
    state.counters["bytesRead"] = double(bytesRead);
    state.counters["fileGiB"] =
        double(std::filesystem::file_size(sparsePath())) / double(1ull << 30);
    state.SetLabel("start " + timecode);
}

// The "rchar" line of an exited, not yet reaped process.
std::optional<uint64_t> bytesReadByProcess(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return std::nullopt;
}

// Runs mediainfo on the file with its output discarded; the bytes it read, or nothing.
std::optional<uint64_t> runMediaInfo(const std::filesystem::path& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string file = path.string();
    char* argv[] = {const_cast<char*>("mediainfo"), const_cast<char*>("--Output=JSON"),
                    const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "mediainfo", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return std::nullopt;
    siginfo_t info{};
    waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT);
    const std::optional<uint64_t> bytes = bytesReadByProcess(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return bytes;
}

void BM_MediaInfo(benchmark::State& state) {
    if (!prepareFile(state)) return;
    uint64_t bytesRead = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::optional<uint64_t> bytes = runMediaInfo(sparsePath());
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!bytes) {
            state.SkipWithError("mediainfo did not run");
            return;
        }
        bytesRead = *bytes;
    }
    mediaInfo.bytesRead = bytesRead;
    state.counters["bytesRead"] = double(bytesRead);
}

// Keeps each side's mean time per analysis for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.benchmark_name().starts_with("BM_MXFFileAnalysis")) ours.seconds = seconds;
            if (run.benchmark_name().starts_with("BM_MediaInfo")) mediaInfo.seconds = seconds;
        }
    }
};

void printRatios() {
    if (ours.seconds <= 0.0 || mediaInfo.seconds <= 0.0 || ours.bytesRead == 0) return;
    std::printf("\nMXF analysis of the same 6 GiB file, vorlane vs mediainfo:\n");
    std::printf("  time per analysis: %.3f ms vs %.3f ms (mediainfo takes %.1f x as long)\n",
                ours.seconds * 1e3, mediaInfo.seconds * 1e3, mediaInfo.seconds / ours.seconds);
    std::printf("  bytes read:        %llu vs %llu (mediainfo reads %.1f x as many)\n",
                static_cast<unsigned long long>(ours.bytesRead),
                static_cast<unsigned long long>(mediaInfo.bytesRead),
                double(mediaInfo.bytesRead) / double(ours.bytesRead));
}

}  // namespace

BENCHMARK(BM_MXFFileAnalysis)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MediaInfo)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatios();
    if (!std::getenv("VORLANE_BENCH_KEEP")) {
        std::error_code error;
        std::filesystem::remove(sparsePath(), error);
    }
    return 0;
}
