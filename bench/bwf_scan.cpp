// Scanning a day's sound rolls: a folder of 1,000 Broadcast WAV files (bext, iXML, a little
// audio) analysed one after the other as the pool does it, without LTC and thumbnails.
// Reports files per second, the peak resident memory of the process and the bytes read per
// file, and fails when an analysis read any audio data.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/wave/BWFFile.h"
#include "formats/wave/RiffFile.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace {

namespace fs = std::filesystem;
using vorlane::BWFFile;

constexpr int kFiles = 1000;
constexpr uint32_t kFrames = 4800;  // 0.1 s of 24-bit stereo at 48 kHz

std::string le16(uint16_t v) {
    return {char(v & 0xff), char(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(uint16_t(v)) + le16(uint16_t(v >> 16));
}
std::string chunk(const std::string& id, const std::string& payload) {
    return id + le32(uint32_t(payload.size())) + payload + (payload.size() % 2 ? "\0" : "");
}

// One take as a recorder writes it: bext with description lines, iXML, fmt, data.
std::string take(int number, uint32_t frames = kFrames) {
    std::string bext(858, '\0');
    const std::string description = "sSPEED=025.000-ND\r\nsSCENE=" + std::to_string(number / 10) +
                                    "\r\nsTAKE=" + std::to_string(number % 10) + "\r\n";
    bext.replace(0, description.size(), description);
    bext.replace(256, 21, "Sound Dev: 788T S#123");
    bext.replace(320, 18, "2024-03-0914:03:07");
    const uint64_t timeReference = uint64_t(36000 + number * 30) * 48000;
    bext.replace(338, 8, le32(uint32_t(timeReference)) + le32(uint32_t(timeReference >> 32)));
    const std::string iXML =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML><IXML_VERSION>1.5</IXML_VERSION>"
        "<SCENE>" +
        std::to_string(number / 10) + "</SCENE><TAKE>" + std::to_string(number % 10) +
        "</TAKE><TAPE>DAY1</TAPE><UBITS>12311801</UBITS><SPEED><TIMECODE_RATE>25/1"
        "</TIMECODE_RATE><TIMECODE_FLAG>NDF</TIMECODE_FLAG></SPEED><TRACK_LIST><TRACK>"
        "<CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom</NAME></TRACK><TRACK><CHANNEL_INDEX>2"
        "</CHANNEL_INDEX><NAME>Lav</NAME></TRACK></TRACK_LIST></BWFXML>" +
        std::string(2048, ' ');
    const std::string fmt = le16(1) + le16(2) + le32(48000) + le32(48000 * 6) + le16(6) + le16(24);
    std::string audio(size_t(frames) * 6, '\0');
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = char(i * 31);
    const std::string body =
        chunk("bext", bext) + chunk("iXML", iXML) + chunk("fmt ", fmt) + chunk("data", audio);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

struct RollFolder {
    fs::path path = fs::temp_directory_path() / ("vorlane-bwf-scan-" + std::to_string(getpid()));
    std::vector<fs::path> files;

    RollFolder() {
        fs::create_directories(path);
        for (int i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "T%04d.WAV", i);
            files.push_back(path / name);
            std::ofstream(files.back(), std::ios::binary) << take(i);
        }
    }
    ~RollFolder() {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

RollFolder& rolls() {
    static RollFolder folder;
    return folder;
}

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

uint64_t bytesReadByAnalysis(const fs::path& path) {
    auto riff = vorlane::RiffFile::open(path);
    auto file = std::make_shared<BWFFile>(path);
    file->analyzeRiffFile(*riff);
    return riff->reader().bytesRead();
}

void BM_AnalyseFolderOfBWF(benchmark::State& state) {
    vorlane::Log::setStandardErrorEnabled(false);
    const std::vector<fs::path>& files = rolls().files;
    size_t timecodes = 0;
    for (auto _ : state) {
        for (const fs::path& path : files) {
            auto file = std::make_shared<BWFFile>(path);
            file->analyzeWithOptions({});
            timecodes += file->hasFileTimecode();
            benchmark::DoNotOptimize(file);
        }
    }
    if (timecodes != files.size() * size_t(state.iterations()))
        state.SkipWithError("timecode missing");

    // The same analysis through a counting reader. A take with a hundred times the audio must
    // read exactly as many bytes: no audio is read.
    uint64_t bytesRead = 0;
    for (const fs::path& path : files)
        bytesRead += bytesReadByAnalysis(path);
    const fs::path longTake = rolls().path / "long.WAV";
    std::ofstream(longTake, std::ios::binary) << take(0, kFrames * 100);
    if (bytesReadByAnalysis(longTake) != bytesReadByAnalysis(files.front()))
        state.SkipWithError("audio data was read");
    state.counters["files_per_s"] =
        benchmark::Counter(double(files.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes_read_per_file"] = double(bytesRead) / double(files.size());
    state.counters["file_bytes"] = double(fs::file_size(files.front()));
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_AnalyseFolderOfBWF)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
