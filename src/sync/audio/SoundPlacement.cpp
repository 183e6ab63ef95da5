#include "sync/audio/SoundPlacement.h"

#include <algorithm>

#include "media/AudioChannelSamples.h"
#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "sync/audio/AudioAligner.h"
#include "sync/audio/AudioEnvelope.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// Of a long file the first minutes are searched for.
constexpr int64_t kClipSeconds = 600;

struct Recording {
    std::shared_ptr<MediaFile> file;
    SoundChannel channel;
    std::shared_ptr<TCHelper> timecode;
};

CMTimeRange wholeTrack(const MediaTrack& track) {
    return {kCMTimeZero, track.timeRange().end()};
}

// The recorder's first channel to compare, its contour built while it is read.
std::optional<AudioEnvelope> envelopeOf(const Recording& recording) {
    std::optional<AudioEnvelopeBuilder> builder;
    const auto format = readChannelPieces(
        recording.channel.track, recording.channel.channel, wholeTrack(*recording.channel.track),
        [&](std::span<const float> piece) {
            if (!builder) builder.emplace(int32_t(recording.channel.track->audioSampleRate()));
            builder->append(piece);
        });
    if (!format || !builder) return std::nullopt;
    return builder->finish();
}

std::vector<float> readStretch(const Recording& recording, int32_t rate, int64_t first,
                               size_t count) {
    std::vector<float> samples(size_t(std::max<int64_t>(0, -first)), 0.0f);
    const int64_t start = std::max<int64_t>(first, 0);
    const int64_t length = int64_t(count) - int64_t(samples.size());
    if (length <= 0) return samples;
    const auto read = readChannelSamples(recording.channel.track, recording.channel.channel,
                                         {CMTimeMake(start, rate), CMTimeMake(length, rate)});
    if (read) samples.insert(samples.end(), read->samples.begin(), read->samples.end());
    return samples;
}

// The file's first channel to compare that has sound, over its first minutes.
std::optional<ChannelSamples> clipSound(const MediaFile& file) {
    std::optional<ChannelSamples> read;
    for (const SoundChannel& channel : soundChannelsOfFile(file)) {
        const CMTimeRange range{kCMTimeZero, CMTimeMinimum(channel.track->timeRange().end(),
                                                           CMTimeMake(kClipSeconds, 1))};
        read = readChannelSamples(channel.track, channel.channel, range);
        if (!read) continue;
        if (excerptProblem({read->samples, read->sampleRate}, true) !=
            AudioSyncProblem::SilentCameraSound)
            return read;
    }
    return read;
}

std::shared_ptr<TCHelper> derivedTimecode(const Recording& recording, const ChannelSamples& clip,
                                          const AudioAlignment& alignment) {
    const CMTime start = recording.timecode->time() + alignment.lagTime() - clip.startTime;
    auto timecode = std::make_shared<TCHelper>(recording.timecode->frameRate(),
                                               recording.timecode->dropFrame());
    timecode->setTime(start);
    timecode->setType(TCTypeAudio);
    timecode->setSource(formatMediaText("sound matched to %s, confidence %.2f",
                                        recording.file->name().c_str(), alignment.confidence));
    return timecode;
}

}  // namespace

std::string SoundPlacementResult::text() const {
    if (timecode) return "placed by sound: " + timecode->source();
    return "cannot place by sound: " + audioSyncProblemText(alignment.problem);
}

std::vector<SoundPlacementResult> placeFilesWithoutTimecode(
    const std::vector<std::shared_ptr<MediaFile>>& files) {
    std::vector<std::shared_ptr<MediaFile>> unplaced;
    std::vector<Recording> recordings;
    for (const std::shared_ptr<MediaFile>& file : files) {
        const std::shared_ptr<TCHelper> timecode = file->timecode();
        if (!file->hasAudio()) continue;
        if (!timecode) {
            unplaced.push_back(file);
            continue;
        }
        const std::vector<SoundChannel> channels = soundChannelsOfFile(*file);
        if (file->type() == MediaTypeAudio && !channels.empty())
            recordings.push_back({file, channels.front(), timecode});
    }
    std::vector<SoundPlacementResult> results;
    if (unplaced.empty()) return results;

    std::vector<AudioEnvelope> envelopes;
    std::vector<Recording> enveloped;
    for (const Recording& recording : recordings)
        if (auto envelope = envelopeOf(recording)) {
            envelopes.push_back(std::move(*envelope));
            enveloped.push_back(recording);
        }
    const RecordingReader reader = [&](size_t index, int64_t first, size_t count) {
        return readStretch(enveloped[index], envelopes[index].sampleRate, first, count);
    };
    for (const std::shared_ptr<MediaFile>& file : unplaced) {
        SoundPlacementResult result{file, nullptr, {}, nullptr};
        const auto sound = clipSound(*file);
        const AudioPlacement placement =
            sound ? placeAudio({sound->samples, sound->sampleRate}, envelopes, reader)
                  : AudioPlacement{0, AudioAlignment::failure(AudioSyncProblem::NoCameraSound)};
        result.alignment = placement.alignment;
        if (placement.recording < enveloped.size())
            result.recorder = enveloped[placement.recording].file;
        if (sound && placement.alignment.confirmed() &&
            placement.alignment.confidence >= kAudioSyncConfidenceThreshold) {
            result.timecode =
                derivedTimecode(enveloped[placement.recording], *sound, placement.alignment);
            std::lock_guard lock(file->mutex());
            file->addTimecodeTrackWithTCHelper(result.timecode);
        }
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace vorlane
