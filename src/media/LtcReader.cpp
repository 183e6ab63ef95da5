#include "media/LtcReader.h"

#include <cstdio>
#include <mutex>

#include "media/AudioBufferReader.h"
#include "media/JoinedAudioReader.h"
#include "media/MediaTrack.h"
#include "platform/Log.h"
#include "platform/media/MediaAsset.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcDecoder.h"

namespace vorlane {
namespace {

// Channels a track's mask can mark.
constexpr int64_t kMaskChannels = 64;

std::string sourceText(int64_t channel, int32_t trackNumber, size_t fileAudioTracks,
                       uint32_t trackChannels) {
    char text[64];
    if (fileAudioTracks < 2)
        std::snprintf(text, sizeof text, "on channel %ld", long(channel + 1));
    else if (trackChannels < 2)
        std::snprintf(text, sizeof text, "on track %d", trackNumber);
    else
        std::snprintf(text, sizeof text, "on channel %ld of track %d", long(channel + 1),
                      trackNumber);
    return text;
}

// The reading channel alone, or every channel, as far as a mask can mark them.
std::vector<int64_t> channelsToRead(int64_t readingChannel, int64_t channelCount) {
    std::vector<int64_t> channels;
    for (int64_t c = 0; c < channelCount && c < kMaskChannels; ++c)
        if (readingChannel < 0 || c == readingChannel) channels.push_back(c);
    return channels;
}

}  // namespace

std::unique_ptr<LtcReader> LtcReader::initWithMediaFile(std::shared_ptr<MediaFile> mediaFile) {
    if (!mediaFile || !mediaFile->hasAudio()) return nullptr;
    return std::unique_ptr<LtcReader>(new LtcReader(std::move(mediaFile)));
}

LtcReader::LtcReader(std::shared_ptr<MediaFile> mediaFile) : mediaFile_(std::move(mediaFile)) {
    std::lock_guard lock(mediaFile_->mutex());
    preferredTimescale_ = mediaFile_->bestTimeScale();
    if (const std::shared_ptr<MediaTrack> video = mediaFile_->firstVideoTrack())
        videoFrameRate_ = video->videoFrameRate();
}

bool LtcReader::findAudioTimecode() {
    mediaFile_->removeAllAudioTimecodeTracks();
    const std::optional<std::vector<CMTimeRange>> windows =
        readingTimeRanges(request_.readingRanges, mediaFile_->duration(),
                          preferredTimescale_ > 0 ? preferredTimescale_ : 600);
    if (!windows) return false;
    std::vector<std::shared_ptr<MediaTrack>> fileTracks;
    {
        std::lock_guard lock(mediaFile_->mutex());
        fileTracks = mediaFile_->audioTracks();
    }
    // Tracks to read with their number among the file's audio tracks.
    std::vector<std::pair<std::shared_ptr<MediaTrack>, int32_t>> tracks;
    if (request_.track >= 0) {
        if (request_.track >= int64_t(fileTracks.size())) return false;
        tracks.emplace_back(fileTracks[size_t(request_.track)], request_.track + 1);
    } else {
        for (size_t i = 0; i < fileTracks.size(); ++i)
            tracks.emplace_back(fileTracks[i], int32_t(i + 1));
    }
    if (tracks.empty()) return mediaFile_->hasAudioTimecode();

    const std::optional<std::filesystem::path> url = mediaFile_->mediaURL();
    const std::shared_ptr<MediaAsset> asset = url ? MediaAsset::assetWithURL(*url) : nullptr;
    const LtcDecoderSettings settings{request_.frameRate, videoFrameRate_, request_.offset,
                                      preferredTimescale_, request_.readingAlgorithm};
    samplesDecoded_ = 0;
    int32_t index = 1;
    for (const auto& [track, trackNumber] : tracks) {
        uint64_t mask = 0;
        const bool joined = JoinedAudioReader::isJoinedTrack(*track);
        for (const CMTimeRange& window : *windows) {
            if (!asset && !joined) break;
            std::unique_ptr<AudioBufferReader> reader =
                AudioBufferReader::initWithMediaTrack(track, window, asset);
            if (!reader) continue;
            LtcDecoder decoder(settings, channelsToRead(request_.channel, reader->totalChannels()),
                               reader->sampleRate(), reader->startTime(), reader->totalSamples());
            while (!decoder.complete()) {
                const PcmSamples samples = reader->readSamples();
                if (samples.frameCount == 0) break;
                decoder.decode(samples);
            }
            const LtcDecoder::Result found = decoder.finish();
            samplesDecoded_ += reader->samplesRead();
            reader.reset();
            if (asset) bytesRead_ = asset->bytesRead();
            if (found.abandoned) {
                Log::writef("LtcReader: Unusable frame rate in %s, reading abandoned",
                            mediaFile_->name().c_str());
                return false;
            }
            mask = found.channelMask;
            for (const LtcDecoder::ChannelTimecode& item : found.timecodes) {
                item.timecode->setIndex(index++);
                item.timecode->setSource(sourceText(item.channel, trackNumber, fileTracks.size(),
                                                    track->audioChannelCount()));
                std::lock_guard lock(mediaFile_->mutex());
                mediaFile_->addTimecodeTrackWithTCHelper(item.timecode);
            }
            if (!found.timecodes.empty()) break;
        }
        std::lock_guard lock(mediaFile_->mutex());
        track->setAudioChannelMask(mask);
    }
    return mediaFile_->hasAudioTimecode();
}

}  // namespace vorlane
