// Analysing movies through the media layer.
//
// BM_AnalyzeSparseMovie: a 6 GiB QuickTime movie, read only where analysis needs it. The movie
// is a ten-second 1080p clip made by ffmpeg (H.264, 24-bit PCM, timecode track, its index at the
// end as cameras write it) with a 6 GiB 'free' atom before its sample data: a hole in a sparse
// file, so the file costs a few megabytes of disk. Reports the bytes read per analysis (tracks,
// timecode, thumbnail) against the file size.
//
// BM_Scan*: 200 small movies (ten kinds: QuickTime and MPEG-4, 23.976 to 29.97 drop frame, PCM
// and AAC, each with a timecode track, twenty copies of each) analysed by Vorlane in-process and
// described by ffprobe (one run per file; it takes one input) and mediainfo (one run for all
// files). Times are wall-clock, process starts included for the tools.
//
// Files live in $TMPDIR/vorlane_bench_movie_analysis and are removed at the end unless
// VORLANE_BENCH_KEEP is set.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "RunFfmpeg.h"
#include "formats/asset/AVFoundationFile.h"
#include "platform/ByteOrder.h"
#include "platform/Process.h"
#include "platform/media/MediaAsset.h"

namespace {

using namespace vorlane;

constexpr uint64_t kHoleLength = 6ull << 30;
constexpr int kMovieCopies = 20;

std::filesystem::path workFolder() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_movie_analysis";
}

std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void appendAtom(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& payload) {
    const size_t at = out.size();
    out.resize(at + 8);
    writeBE32(out.data() + at, uint32_t(payload.size() + 8));
    std::copy(type, type + 4, out.begin() + std::ptrdiff_t(at + 4));
    out.insert(out.end(), payload.begin(), payload.end());
}

// The atoms with every 32-bit chunk offset table ('stco') replaced by a 64-bit one ('co64')
// whose offsets are `shift` bytes later.
std::vector<uint8_t> shiftChunkOffsets(const uint8_t* atoms, size_t size, uint64_t shift) {
    static const std::set<std::string> containers = {"moov", "trak", "mdia", "minf", "stbl"};
    std::vector<uint8_t> out;
    size_t at = 0;
    while (at + 8 <= size) {
        size_t atomSize = readBE32(atoms + at);
        size_t header = 8;
        if (atomSize == 1 && at + 16 <= size) {
            atomSize = size_t(readBE64(atoms + at + 8));
            header = 16;
        } else if (atomSize == 0) {
            atomSize = size - at;
        }
        if (atomSize < header || atomSize > size - at) break;
        const std::string type(reinterpret_cast<const char*>(atoms + at + 4), 4);
        const uint8_t* payload = atoms + at + header;
        const size_t payloadSize = atomSize - header;
        if (containers.count(type)) {
            appendAtom(out, type.c_str(), shiftChunkOffsets(payload, payloadSize, shift));
        } else if (type == "stco" && payloadSize >= 8) {
            const uint32_t count = readBE32(payload + 4);
            std::vector<uint8_t> table(payload, payload + 8);
            for (uint32_t i = 0; i < count && 8 + 4 * size_t(i) + 4 <= payloadSize; ++i) {
                table.resize(table.size() + 8);
                writeBE64(table.data() + table.size() - 8, readBE32(payload + 8 + 4 * i) + shift);
            }
            appendAtom(out, "co64", table);
        } else {
            out.insert(out.end(), atoms + at, atoms + at + atomSize);
        }
        at += atomSize;
    }
    return out;
}

// The clip with a hole of kHoleLength bytes inside a 'free' atom after its 'ftyp' atom.
bool writeSparseMovie(const std::filesystem::path& path) {
    const auto clip = workFolder() / "clip.mov";
    if (!ffmpeg({"-f",        "lavfi",       "-i",         "testsrc2=size=1920x1080:rate=25",
                 "-f",        "lavfi",       "-i",         "sine=frequency=1000:sample_rate=48000",
                 "-t",        "10",          "-c:v",       "libx264",
                 "-preset",   "ultrafast",   "-pix_fmt",   "yuv420p",
                 "-c:a",      "pcm_s24le",   "-ac",        "2",
                 "-timecode", "14:30:00:00", clip.string()})) {
        return false;
    }
    const std::vector<uint8_t> bytes = readAll(clip);
    if (bytes.size() < 16 || std::string(bytes.begin() + 4, bytes.begin() + 8) != "ftyp")
        return false;
    const size_t ftypSize = readBE32(bytes.data());
    const uint64_t shift = 16 + kHoleLength;
    std::vector<uint8_t> head(bytes.begin(), bytes.begin() + std::ptrdiff_t(ftypSize));
    std::vector<uint8_t> freeHeader(16);
    writeBE32(freeHeader.data(), 1);
    std::copy_n("free", 4, freeHeader.begin() + 4);
    writeBE64(freeHeader.data() + 8, shift);
    head.insert(head.end(), freeHeader.begin(), freeHeader.end());
    const std::vector<uint8_t> rest =
        shiftChunkOffsets(bytes.data() + ftypSize, bytes.size() - ftypSize, shift);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    out.seekp(std::streamoff(head.size() + kHoleLength));  // the hole
    out.write(reinterpret_cast<const char*>(rest.data()), std::streamsize(rest.size()));
    return bool(out);
}

void BM_AnalyzeSparseMovie(benchmark::State& state) {
    const std::filesystem::path path = workFolder() / "sparse_6g.mov";
    std::filesystem::create_directories(workFolder());
    if (!std::filesystem::exists(path) && !writeSparseMovie(path)) {
        state.SkipWithError("ffmpeg could not make the movie");
        return;
    }
    uint64_t bytesRead = 0;
    std::string timecode;
    for (auto _ : state) {
        auto file = std::make_shared<AVFoundationFile>(path);
        file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
        const auto asset = file->avAsset();
        if (!asset || !file->hasVideo() || !file->hasTimecode() || !file->thumbnail().hasPixels()) {
            state.SkipWithError("the movie was not read whole");
            return;
        }
        bytesRead = asset->bytesRead();
        file->setAnalyzingFinished();
        benchmark::DoNotOptimize(file);
    }
    const double size = double(std::filesystem::file_size(path));
    state.counters["bytesRead"] = double(bytesRead);
    state.counters["fileGiB"] = size / double(1ull << 30);
    state.counters["readPerMille"] = 1000.0 * double(bytesRead) / size;
}
BENCHMARK(BM_AnalyzeSparseMovie)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Ten kinds of small movie, twenty copies each.
const std::vector<std::filesystem::path>& smallMovies() {
    static std::vector<std::filesystem::path> movies;
    if (!movies.empty()) return movies;
    struct Kind {
        const char* rate;
        const char* timecode;
        const char* audio;
        const char* extension;
    };
    const Kind kinds[] = {
        {"25", "10:00:00:00", "pcm_s16le", "mov"},
        {"25", "11:00:00:00", "aac", "mp4"},
        {"30000/1001", "01:00:00;00", "pcm_s24le", "mov"},
        {"30000/1001", "02:00:00:00", "aac", "mp4"},
        {"24000/1001", "12:00:00:00", "aac", "mp4"},
        {"24000/1001", "13:00:00:00", "pcm_s24le", "mov"},
        {"24", "14:00:00:00", "pcm_s16le", "mov"},
        {"50", "15:00:00:00", "aac", "mov"},
        {"60000/1001", "16:00:00;00", "aac", "mp4"},
        {"30", "17:00:00:00", "pcm_s24le", "mov"},
    };
    const auto folder = workFolder() / "small";
    std::filesystem::create_directories(folder);
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const Kind& kind = kinds[k];
        const auto original = folder / ("kind" + std::to_string(k) + "." + kind.extension);
        if (!std::filesystem::exists(original) &&
            !ffmpeg({"-f", "lavfi", "-i", std::string("testsrc2=size=640x360:rate=") + kind.rate,
                     "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "2", "-c:v", "libx264",
                     "-preset", "veryfast", "-c:a", kind.audio, "-timecode", kind.timecode,
                     original.string()})) {
            return movies;
        }
        for (int copy = 0; copy < kMovieCopies; ++copy) {
            const auto path = folder / ("movie" + std::to_string(k) + "_" + std::to_string(copy) +
                                        "." + kind.extension);
            if (!std::filesystem::exists(path)) std::filesystem::copy_file(original, path);
            movies.push_back(path);
        }
    }
    return movies;
}

void BM_ScanVorlane(benchmark::State& state) {
    const auto& movies = smallMovies();
    if (movies.size() != 10 * kMovieCopies) return state.SkipWithError("ffmpeg failed");
    const bool thumbnails = state.range(0) != 0;
    size_t withTimecode = 0;
    for (auto _ : state) {
        withTimecode = 0;
        for (const auto& path : movies) {
            auto file = std::make_shared<AVFoundationFile>(path);
            file->analyzeWithOptions({{kAnalyzeCreateThumbnail, thumbnails}});
            file->setAnalyzingFinished();
            withTimecode += file->hasTimecode() ? 1 : 0;
        }
    }
    state.counters["files"] = double(movies.size());
    state.counters["withTimecode"] = double(withTimecode);
}
BENCHMARK(BM_ScanVorlane)
    ->ArgName("thumbnails")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_ScanFfprobe(benchmark::State& state) {
    const auto& movies = smallMovies();
    if (movies.size() != 10 * kMovieCopies) return state.SkipWithError("ffmpeg failed");
    if (!programExists("ffprobe")) return state.SkipWithError("ffprobe is not installed");
    for (auto _ : state) {
        for (const auto& path : movies) {
            const auto result = runProcess({"ffprobe", "-v", "error", "-print_format", "json",
                                            "-show_streams", "-show_format", path.string()});
            benchmark::DoNotOptimize(result);
        }
    }
    state.counters["files"] = double(movies.size());
}
BENCHMARK(BM_ScanFfprobe)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_ScanMediainfo(benchmark::State& state) {
    const auto& movies = smallMovies();
    if (movies.size() != 10 * kMovieCopies) return state.SkipWithError("ffmpeg failed");
    if (!programExists("mediainfo")) return state.SkipWithError("mediainfo is not installed");
    std::vector<std::string> arguments = {"mediainfo", "--Output=JSON"};
    for (const auto& path : movies)
        arguments.push_back(path.string());
    for (auto _ : state) {
        const auto result = runProcess(arguments);
        benchmark::DoNotOptimize(result);
    }
    state.counters["files"] = double(movies.size());
}
BENCHMARK(BM_ScanMediainfo)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("VORLANE_BENCH_KEEP")) {
        std::error_code error;
        std::filesystem::remove_all(workFolder(), error);
    }
    return 0;
}
