#include "platform/media/CompositionAudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <set>

#include "platform/Log.h"
#include "platform/ffmpeg/SampleRateConverter.h"
#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

constexpr int32_t kDefaultRate = 48000;
constexpr int64_t kReadFrames = 4096;
// Source frames a converter reads before the first one it is asked for, for its filter to settle.
constexpr int64_t kFilterSettling = 64;

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
    // One audio track with the reader of the segment it last played. A source at another rate
    // goes through a converter whose frames wait in `converted` until they are placed.
    struct Track {
        std::vector<PlayableSegment> segments;
        int firstChannel = 0;
        int channelCount = 0;
        size_t openIndex = SIZE_MAX;
        std::shared_ptr<MediaAsset> asset;
        std::unique_ptr<AudioTrackReader> reader;
        std::unique_ptr<SampleRateConverter> converter;
        std::vector<float> converted;
        size_t convertedTaken = 0;  // frames of `converted` already placed
        bool flushed = false;       // the reader ended and the converter gave out what it held
        int sourceChannels = 0;
        int64_t readerFrame = 0;  // the composition frame delivered next
    };

    std::vector<Track> tracks;
    int32_t rate = kDefaultRate;
    int channels = 0;
    int64_t frames = 0;
    std::set<std::string> refused;  // sources that cannot be read, logged once
    std::vector<uint8_t> bytes;
    std::vector<float> piece;

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

    static void close(Track& track) {
        track.reader.reset();
        track.converter.reset();
        track.converted.clear();
        track.convertedTaken = 0;
        track.flushed = false;
    }

    bool open(Track& track, size_t index, int64_t firstFrame, int64_t segmentStart,
              int64_t segmentEnd) {
        if (track.openIndex == index && (track.reader || track.converter) &&
            track.readerFrame == firstFrame)
            return true;
        track.openIndex = index;
        close(track);
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
        const int32_t sourceRate = int32_t(format->sampleRate);
        if (sourceRate != rate)
            return openConverted(track, sourceRate, firstFrame, segmentStart, segmentEnd);
        const CMTime start =
            segment.sourceRange.start + CMTimeMake(firstFrame - segmentStart, rate);
        const CMTimeRange range = CMTimeRangeMake(start, CMTimeMake(segmentEnd - firstFrame, rate));
        track.reader = AudioTrackReader::open(*track.asset, segment.sourceTrackID, range, 32);
        if (!track.reader) return false;
        track.sourceChannels = track.reader->channelCount();
        track.readerFrame = firstFrame;
        return true;
    }

    // A source at another rate is read from a point where both rates' sample grids meet, a
    // little before the frame asked for so that the filter has settled: the frames come out the
    // same however the composition is entered.
    bool openConverted(Track& track, int32_t sourceRate, int64_t firstFrame, int64_t segmentStart,
                       int64_t segmentEnd) {
        const PlayableSegment& segment = track.segments[track.openIndex];
        const int64_t common = std::gcd(int64_t(sourceRate), int64_t(rate));
        const int64_t inPeriod = sourceRate / common;
        const int64_t outPeriod = rate / common;
        const int64_t sourceStart = frameAt(segment.sourceRange.start, sourceRate);
        const int64_t settling = 1 + kFilterSettling / inPeriod;
        const int64_t period =
            std::max((firstFrame - segmentStart) / outPeriod - settling, -(sourceStart / inPeriod));
        const int64_t readFrom = sourceStart + period * inPeriod;
        const int64_t readTo =
            sourceStart + ((segmentEnd - segmentStart) * inPeriod + outPeriod - 1) / outPeriod +
            kFilterSettling;
        const CMTimeRange range = CMTimeRangeMake(CMTimeMake(readFrom, sourceRate),
                                                  CMTimeMake(readTo - readFrom, sourceRate));
        track.reader = AudioTrackReader::open(*track.asset, segment.sourceTrackID, range, 32);
        if (!track.reader) return false;
        track.sourceChannels = track.reader->channelCount();
        track.converter = SampleRateConverter::create(track.sourceChannels, sourceRate, rate);
        if (!track.converter) {
            if (refused.insert(segment.sourceURL.string()).second)
                Log::write("Player: cannot convert the sound of " + segment.sourceURL.string() +
                           " to the composition's sample rate");
            close(track);
            return false;
        }
        track.readerFrame = segmentStart + period * outPeriod;
        while (track.readerFrame < firstFrame) {
            const int64_t skipped =
                pull(track, std::min(firstFrame - track.readerFrame, kReadFrames), piece);
            if (skipped == 0) break;
            track.readerFrame += skipped;
        }
        return track.readerFrame == firstFrame;
    }

    // Converts the next piece of the source, or what the filter holds once the source ended.
    void convertMore(Track& track) {
        // What was placed goes, so the frames kept stay few however long the source plays.
        track.converted.erase(
            track.converted.begin(),
            track.converted.begin() + int64_t(track.convertedTaken) * track.sourceChannels);
        track.convertedTaken = 0;
        if (track.reader && track.reader->readFrames(bytes, kReadFrames) &&
            track.converter->convert(bytes.data(),
                                     int64_t(bytes.size() / track.reader->bytesPerFrame()),
                                     track.converted))
            return;
        track.reader.reset();
        track.converter->flush(track.converted);
        track.flushed = true;
    }

    // Up to `maxFrames` of the next frames at the composition's rate, interleaved float of the
    // source's channels; 0 once the source has ended.
    int64_t pull(Track& track, int64_t maxFrames, std::vector<float>& out) {
        out.clear();
        const size_t width = size_t(track.sourceChannels);
        if (!track.converter) {
            if (!track.reader || !track.reader->readFrames(bytes, maxFrames)) return 0;
            out.resize(bytes.size() / 4);
            for (size_t index = 0; index < out.size(); ++index) {
                int32_t value = 0;
                std::memcpy(&value, &bytes[index * 4], 4);
                out[index] = float(value) / 2147483648.0f;
            }
            return int64_t(out.size() / width);
        }
        auto available = [&] {
            return int64_t(track.converted.size() / width - track.convertedTaken);
        };
        while (available() < maxFrames && !track.flushed)
            convertMore(track);
        const int64_t count = std::min(available(), maxFrames);
        const auto first = track.converted.begin() + int64_t(track.convertedTaken * width);
        out.assign(first, first + count * int64_t(width));
        track.convertedTaken += size_t(count);
        return count;
    }

    // Adds the segment's frames [from, to) of the composition to the block starting at `base`.
    void place(Track& track, size_t index, int64_t from, int64_t to, int64_t segmentStart,
               int64_t segmentEnd, int64_t base, std::vector<float>& samples) {
        if (!open(track, index, from, segmentStart, segmentEnd)) return;
        const int shared = std::min(track.sourceChannels, track.channelCount);
        int64_t at = from;
        while (at < to) {
            const int64_t read = pull(track, std::min(to - at, kReadFrames), piece);
            if (read == 0) break;
            for (int64_t frame = 0; frame < read; ++frame)
                for (int channel = 0; channel < shared; ++channel)
                    samples[size_t((at - base + frame) * channels + track.firstChannel + channel)] =
                        piece[size_t(frame * track.sourceChannels + channel)];
            at += read;
        }
        track.readerFrame = at;
        if (at < to) close(track);  // the source ended early: silence from here
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
