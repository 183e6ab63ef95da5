// How an export grows with the day: FCPXML 1.7 and XML interchange of generated shooting days of
// 250 to 1,000 in-memory files, run as the export command runs them (options preselected from
// the pool, the sync groups numbered, one document written through a temporary file). Synced clips
// included. Reports the clips handed to the writer and the bytes written.
//
//   build/release/bench/bench_export_scale
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "CountingPanel.h"
#include "GeneratedPool.h"
#include "app/ExportCommands.h"
#include "export/XMLExportOptionsController.h"

namespace vorlane {
namespace {

using bench::CountingPanel;
using bench::GeneratedPool;
using bench::poolOfSize;

void exportDay(benchmark::State& state, XMLExportOptionsController::XMLTypeItem type,
               const char* name) {
    GeneratedPool& generated = poolOfSize(int(state.range(0)));
    const std::filesystem::path url = std::filesystem::temp_directory_path() / name;
    XMLExportOptionsController options;
    options.loadUserDefaults(generated.pool->userDefaults());
    options.xmlTypeSelect(type);
    ExportCommands commands(*generated.pool);
    commands.preselectOptions(options);
    options.setSyncedClipsChecked(true);
    options.readSettings();
    int clips = 0;
    for (auto _ : state) {
        CountingPanel panel;
        if (!commands.exportXML(url, options, panel)) state.SkipWithError("export failed");
        clips = panel.clips;
    }
    state.counters["files"] = double(generated.pool->count());
    state.counters["clips"] = clips;
    state.counters["bytes"] = double(std::filesystem::file_size(url));
    std::filesystem::remove(url);
    state.SetComplexityN(state.range(0));
}

void BM_ExportFCPXML(benchmark::State& state) {
    exportDay(state, XMLExportOptionsController::XMLTypeItemFCPXML17, "vorlane-bench.fcpxml");
}
void BM_ExportXMLInterchange(benchmark::State& state) {
    exportDay(state, XMLExportOptionsController::XMLTypeItemNestedSequences, "vorlane-bench.xml");
}
BENCHMARK(BM_ExportFCPXML)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_ExportXMLInterchange)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
