// Our LTC decoder and libltc's on identical signals: one second of LTC (the default reading
// window) at 48 kHz, 16 bits, under a range of damage. A trial counts when the decoder yields the
// correct timecode at the signal's time zero: within a quarter frame of the truth (the right
// frame), and for ours at the exact rate. libltc is told the rate and its first decoded frame is
// used; ours detects the rate itself.
//
//     bench_ltc_robustness [trials per condition, default 24]
#include <ltc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mediagen/LtcGenerator.h"
#include "mediagen/Signals.h"
#include "mediagen/Timecode.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcDecoder.h"

using namespace vorlane;
using mediagen::Rate;

namespace {

constexpr int kSampleRate = 48000;

struct Condition {
    std::string name;
    double levelDbfs = -10.0;
    mediagen::Impairments impairments;
};

bool rightFrame(double seconds, double truth, const Rate& rate) {
    return std::fabs(seconds - truth) < 0.25 / rate.fps();
}

bool oursCorrect(const std::vector<int16_t>& pcm, const Rate& rate, double truth,
                 int32_t algorithm) {
    std::vector<uint8_t> bytes;
    bytes.reserve(pcm.size() * 2);
    for (const int16_t value : pcm) {
        bytes.push_back(uint8_t(uint16_t(value) & 0xff));
        bytes.push_back(uint8_t(uint16_t(value) >> 8));
    }
    LtcDecoderSettings settings;
    settings.readingAlgorithm = LtcReadingAlgorithm(algorithm);
    const auto found = LtcDecoder::decodeWindow(
        settings, {0}, PcmSamples::ofBytes(bytes.data(), bytes.size(), 1, 16), kSampleRate);
    if (found.timecodes.size() != 1) return false;
    const auto& timecode = found.timecodes[0].timecode;
    return timecode->frameRate() == TCHelper::quantizedFrameRate(rate.fps()) &&
           rightFrame(timecode->time().seconds(), truth, rate);
}

bool libltcCorrect(std::vector<int16_t> pcm, const Rate& rate, double truth) {
    std::unique_ptr<LTCDecoder, void (*)(LTCDecoder*)> decoder(
        ltc_decoder_create(int(std::lround(kSampleRate / rate.fps())), 32),
        [](LTCDecoder* d) { ltc_decoder_free(d); });
    ltc_decoder_write_s16(decoder.get(), pcm.data(), pcm.size(), 0);
    LTCFrameExt frame;
    while (ltc_decoder_read(decoder.get(), &frame) > 0) {
        if (frame.reverse) continue;
        SMPTETimecode label{};
        ltc_frame_to_time(&label, &frame.ltc, 0);
        const auto number =
            mediagen::frameNumber({label.hours, label.mins, label.secs, label.frame}, rate);
        if (!number) return false;
        const double seconds = double(*number) * rate.denominator / rate.numerator -
                               double(frame.off_start) / kSampleRate;
        return rightFrame(seconds, truth, rate);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
    std::vector<Condition> conditions;
    for (const double level : {0.0, -10.0, -20.0, -30.0, -40.0, -50.0, -60.0})
        conditions.push_back({"level " + std::to_string(int(level)) + " dBFS", level, {}});
    for (const double snr : {30.0, 20.0, 10.0, 6.0}) {
        Condition condition{"noise SNR " + std::to_string(int(snr)) + " dB", -10.0, {}};
        condition.impairments.signalToNoiseDb = snr;
        conditions.push_back(condition);
    }
    for (const double snr : {20.0, 10.0}) {
        Condition condition{"-40 dBFS, SNR " + std::to_string(int(snr)) + " dB", -40.0, {}};
        condition.impairments.signalToNoiseDb = snr;
        conditions.push_back(condition);
    }
    for (const double cutoff : {2000.0, 1000.0}) {
        Condition condition{
            "low-pass " + std::to_string(int(cutoff)) + " Hz, SNR 20 dB", -10.0, {}};
        condition.impairments.lowPassHz = cutoff;
        condition.impairments.signalToNoiseDb = 20.0;
        conditions.push_back(condition);
    }
    for (const double dc : {0.1, 0.3, -0.5}) {
        char name[64];
        std::snprintf(name, sizeof name, "DC offset %+.1f FS", dc);
        Condition condition{name, -10.0, {}};
        condition.impairments.dcOffset = dc;
        conditions.push_back(condition);
    }
    for (const double cutoff : {8000.0, 4000.0, 2000.0, 1000.0, 500.0, 300.0}) {
        Condition condition{"low-pass " + std::to_string(int(cutoff)) + " Hz", -10.0, {}};
        condition.impairments.lowPassHz = cutoff;
        conditions.push_back(condition);
    }

    const Rate rates[] = {Rate::fps23976(),    Rate::fps24(),        Rate::fps25(),
                          Rate::fps2997(true), Rate::fps2997(false), Rate::fps30()};
    std::printf("Correct start timecodes out of %d one-second signals per condition\n", trials);
    std::printf("(rates 23.976, 24, 25, 29.97 DF/NDF, 30 in turn; random starts and phases)\n\n");
    std::printf("%-24s %10s %12s %10s\n", "condition", "libltc", "ours (0)", "ours (3)");
    uint32_t seed = 1;
    for (const Condition& condition : conditions) {
        int libltc = 0, ours = 0, oursSlope = 0;
        for (int trial = 0; trial < trials; ++trial) {
            const Rate rate = rates[size_t(trial) % std::size(rates)];
            mediagen::LtcOptions options;
            options.rate = rate;
            seed = seed * 1664525u + 1013904223u;
            options.start = mediagen::timecodeAtFrame(int64_t(seed % 2000000), rate);
            options.firstFrameSample = -int64_t((seed >> 8) % 1600);
            options.userBits = seed;
            options.durationSeconds = 1.0;
            options.levelDbfs = condition.levelDbfs;
            options.impairments = condition.impairments;
            options.impairments.noiseSeed = seed;
            const auto signal = mediagen::generateLtc(options);
            if (!signal) return 1;
            const double truth = signal->secondsAtSampleZero();
            const std::vector<int16_t> pcm = mediagen::toPcm16(signal->samples);
            libltc += libltcCorrect(pcm, rate, truth);
            ours += oursCorrect(pcm, rate, truth, 0);
            oursSlope += oursCorrect(pcm, rate, truth, 3);
        }
        std::printf("%-24s %6d/%-3d %8d/%-3d %6d/%-3d\n", condition.name.c_str(), libltc, trials,
                    ours, trials, oursSlope, trials);
    }
    return 0;
}
