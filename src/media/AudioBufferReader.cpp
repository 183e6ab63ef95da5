#include "media/AudioBufferReader.h"

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

AudioBufferReader::AudioBufferReader(std::shared_ptr<MediaAsset> asset,
                                     std::unique_ptr<AudioTrackReader> reader,
                                     CMTimeRange timeRange)
    : asset_(std::move(asset)),
      reader_(std::move(reader)),
      timeRange_(timeRange),
      startTime_(reader_->startTime()),
      sampleRate_(double(reader_->sampleRate())),
      totalChannels_(reader_->channelCount()),
      bytesPerChannel_(uint32_t(reader_->bitDepth() / 8)),
      totalSamples_(reader_->frameCount()) {}

AudioBufferReader::~AudioBufferReader() = default;

// Compressed tracks carry no bit depth of their own; they are decoded to 16 bits, all the
// decoder reads.
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
    std::unique_ptr<AudioTrackReader> reader =
        AudioTrackReader::open(*asset, track->mediaTrackID(), timeRange, int32_t(bitDepth));
    if (!reader || reader->bytesPerFrame() == 0) return nullptr;
    return std::unique_ptr<AudioBufferReader>(
        new AudioBufferReader(std::move(asset), std::move(reader), timeRange));
}

PcmSamples AudioBufferReader::readSamples(int64_t maxFrames) {
    if (!reader_->readFrames(piece_, maxFrames)) return {};
    const PcmSamples samples =
        PcmSamples::ofBytes(piece_.data(), piece_.size(), totalChannels_, bytesPerChannel_ * 8);
    samplesRead_ += int64_t(samples.frameCount);
    return samples;
}

}  // namespace vorlane
