// One channel of an audio track over a time range as floats (full scale 1.0) at the track's own
// rate, read piece by piece through the audio sample reader: what the sound comparisons (the
// sync check, placing files without timecode) work on. Also which channel of a file to compare:
// the recorder's mix or boom as its iXML names them, else the channels in order, leaving out
// those that carry LTC.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class MediaAsset;
class MediaFile;
class MediaTrack;

struct ChannelSamples {
    std::vector<float> samples;
    int32_t sampleRate = 0;
    CMTime startTime = kCMTimeInvalid;  // file time of the first sample
};

// What a read of one channel delivers.
struct ChannelFormat {
    int32_t sampleRate = 0;
    CMTime startTime = kCMTimeInvalid;  // file time of the first sample
};

// Hands the samples of channel `channel` (from 0) of the track over `range` to `piece` as they
// are decoded, so that hours of sound never sit in memory. Nothing as for readChannelSamples().
std::optional<ChannelFormat> readChannelPieces(
    const std::shared_ptr<MediaTrack>& track, int64_t channel, CMTimeRange range,
    const std::function<void(std::span<const float>)>& piece,
    std::shared_ptr<MediaAsset> asset = nullptr);

// The samples of channel `channel` (from 0) of the track over `range`; fewer where the track
// ends early. Nothing when the reader cannot be opened (see AudioBufferReader) or the channel
// does not exist. `asset`, when given, is the track's opened media and is reused.
std::optional<ChannelSamples> readChannelSamples(const std::shared_ptr<MediaTrack>& track,
                                                 int64_t channel, CMTimeRange range,
                                                 std::shared_ptr<MediaAsset> asset = nullptr);

// The track's file opened for reading its sound, to be handed to several reads of it; nullptr
// where each read opens its own (a track joined from several files) or the file cannot be
// opened.
std::shared_ptr<MediaAsset> openSoundOfTrack(const MediaTrack& track);

struct SoundChannel {
    std::shared_ptr<MediaTrack> track;
    int64_t channel = 0;  // within the track, from 0
    bool named = false;   // the recorder's iXML calls it the mix or the boom
};

// The file's channels to compare, best first: those its iXML names mix or boom, then every other
// channel of its audio tracks in order; channels that carry LTC (muted in the track's channel
// mask) are left out.
std::vector<SoundChannel> soundChannelsOfFile(const MediaFile& file);

}  // namespace vorlane
