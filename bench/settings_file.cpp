// Loading a settings file that holds many keys the application does not know (10,000 to
// 1,000,000), as a store loads it at start: read, parse and convert. Side by side with
// nlohmann-json building its own document of the same text, the peer that shows what a plain
// parse costs. The time per key should stay flat as the count grows (complexity: oN).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/UserDefaults.h"

namespace {

using namespace vorlane;

std::string settingsText(int64_t keys) {
    std::string text = "{\n  \"defaultsWritten\": true";
    for (int64_t key = 0; key < keys; ++key)
        text += ",\n  \"unknownKey" + std::to_string(key) + "\": " + std::to_string(key);
    return text + "\n}\n";
}

void BM_LoadSettingsFile(benchmark::State& state) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "vorlane_bench_settings.json";
    std::ofstream(path) << settingsText(state.range(0));
    for (auto _ : state) {
        UserDefaults defaults(path);
        benchmark::DoNotOptimize(defaults.boolForKey("defaultsWritten"));
    }
    std::filesystem::remove(path);
    state.SetComplexityN(state.range(0));
}

// 10,000, 100,000 and 1,000,000 keys.
void keyCounts(benchmark::internal::Benchmark* benchmark) {
    benchmark->RangeMultiplier(10)
        ->Range(10'000, 1'000'000)
        ->Unit(benchmark::kMillisecond)
        ->Complexity(benchmark::oN);
}
BENCHMARK(BM_LoadSettingsFile)->Apply(keyCounts);

void BM_PeerJsonDocument(benchmark::State& state) {
    const std::string text = settingsText(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(nlohmann::json::parse(text));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PeerJsonDocument)->Apply(keyCounts);

}  // namespace

BENCHMARK_MAIN();
