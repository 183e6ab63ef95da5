// Indexing a multi-gigabyte MXF file reads only its structure. The file is the shared D-10
// sample's header partition and footer (metadata, index segment, random index pack) around one
// 6 GiB essence item that is a hole in a sparse file. Reports the time and the bytes read per
// analysis (partitions, header metadata, index segments).
//
// The file is written to $TMPDIR/vorlane_bench_mxf_index_6g.mxf and removed at the end unless
// VORLANE_BENCH_KEEP is set (to time other tools on the same file).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "SparseMXF.h"
#include "formats/mxf/MXFFileStructure.h"

namespace {

using namespace vorlane;

constexpr uint64_t kEssenceLength = 6ull << 30;

std::filesystem::path sparsePath() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_mxf_index_6g.mxf";
}

void BM_IndexSparseMXF(benchmark::State& state) {
    const std::filesystem::path path = sparsePath();
    if (!std::filesystem::exists(path) && !bench::writeSparseMXF(path, kEssenceLength)) {
        state.SkipWithError("the shared D-10 sample is absent");
        return;
    }
    uint64_t bytesRead = 0;
    size_t partitions = 0;
    size_t segments = 0;
    size_t sets = 0;
    for (auto _ : state) {
        auto raw = std::shared_ptr<MXFRawAccess>(MXFRawAccess::initWithURL(path));
        MXFFileStructure structure(raw);
        const bool loaded = raw && structure.loadPartitions() && structure.loadHeaderMetadata() &&
                            structure.loadIndexTables();
        if (!loaded) {
            state.SkipWithError("the file did not load");
            return;
        }
        bytesRead = raw->bytesRead();
        partitions = structure.partitions().size();
        segments = structure.indexTables().size();
        sets = structure.metadataSets().size();
        benchmark::DoNotOptimize(structure);
    }
    state.counters["bytesRead"] = double(bytesRead);
    state.counters["fileGiB"] = double(std::filesystem::file_size(path)) / double(1ull << 30);
    state.counters["partitions"] = double(partitions);
    state.counters["sets"] = double(sets);
    state.counters["segments"] = double(segments);
}
BENCHMARK(BM_IndexSparseMXF)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("VORLANE_BENCH_KEEP")) {
        std::error_code error;
        std::filesystem::remove(sparsePath(), error);
    }
    return 0;
}
