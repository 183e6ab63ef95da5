#include "media/AudioChannelSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "media/AudioBufferReader.h"
#include "media/JoinedAudioReader.h"
#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "platform/MetadataValue.h"
#include "platform/Text.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

constexpr float kFullScale16 = 32768.0f;

bool namedMixOrBoom(const std::string& name) {
    const std::string upper = upperCased(name);
    return upper.find("MIX") != std::string::npos || upper.find("BOOM") != std::string::npos;
}

// The positions (from 0) in the track's interleave of the channels its iXML names mix or boom.
std::vector<int64_t> namedChannels(const MediaTrack& track) {
    std::vector<int64_t> found;
    const auto list = track.metaData().find(kAudioChannelList);
    if (list == track.metaData().end() || !list->second.list()) return found;
    const MetadataList& channels = *list->second.list();
    for (size_t position = 0; position < channels.size(); ++position) {
        const MetadataDictionary* channel = channels[position].dictionary();
        if (!channel) continue;
        const auto name = metadataString(*channel, kAudioChannelName);
        if (!name || !namedMixOrBoom(*name)) continue;
        const auto interleave = metadataString(*channel, kAudioInterleaveIndex);
        const long number = interleave ? std::strtol(interleave->c_str(), nullptr, 10) : 0;
        found.push_back(number >= 1 && number <= 64 ? int64_t(number) - 1 : int64_t(position));
    }
    return found;
}

bool carriesLtc(const MediaTrack& track, int64_t channel) {
    return channel < 64 && (track.getAudioChannelMask() >> channel & 1u) != 0;
}

}  // namespace

std::optional<ChannelFormat> readChannelPieces(
    const std::shared_ptr<MediaTrack>& track, int64_t channel, CMTimeRange range,
    const std::function<void(std::span<const float>)>& piece, std::shared_ptr<MediaAsset> asset) {
    auto reader = AudioBufferReader::initWithMediaTrack(track, range, std::move(asset));
    if (!reader || channel < 0 || channel >= reader->totalChannels()) return std::nullopt;
    const ChannelFormat format{int32_t(std::lround(reader->sampleRate())), reader->startTime()};
    std::vector<int16_t> values;
    std::vector<float> floats;
    for (PcmSamples samples = reader->readSamples(); samples.frameCount > 0;
         samples = reader->readSamples()) {
        values.resize(samples.frameCount);
        floats.resize(samples.frameCount);
        samples.unpackChannel(channel, 0, samples.frameCount, values.data());
        std::transform(values.begin(), values.end(), floats.begin(),
                       [](int16_t value) { return float(value) / kFullScale16; });
        piece(floats);
    }
    return format;
}

std::optional<ChannelSamples> readChannelSamples(const std::shared_ptr<MediaTrack>& track,
                                                 int64_t channel, CMTimeRange range,
                                                 std::shared_ptr<MediaAsset> asset) {
    ChannelSamples read;
    if (track && range.isValid() && track->audioSampleRate() > 0.0)
        read.samples.reserve(
            size_t(std::max(0.0, CMTimeGetSeconds(range.duration) * track->audioSampleRate())) + 1);
    const auto format = readChannelPieces(
        track, channel, range,
        [&](std::span<const float> piece) {
            read.samples.insert(read.samples.end(), piece.begin(), piece.end());
        },
        std::move(asset));
    if (!format) return std::nullopt;
    read.sampleRate = format->sampleRate;
    read.startTime = format->startTime;
    return read;
}

std::shared_ptr<MediaAsset> openSoundOfTrack(const MediaTrack& track) {
    if (JoinedAudioReader::isJoinedTrack(track)) return nullptr;
    const std::shared_ptr<MediaObject> owner = track.mediaObject();
    const std::optional<std::filesystem::path> url = owner ? owner->mediaURL() : std::nullopt;
    return url ? MediaAsset::assetForSoundWithURL(*url) : nullptr;
}

std::vector<SoundChannel> soundChannelsOfFile(const MediaFile& file) {
    std::vector<SoundChannel> named;
    std::vector<SoundChannel> others;
    for (const std::shared_ptr<MediaTrack>& track : file.audioTracks()) {
        const std::vector<int64_t> mixOrBoom = namedChannels(*track);
        for (int64_t channel = 0; channel < int64_t(track->audioChannelCount()); ++channel) {
            if (carriesLtc(*track, channel)) continue;
            const bool isNamed =
                std::find(mixOrBoom.begin(), mixOrBoom.end(), channel) != mixOrBoom.end();
            (isNamed ? named : others).push_back({track, channel, isNamed});
        }
    }
    named.insert(named.end(), others.begin(), others.end());
    return named;
}

}  // namespace vorlane
