// Sample-by-sample access to one audio track of a media file over one short time range, for the
// LTC decoder. At creation the whole range is decoded to interleaved little-endian integer PCM
// and kept in memory; afterwards one channel at a time is walked, each sample delivered as a
// signed 16-bit value (the two most significant bytes of wider samples), with the file time of
// the current sample and a cached DC/RMS measurement per channel.
//
// A reader can also be made over PCM bytes held in memory (the fuzzer, tests and benchmarks).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CMTime.h"
#include "timecode/ltc/AudioBufferReaderChannelInfo.h"

namespace vorlane {

class MediaAsset;
class MediaTrack;

class AudioBufferReader {
  public:
    // Decodes the range of the track. `asset` is the opened media of the track's file; without
    // one it is opened from the file's mediaURL. Nothing when the track's file has no audio or
    // is not a media file, the asset cannot be opened, the range starts before zero, the track
    // is not a readable audio track or reports no channels.
    static std::unique_ptr<AudioBufferReader> initWithMediaTrack(
        const std::shared_ptr<MediaTrack>& track, CMTimeRange timeRange,
        std::shared_ptr<MediaAsset> asset = nullptr);
    // Interleaved little-endian signed PCM of `bitDepth` 8, 16, 24 or 32 bits per sample; a
    // trailing partial frame is ignored. Nothing for a channel count below 1, another bit depth
    // or a sample rate below 1.
    static std::unique_ptr<AudioBufferReader> readerWithPCM(std::vector<uint8_t> pcm,
                                                            int64_t channels, uint32_t bitDepth,
                                                            double sampleRate,
                                                            CMTime startTime = kCMTimeZero);

    // Walks the channel from its first sample (its samples are unpacked to 16 bits once).
    void restartWithChannel(int64_t channel);
    // The sample of the reading channel at the current position; 0 past the end.
    int16_t currentValue() const { return valueAt(currentPosition_); }
    // The sample one position back; at positions 0 and 1 the current one.
    int16_t lastValue() const {
        return currentPosition_ < 2 ? currentValue() : valueAt(currentPosition_ - 1);
    }
    // The reading channel's samples, totalSamples() of them, for scanning without a call per
    // sample.
    const int16_t* channelValues() const { return channelValues_.data(); }
    void increment() {
        if (!finished()) ++currentPosition_;
    }
    bool finished() const { return currentPosition_ >= totalSamples_; }
    int64_t currentPosition() const { return currentPosition_; }
    void setCurrentPosition(int64_t position) { currentPosition_ = position; }
    // Start time + current position ÷ the whole sample rate.
    CMTime currentSampleTime() const;
    // DC offset and RMS of the channel over the whole range (cached); leaves the position at
    // the end.
    AudioBufferReaderChannelInfo analyzeChannel(int64_t channel);

    double sampleRate() const { return sampleRate_; }
    int64_t totalChannels() const { return totalChannels_; }
    int64_t totalSamples() const { return totalSamples_; }
    int64_t readingChannel() const { return readingChannel_; }
    CMTimeRange timeRange() const { return timeRange_; }
    CMTime startTime() const { return startTime_; }
    uint32_t bytesPerChannel() const { return bytesPerChannel_; }
    // Bytes of decoded PCM held.
    size_t waveDataSize() const { return waveData_.size(); }

  private:
    AudioBufferReader(std::vector<uint8_t> pcm, int64_t channels, uint32_t bytesPerChannel,
                      double sampleRate, CMTime startTime, CMTimeRange timeRange);

    int16_t valueAt(int64_t position) const {
        return position >= 0 && position < totalSamples_ ? channelValues_[size_t(position)] : 0;
    }
    // The sample of a channel below totalChannels() at a frame below totalSamples().
    int16_t unpackedValue(int64_t position, int64_t channel) const;

    std::vector<uint8_t> waveData_;
    int64_t totalChannels_ = 0;
    uint32_t bytesPerChannel_ = 0;
    size_t bytesPerFrame_ = 0;
    double sampleRate_ = 0.0;
    CMTime startTime_ = kCMTimeZero;
    CMTimeRange timeRange_ = kCMTimeRangeInvalid;
    int64_t totalSamples_ = 0;
    int64_t readingChannel_ = 0;
    int64_t currentPosition_ = 0;
    // The samples of channelValuesChannel_ as 16-bit values.
    std::vector<int16_t> channelValues_;
    int64_t channelValuesChannel_ = -1;
    std::vector<AudioBufferReaderChannelInfo> channelInfoArray_;
};

}  // namespace vorlane
