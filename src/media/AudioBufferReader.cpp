#include "media/AudioBufferReader.h"

#include "media/JoinedAudioReader.h"
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

AudioBufferReader::AudioBufferReader(std::unique_ptr<JoinedAudioReader> joined,
                                     CMTimeRange timeRange)
    : joined_(std::move(joined)),
      timeRange_(timeRange),
      startTime_(joined_->startTime()),
      sampleRate_(double(joined_->sampleRate())),
      totalChannels_(joined_->channelCount()),
      totalSamples_(joined_->frameCount()) {}

AudioBufferReader::~AudioBufferReader() = default;

std::unique_ptr<AudioBufferReader> AudioBufferReader::initWithMediaTrack(
    const std::shared_ptr<MediaTrack>& track, CMTimeRange timeRange,
    std::shared_ptr<MediaAsset> asset) {
    if (!track) return nullptr;
    const std::shared_ptr<MediaObject> owner = track->mediaObject();
    if (!owner || !owner->hasAudio() || !owner->isMediaFile()) return nullptr;
    if (!timeRange.isValid() || timeRange.start.value < 0) return nullptr;
    if (track->audioChannelCount() < 1) return nullptr;
    if (JoinedAudioReader::isJoinedTrack(*track)) {
        std::unique_ptr<JoinedAudioReader> joined =
            JoinedAudioReader::open(*track, timeRange, kBitDepth);
        if (!joined || joined->bytesPerFrame() == 0) return nullptr;
        return std::unique_ptr<AudioBufferReader>(
            new AudioBufferReader(std::move(joined), timeRange));
    }
    if (!asset) {
        const std::optional<std::filesystem::path> url = owner->mediaURL();
        if (!url) return nullptr;
        asset = MediaAsset::assetForSoundWithURL(*url);
        if (!asset) return nullptr;
    }
    std::unique_ptr<AudioTrackReader> reader =
        AudioTrackReader::open(*asset, track->mediaTrackID(), timeRange, kBitDepth);
    if (!reader || reader->bytesPerFrame() == 0) return nullptr;
    return std::unique_ptr<AudioBufferReader>(
        new AudioBufferReader(std::move(asset), std::move(reader), timeRange));
}

PcmSamples AudioBufferReader::readSamples(int64_t maxFrames) {
    const bool read =
        reader_ ? reader_->readFrames(piece_, maxFrames) : joined_->readFrames(piece_, maxFrames);
    if (!read) return {};
    const PcmSamples samples =
        PcmSamples::ofBytes(piece_.data(), piece_.size(), totalChannels_, kBitDepth);
    samplesRead_ += int64_t(samples.frameCount);
    return samples;
}

}  // namespace vorlane
