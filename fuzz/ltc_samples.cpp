// Sample buffers of any layout through the LTC decoder's in-memory entry. Four header bytes pick
// the layout and the request; the rest is interleaved PCM. Whatever the decoder finds must be a
// well-formed audio timecode of a channel that exists.
//
// Header: byte 0 bits 0-2 channels − 1, bits 3-4 bit depth (8, 16, 24, 32), bits 5-7 sample rate;
// byte 1 bits 0-2 edge setting (5-7 find no edges), bits 3-5 the given frame rate (0 detects),
// bits 6-7 the channel read (all, 0, 1, 7); byte 2 the frame offset; byte 3 the video rate.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "timecode/TCHelper.h"
#include "timecode/ltc/AudioBufferReader.h"
#include "timecode/ltc/LtcReader.h"

using namespace vorlane;

namespace {

constexpr uint32_t kDepths[] = {8, 16, 24, 32};
constexpr double kSampleRates[] = {48000, 44100, 16000, 22050, 96000, 8000, 32000, 192000};
constexpr double kFrameRates[] = {0, 24, 25, 30, 29.97, 23.976, 26.5, -1};
constexpr int64_t kChannels[] = {-1, 0, 1, 7};
constexpr double kVideoRates[] = {0, 25, 50, 23.976, 29.97, 59.94, 24, 30};

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int64_t channels = 1 + (data[0] & 0x07);
    const uint32_t depth = kDepths[(data[0] >> 3) & 0x03];
    const double sampleRate = kSampleRates[data[0] >> 5];
    auto reader = AudioBufferReader::readerWithPCM(std::vector<uint8_t>(data + 4, data + size),
                                                   channels, depth, sampleRate);
    check(reader != nullptr);
    LtcReader decoder;
    decoder.setReadingAlgorithm(data[1] & 0x07);
    decoder.setReadingFrameRate(kFrameRates[(data[1] >> 3) & 0x07]);
    decoder.setReadingChannel(kChannels[data[1] >> 6]);
    decoder.setReadingOffset(int8_t(data[2]));
    decoder.setVideoFrameRate(kVideoRates[data[3] & 0x07]);
    const LtcReader::BufferResult result = decoder.findTimecodesInBuffer(std::move(reader));
    check(result.channelMask < (uint64_t(1) << channels));
    for (const auto& timecode : result.timecodes) {
        check(timecode->type() == TCTypeAudio);
        check(timecode->frameRate() > 0.0);
        check(timecode->time().isValid());
        check(!timecode->timecodeString(TCOptionWrap24h).empty());
    }
    return 0;
}
