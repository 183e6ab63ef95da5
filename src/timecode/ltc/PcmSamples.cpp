#include "timecode/ltc/PcmSamples.h"

namespace vorlane {
namespace {

template <uint32_t Width>
int16_t topSixteenBits(const uint8_t* sample) {
    if constexpr (Width == 1)
        return int16_t(uint16_t(sample[0]) << 8);
    else
        return int16_t(uint16_t(sample[Width - 1]) << 8 | uint16_t(sample[Width - 2]));
}

template <uint32_t Width>
void unpack(const uint8_t* sample, size_t stride, size_t count, int16_t* values) {
    for (size_t i = 0; i < count; ++i, sample += stride)
        values[i] = topSixteenBits<Width>(sample);
}

}  // namespace

PcmSamples PcmSamples::ofBytes(const uint8_t* bytes, size_t byteCount, int64_t channelCount,
                               uint32_t bitDepth) {
    const bool usable =
        channelCount >= 1 && (bitDepth == 8 || bitDepth == 16 || bitDepth == 24 || bitDepth == 32);
    if (!usable) return {};
    PcmSamples samples{bytes, 0, channelCount, bitDepth / 8};
    samples.frameCount = byteCount / samples.bytesPerFrame();
    return samples;
}

int16_t PcmSamples::value(size_t frame, int64_t channel) const {
    int16_t result = 0;
    unpackChannel(channel, frame, 1, &result);
    return result;
}

void PcmSamples::unpackChannel(int64_t channel, size_t first, size_t count, int16_t* values) const {
    const uint8_t* sample = bytes + first * bytesPerFrame() + size_t(channel) * bytesPerSample;
    const size_t stride = bytesPerFrame();
    switch (bytesPerSample) {
        case 1:
            return unpack<1>(sample, stride, count, values);
        case 2:
            return unpack<2>(sample, stride, count, values);
        case 3:
            return unpack<3>(sample, stride, count, values);
        default:
            return unpack<4>(sample, stride, count, values);
    }
}

}  // namespace vorlane
