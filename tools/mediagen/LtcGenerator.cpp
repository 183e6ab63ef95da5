#include "mediagen/LtcGenerator.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vorlane::mediagen {
namespace {

struct EncoderDeleter {
    void operator()(LTCEncoder* encoder) const { ltc_encoder_free(encoder); }
};
using Encoder = std::unique_ptr<LTCEncoder, EncoderDeleter>;

// The television standard decides where libltc puts the parity and binary-group flag bits.
LTC_TV_STANDARD standardOf(const Rate& rate) {
    switch (rate.nominalFrames()) {
        case 25:
            return LTC_TV_625_50;
        case 24:
            return LTC_TV_FILM_24;
        default:
            return LTC_TV_525_60;
    }
}

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
}

bool validOptions(const LtcOptions& options, std::string* error) {
    if (options.rate.numerator <= 0 || options.rate.denominator <= 0)
        return fail(error, "the frame rate must be positive");
    if (options.sampleRate < 8000 || options.sampleRate > 384000)
        return fail(error, "the sample rate must lie between 8 and 384 kHz");
    if (!(options.durationSeconds >= 0.0) || options.durationSeconds > 3600.0)
        return fail(error, "the duration must lie between 0 and one hour");
    if (options.firstFrameSample < -int64_t(options.sampleRate) * 60 ||
        options.firstFrameSample > int64_t(options.sampleRate) * 3600)
        return fail(error, "the first frame must begin within a minute before the signal");
    if (!(options.levelDbfs <= 0.0)) return fail(error, "the level must not exceed 0 dBFS");
    if (!frameNumber(options.start, options.rate))
        return fail(error, "the start timecode " + options.start.text(options.rate.dropFrame) +
                               " does not exist at this frame rate");
    return true;
}

}  // namespace

double LtcSignal::secondsAtSampleZero() const {
    if (frames.empty()) return 0.0;
    const LtcFrame& first = frames.front();
    const double frameStart =
        double(frameNumber(first.timecode, rate).value_or(0)) * rate.denominator / rate.numerator;
    return frameStart - double(first.firstSample) / sampleRate;
}

std::optional<LtcSignal> generateLtc(const LtcOptions& options, std::string* error) {
    if (!validOptions(options, error)) return std::nullopt;
    const LTC_TV_STANDARD standard = standardOf(options.rate);
    Encoder encoder(ltc_encoder_create(options.sampleRate, options.rate.fps(), standard, 0));
    if (!encoder) {
        fail(error, "libltc cannot create an encoder");
        return std::nullopt;
    }
    // Full scale from libltc (8-bit values 1 to 255); the level is applied in floating point
    // so that it is not limited to libltc's 8-bit steps.
    ltc_encoder_set_volume(encoder.get(), 0.0);
    ltc_encoder_set_filter(encoder.get(), options.riseTimeMicroseconds);
    // libltc flags every 29.97 signal as drop frame; the rate's own flag decides here.
    LTCFrame frame;
    ltc_encoder_get_frame(encoder.get(), &frame);
    frame.dfbit = options.rate.dropFrame ? 1 : 0;
    ltc_encoder_set_frame(encoder.get(), &frame);
    ltc_encoder_set_user_bits(encoder.get(), options.userBits);
    SMPTETimecode start{};
    start.hours = (unsigned char)options.start.hours;
    start.mins = (unsigned char)options.start.minutes;
    start.secs = (unsigned char)options.start.seconds;
    start.frame = (unsigned char)options.start.frames;
    ltc_encoder_set_timecode(encoder.get(), &start);

    LtcSignal signal;
    signal.rate = options.rate;
    signal.sampleRate = options.sampleRate;
    signal.reversed = options.impairments.reversed;
    const int64_t total = std::llround(options.durationSeconds * options.sampleRate);
    signal.samples.assign(size_t(total), 0.0f);
    const double gain = gainOfDbfs(options.levelDbfs);

    for (int64_t position = options.firstFrameSample; position < total;) {
        SMPTETimecode label{};
        ltc_encoder_get_timecode(encoder.get(), &label);
        ltc_encoder_get_frame(encoder.get(), &frame);
        ltc_encoder_encode_frame(encoder.get());
        ltcsnd_sample_t* wave = nullptr;
        const int64_t length = ltc_encoder_get_bufferptr(encoder.get(), &wave, 1);
        if (length <= 0 || wave == nullptr) {
            fail(error, "libltc produced no samples");
            return std::nullopt;
        }
        if (position + length > 0) {
            signal.frames.push_back({{label.hours, label.mins, label.secs, label.frame},
                                     frame.dfbit != 0,
                                     uint32_t(ltc_frame_get_user_bits(&frame)),
                                     position,
                                     length});
            for (int64_t i = std::max<int64_t>(0, -position); i < length && position + i < total;
                 ++i)
                signal.samples[size_t(position + i)] = float((wave[i] - 128) / 127.0 * gain);
        }
        position += length;
        ltc_encoder_inc_timecode(encoder.get());
    }

    impair(signal.samples, options.impairments, options.sampleRate);
    if (signal.reversed) {
        std::reverse(signal.frames.begin(), signal.frames.end());
        for (LtcFrame& reversedFrame : signal.frames)
            reversedFrame.firstSample =
                total - (reversedFrame.firstSample + reversedFrame.sampleCount);
    }
    return signal;
}

}  // namespace vorlane::mediagen
