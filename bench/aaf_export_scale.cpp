// How the AAF export grows with the day, beside the FCPXML export of the same generated days of
// 250 to 1,000 in-memory files, both run as the export command runs them (options preselected
// from the pool, sync groups numbered, synced clips included, one file written through a
// temporary file). Reports the clips handed to the writer, the bytes of the file, and the bytes
// the process wrote during a run (from /proc/self/io) over the file's size: 1.0 when the file is
// written once and nothing else is written. With VORLANE_AAF_KEEP_DIR set, the files are kept
// there.
//
//   build/release/bench/bench_aaf_export_scale
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "CountingPanel.h"
#include "GeneratedPool.h"
#include "app/ExportCommands.h"
#include "export/AAFExportOptionsController.h"
#include "export/XMLExportOptionsController.h"

namespace vorlane {
namespace {

using bench::CountingPanel;
using bench::GeneratedPool;
using bench::poolOfSize;

// Bytes this process has handed to write() so far.
double bytesWrittenByProcess() {
    std::ifstream io("/proc/self/io");
    for (std::string key; io >> key;) {
        double value = 0;
        io >> value;
        if (key == "wchar:") return value;
    }
    return 0;
}

using Run = std::function<bool(ExportCommands&, const std::filesystem::path&, ExportRunPanel&)>;

void exportDay(benchmark::State& state, const char* name, const Run& run) {
    GeneratedPool& generated = poolOfSize(int(state.range(0)));
    const std::filesystem::path url = std::filesystem::temp_directory_path() / name;
    ExportCommands commands(*generated.pool);
    int clips = 0;
    double written = 0;
    for (auto _ : state) {
        CountingPanel panel;
        const double before = bytesWrittenByProcess();
        if (!run(commands, url, panel)) state.SkipWithError("export failed");
        written = bytesWrittenByProcess() - before;
        clips = panel.clips;
    }
    const auto bytes = double(std::filesystem::file_size(url));
    state.counters["files"] = double(generated.pool->count());
    state.counters["clips"] = clips;
    state.counters["bytes"] = bytes;
    state.counters["written/bytes"] = written / bytes;
    // The independent reader's check (tools/aaf_check.py) can read the last file of each size.
    if (const char* keep = std::getenv("VORLANE_AAF_KEEP_DIR")) {
        std::error_code error;
        std::filesystem::copy_file(url,
                                   std::filesystem::path(keep) / (std::to_string(state.range(0)) +
                                                                  "-" + url.filename().string()),
                                   std::filesystem::copy_options::overwrite_existing, error);
    }
    std::filesystem::remove(url);
    state.SetComplexityN(state.range(0));
}

void BM_ExportAAF(benchmark::State& state) {
    exportDay(
        state, "vorlane-bench.aaf",
        [](ExportCommands& commands, const std::filesystem::path& url, ExportRunPanel& panel) {
            AAFExportOptionsController options;
            commands.preselectOptions(options);
            options.setSyncedClipsChecked(true);
            options.readSettings();
            return commands.exportAAF(url, options, panel);
        });
}

void BM_ExportFCPXML(benchmark::State& state) {
    exportDay(
        state, "vorlane-bench-aaf.fcpxml",
        [](ExportCommands& commands, const std::filesystem::path& url, ExportRunPanel& panel) {
            XMLExportOptionsController options;
            options.xmlTypeSelect(XMLExportOptionsController::XMLTypeItemFCPXML17);
            commands.preselectOptions(options);
            options.setSyncedClipsChecked(true);
            options.readSettings();
            return commands.exportXML(url, options, panel);
        });
}

BENCHMARK(BM_ExportAAF)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_ExportFCPXML)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace vorlane

BENCHMARK_MAIN();
