// Decoding speed on a whole ten-minute channel at 48 kHz, 16 bits, held in memory: nine minutes
// of noise (room tone at -30 dBFS), then a minute of 25 fps LTC. Side by side:
//   - ours on the whole channel as one window (reading window 3): levels and rate detection over
//     every block, then the first pair of frames and the rate measurement;
//   - libltc's decoder fed the same samples, decoding every frame.
// Then a default import of a ten-minute file, which reads only its one-second middle window.
// (bench_ltc_whole_file compares whole files read from disk, as whole processes.)
//
//     bench_ltc_speed [folder for the ten-minute file, default the system's temporary folder]
#include <ltc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "media/LtcReader.h"
#include "mediagen/AudioFileWriter.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/Signals.h"
#include "platform/media/MediaAsset.h"
#include "timecode/ltc/LtcDecoder.h"

using namespace vorlane;

namespace {

constexpr int kSampleRate = 48000;
constexpr double kMinutes = 10.0;

// Processor time of this process in seconds: steadier than the clock on a shared machine.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Best of three runs, in processor seconds.
double bestTime(const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double start = processorSeconds();
        run();
        best = std::min(best, processorSeconds() - start);
    }
    return best;
}

std::vector<uint8_t> bytesOf(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> bytes;
    bytes.reserve(pcm.size() * 2);
    for (const int16_t value : pcm) {
        bytes.push_back(uint8_t(uint16_t(value) & 0xff));
        bytes.push_back(uint8_t(uint16_t(value) >> 8));
    }
    return bytes;
}

// A file with the one audio track the asset layer reports, as the readers set it up.
std::shared_ptr<MediaFile> audioFile(const std::filesystem::path& path) {
    const auto asset = MediaAsset::assetWithURL(path);
    if (!asset) return nullptr;
    auto file = std::make_shared<MediaFile>(path);
    for (const AssetTrack& source : asset->tracksWithMediaType(AssetMediaType::Audio)) {
        const auto& audio = *source.formatDescription->audio;
        auto track = file->addTrackWithMediaType(MediaTrackTypeAudio, source.trackID);
        track->setAudioChannelCount(audio.channelsPerFrame);
        track->setAudioBitDepth(audio.bitsPerChannel);
        track->setAudioBytesPerFrame(audio.bytesPerFrame);
        track->setAudioSampleRate(audio.sampleRate);
        track->setTimeRange(source.timeRange);
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    mediagen::LtcOptions options;
    options.start = {10, 0, 0, 0};
    options.durationSeconds = kMinutes * 60.0;
    const auto signal = mediagen::generateLtc(options);
    if (!signal) return 1;
    constexpr size_t kNoise = 9 * 60 * kSampleRate;
    mediagen::Samples channel = mediagen::whiteNoise(-30.0, signal->samples.size(), 3);
    std::copy(signal->samples.begin(), signal->samples.end() - kNoise, channel.begin() + kNoise);
    std::vector<int16_t> pcm = mediagen::toPcm16(channel);
    const double samples = double(pcm.size());
    const std::vector<uint8_t> bytes = bytesOf(pcm);

    size_t requestFound = 0;
    const double request = bestTime([&] {
        requestFound =
            LtcDecoder::decodeWindow(
                {}, {0}, PcmSamples::ofBytes(bytes.data(), bytes.size(), 1, 16), kSampleRate)
                .timecodes.size();
    });
    int64_t libltcFrames = 0;
    const double libltc = bestTime([&] {
        LTCDecoder* decoder = ltc_decoder_create(kSampleRate / 25, 32);
        libltcFrames = 0;
        LTCFrameExt frame;
        constexpr size_t kBlock = 4096;
        for (size_t at = 0; at < pcm.size(); at += kBlock) {
            const size_t count = std::min(kBlock, pcm.size() - at);
            ltc_decoder_write_s16(decoder, pcm.data() + at, count, ltc_off_t(at));
            while (ltc_decoder_read(decoder, &frame) > 0)
                ++libltcFrames;
        }
        ltc_decoder_free(decoder);
    });

    std::printf("Nine minutes of noise, then 25 fps LTC: %.0f samples (48 kHz, 16-bit mono)\n\n",
                samples);
    std::printf("%-44s %10s %14s %8s\n", "(processor time, best of 3)", "seconds", "samples/s",
                "frames");
    std::printf("%-44s %10.3f %14.3e %8zu\n", "ours: window 3 (the whole channel)", request,
                samples / request, requestFound);
    std::printf("%-44s %10.3f %14.3e %8lld\n", "libltc: every frame of the channel", libltc,
                samples / libltc, (long long)libltcFrames);
    std::printf("\nspeed ratio ours/libltc: one whole-channel request %.2f\n", libltc / request);

    // A default import of a ten-minute file reads its one-second middle window only.
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const auto path = folder / "vorlane_bench_ltc_ten_minutes.wav";
    mediagen::AudioFileOptions file;
    file.path = path;
    file.format = mediagen::SampleFormat::Pcm16;
    file.channels = {signal->samples};
    if (!mediagen::writeAudioFile(file)) return 1;
    const auto media = audioFile(path);
    auto reader = LtcReader::initWithMediaFile(media);
    if (!reader) return 1;
    reader->setRequest({});
    const auto start = std::chrono::steady_clock::now();
    const bool found = reader->findAudioTimecode();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf(
        "\nDefault import of a %.0f-byte ten-minute WAV file: %s in %.1f ms; "
        "%lld samples decoded, %llu bytes read\n",
        double(std::filesystem::file_size(path)), found ? "timecode found" : "no timecode",
        elapsed.count() * 1000.0, (long long)reader->samplesDecoded(),
        (unsigned long long)reader->bytesRead());
    std::filesystem::remove(path);
    return found ? 0 : 1;
}
