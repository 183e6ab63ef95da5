// The composition player on 1080p25 material made by ffmpeg.
//
// BM_SeekLongGOP / BM_SeekIntra: the exact frame at a pseudo-random time of a 60 s clip, H.264
// with 250-frame groups of pictures and B-frames, and of an 8 s DNxHD clip (every frame a sync
// sample), through CompositionVideoReader. BM_FfmpegSeek*: the peer, the ffmpeg program's accurate
// seek to the same frame (`-ss T -i FILE -frames:v 1 -f null -`), one process per seek, start
// included.
//
// BM_Playback: the H.264 clip with its sound played in real time through a null sound sink for
// VORLANE_BENCH_PLAY_SECONDS (60 by default, the clip's length); counters: dropped pictures
// (never shown), late ones (due before decoded), the share of one CPU used, and the resident
// memory, sampled after the first second and every 10 s from then on: the first sample, the
// largest, the last, and the growth from the first to the last. Playing starts once the first
// picture is shown. BM_PlaybackTenMinutes: the same over a 10-minute clip (the H.264 clip ten
// times over, copied), whether the memory held stays bounded; it takes ten minutes.
//
// Files live in $TMPDIR/vorlane_bench_player, named with their length, and stay for the next run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RunFfmpeg.h"
#include "platform/media/CompositionPlayer.h"
#include "platform/media/CompositionVideoReader.h"

namespace {

using namespace vorlane;

std::filesystem::path workFolder() {
    return std::filesystem::temp_directory_path() / "vorlane_bench_player";
}

// 60 s of H.264, 8 s of DNxHD (at 120 Mbit/s), 10 minutes of H.264.
int64_t secondsOf(const std::string& codec) {
    if (codec == "h264") return 60;
    return codec == "dnxhd" ? 8 : 600;
}

int64_t framesOf(const std::string& codec) {
    return secondsOf(codec) * 25;
}

// The clip of that codec, made once.
std::filesystem::path clip(const std::string& codec) {
    std::filesystem::create_directories(workFolder());
    const std::string name = codec + "-" + std::to_string(secondsOf(codec)) + "s";
    const auto path = workFolder() / (name + ".mov");
    if (std::filesystem::exists(path)) return path;
    const auto partial = workFolder() / ("partial-" + name + ".mov");
    std::vector<std::string> arguments;
    if (codec == "h264-long") {
        const auto once = clip("h264");
        if (once.empty()) return {};
        arguments = {"-stream_loop", "9", "-i", once.string(), "-c", "copy"};
    } else {
        arguments = {"-f",   "lavfi",
                     "-i",   "testsrc2=size=1920x1080:rate=25",
                     "-f",   "lavfi",
                     "-i",   "sine=frequency=440:sample_rate=48000",
                     "-t",   std::to_string(secondsOf(codec)),
                     "-c:a", "pcm_s24le"};
        if (codec == "h264")
            arguments.insert(arguments.end(), {"-c:v", "libx264", "-preset", "veryfast", "-g",
                                               "250", "-bf", "3", "-pix_fmt", "yuv420p"});
        else
            arguments.insert(arguments.end(),
                             {"-c:v", "dnxhd", "-b:v", "120M", "-pix_fmt", "yuv422p"});
    }
    arguments.push_back(partial.string());
    if (!ffmpeg(arguments)) return {};
    std::filesystem::rename(partial, path);
    return path;
}

std::shared_ptr<PlayableComposition> compositionOf(const std::filesystem::path& file,
                                                   int64_t frames) {
    const CMTimeRange whole = CMTimeRangeMake(kCMTimeZero, CMTimeMake(frames, 25));
    auto composition = std::make_shared<PlayableComposition>();
    composition->addMutableTrackWithMediaType(AssetMediaType::Video, 1)
        ->setSegments({PlayableSegment::compositionTrackSegmentWithURL(file, 1, whole, whole)});
    composition->addMutableTrackWithMediaType(AssetMediaType::Audio, 2)
        ->setSegments({PlayableSegment::compositionTrackSegmentWithURL(file, 2, whole, whole)});
    return composition;
}

// Frames spread over the clip, none next to the one before.
int64_t nextFrame(int64_t frame, int64_t frames) {
    return (frame * 7919 + 1237) % frames;
}

void seekThroughReader(benchmark::State& state, const std::string& codec) {
    const auto file = clip(codec);
    if (file.empty()) return state.SkipWithError("ffmpeg could not make the clip");
    CompositionVideoReader reader(compositionOf(file, framesOf(codec)));
    int64_t frame = 1;
    for (auto _ : state) {
        frame = nextFrame(frame, framesOf(codec));
        benchmark::DoNotOptimize(reader.frameAtTime(CMTimeMake(frame, 25)));
    }
}

void seekThroughFfmpeg(benchmark::State& state, const std::string& codec) {
    const auto file = clip(codec);
    if (file.empty()) return state.SkipWithError("ffmpeg could not make the clip");
    int64_t frame = 1;
    for (auto _ : state) {
        frame = nextFrame(frame, framesOf(codec));
        ffmpeg({"-ss", std::to_string(double(frame) / 25), "-i", file.string(), "-frames:v", "1",
                "-f", "null", "-"});
    }
}

void BM_SeekLongGOP(benchmark::State& state) {
    seekThroughReader(state, "h264");
}
void BM_SeekIntra(benchmark::State& state) {
    seekThroughReader(state, "dnxhd");
}
void BM_FfmpegSeekLongGOP(benchmark::State& state) {
    seekThroughFfmpeg(state, "h264");
}
void BM_FfmpegSeekIntra(benchmark::State& state) {
    seekThroughFfmpeg(state, "dnxhd");
}

int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0;
    int64_t resident = 0;
    statm >> size >> resident;
    return resident * 4096;
}

// Plays the clip in real time for the seconds (see the top of the file).
void play(benchmark::State& state, const std::string& codec, int64_t seconds) {
    const auto file = clip(codec);
    if (file.empty()) return state.SkipWithError("ffmpeg could not make the clip");
    const int64_t playFrames = 48000 * seconds;
    constexpr int64_t kBlock = 1024;
    constexpr int64_t kSampleEvery = 10 * 48000;
    for (auto _ : state) {
        CompositionPlayer player(compositionOf(file, framesOf(codec)));
        // As a player view does: the first picture is up before playing starts.
        while (!player.frameDue())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        player.play();
        std::vector<float> block(size_t(kBlock * player.channelCount()));
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        std::vector<int64_t> memory;
        for (int64_t played = 0; played < playFrames; played += kBlock) {
            std::this_thread::sleep_until(start +
                                          std::chrono::microseconds(played * 1000000 / 48000));
            player.readAudio(block.data(), kBlock);
            player.audioFramesPlayed(kBlock);
            benchmark::DoNotOptimize(player.frameDue());
            if (played >= 48000 + int64_t(memory.size()) * kSampleEvery)
                memory.push_back(residentBytes());
        }
        memory.push_back(residentBytes());
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["dropped"] = double(player.droppedFrameCount());
        state.counters["late"] = double(player.lateFrameCount());
        state.counters["cpu_share"] = double(std::clock() - cpuStart) / CLOCKS_PER_SEC / wall;
        state.counters["memory_first_MB"] = double(memory.front()) / 1e6;
        state.counters["memory_peak_MB"] =
            double(*std::max_element(memory.begin(), memory.end())) / 1e6;
        state.counters["memory_last_MB"] = double(memory.back()) / 1e6;
        state.counters["memory_growth_MB"] = double(memory.back() - memory.front()) / 1e6;
    }
}

void BM_Playback(benchmark::State& state) {
    const char* seconds = std::getenv("VORLANE_BENCH_PLAY_SECONDS");
    play(state, "h264", seconds ? std::atoll(seconds) : secondsOf("h264"));
}

void BM_PlaybackTenMinutes(benchmark::State& state) {
    play(state, "h264-long", secondsOf("h264-long"));
}

}  // namespace

BENCHMARK(BM_SeekLongGOP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSeekLongGOP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekIntra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSeekIntra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Playback)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PlaybackTenMinutes)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_MAIN();
