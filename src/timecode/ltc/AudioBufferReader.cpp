#include "timecode/ltc/AudioBufferReader.h"

#include <algorithm>
#include <cmath>

#include "media/MediaObject.h"
#include "media/MediaTrack.h"
#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

bool isDecodableDepth(uint32_t bitDepth) {
    return bitDepth == 8 || bitDepth == 16 || bitDepth == 24 || bitDepth == 32;
}

}  // namespace

AudioBufferReader::AudioBufferReader(std::vector<uint8_t> pcm, int64_t channels,
                                     uint32_t bytesPerChannel, double sampleRate, CMTime startTime,
                                     CMTimeRange timeRange)
    : waveData_(std::move(pcm)),
      totalChannels_(channels),
      bytesPerChannel_(bytesPerChannel),
      bytesPerFrame_(size_t(channels) * bytesPerChannel),
      sampleRate_(sampleRate),
      startTime_(startTime),
      timeRange_(timeRange),
      totalSamples_(int64_t(waveData_.size() / bytesPerFrame_)) {
    restartWithChannel(0);
}

void AudioBufferReader::restartWithChannel(int64_t channel) {
    readingChannel_ = channel;
    currentPosition_ = 0;
    if (channel == channelValuesChannel_) return;
    channelValuesChannel_ = channel;
    channelValues_.assign(size_t(totalSamples_), 0);
    if (channel < 0 || channel >= totalChannels_) return;
    for (int64_t position = 0; position < totalSamples_; ++position)
        channelValues_[size_t(position)] = unpackedValue(position, channel);
}

// 8-bit samples are shifted up; wider ones give their two most significant bytes.
int16_t AudioBufferReader::unpackedValue(int64_t position, int64_t channel) const {
    const uint8_t* sample =
        waveData_.data() + size_t(position) * bytesPerFrame_ + size_t(channel) * bytesPerChannel_;
    if (bytesPerChannel_ < 2) return int16_t(uint16_t(sample[0]) << 8);
    return int16_t(uint16_t(sample[bytesPerChannel_ - 1]) << 8 |
                   uint16_t(sample[bytesPerChannel_ - 2]));
}

// Compressed tracks carry no bit depth of their own; they are decoded to 16 bits, all the
// decoder reads. The buffer's layout is the one the decoder delivered, so frames are walked with
// the stride of what is held, whatever the track reported.
std::unique_ptr<AudioBufferReader> AudioBufferReader::initWithMediaTrack(
    const std::shared_ptr<MediaTrack>& track, CMTimeRange timeRange,
    std::shared_ptr<MediaAsset> asset) {
    if (!track) return nullptr;
    const std::shared_ptr<MediaObject> owner = track->mediaObject();
    if (!owner || !owner->hasAudio() || !owner->isMediaFile()) return nullptr;
    if (!timeRange.isValid() || timeRange.start.value < 0) return nullptr;
    if (track->audioChannelCount() < 1) return nullptr;
    if (!asset) {
        const std::optional<std::filesystem::path> url = owner->mediaURL();
        if (!url) return nullptr;
        asset = MediaAsset::assetWithURL(*url);
        if (!asset) return nullptr;
    }
    const uint32_t bitDepth =
        isDecodableDepth(track->audioBitDepth()) ? track->audioBitDepth() : 16;
    std::optional<DecodedAudio> decoded =
        decodeAudioTrack(*asset, track->mediaTrackID(), timeRange, int32_t(bitDepth));
    if (!decoded || decoded->channelCount < 1 || decoded->sampleRate < 1 ||
        decoded->bytesPerFrame() == 0) {
        return nullptr;
    }
    return std::unique_ptr<AudioBufferReader>(new AudioBufferReader(
        std::move(decoded->samples), decoded->channelCount, uint32_t(decoded->bitDepth / 8),
        double(decoded->sampleRate), decoded->startTime, timeRange));
}

std::unique_ptr<AudioBufferReader> AudioBufferReader::readerWithPCM(std::vector<uint8_t> pcm,
                                                                    int64_t channels,
                                                                    uint32_t bitDepth,
                                                                    double sampleRate,
                                                                    CMTime startTime) {
    if (channels < 1 || channels > 4096 || !isDecodableDepth(bitDepth) || !(sampleRate >= 1.0) ||
        sampleRate > 1e7 || !startTime.isValid()) {
        return nullptr;
    }
    const CMTime length = CMTimeMakeWithSeconds(
        double(pcm.size() / (size_t(channels) * bitDepth / 8)) / sampleRate, 1'000'000);
    return std::unique_ptr<AudioBufferReader>(
        new AudioBufferReader(std::move(pcm), channels, bitDepth / 8, sampleRate, startTime,
                              CMTimeRangeMake(startTime, length)));
}

CMTime AudioBufferReader::currentSampleTime() const {
    return CMTimeAdd(startTime_, CMTimeMake(currentPosition_, CMTimeScale(sampleRate_)));
}

AudioBufferReaderChannelInfo AudioBufferReader::analyzeChannel(int64_t channel) {
    const auto cached = std::find_if(
        channelInfoArray_.begin(), channelInfoArray_.end(),
        [channel](const AudioBufferReaderChannelInfo& info) { return info.channel == channel; });
    if (cached != channelInfoArray_.end()) return *cached;
    AudioBufferReaderChannelInfo info;
    info.channel = channel;
    if (totalSamples_ > 0) {
        restartWithChannel(channel);
        int64_t sum = 0;
        for (; !finished(); increment())
            sum += currentValue();
        info.analyzedDcOffset = double(sum) / double(totalSamples_);
        restartWithChannel(channel);
        double squares = 0.0;
        for (; !finished(); increment()) {
            const double deviation = currentValue() - info.analyzedDcOffset;
            squares += deviation * deviation;
        }
        info.analyzedRMS = std::sqrt(squares / double(totalSamples_));
    } else {
        // Nothing held: no level to measure.
        info.analyzedRMS = 0.0;
    }
    channelInfoArray_.push_back(info);
    return info;
}

}  // namespace vorlane
