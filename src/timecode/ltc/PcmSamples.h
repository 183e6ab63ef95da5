// Interleaved little-endian signed PCM held elsewhere, as the audio sample reader delivers it:
// frames back to back, one sample of every channel each, 1 to 4 bytes per sample. The LTC
// decoder reads each sample as a signed 16-bit value: 8-bit samples shifted up, wider ones as
// their two most significant bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlane {

struct PcmSamples {
    const uint8_t* bytes = nullptr;
    size_t frameCount = 0;
    int64_t channelCount = 0;
    uint32_t bytesPerSample = 0;  // 1 to 4

    // The bytes hold `byteCount` bytes of samples of `bitDepth` 8, 16, 24 or 32; a trailing
    // partial frame is left out. No frames for another depth or a channel count below 1.
    static PcmSamples ofBytes(const uint8_t* bytes, size_t byteCount, int64_t channelCount,
                              uint32_t bitDepth);

    size_t bytesPerFrame() const { return size_t(channelCount) * bytesPerSample; }
    // The sample of a channel below channelCount at a frame below frameCount, as 16 bits.
    int16_t value(size_t frame, int64_t channel) const;
    // `count` samples of a channel from frame `first` on, as 16 bits.
    void unpackChannel(int64_t channel, size_t first, size_t count, int16_t* values) const;
};

}  // namespace vorlane
