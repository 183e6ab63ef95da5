#include "sync/audio/AudioSyncCheck.h"

#include <algorithm>
#include <cmath>

#include "media/AudioChannelSamples.h"
#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "sync/MediaSyncComposition.h"
#include "sync/audio/AudioAligner.h"
#include "sync/audio/AudioEnvelope.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// The recorder's sound is read this much beyond the lags searched, so the compared window
// overlaps it whole at either end.
constexpr double kRecorderMarginSeconds = 0.1;
constexpr int32_t kTimescale = 192000;

// One audio segment of the clip: a file's track laid in at some clip time.
struct PlacedSound {
    std::shared_ptr<MediaFile> file;
    std::shared_ptr<MediaTrack> track;
    CMTimeMapping mapping;
    // The file opened once for all reads of the check (see readSound()).
    mutable std::shared_ptr<MediaAsset> asset;

    // The track time at clip time zero.
    CMTime sourceAtZero() const { return mapping.source.start - mapping.target.start; }
};

std::vector<PlacedSound> placedSounds(const MediaSyncComposition& clip) {
    std::vector<PlacedSound> placed;
    for (const std::shared_ptr<MediaTrack>& track : clip.tracks()) {
        if (track->type() != MediaTrackTypeAudio) continue;
        for (const MediaSegment& segment : track->segments()) {
            std::shared_ptr<MediaTrack> source = segment.sourceTrack();
            if (segment.isEmpty() || !source) continue;
            auto file = std::dynamic_pointer_cast<MediaFile>(source->mediaObject());
            if (file)
                placed.push_back({std::move(file), std::move(source), segment.timeMapping(), {}});
        }
    }
    return placed;
}

CMTime overlapOf(const PlacedSound& a, const PlacedSound& b) {
    const CMTimeRange both = CMTimeRangeGetIntersection(a.mapping.target, b.mapping.target);
    return both.isValid() ? both.duration : kCMTimeZero;
}

bool hasNamedChannel(const PlacedSound& sound) {
    for (const SoundChannel& channel : soundChannelsOfFile(*sound.file))
        if (channel.track == sound.track) return channel.named;
    return false;
}

// The sound file to compare: one whose iXML names a mix or boom channel first, then the one
// overlapping the camera's sound longest.
const PlacedSound* chooseRecorder(const std::vector<PlacedSound>& placed,
                                  const PlacedSound& camera) {
    const PlacedSound* best = nullptr;
    bool bestNamed = false;
    for (const PlacedSound& sound : placed) {
        if (sound.file->type() != MediaTypeAudio || overlapOf(sound, camera) <= kCMTimeZero)
            continue;
        const bool named = hasNamedChannel(sound);
        if (!best || (named && !bestNamed) ||
            (named == bestNamed && overlapOf(sound, camera) > overlapOf(*best, camera))) {
            best = &sound;
            bestNamed = named;
        }
    }
    return best;
}

// The master's longest stretch of sound in the clip; none when its sound is not in it.
const PlacedSound* cameraSoundOf(const std::vector<PlacedSound>& placed, const MediaFile& master) {
    const PlacedSound* camera = nullptr;
    for (const PlacedSound& sound : placed)
        if (sound.file.get() == &master &&
            (!camera || sound.mapping.target.duration > camera->mapping.target.duration))
            camera = &sound;
    return camera;
}

// The sound file compared with the camera's sound; without camera sound the first one in the
// clip (to say which file the check could not be made against).
const PlacedSound* recorderSoundFor(const std::vector<PlacedSound>& placed,
                                    const PlacedSound* camera) {
    if (camera) return chooseRecorder(placed, *camera);
    for (const PlacedSound& sound : placed)
        if (sound.file->type() == MediaTypeAudio) return &sound;
    return nullptr;
}

// One channel of the sound over the track range: a channel named mix or boom, else the first of
// the track's channels to compare that has sound, else the last one read. Nothing when no
// channel can be read.
std::optional<ChannelSamples> readSound(const PlacedSound& sound, CMTimeRange range) {
    std::vector<SoundChannel> channels = soundChannelsOfFile(*sound.file);
    std::erase_if(channels,
                  [&](const SoundChannel& channel) { return channel.track != sound.track; });
    if (!sound.asset) sound.asset = openSoundOfTrack(*sound.track);
    std::optional<ChannelSamples> read;
    for (size_t index = 0; index < channels.size(); ++index) {
        read =
            readChannelSamples(channels[index].track, channels[index].channel, range, sound.asset);
        if (!read) continue;
        // The last choice need not be looked at: the alignment tells silence itself.
        if (channels[index].named || index + 1 == channels.size() ||
            excerptProblem({read->samples, read->sampleRate}, true) !=
                AudioSyncProblem::SilentCameraSound)
            return read;
    }
    return read;
}

// Of the camera's sound only its most active stretch of this length is compared with the
// recorder's (what the alignment itself would choose), so only the recorder's sound around it
// needs to be read.
constexpr double kComparedSeconds = 6.0;

void keepMostActiveStretch(ChannelSamples& sound) {
    if (sound.sampleRate <= 0 ||
        double(sound.samples.size()) <= kComparedSeconds * sound.sampleRate)
        return;
    const std::vector<float> frames = audioEnvelope(sound.samples, sound.sampleRate).frames;
    const size_t first =
        mostActiveStretch(frames, 0, frames.size(), size_t(kComparedSeconds * kEnvelopeFrameRate));
    const auto firstSample = int64_t(double(first) / kEnvelopeFrameRate * sound.sampleRate);
    const auto count = size_t(kComparedSeconds * sound.sampleRate);
    if (size_t(firstSample) + count > sound.samples.size()) return;
    sound.samples.erase(sound.samples.begin() + ptrdiff_t(firstSample + int64_t(count)),
                        sound.samples.end());
    sound.samples.erase(sound.samples.begin(), sound.samples.begin() + ptrdiff_t(firstSample));
    sound.startTime = sound.startTime + CMTimeMake(firstSample, sound.sampleRate);
}

CMTime seconds(double value) {
    return CMTimeMakeWithSeconds(value, kTimescale);
}

AudioSyncCheck cannotConfirm(AudioSyncCheck check, AudioSyncProblem problem) {
    check.verdict = AudioSyncCheck::Verdict::CannotConfirm;
    check.reason = audioSyncProblemText(problem);
    return check;
}

// The recorder's range for a camera range: shifted by the timecode offset, widened by the
// search, not before the file's start.
CMTimeRange recorderRange(CMTimeRange cameraRange, CMTime offset, double searchSeconds) {
    const CMTime widen = seconds(searchSeconds + kRecorderMarginSeconds);
    const CMTime start = CMTimeMaximum(kCMTimeZero, cameraRange.start + offset - widen);
    return CMTimeRangeFromTimeToTime(start, cameraRange.end() + offset + widen);
}

AudioExcerpt excerptOf(const std::optional<ChannelSamples>& sound) {
    return sound ? AudioExcerpt{sound->samples, sound->sampleRate} : AudioExcerpt{};
}

// The lag alignAudio() finds when the timecode is right.
double expectedLag(const ChannelSamples& camera, const ChannelSamples& recorder, CMTime offset) {
    return CMTimeGetSeconds(camera.startTime + offset - recorder.startTime);
}

// Measures the drift over the whole overlap into the check; answers the recorder's offset at
// camera time `atSeconds` on the line through the two measurements, when they were made.
std::optional<double> measureDrift(AudioSyncCheck& check, const PlacedSound& camera,
                                   const PlacedSound& recorder, CMTimeRange overlap, CMTime offset,
                                   double searchSeconds, double atSeconds) {
    const CMTimeRange cameraRange{camera.sourceAtZero() + overlap.start, overlap.duration};
    const auto cameraSound = readSound(camera, cameraRange);
    const auto recorderSound =
        readSound(recorder, recorderRange(cameraRange, offset, searchSeconds));
    check.drift = AudioDrift{};
    if (!cameraSound || !recorderSound) {
        check.drift->problem =
            cameraSound ? AudioSyncProblem::NoRecorderSound : AudioSyncProblem::NoCameraSound;
        return std::nullopt;
    }
    const double lag = expectedLag(*cameraSound, *recorderSound, offset);
    check.drift = measureAudioDrift(excerptOf(cameraSound), excerptOf(recorderSound),
                                    LagRange::around(lag, searchSeconds));
    const AudioDrift& drift = *check.drift;
    if (!drift.measured()) return std::nullopt;
    const double cameraStart = CMTimeGetSeconds(cameraSound->startTime) + drift.startCameraSeconds;
    const double ratio = (drift.endLagSeconds - drift.startLagSeconds) /
                         (drift.endCameraSeconds - drift.startCameraSeconds);
    const double recorderTime = CMTimeGetSeconds(recorderSound->startTime) + drift.startLagSeconds +
                                (atSeconds - cameraStart) * ratio;
    return recorderTime - atSeconds;
}

}  // namespace

double audioSyncAgreementSeconds(double frameRate) {
    return frameRate > 0.0 ? 0.5 / frameRate : 0.02;
}

std::string AudioSyncCheck::differenceText() const {
    const double frameMilliseconds = frameRate > 0.0 ? 1000.0 / frameRate : 40.0;
    const double milliseconds = std::abs(differenceSeconds()) * 1000.0;
    const double frames = std::floor((milliseconds + 0.5) / frameMilliseconds);
    const double rest = std::max(0.0, std::round(milliseconds - frames * frameMilliseconds));
    return formatMediaText("%s%.0f frames %.0f ms", differenceSeconds() < 0.0 ? "-" : "+", frames,
                           rest);
}

std::string AudioSyncCheck::text() const {
    switch (verdict) {
        case Verdict::NotChecked:
            return "";
        case Verdict::Agrees:
            return formatMediaText(
                "sound agrees (\u00b1%lld samples)",
                (long long)std::llround(std::abs(differenceSeconds()) * recorderSampleRate));
        case Verdict::Disagrees:
            return "sound disagrees: " + differenceText() +
                   formatMediaText(" (confidence %.2f)", confidence);
        case Verdict::CannotConfirm:
            return "sound cannot confirm: " + reason;
    }
    return "";
}

AudioSyncCheck checkAudioSync(const MediaSyncComposition& clip,
                              const AudioSyncCheckOptions& options) {
    AudioSyncCheck check;
    const std::shared_ptr<MediaFile> master = clip.masterFile();
    if (!master || !master->hasVideo()) return check;
    const std::shared_ptr<TCHelper> timecode = master->timecode();
    check.frameRate = timecode ? timecode->frameRate() : master->frameRate();

    const std::vector<PlacedSound> placed = placedSounds(clip);
    const PlacedSound* camera = cameraSoundOf(placed, *master);
    const PlacedSound* recorder = recorderSoundFor(placed, camera);
    if (!recorder) return check;
    check.recorder = recorder->file;
    if (!camera) return cannotConfirm(check, AudioSyncProblem::NoCameraSound);

    const CMTime offset = recorder->sourceAtZero() - camera->sourceAtZero();
    check.timecodeOffsetSeconds = CMTimeGetSeconds(offset);
    const CMTimeRange overlap =
        CMTimeRangeGetIntersection(camera->mapping.target, recorder->mapping.target);
    check.takeSeconds = CMTimeGetSeconds(overlap.duration);
    if (check.takeSeconds < 1.0) return cannotConfirm(check, AudioSyncProblem::TooShort);

    const CMTime length = CMTimeMinimum(overlap.duration, seconds(options.excerptSeconds));
    const CMTime middle = overlap.start + CMTimeMultiplyByRatio(overlap.duration, 1, 2);
    const CMTimeRange cameraRange{
        camera->sourceAtZero() + middle - CMTimeMultiplyByRatio(length, 1, 2), length};
    auto cameraSound = readSound(*camera, cameraRange);
    if (!cameraSound) return cannotConfirm(check, AudioSyncProblem::NoCameraSound);
    keepMostActiveStretch(*cameraSound);
    const CMTimeRange compared{
        cameraSound->startTime,
        CMTimeMake(int64_t(cameraSound->samples.size()), std::max(cameraSound->sampleRate, 1))};
    const auto recorderSound =
        readSound(*recorder, recorderRange(compared, offset, options.searchSeconds));
    if (!recorderSound) return cannotConfirm(check, AudioSyncProblem::NoRecorderSound);
    check.recorderSampleRate = recorderSound->sampleRate;

    const AudioAlignment alignment = alignAudio(
        excerptOf(cameraSound), excerptOf(recorderSound),
        LagRange::around(expectedLag(*cameraSound, *recorderSound, offset), options.searchSeconds));
    // A long take is also measured at both ends; where the clocks drift too far for the
    // window compared to stay coherent, the line through the two ends gives the offset in the
    // middle of the take.
    const double cameraMiddle = CMTimeGetSeconds(camera->sourceAtZero() + middle);
    std::optional<double> driftOffset;
    if (options.measureDrift && check.takeSeconds >= kMinimumDriftTakeSeconds)
        driftOffset = measureDrift(check, *camera, *recorder, overlap, offset,
                                   options.searchSeconds, cameraMiddle);
    check.confidence = alignment.confidence;
    if (alignment.confirmed() && alignment.confidence >= kAudioSyncConfidenceThreshold) {
        check.audioOffsetSeconds =
            CMTimeGetSeconds(recorderSound->startTime - cameraSound->startTime) +
            alignment.lagSeconds;
    } else if (driftOffset) {
        check.audioOffsetSeconds = *driftOffset;
        check.confidence = check.drift->confidence;
    } else {
        return cannotConfirm(
            check, alignment.confirmed() ? AudioSyncProblem::FlatCorrelation : alignment.problem);
    }
    check.verdict =
        std::abs(check.differenceSeconds()) <= audioSyncAgreementSeconds(check.frameRate)
            ? AudioSyncCheck::Verdict::Agrees
            : AudioSyncCheck::Verdict::Disagrees;
    return check;
}

AudioSyncCheck checkAudioSyncOfFile(const std::shared_ptr<MediaFile>& file,
                                    std::shared_ptr<const MediaSyncIndex> pool,
                                    CompositionSettings settings,
                                    const AudioSyncCheckOptions& options) {
    if (!file || !file->hasVideo() || !file->timecode()) return {};
    settings.keepOriginalAudio = true;
    const auto clip =
        MediaSyncComposition::syncCompositionWithMasterFile(file, std::move(pool), settings);
    clip->setXmlMode(false);
    clip->setForPlayback(false);
    clip->syncMedia();
    return checkAudioSync(*clip, options);
}

}  // namespace vorlane
