#include "media/AudioBufferReader.h"

#include "media/MediaObject.h"
#include "media/MediaTrack.h"
#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {

AudioBufferReader::AudioBufferReader(std::shared_ptr<MediaAsset> asset,
                                     std::unique_ptr<AudioTrackReader> reader,
                                     CMTimeRange timeRange)
    : asset_(std::move(asset)),
      reader_(std::move(reader)),
      timeRange_(timeRange),
      startTime_(reader_->startTime()),
      sampleRate_(double(reader_->sampleRate())),
      totalChannels_(reader_->channelCount()),
      totalSamples_(reader_->frameCount()) {}

AudioBufferReader::~AudioBufferReader() = default;

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
    std::unique_ptr<AudioTrackReader> reader =
        AudioTrackReader::open(*asset, track->mediaTrackID(), timeRange, kBitDepth);
    if (!reader || reader->bytesPerFrame() == 0) return nullptr;
    return std::unique_ptr<AudioBufferReader>(
        new AudioBufferReader(std::move(asset), std::move(reader), timeRange));
}

PcmSamples AudioBufferReader::readSamples(int64_t maxFrames) {
    if (!reader_->readFrames(piece_, maxFrames)) return {};
    const PcmSamples samples =
        PcmSamples::ofBytes(piece_.data(), piece_.size(), totalChannels_, kBitDepth);
    samplesRead_ += int64_t(samples.frameCount);
    return samples;
}

}  // namespace vorlane
