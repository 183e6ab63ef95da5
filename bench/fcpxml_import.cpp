// Importing a generated FCPXML document of 1,000 and 10,000 clips (one asset each, in one event,
// as an editor writes a day's media) into a pool whose reader makes file objects without looking
// at the disk: parse, walk, asset lookup and the files' metadata. Side by side with the plain
// parse of the same text, the peer that shows what reading the markup alone costs. The time per
// clip should stay flat as the count grows (complexity: oN).
#include <benchmark/benchmark.h>

#include <string>

#include "export/FCPXImport.h"
#include "media/MediaFile.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace {

using namespace vorlane;

std::string documentOfClips(int64_t clips) {
    std::string resources = "<format id=\"r0\" name=\"FFVideoFormat1080p25\"/>\n";
    std::string event;
    for (int64_t clip = 1; clip <= clips; ++clip) {
        const std::string id = "r" + std::to_string(clip);
        const std::string name = "A001C" + std::to_string(clip);
        resources += "<asset id=\"" + id + "\" uid=\"UID" + std::to_string(clip) + "\" name=\"" +
                     name + "\" format=\"r0\" hasVideo=\"1\" hasAudio=\"1\">" +
                     "<media-rep kind=\"original-media\" src=\"file:///Volumes/Day%201/" + name +
                     ".mov\"/></asset>\n";
        event += "<asset-clip ref=\"" + id + "\" name=\"" + name +
                 "\" audioRole=\"dialogue\"><audio-channel-source srcCh=\"1, 2\" "
                 "role=\"dialogue.boom\"/><note>ok</note><metadata><md "
                 "key=\"com.apple.proapps.studio.reel\" value=\"A001\"/><md "
                 "key=\"com.apple.proapps.studio.scene\" value=\"12\"/></metadata></asset-clip>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fcpxml version=\"1.10\"><resources>" +
           resources + "</resources><library><event name=\"Day 1\">" + event +
           "</event></library></fcpxml>\n";
}

void BM_ImportFCPXML(benchmark::State& state) {
    const std::string text = documentOfClips(state.range(0));
    static UserDefaults defaults("/nonexistent/vorlane-bench/defaults.json");
    static NotificationCenter center;
    for (auto _ : state) {
        auto pool = MediaPool::create(
            [](const std::filesystem::path& url, MediaPool&) {
                auto file = std::make_shared<MediaFile>(url);
                return MediaReaderChoice{file, {file}, {}};
            },
            defaults, center);
        auto import = FCPXImport::initWithString(text);
        if (!import) {
            state.SkipWithError("the document was not read");
            break;
        }
        const auto files = import->mediaFilesForMediaPool(*pool);
        if (int64_t(files.size()) != state.range(0)) state.SkipWithError("clips were lost");
        benchmark::DoNotOptimize(files.data());
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes"] = double(text.size());
}

void BM_ParseFCPXMLOnly(benchmark::State& state) {
    const std::string text = documentOfClips(state.range(0));
    for (auto _ : state) {
        auto document = XMLDocument::parse(text, XMLDocument::ParseMode::Tidy);
        benchmark::DoNotOptimize(document->root());
    }
    state.SetComplexityN(state.range(0));
}

void clipCounts(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK(BM_ImportFCPXML)->Apply(clipCounts);
BENCHMARK(BM_ParseFCPXMLOnly)->Apply(clipCounts);

}  // namespace

BENCHMARK_MAIN();
