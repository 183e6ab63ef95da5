// Sample buffers of any layout through the LTC decoder, as one window. Four header bytes pick
// the layout and the request; the rest is interleaved PCM. Whatever the decoder finds must be a
// well-formed audio timecode of a channel that exists, the same however the samples arrive.
//
// Header: byte 0 bits 0-2 channels − 1, bits 3-4 bit depth (8, 16, 24, 32), bits 5-7 sample rate;
// byte 1 bits 0-2 edge setting (5-7 find no edges), bits 3-5 the given frame rate (0 detects),
// bits 6-7 the channel read (all, 0, 1, 7); byte 2 the frame offset; byte 3 bits 0-2 the video
// rate, bits 3-4 the window a third reading declares (the samples', 2^31 frames, the largest
// int64_t, none) and bits 5-6 a sample rate in place of the table's (768 kHz, 2,147,483,647 Hz,
// which no recorder uses and at which nothing may be found, and 1 kHz).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/SampleRateRange.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcDecoder.h"

using namespace vorlane;

namespace {

constexpr uint32_t kDepths[] = {8, 16, 24, 32};
constexpr double kSampleRates[] = {48000, 44100, 16000, 22050, 96000, 8000, 32000, 192000};
constexpr double kFrameRates[] = {0, 24, 25, 30, 29.97, 23.976, 26.5, -1};
constexpr int64_t kChannels[] = {-1, 0, 1, 7};
constexpr double kVideoRates[] = {0, 25, 50, 23.976, 29.97, 59.94, 24, 30};
constexpr size_t kPieceFrames = 333;
constexpr int64_t kDeclaredWindows[] = {-1, int64_t(1) << 31, INT64_MAX, 0};
constexpr double kOtherSampleRates[] = {0, 768000, 2147483647, 1000};

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int64_t channels = 1 + (data[0] & 0x07);
    const uint32_t depth = kDepths[(data[0] >> 3) & 0x03];
    const double otherRate = kOtherSampleRates[(data[3] >> 5) & 0x03];
    const double sampleRate = otherRate > 0 ? otherRate : kSampleRates[data[0] >> 5];
    const PcmSamples samples = PcmSamples::ofBytes(data + 4, size - 4, channels, depth);
    check(samples.frameCount == (size - 4) / size_t(channels * depth / 8));
    LtcDecoderSettings settings;
    settings.readingAlgorithm = LtcReadingAlgorithm(data[1] & 0x07);
    settings.readingFrameRate = kFrameRates[(data[1] >> 3) & 0x07];
    settings.readingOffset = int8_t(data[2]);
    settings.videoFrameRate = kVideoRates[data[3] & 0x07];
    const int64_t reading = kChannels[data[1] >> 6];
    std::vector<int64_t> read;
    for (int64_t c = 0; c < channels; ++c)
        if (reading < 0 || c == reading) read.push_back(c);
    const LtcDecoder::Result result = LtcDecoder::decodeWindow(settings, read, samples, sampleRate);
    check(result.channelMask < (uint64_t(1) << channels));
    // The same samples handed over in pieces.
    LtcDecoder pieces(settings, read, sampleRate, kCMTimeZero, int64_t(samples.frameCount));
    for (size_t at = 0; at < samples.frameCount; at += kPieceFrames) {
        const size_t count = std::min(kPieceFrames, samples.frameCount - at);
        pieces.decode({samples.bytes + at * samples.bytesPerFrame(), count, channels, depth / 8});
    }
    const LtcDecoder::Result again = pieces.finish();
    check(again.channelMask == result.channelMask && again.abandoned == result.abandoned);
    if (!isPlausibleSampleRate(sampleRate)) check(result.timecodes.empty());
    // The samples as the start of a window that claims to be longer or shorter.
    const int64_t declared = kDeclaredWindows[(data[3] >> 3) & 0x03];
    if (declared >= 0) {
        LtcDecoder window(settings, read, sampleRate, kCMTimeZero, declared);
        window.decode(samples);
        check(window.finish().channelMask < (uint64_t(1) << channels));
    }
    for (size_t i = 0; i < result.timecodes.size(); ++i)
        check(again.timecodes[i].timecode->time() == result.timecodes[i].timecode->time());
    for (const auto& [channel, timecode] : result.timecodes) {
        check(channel < channels);
        check(timecode->type() == TCTypeAudio);
        check(timecode->frameRate() > 0.0);
        check(timecode->time().isValid());
        check(!timecode->timecodeString(TCOptionWrap24h).empty());
    }
    return 0;
}
