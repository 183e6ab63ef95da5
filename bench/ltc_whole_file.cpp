// Reading LTC over a whole long recording, as whole processes: `vorlane ltc --ranges 3` (the
// whole file, every channel) against a dump of every frame with libltc's decoder (libsndfile
// reads the file in 4096-frame blocks, as libltc's ltcdump does). Each run is its own process;
// its wall time, processor time and peak resident memory (getrusage of the child) are reported,
// and the ratios ours / libltc at the end.
//
// The recording is made first (unless a previous run left it): 2 hours of 48 kHz 24-bit RF64
// with 8 channels, a recorder's layout: chords and noise on channels 1-6, silence on 7, 25 fps
// LTC from libltc's encoder on 8. It takes 8.3 GB in the folder given (default the system's
// temporary folder) and is removed at the end unless --keep is given.
//
//     bench_ltc_whole_file [--minutes=120] [--folder=DIR] [--keep] [benchmark options]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ltc.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mediagen/Signals.h"

namespace {

constexpr int kSampleRate = 48000;
constexpr int kChannels = 8;
constexpr int kLtcChannel = 7;
constexpr double kLtcRate = 25.0;
constexpr sf_count_t kBlock = 4096;

struct Options {
    double minutes = 120.0;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    bool keep = false;
    std::filesystem::path self;
};
Options options;

std::filesystem::path recordingPath() {
    char name[96];
    std::snprintf(name, sizeof name, "vorlane_bench_ltc_%gmin_8ch.wav", options.minutes);
    return options.folder / name;
}

// One second of each sound channel, repeated: chords and noise at recorder levels.
std::vector<std::vector<int32_t>> soundChannels() {
    std::vector<std::vector<int32_t>> channels;
    const double levels[] = {-12.0, -20.0, -30.0, -18.0, -40.0, -26.0};
    for (int c = 0; c < 6; ++c) {
        const auto second = c == 4 ? vorlane::mediagen::whiteNoise(levels[c], kSampleRate, 7)
                                   : vorlane::mediagen::chords(kSampleRate, kSampleRate, levels[c],
                                                               int64_t(c) * 4800);
        channels.push_back(vorlane::mediagen::toPcm32(second));
    }
    channels.emplace_back(kSampleRate, 0);  // silence
    return channels;
}

bool makeRecording(const std::filesystem::path& path) {
    const int64_t total = int64_t(options.minutes * 60.0 * kSampleRate);
    const uintmax_t bytes = uintmax_t(total) * kChannels * 3;
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > bytes) return true;
    std::fprintf(stderr, "making %s (%.1f GB)...\n", path.c_str(), double(bytes) / 1e9);
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const auto sound = soundChannels();
    LTCEncoder* encoder = ltc_encoder_create(kSampleRate, kLtcRate, LTC_TV_625_50, 0);
    ltc_encoder_set_volume(encoder, -10.0);
    SMPTETimecode start{};
    start.hours = 10;
    ltc_encoder_set_timecode(encoder, &start);
    std::vector<int32_t> ltc;
    std::vector<int32_t> interleaved;
    for (int64_t at = 0; at < total;) {
        while (ltc.size() < size_t(kSampleRate)) {
            ltc_encoder_encode_frame(encoder);
            ltcsnd_sample_t* wave = nullptr;
            const int length = ltc_encoder_get_bufferptr(encoder, &wave, 1);
            for (int i = 0; i < length; ++i)
                ltc.push_back((int32_t(wave[i]) - 128) << 24);
            ltc_encoder_inc_timecode(encoder);
        }
        const int64_t count = std::min<int64_t>(kSampleRate, total - at);
        interleaved.resize(size_t(count) * kChannels);
        for (int64_t i = 0; i < count; ++i) {
            for (int c = 0; c < kLtcChannel; ++c)
                interleaved[size_t(i) * kChannels + size_t(c)] = sound[size_t(c)][size_t(i)];
            interleaved[size_t(i) * kChannels + kLtcChannel] = ltc[size_t(i)];
        }
        ltc.erase(ltc.begin(), ltc.begin() + count);
        if (sf_writef_int(file, interleaved.data(), count) != count) return false;
        at += count;
    }
    ltc_encoder_free(encoder);
    return sf_close(file) == 0;
}

// The libltc dump: every frame of the channels, printed as ltcdump prints them.
int libltcDump(const char* path, int onlyChannel) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file) return 1;
    std::vector<LTCDecoder*> decoders;
    for (int c = 0; c < info.channels; ++c)
        decoders.push_back(ltc_decoder_create(int(info.samplerate / kLtcRate), 32));
    std::vector<short> block(size_t(kBlock) * size_t(info.channels));
    std::vector<short> channel(kBlock);
    ltc_off_t position = 0;
    long frames = 0;
    for (sf_count_t count; (count = sf_readf_short(file, block.data(), kBlock)) > 0;) {
        for (int c = 0; c < info.channels; ++c) {
            if (onlyChannel >= 0 && c != onlyChannel) continue;
            for (sf_count_t i = 0; i < count; ++i)
                channel[size_t(i)] = block[size_t(i) * size_t(info.channels) + size_t(c)];
            ltc_decoder_write_s16(decoders[size_t(c)], channel.data(), size_t(count), position);
            LTCFrameExt frame;
            while (ltc_decoder_read(decoders[size_t(c)], &frame) > 0) {
                SMPTETimecode time;
                ltc_frame_to_time(&time, &frame.ltc, 0);
                std::printf("%d %08x %02d:%02d:%02d%c%02d | %8lld %8lld\n", c + 1,
                            unsigned(ltc_frame_get_user_bits(&frame.ltc)), time.hours, time.mins,
                            time.secs, frame.ltc.dfbit ? '.' : ':', time.frame,
                            (long long)frame.off_start, (long long)frame.off_end);
                ++frames;
            }
        }
        position += count;
    }
    for (LTCDecoder* decoder : decoders)
        ltc_decoder_free(decoder);
    sf_close(file);
    std::fprintf(stderr, "%ld frames\n", frames);
    return frames > 0 ? 0 : 1;
}

struct Run {
    double seconds = 0.0;    // wall
    double processor = 0.0;  // user + system
    double peakMB = 0.0;     // maximum resident set
    int status = -1;
};

// Runs the program with its output to /dev/null and measures it.
Run runProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto seconds = [](timeval time) { return double(time.tv_sec) + time.tv_usec * 1e-6; };
    run.processor = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakMB = double(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::map<std::string, Run> best;

void measure(benchmark::State& state, const std::string& name,
             const std::vector<std::string>& arguments) {
    for (auto _ : state) {
        const Run run = runProcess(arguments);
        if (run.status != 0) {
            state.SkipWithError((name + " failed").c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        state.counters["cpu_s"] = run.processor;
        state.counters["peak_MB"] = run.peakMB;
        auto& kept = best[name];
        if (kept.status != 0 || run.seconds < kept.seconds) kept = run;
    }
}

void BM_VorlaneAllChannels(benchmark::State& state) {
    measure(state, "vorlane, all channels",
            {VORLANE_PROGRAM, "ltc", "--ranges", "3", "--quiet", recordingPath().string()});
}
void BM_LibltcAllChannels(benchmark::State& state) {
    measure(state, "libltc, all channels",
            {options.self.string(), "--libltc-dump", recordingPath().string()});
}
void BM_VorlaneLtcChannel(benchmark::State& state) {
    measure(state, "vorlane, LTC channel",
            {VORLANE_PROGRAM, "ltc", "--ranges", "3", "--channel", "8", "--quiet",
             recordingPath().string()});
}
void BM_LibltcLtcChannel(benchmark::State& state) {
    measure(state, "libltc, LTC channel",
            {options.self.string(), "--libltc-dump", recordingPath().string(), "8"});
}

BENCHMARK(BM_VorlaneAllChannels)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_LibltcAllChannels)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_VorlaneLtcChannel)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_LibltcLtcChannel)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void printRatios() {
    std::printf("\n%-24s %10s %10s %10s\n", "(best run)", "wall s", "cpu s", "peak MB");
    for (const auto& [name, run] : best)
        std::printf("%-24s %10.2f %10.2f %10.1f\n", name.c_str(), run.seconds, run.processor,
                    run.peakMB);
    for (const char* what : {"all channels", "LTC channel"}) {
        const auto ours = best.find(std::string("vorlane, ") + what);
        const auto theirs = best.find(std::string("libltc, ") + what);
        if (ours == best.end() || theirs == best.end()) continue;
        std::printf("ours / libltc, %-13s wall %.2f, cpu %.2f, peak memory %.2f\n", what,
                    ours->second.seconds / theirs->second.seconds,
                    ours->second.processor / theirs->second.processor,
                    ours->second.peakMB / theirs->second.peakMB);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--libltc-dump") == 0)
        return libltcDump(argv[2], argc > 3 ? std::atoi(argv[3]) - 1 : -1);
    options.self = std::filesystem::canonical("/proc/self/exe");
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--minutes=", 10) == 0)
            options.minutes = std::atof(argv[i] + 10);
        else if (std::strncmp(argv[i], "--folder=", 9) == 0)
            options.folder = argv[i] + 9;
        else if (std::strcmp(argv[i], "--keep") == 0)
            options.keep = true;
        else
            rest.push_back(argv[i]);
    }
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (!makeRecording(recordingPath())) {
        std::fprintf(stderr, "cannot write %s\n", recordingPath().c_str());
        return 1;
    }
    // Both read the file from the page cache.
    runProcess({"/bin/cat", recordingPath().string()});
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    if (!options.keep) std::filesystem::remove(recordingPath());
    return 0;
}
