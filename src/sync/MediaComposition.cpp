#include "sync/MediaComposition.h"

#include <algorithm>
#include <filesystem>

#include "media/MediaText.h"
#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

// A valid range of zero length: what the intersection of two ranges that do not overlap is.
bool isEmptyOverlap(CMTimeRange range) {
    return range.isValid() && range.duration == kCMTimeZero;
}

// The lowest `count` bits set.
uint64_t lowestBits(uint32_t count) {
    return count >= 64 ? ~uint64_t(0) : (uint64_t(1) << count) - 1;
}

CMTime scaled(CMTime time, int32_t timescale) {
    return CMTimeConvertScale(time, timescale, CMTimeRoundingMethod::RoundHalfAwayFromZero);
}

}  // namespace

CompositionSettings CompositionSettings::fromUserDefaults(const UserDefaults& defaults) {
    CompositionSettings settings;
    settings.multicam = defaults.boolForKey(DefaultsKey::multicam);
    settings.involveDate = defaults.boolForKey(DefaultsKey::involveFileDate);
    settings.keepOriginalAudio = defaults.boolForKey(DefaultsKey::keepOriginalAudio);
    settings.muteAudioTimecode = defaults.boolForKey(DefaultsKey::muteAudioTimecode);
    settings.linearTimelineMode = defaults.boolForKey(DefaultsKey::linearTimelineMode);
    settings.metadataHandling = int32_t(defaults.integerForKey(DefaultsKey::metadataHandling));
    settings.clipNaming = int32_t(defaults.integerForKey(DefaultsKey::clipNaming));
    settings.fileSuffixes = defaults.boolForKey(DefaultsKey::fileSuffixes);
    return settings;
}

CompositionSettings CompositionSettings::fromStandardUserDefaults() {
    return fromUserDefaults(UserDefaults::standardUserDefaults());
}

std::shared_ptr<MediaFile> sourceMediaFileOfSegment(const MediaSegment& segment) {
    return std::dynamic_pointer_cast<MediaFile>(segment.sourceFile());
}

std::string nameWithoutExtension(const std::string& name) {
    return std::filesystem::path(name).stem().string();
}

// Creation.

MediaComposition::MediaComposition(std::shared_ptr<const MediaSyncIndex> pool,
                                   const CompositionSettings& settings)
    : mediaPool_(std::move(pool)),
      multicam_(settings.multicam),
      involveDate_(settings.involveDate),
      keepOriginalAudio_(settings.keepOriginalAudio),
      muteAudioTimecode_(settings.muteAudioTimecode),
      linearTimelineMode_(settings.linearTimelineMode),
      metadataHandling_(settings.metadataHandling),
      clipNaming_(settings.clipNaming),
      fileSuffixes_(settings.fileSuffixes) {}

std::shared_ptr<MediaComposition> MediaComposition::compositionWithMediaPool(
    std::shared_ptr<const MediaSyncIndex> pool) {
    return compositionWithMediaPool(std::move(pool),
                                    CompositionSettings::fromStandardUserDefaults());
}

std::shared_ptr<MediaComposition> MediaComposition::compositionWithMediaPool(
    std::shared_ptr<const MediaSyncIndex> pool, const CompositionSettings& settings) {
    return std::make_shared<MediaComposition>(std::move(pool), settings);
}

std::shared_ptr<MediaComposition> MediaComposition::emptyDummy() {
    return std::make_shared<MediaComposition>(nullptr, CompositionSettings{});
}

// Copying and matching tracks.

// A track whose every channel carries LTC stays out of a copy when muteAudioTimecode is on,
// whatever its channel count; a track with sound on some channel stays in.

void MediaComposition::insertTimeRange(CMTimeRange range, const MediaObject& object,
                                       CMTime atTime) {
    int32_t preferredTrackID = 1;
    for (const std::shared_ptr<MediaTrack>& source : object.tracks()) {
        if (!source->isAudioVisual() || source->isTimeRangeFree(range)) continue;
        if (isAudioTcOnlyTrack(*source)) continue;
        addTrackMatchingSourceTrack(*source, preferredTrackID++)
            ->insertTimeRange(range, source, atTime);
    }
}

void MediaComposition::removeTimeRange(CMTimeRange range) {
    for (const std::shared_ptr<MediaTrack>& track : tracks())
        track->removeTimeRange(range);
}

std::shared_ptr<MediaTrack> MediaComposition::addTrackMatchingSourceTrack(
    const MediaTrack& sourceTrack, int32_t preferredTrackID) {
    std::shared_ptr<MediaTrack> track = addTrackWithMediaType(sourceTrack.type(), preferredTrackID);
    track->setCodecName(sourceTrack.codecName());
    track->setFourCC(sourceTrack.fourCC());
    track->setVideoSize(sourceTrack.videoSize());
    track->setVideoFrameRate(sourceTrack.videoFrameRate());
    track->setVideoFieldCount(sourceTrack.videoFieldCount());
    track->setAudioChannelCount(sourceTrack.audioChannelCount());
    track->setAudioBitDepth(sourceTrack.audioBitDepth());
    track->setAudioBytesPerFrame(sourceTrack.audioBytesPerFrame());
    track->setAudioSampleRate(sourceTrack.audioSampleRate());
    track->setAudioChannelMask(sourceTrack.getAudioChannelMask());
    track->setMetaData(sourceTrack.metaData());
    return track;
}

bool MediaComposition::matchesFormat(const MediaTrack& candidate, const MediaTrack& source) const {
    if (candidate.type() != source.type() || candidate.fourCC() != source.fourCC() ||
        candidate.codecName() != source.codecName())
        return false;
    switch (source.type()) {
        case MediaTrackTypeVideo:
            return candidate.videoSize().width == source.videoSize().width &&
                   candidate.videoSize().height == source.videoSize().height &&
                   candidate.videoFrameRate() == source.videoFrameRate();
        case MediaTrackTypeAudio:
            return candidate.audioChannelCount() == source.audioChannelCount() &&
                   candidate.audioBitDepth() == source.audioBitDepth() &&
                   candidate.audioBytesPerFrame() == source.audioBytesPerFrame() &&
                   candidate.audioSampleRate() == source.audioSampleRate() &&
                   candidate.getAudioChannelMask() == source.getAudioChannelMask();
        case MediaTrackTypeTimecode:
            return candidate.timecode() && source.timecode() &&
                   candidate.timecode()->frameRate() == source.timecode()->frameRate() &&
                   candidate.timecode()->dropFrame() == source.timecode()->dropFrame();
        default:
            return true;
    }
}

std::shared_ptr<MediaTrack> MediaComposition::trackMatchingTrack(const MediaTrack& sourceTrack,
                                                                 CMTimeRange range) const {
    if (!range.isValid() || range.duration == kCMTimeZero) return nullptr;
    for (const std::shared_ptr<MediaTrack>& track : tracks())
        if (track->isTimeRangeFree(range) && matchesFormat(*track, sourceTrack)) return track;
    return nullptr;
}

bool MediaComposition::isAudioTcOnlyTrack(const MediaTrack& track) const {
    if (!muteAudioTimecode_ || track.type() != MediaTrackTypeAudio) return false;
    const uint32_t channels = track.audioChannelCount();
    return channels > 0 && track.getAudioChannelMask() == lowestBits(channels);
}

// Padding and snapping.

void MediaComposition::fillUpWithEmptySegments() {
    const CMTime end = duration();
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        const CMTime trackEnd = track->timeRange().end();
        if (!isPositive(end - trackEnd)) continue;
        std::vector<MediaSegment> segments = track->segments();
        segments.push_back(
            MediaSegment::segmentWithTimeRange(CMTimeRangeFromTimeToTime(trackEnd, end)));
        track->setSegments(std::move(segments));
    }
}

void MediaComposition::quantizeToTimescale(int32_t timescale) {
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        std::vector<MediaSegment> snapped;
        std::optional<CMTime> previousEnd;
        for (MediaSegment segment : track->segments()) {
            CMTimeMapping mapping = segment.timeMapping();
            mapping.source = {scaled(mapping.source.start, timescale),
                              scaled(mapping.source.duration, timescale)};
            mapping.target = {scaled(mapping.target.start, timescale),
                              scaled(mapping.target.duration, timescale)};
            if (previousEnd && mapping.target.start > *previousEnd) {
                snapped.push_back(MediaSegment::segmentWithTimeRange(
                    CMTimeRangeFromTimeToTime(*previousEnd, mapping.target.start)));
            } else if (previousEnd && mapping.target.start < *previousEnd) {
                const CMTime overlap = *previousEnd - mapping.target.start;
                mapping.target = {*previousEnd, mapping.target.duration - overlap};
                if (!segment.isEmpty())
                    mapping.source = {mapping.source.start + overlap, mapping.target.duration};
            }
            segment.setTimeMapping(mapping);
            // A segment swallowed by the one before (no length left) is dropped.
            if (!isPositive(mapping.target.duration)) continue;
            previousEnd = mapping.target.end();
            snapped.push_back(std::move(segment));
        }
        track->setSegments(std::move(snapped));
    }
}

// Status.

// A gap is no material: it neither syncs itself nor makes material beside it count as synced.
bool MediaComposition::checkSegmentForSync(const MediaSegment& segment) const {
    if (segment.isEmpty()) return false;
    const std::shared_ptr<MediaObject> file = segment.sourceFile();
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        if (!track->isAudioVisual()) continue;
        for (const MediaSegment& other : track->segments()) {
            const CMTimeRange overlap = CMTimeRangeGetIntersection(segment.timeMapping().target,
                                                                   other.timeMapping().target);
            if (isEmptyOverlap(overlap) || other.isEmpty()) continue;
            if (other.sourceFile() != file) return true;
        }
    }
    return false;
}

std::string MediaComposition::syncInformation() const {
    if (duration() == kCMTimeZero) return kSyncStatusNothingToSync;
    const int32_t video = videoTrackCount();
    const int32_t audio = audioTrackCount();
    if ((video == 1 && audio == 0) || (audio == 1 && video == 0))
        return kSyncStatusInsufficientTracks;
    bool timecoded = false;
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        if (!track->isAudioVisual()) continue;
        for (const MediaSegment& segment : track->segments()) {
            const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
            if (file && file->timecode()) timecoded = true;
        }
    }
    if (!timecoded) return kSyncStatusNoTimecode;
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        if (!track->isAudioVisual()) continue;
        for (const MediaSegment& segment : track->segments())
            if (checkSegmentForSync(segment)) return kSyncStatusSynced;
    }
    return kSyncStatusNoCorrespondingFiles;
}

std::string MediaComposition::syncInformationWithUnderscore() const {
    std::string text = syncInformation();
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

bool MediaComposition::successfullySynced() const {
    return syncInformation() == kSyncStatusSynced;
}

CMTimeRange MediaComposition::syncedTimeRange() const {
    if (hasVideo() && hasAudio())
        return CMTimeRangeGetIntersection(occupiedVideoTimeRange(), occupiedAudioTimeRange());
    return hasVideo() ? occupiedVideoTimeRange() : occupiedAudioTimeRange();
}

// Metadata.

std::optional<std::string> MediaComposition::commonStringForMetadata(
    const std::string& key, const std::vector<std::shared_ptr<MediaTrack>>& tracks) const {
    std::optional<std::string> joined;
    for (const std::shared_ptr<MediaTrack>& track : tracks) {
        if (!track->isAudioVisual()) continue;
        for (const MediaSegment& segment : track->segments()) {
            const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
            if (!file) continue;
            const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
            if (source && source->type() == MediaTrackTypeAudio && file->hasVideo()) continue;
            const std::optional<std::string> value = file->metaDataString(key);
            if (!value || value->empty()) continue;
            if (!joined)
                joined = *value;
            else if (joined->find(*value) == std::string::npos)
                *joined += ", " + *value;
        }
    }
    return joined;
}

std::optional<std::string> MediaComposition::metadataOf(
    const std::string& key, const std::vector<std::shared_ptr<MediaTrack>>& first,
    const std::vector<std::shared_ptr<MediaTrack>>& second, bool fallback) const {
    std::optional<std::string> value = commonStringForMetadata(key, first);
    if (!value && fallback) value = commonStringForMetadata(key, second);
    return value;
}

MetadataDictionary MediaComposition::mergedMetadata() const {
    MetadataDictionary merged;
    auto store = [&merged](const char* key, const std::optional<std::string>& value) {
        if (value) merged[key] = *value;
    };
    store(kNote, commonStringForMetadata(kNote, tracks()));
    const auto video = videoTracks();
    const auto audio = audioTracks();
    for (const char* key : {kReel, kTake, kScene}) {
        if (!hasVideo()) {
            store(key, commonStringForMetadata(key, audio));
            continue;
        }
        switch (metadataHandling_) {
            case 0:
                store(key, commonStringForMetadata(key, video));
                break;
            case 1:
                store(key, commonStringForMetadata(key, audio));
                break;
            case 2:
                store(key, commonStringForMetadata(key, std::string(key) == kReel ? video : audio));
                break;
            case 3:
                store(key, commonStringForMetadata(key, tracks()));
                break;
            case 4:
                store(key, metadataOf(key, video, audio, true));
                break;
            case 5:
                store(key, metadataOf(key, audio, video, true));
                break;
            default:
                break;
        }
    }
    if (video.size() == 1) {
        const MediaSegment* segment = video.front()->firstNonEmptySegment();
        const std::shared_ptr<MediaFile> file =
            segment ? sourceMediaFileOfSegment(*segment) : nullptr;
        if (file) merged[kAngle] = formatMediaText("Sync Group %u", file->syncGroup());
    }
    return merged;
}

// Naming.

std::optional<std::string> MediaComposition::firstVideoName() const {
    const std::shared_ptr<MediaTrack> track = firstVideoTrack();
    const MediaSegment* segment = track ? track->firstNonEmptySegment() : nullptr;
    const std::shared_ptr<MediaFile> file = segment ? sourceMediaFileOfSegment(*segment) : nullptr;
    if (!file) return std::nullopt;
    return nameWithoutExtension(file->name());
}

std::optional<std::string> MediaComposition::firstAudioName() const {
    for (const std::shared_ptr<MediaTrack>& track : audioTracks()) {
        const MediaSegment* segment = track->firstNonEmptySegment();
        const std::shared_ptr<MediaFile> file =
            segment ? sourceMediaFileOfSegment(*segment) : nullptr;
        if (file && file->type() != MediaTypeMovie) return nameWithoutExtension(file->name());
    }
    return std::nullopt;
}

std::string MediaComposition::mergedNameForVideo(const std::optional<std::string>& videoName,
                                                 const std::optional<std::string>& audioName,
                                                 bool viceVersa) {
    const bool hasVideoName = videoName && !videoName->empty();
    const bool hasAudioName = audioName && !audioName->empty();
    if (hasVideoName && hasAudioName) {
        if (*videoName == *audioName) return *videoName;
        return viceVersa ? *audioName + "+" + *videoName : *videoName + "+" + *audioName;
    }
    if (hasVideoName) return *videoName;
    if (hasAudioName) return *audioName;
    return {};
}

std::optional<std::string> MediaComposition::clipNameWithoutSuffix() const {
    switch (clipNaming_) {
        case -1:
            return customName_;
        case 0:
            return firstVideoName();
        case 1:
            return firstAudioName();
        case 2:
            return mergedNameForVideo(firstVideoName(), firstAudioName(), false);
        case 3:
            return mergedNameForVideo(firstVideoName(), firstAudioName(), true);
        default:
            return std::nullopt;
    }
}

std::string MediaComposition::fallbackName() const {
    return "no name";
}

std::string MediaComposition::name() const {
    std::optional<std::string> clipName = clipNameWithoutSuffix();
    if (!clipName || clipName->empty()) clipName = fallbackName();
    if (fileSuffixes_ && clipNaming_ != -1)
        return *clipName + "_" + syncInformationWithUnderscore();
    return *clipName;
}

void MediaComposition::setName(std::string name) {
    customName_ = std::move(name);
    clipNaming_ = -1;
}

// Timecode.

const MediaSegment* MediaComposition::erliestSegment() const {
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        const std::vector<MediaSegment>& segments = track->segments();
        if (!segments.empty() && !segments.front().isEmpty()) return &segments.front();
    }
    return nullptr;
}

std::shared_ptr<MediaFile> MediaComposition::erliestMediaFile() const {
    const MediaSegment* segment = erliestSegment();
    return segment ? sourceMediaFileOfSegment(*segment) : nullptr;
}

std::shared_ptr<TCHelper> MediaComposition::timecode() const {
    const std::shared_ptr<MediaFile> file = erliestMediaFile();
    return file ? file->timecode() : nullptr;
}

bool MediaComposition::hasTimecode() const {
    return timecode() != nullptr;
}

CMTime MediaComposition::timecodeDisplayOffsetAtZero() const {
    const MediaSegment* segment = erliestSegment();
    if (!segment) return kCMTimeZero;
    return segment->timeMapping().source.start - segment->timeMapping().target.start;
}

// The source time under the composition time is the segment's source start plus the distance
// into the segment: material that starts inside its file (a sound file that began before the
// picture) shows the timecode of that very sample, not the one of its file's start.
std::string MediaComposition::timeStringForCompositionTime(CMTime time) const {
    const MediaSegment* segment = nullptr;
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        segment = track->segmentForTrackTime(time);
        if (segment && !segment->isEmpty()) break;
        segment = nullptr;
    }
    if (segment) {
        const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(*segment);
        if (const std::shared_ptr<TCHelper> value = file ? file->timecode() : nullptr) {
            const CMTimeMapping& mapping = segment->timeMapping();
            const CMTime intoFile = mapping.source.start + (time - mapping.target.start);
            const CMTime offset = CMTimeConvertScale(intoFile, value->frameDuration().timescale,
                                                     CMTimeRoundingMethod::RoundTowardZero);
            return value->timecodeStringWithDisplayOffset(offset, TCOptionWrap24h);
        }
    } else if (const std::shared_ptr<TCHelper> value = timecode()) {
        // Only gaps (or nothing, past the end) under the time: the composition's own timecode
        // runs on.
        return value->timecodeStringWithDisplayOffset(time + timecodeDisplayOffsetAtZero(),
                                                      TCOptionWrap24h);
    }
    return TCHelper::helperWithFrameRate(frameRate(), false)
        ->timecodeStringWithDisplayOffset(time, TCOptionWrap24h);
}

std::string MediaComposition::exportDescription() const {
    const std::shared_ptr<TCHelper> value = timecode();
    const std::string text = value ? value->timecodeString(TCOptionNone) : "00:00:00:00";
    return formatMediaText("[%s] %s (%.2fs)", text.c_str(), name().c_str(), duration().seconds());
}

}  // namespace vorlane
