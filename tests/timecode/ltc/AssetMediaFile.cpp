#include "timecode/ltc/AssetMediaFile.h"

#include "platform/media/MediaAsset.h"

namespace vorlane::test {

std::shared_ptr<AssetMediaFile> AssetMediaFile::open(const std::filesystem::path& path) {
    const std::shared_ptr<MediaAsset> asset = MediaAsset::assetWithURL(path);
    if (!asset) return nullptr;
    auto file = std::make_shared<AssetMediaFile>(path);
    for (const AssetTrack& source : asset->tracks()) {
        if (!source.formatDescription) continue;
        const FormatDescription& format = *source.formatDescription;
        if (source.mediaType == AssetMediaType::Audio && format.audio) {
            auto track = file->addTrackWithMediaType(MediaTrackTypeAudio, source.trackID);
            track->setFourCC(format.mediaSubType);
            track->setCodecName(format.formatName);
            track->setAudioChannelCount(format.audio->channelsPerFrame);
            track->setAudioBitDepth(format.audio->bitsPerChannel);
            track->setAudioBytesPerFrame(format.audio->bytesPerFrame);
            track->setAudioSampleRate(format.audio->sampleRate);
            track->setTimeRange(source.timeRange);
        } else if (source.mediaType == AssetMediaType::Video) {
            auto track = file->addTrackWithMediaType(MediaTrackTypeVideo, source.trackID);
            track->setFourCC(format.mediaSubType);
            track->setCodecName(format.formatName);
            const CMTime frame = source.minFrameDuration;
            track->setVideoFrameRate(frame.isValid() && frame.value > 0
                                         ? double(frame.timescale) / double(frame.value)
                                         : source.nominalFrameRate);
            track->setTimeRange(source.timeRange);
        }
    }
    return file;
}

}  // namespace vorlane::test
