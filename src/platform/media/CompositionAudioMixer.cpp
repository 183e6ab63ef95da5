#include "platform/media/CompositionAudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "platform/Log.h"
#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

constexpr int32_t kDefaultRate = 48000;
constexpr int64_t kReadFrames = 4096;

const AudioStreamBasicDescription* audioFormatOf(const MediaAsset& asset, int32_t trackID) {
    const AssetTrack* track = asset.trackWithTrackID(trackID);
    if (!track || !track->formatDescription || !track->formatDescription->audio) return nullptr;
    return &*track->formatDescription->audio;
}

// The sample a time falls on, to the nearest.
int64_t frameAt(CMTime time, int32_t rate) {
    return CMTimeConvertScale(time, rate, CMTimeRoundingMethod::RoundHalfAwayFromZero).value;
}

}  // namespace

AudioLevels measureLevels(const float* samples, int64_t frameCount, int channelCount) {
    AudioLevels levels;
    if (channelCount <= 0) return levels;
    levels.peak.assign(size_t(channelCount), 0.0f);
    std::vector<double> squares(size_t(channelCount), 0.0);
    for (int64_t frame = 0; frame < frameCount; ++frame)
        for (int channel = 0; channel < channelCount; ++channel) {
            const float sample = samples[frame * channelCount + channel];
            levels.peak[size_t(channel)] =
                std::max(levels.peak[size_t(channel)], std::fabs(sample));
            squares[size_t(channel)] += double(sample) * sample;
        }
    for (const double sum : squares)
        levels.rms.push_back(frameCount > 0 ? float(std::sqrt(sum / double(frameCount))) : 0.0f);
    return levels;
}

double decibelsOfLevel(double level) {
    if (level <= 0) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(level);
}

struct CompositionAudioMixer::State {
    // One audio track with the reader of the segment it last played.
    struct Track {
        std::vector<PlayableSegment> segments;
        int firstChannel = 0;
        int channelCount = 0;
        size_t openIndex = SIZE_MAX;
        std::shared_ptr<MediaAsset> asset;
        std::unique_ptr<AudioTrackReader> reader;
        int64_t readerFrame = 0;  // the composition frame the reader delivers next
    };

    std::vector<Track> tracks;
    int32_t rate = kDefaultRate;
    int channels = 0;
    int64_t frames = 0;
    std::set<std::string> refused;  // sources at another rate, logged once

    void describe(const PlayableComposition& composition) {
        int32_t firstRate = 0;
        for (const auto& compositionTrack : composition.tracks()) {
            if (compositionTrack.mediaType() != AssetMediaType::Audio) continue;
            Track track;
            track.segments = compositionTrack.segments();
            track.firstChannel = channels;
            for (const auto& segment : track.segments) {
                if (segment.empty) continue;
                const auto asset = MediaAsset::assetWithURL(segment.sourceURL);
                const auto* format = asset ? audioFormatOf(*asset, segment.sourceTrackID) : nullptr;
                if (!format) continue;
                if (firstRate == 0) firstRate = int32_t(format->sampleRate);
                track.channelCount = std::max(track.channelCount, int(format->channelsPerFrame));
            }
            channels += track.channelCount;
            tracks.push_back(std::move(track));
        }
        if (firstRate > 0) rate = firstRate;
        for (const auto& track : tracks)
            if (!track.segments.empty())
                frames = std::max(frames, frameAt(track.segments.back().targetRange.end(), rate));
    }

    bool open(Track& track, size_t index, int64_t firstFrame, int64_t segmentStart,
              int64_t segmentEnd) {
        if (track.openIndex == index && track.reader && track.readerFrame == firstFrame)
            return true;
        track.openIndex = index;
        track.reader.reset();
        const PlayableSegment& segment = track.segments[index];
        if (!track.asset || track.asset->url() != segment.sourceURL)
            track.asset = MediaAsset::assetWithURL(segment.sourceURL);
        const auto* format =
            track.asset ? audioFormatOf(*track.asset, segment.sourceTrackID) : nullptr;
        if (!format) {
            if (refused.insert(segment.sourceURL.string()).second)
                Log::write("Player: cannot read the sound of " + segment.sourceURL.string());
            return false;
        }
        if (int32_t(format->sampleRate) != rate) {
            if (refused.insert(segment.sourceURL.string()).second)
                Log::write("Player: the sound of " + segment.sourceURL.string() +
                           " plays silent, its sample rate differs from the composition's");
            return false;
        }
        const CMTime start =
            segment.sourceRange.start + CMTimeMake(firstFrame - segmentStart, rate);
        const CMTimeRange range = CMTimeRangeMake(start, CMTimeMake(segmentEnd - firstFrame, rate));
        track.reader = AudioTrackReader::open(*track.asset, segment.sourceTrackID, range, 32);
        track.readerFrame = firstFrame;
        return track.reader != nullptr;
    }

    // Adds the segment's frames [from, to) of the composition to the block starting at `base`.
    void place(Track& track, size_t index, int64_t from, int64_t to, int64_t segmentStart,
               int64_t segmentEnd, int64_t base, std::vector<float>& samples) {
        if (!open(track, index, from, segmentStart, segmentEnd)) return;
        std::vector<uint8_t> bytes;
        const int sourceChannels = track.reader->channelCount();
        const int shared = std::min(sourceChannels, track.channelCount);
        int64_t at = from;
        while (at < to && track.reader->readFrames(bytes, std::min(to - at, kReadFrames))) {
            const int64_t read = int64_t(bytes.size() / track.reader->bytesPerFrame());
            for (int64_t frame = 0; frame < read; ++frame)
                for (int channel = 0; channel < shared; ++channel) {
                    int32_t value = 0;
                    std::memcpy(&value, &bytes[size_t((frame * sourceChannels + channel) * 4)], 4);
                    samples[size_t((at - base + frame) * channels + track.firstChannel + channel)] =
                        float(value) / 2147483648.0f;
                }
            at += read;
        }
        track.readerFrame = at;
        if (at < to) track.reader.reset();  // the source ended early: silence from here
    }

    void mix(int64_t first, int64_t count, std::vector<float>& samples) {
        samples.assign(size_t(std::max<int64_t>(count, 0)) * size_t(channels), 0.0f);
        const int64_t last = first + count;
        for (auto& track : tracks)
            for (size_t index = 0; index < track.segments.size(); ++index) {
                const PlayableSegment& segment = track.segments[index];
                const int64_t start = frameAt(segment.targetRange.start, rate);
                const int64_t end = frameAt(segment.targetRange.end(), rate);
                const int64_t from = std::max(start, first);
                const int64_t to = std::min(end, last);
                if (segment.empty || from >= to) continue;
                place(track, index, from, to, start, end, first, samples);
            }
    }
};

CompositionAudioMixer::CompositionAudioMixer(std::shared_ptr<const PlayableComposition> composition)
    : state_(std::make_unique<State>()) {
    if (composition) state_->describe(*composition);
}

CompositionAudioMixer::~CompositionAudioMixer() = default;

int32_t CompositionAudioMixer::sampleRate() const {
    return state_->rate;
}

int CompositionAudioMixer::channelCount() const {
    return state_->channels;
}

int64_t CompositionAudioMixer::frameCount() const {
    return state_->frames;
}

void CompositionAudioMixer::mix(int64_t firstFrame, int64_t frameCount,
                                std::vector<float>& samples) {
    state_->mix(firstFrame, frameCount, samples);
}

}  // namespace vorlane
