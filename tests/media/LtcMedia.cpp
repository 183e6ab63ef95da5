#include "media/LtcMedia.h"

#include <gtest/gtest.h>

#include "mediagen/Signals.h"
#include "platform/media/MediaAsset.h"

namespace vorlane::test {

using namespace mediagen;

std::shared_ptr<AssetMediaFile> AssetMediaFile::open(const std::filesystem::path& path) {
    const std::shared_ptr<MediaAsset> asset = MediaAsset::assetWithURL(path);
    if (!asset) return nullptr;
    auto file = std::make_shared<AssetMediaFile>(path);
    for (const AssetTrack& source : asset->tracks()) {
        if (!source.formatDescription) continue;
        const FormatDescription& format = *source.formatDescription;
        if (source.mediaType == AssetMediaType::Audio && format.audio) {
            auto track = file->addTrackWithMediaType(MediaTrackTypeAudio, source.trackID);
            track->setAudioChannelCount(format.audio->channelsPerFrame);
            track->setAudioBitDepth(format.audio->bitsPerChannel);
            track->setAudioBytesPerFrame(format.audio->bytesPerFrame);
            track->setAudioSampleRate(format.audio->sampleRate);
            track->setTimeRange(source.timeRange);
        } else if (source.mediaType == AssetMediaType::Video) {
            auto track = file->addTrackWithMediaType(MediaTrackTypeVideo, source.trackID);
            const CMTime frame = source.minFrameDuration;
            track->setVideoFrameRate(frame.isValid() && frame.value > 0
                                         ? double(frame.timescale) / double(frame.value)
                                         : source.nominalFrameRate);
            track->setTimeRange(source.timeRange);
        }
    }
    return file;
}

LtcSignal writeLtcFile(const std::filesystem::path& path, const LtcFile& file) {
    std::string error;
    std::optional<LtcSignal> signal = generateLtc(file.ltc, &error);
    EXPECT_TRUE(signal) << error;
    if (!signal) return {};
    const size_t length = signal->samples.size();
    std::vector<Samples> channels;
    for (int c = 0; c < file.channels; ++c) {
        channels.push_back(c == file.ltcChannel
                               ? signal->samples
                               : chords(length, file.ltc.sampleRate, -30.0, int64_t(c) * 4800));
    }
    writeChannels(path, channels, file.format, file.ltc.sampleRate);
    return *signal;
}

void writeChannels(const std::filesystem::path& path, const std::vector<Samples>& channels,
                   SampleFormat format, int sampleRate) {
    AudioFileOptions options;
    options.path = path;
    options.format = format;
    options.sampleRate = sampleRate;
    options.channels = channels;
    std::string error;
    EXPECT_TRUE(writeAudioFile(options, &error)) << error;
}

std::string labelAtSampleZero(const LtcSignal& signal) {
    for (const LtcFrame& frame : signal.frames)
        if (frame.firstSample <= 0 && frame.firstSample + frame.sampleCount > 0)
            return frame.timecode.text(frame.dropFrame);
    return "no frame at sample 0";
}

std::shared_ptr<AssetMediaFile> readLtc(const std::filesystem::path& path,
                                        const AudioTimecodeRequest& request) {
    std::shared_ptr<AssetMediaFile> file = AssetMediaFile::open(path);
    EXPECT_TRUE(file) << path;
    if (file) file->readAudioTimecodeAtFrameRate(request);
    return file;
}

}  // namespace vorlane::test
