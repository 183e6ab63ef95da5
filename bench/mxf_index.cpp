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
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/mxf/MXFFileStructure.h"
#include "platform/ByteOrder.h"

namespace {

using namespace vorlane;

constexpr uint64_t kEssenceLength = 6ull << 30;
// Layout of the sample: header partition up to the body partition's essence, footer partition
// (with its index segment and the random index pack) to the end.
constexpr size_t kEssenceStart = 0x1600;
constexpr size_t kFooterStart = 0x87600;
constexpr size_t kHeaderFooterOffset = 0x2A;
constexpr size_t kFooterThisOffset = 0x1A;
constexpr size_t kFooterFooterOffset = 0x2A;
constexpr size_t kRandomIndexFooterEntry = 0x42D;

std::filesystem::path samplePath() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
           "testdata" / "mxf" / "bmx_d10_sample.mxf";
}

std::filesystem::path sparsePath() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_mxf_index_6g.mxf";
}

bool writeSparseFile(const std::filesystem::path& path) {
    std::ifstream in(samplePath(), std::ios::binary);
    std::vector<uint8_t> sample{std::istreambuf_iterator<char>(in), {}};
    if (sample.size() <= kFooterStart + kRandomIndexFooterEntry + 8) return false;
    // One picture element with an 8-byte length holds all the essence.
    std::vector<uint8_t> essenceHeader = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D,
                                          0x01, 0x03, 0x01, 0x05, 0x01, 0x01, 0x00, 0x88};
    essenceHeader.resize(essenceHeader.size() + 8);
    writeBE64(essenceHeader.data() + 17, kEssenceLength);
    const uint64_t footer = kEssenceStart + essenceHeader.size() + kEssenceLength;

    std::vector<uint8_t> head(sample.begin(), sample.begin() + kEssenceStart);
    writeBE64(head.data() + kHeaderFooterOffset, footer);
    std::vector<uint8_t> tail(sample.begin() + kFooterStart, sample.end());
    writeBE64(tail.data() + kFooterThisOffset, footer);
    writeBE64(tail.data() + kFooterFooterOffset, footer);
    writeBE64(tail.data() + kRandomIndexFooterEntry, footer);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    out.write(reinterpret_cast<const char*>(essenceHeader.data()),
              std::streamsize(essenceHeader.size()));
    out.seekp(std::streamoff(footer));  // the essence stays a hole
    out.write(reinterpret_cast<const char*>(tail.data()), std::streamsize(tail.size()));
    return bool(out);
}

void BM_IndexSparseMXF(benchmark::State& state) {
    const std::filesystem::path path = sparsePath();
    if (!std::filesystem::exists(path) && !writeSparseFile(path)) {
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
