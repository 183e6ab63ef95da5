// Recordings split over several files.
//   - Reading a minute of sound that crosses a cut, through the joined track of a recording in
//     three files (60 + 60 + 30 s, mono 16-bit 48 kHz), beside the same minute read from one file
//     holding the whole recording: the cost of joining.
//   - The Zoom split rule for one file in a folder of 200 separate takes of one recorder (the
//     name rule gathers them all; only the file's neighbours are read to find its run).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/wave/BWFFile.h"
#include "media/AudioBufferReader.h"
#include "media/SpannedMediaFile.h"
#include "mediagen/AudioFileWriter.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/Signals.h"
#include "platform/Log.h"

namespace {

namespace fs = std::filesystem;
using namespace vorlane;

constexpr int kRate = 48000;
constexpr int kTakes = 200;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("vorlane-spanned-" + std::to_string(getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

void writeWave(const fs::path& path, mediagen::Samples samples) {
    mediagen::AudioFileOptions options;
    options.path = path;
    options.format = mediagen::SampleFormat::Pcm16;
    options.sampleRate = kRate;
    options.channels = {std::move(samples)};
    mediagen::writeAudioFile(options);
}

// The whole recording and its three parts, analysed once.
struct Recording {
    Folder folder;
    std::shared_ptr<MediaFile> whole;
    std::shared_ptr<MediaFile> joined;

    Recording() {
        Log::setStandardErrorEnabled(false);
        const mediagen::Samples sound = mediagen::chords(size_t(150) * kRate, kRate, -12.0);
        writeWave(folder.path / "whole.wav", sound);
        const int64_t cuts[] = {0, 60, 120, 150};
        std::vector<std::shared_ptr<MediaFile>> parts;
        for (int k = 0; k < 3; ++k) {
            const fs::path path = folder.path / ("ZOOM000" + std::to_string(k + 1) + ".WAV");
            writeWave(path, mediagen::Samples(sound.begin() + cuts[k] * kRate,
                                              sound.begin() + cuts[k + 1] * kRate));
            parts.push_back(std::make_shared<BWFFile>(path));
        }
        whole = std::make_shared<BWFFile>(folder.path / "whole.wav");
        whole->analyzeWithOptions({});
        joined = SpannedMediaFile::initWithMediaFiles(parts);
        joined->analyzeWithOptions({});
    }
};

Recording& recording() {
    static Recording shared;
    return shared;
}

void readMinute(benchmark::State& state, const std::shared_ptr<MediaFile>& file) {
    const CMTimeRange minute{CMTimeMake(30 * kRate, kRate), CMTimeMake(60 * kRate, kRate)};
    int64_t frames = 0;
    for (auto _ : state) {
        auto reader = AudioBufferReader::initWithMediaTrack(file->firstAudioTrack(), minute);
        if (!reader) {
            state.SkipWithError("cannot read");
            return;
        }
        for (PcmSamples piece = reader->readSamples(); piece.frameCount > 0;
             piece = reader->readSamples())
            frames += int64_t(piece.frameCount);
    }
    if (frames != int64_t(state.iterations()) * 60 * kRate) state.SkipWithError("frames lost");
    state.SetItemsProcessed(frames);
}

void BM_ReadMinuteOfOneFile(benchmark::State& state) {
    readMinute(state, recording().whole);
}
BENCHMARK(BM_ReadMinuteOfOneFile)->Unit(benchmark::kMillisecond);

void BM_ReadMinuteAcrossACut(benchmark::State& state) {
    readMinute(state, recording().joined);
}
BENCHMARK(BM_ReadMinuteAcrossACut)->Unit(benchmark::kMillisecond);

// Takes five minutes apart, a tenth of a second each.
struct Takes {
    Folder folder;
    Takes() {
        for (int k = 0; k < kTakes; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "ZOOM%04d.WAV", k + 1);
            mediagen::RecorderTake take;
            take.path = folder.path / name;
            take.start = {8 + k / 12, (k % 12) * 5, 0, 0};
            take.format = mediagen::SampleFormat::Pcm16;
            take.channels = {mediagen::silence(kRate / 10)};
            mediagen::writeRecorderTake(take);
        }
    }
};

void BM_ZoomSplitRuleAmongSeparateTakes(benchmark::State& state) {
    static Takes takes;
    const fs::path middle = takes.folder.path / "ZOOM0100.WAV";
    for (auto _ : state) {
        const auto parts = BWFFile::spannedFilesForURL(middle);
        if (parts) state.SkipWithError("separate takes joined");
        benchmark::DoNotOptimize(parts);
    }
}
BENCHMARK(BM_ZoomSplitRuleAmongSeparateTakes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
