#include "sync/MediaSyncComposition.h"

#include <chrono>

#include "media/MediaText.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

constexpr std::chrono::seconds kDateTolerance{7200};

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

}  // namespace

MediaSyncComposition::MediaSyncComposition(std::shared_ptr<MediaFile> masterFile,
                                           std::shared_ptr<const MediaSyncIndex> pool,
                                           const CompositionSettings& settings)
    : MediaComposition(std::move(pool), settings), masterFile_(masterFile) {
    correspondingFiles_.reserve(10);
}

std::shared_ptr<MediaSyncComposition> MediaSyncComposition::syncCompositionWithMasterFile(
    std::shared_ptr<MediaFile> masterFile, std::shared_ptr<const MediaSyncIndex> pool) {
    return syncCompositionWithMasterFile(std::move(masterFile), std::move(pool),
                                         CompositionSettings::fromStandardUserDefaults());
}

std::shared_ptr<MediaSyncComposition> MediaSyncComposition::syncCompositionWithMasterFile(
    std::shared_ptr<MediaFile> masterFile, std::shared_ptr<const MediaSyncIndex> pool,
    const CompositionSettings& settings) {
    return std::make_shared<MediaSyncComposition>(std::move(masterFile), std::move(pool), settings);
}

std::shared_ptr<MediaSyncComposition> MediaSyncComposition::syncCompositionWithMasterFile(
    std::shared_ptr<MediaFile> masterFile, const MediaPool& pool) {
    return syncCompositionWithMasterFile(std::move(masterFile),
                                         MediaSyncIndex::indexWithMediaPool(pool));
}

// The matching rule.

bool MediaSyncComposition::passesDateAndKindRules(const MediaFile& file, const MediaFile& other,
                                                  bool involveDate, bool multicam) {
    if (involveDate) {
        const std::optional<MetadataDate> date = file.creationDate();
        const std::optional<MetadataDate> otherDate = other.creationDate();
        if (date && otherDate) {
            const auto apart = *date > *otherDate ? *date - *otherDate : *otherDate - *date;
            if (apart > kDateTolerance) return false;
        }
    }
    return multicam || file.type() != MediaTypeMovie || other.type() != MediaTypeMovie;
}

bool MediaSyncComposition::isMediaFile(const MediaFile& file, const MediaFile& other,
                                       bool involveDate, bool multicam, bool /*playback*/) {
    if (&file == &other) return false;
    if (!MediaSyncIndex::syncDayShift(file.syncTimeRange(), other.syncTimeRange())) return false;
    return passesDateAndKindRules(file, other, involveDate, multicam);
}

SyncInfo MediaSyncComposition::syncInfoOfMediaFile(const MediaFile& file,
                                                   const MediaSyncIndex& pool, bool involveDate,
                                                   bool multicam) {
    if (!file.timecode()) return {kSyncStatusNoTimecode, 1};
    int32_t matchedTypes = 0;
    for (const MediaSyncIndex::Overlap& overlap :
         pool.filesOverlapping(pool.syncTimeRangeOfFile(file))) {
        const MediaFile& other = *pool.sortedFiles()[overlap.sortedPosition];
        if (&other != &file && passesDateAndKindRules(file, other, involveDate, multicam))
            matchedTypes |= other.type();
    }
    const int32_t type = file.type();
    const bool pictureMeetsSound = ((matchedTypes & MediaTypeAudio) && (type & MediaTypeVideo)) ||
                                   ((matchedTypes & MediaTypeVideo) && (type & MediaTypeAudio));
    if (pictureMeetsSound) return {kSyncStatusSynced, 2};
    return {kSyncStatusNoCorrespondingFiles, 1};
}

void MediaSyncComposition::updateSyncInfoOfMediaFile(MediaFile& file, const MediaSyncIndex& pool,
                                                     bool involveDate, bool multicam) {
    const SyncInfo info = syncInfoOfMediaFile(file, pool, involveDate, multicam);
    file.setInfoText(info.infoText);
    file.setHighLightColor(info.highLightColor);
}

// Finding the corresponding files.

bool MediaSyncComposition::findCorrespondingMediaFiles() {
    correspondingFiles_.clear();
    correspondingDayShifts_.clear();
    const std::shared_ptr<MediaFile> master = masterFile();
    const std::shared_ptr<const MediaSyncIndex>& pool = mediaPool();
    if (!master || !pool) return false;
    for (const MediaSyncIndex::Overlap& overlap :
         pool->filesOverlapping(pool->syncTimeRangeOfFile(*master))) {
        const std::shared_ptr<MediaFile>& file = pool->sortedFiles()[overlap.sortedPosition];
        if (file == master) continue;
        if (!file->hasVideo() && file->audioTrackCount() == 1 &&
            isAudioTcOnlyTrack(*file->firstAudioTrack()))
            continue;
        if (!passesDateAndKindRules(*master, *file, involveDate(), multicam())) continue;
        correspondingFiles_.push_back(file);
        correspondingDayShifts_.push_back(overlap.dayShift);
    }
    return !correspondingFiles_.empty();
}

int32_t MediaSyncComposition::correspondingFileTypes() const {
    int32_t types = 0;
    for (const std::shared_ptr<MediaFile>& file : correspondingFiles_)
        types |= file->type();
    return types;
}

// Syncing.

void MediaSyncComposition::syncMedia() {
    const std::shared_ptr<MediaFile> master = masterFile();
    xmlSyncTime_ = master ? syncStartOfFile(*master) : kCMTimeInvalid;
    if (!findCorrespondingMediaFiles()) {
        if (master) insertWholeMaster(*master);
        return;
    }
    if (master->hasVideo()) {
        insertTrack(master->firstVideoTrack());
        if (keepOriginalAudio()) insertAudioTracks(*master);
    } else if (master->type() == MediaTypeAudio) {
        insertAudioTracks(*master);
    }
    for (const std::shared_ptr<MediaFile>& file : correspondingFiles_) {
        if (file->type() == MediaTypeAudio || (keepOriginalAudio() && file->hasAudio()))
            insertAudioTracks(*file);
        if (forPlayback() || !hasVideo()) insertVideoTracks(*file);
    }
    fillUpWithEmptySegments();
}

void MediaSyncComposition::insertWholeMaster(const MediaFile& master) {
    insertTimeRange({kCMTimeZero, master.duration()}, master, kCMTimeZero);
    if (std::shared_ptr<TCHelper> value = master.fileTimecode())
        addTimecodeTrackWithTCHelper(std::move(value));
}

void MediaSyncComposition::insertAudioTracks(const MediaFile& file) {
    for (const std::shared_ptr<MediaTrack>& track : file.audioTracks())
        insertTrack(track);
}

void MediaSyncComposition::insertVideoTracks(const MediaFile& file) {
    for (const std::shared_ptr<MediaTrack>& track : file.videoTracks())
        insertTrack(track);
}

CMTime MediaSyncComposition::syncStartOfFile(const MediaFile& file) const {
    const std::shared_ptr<const MediaSyncIndex>& pool = mediaPool();
    const CMTimeRange range = pool ? pool->syncTimeRangeOfFile(file) : file.syncTimeRange();
    if (!range.isValid()) return kCMTimeInvalid;
    const std::shared_ptr<MediaFile> master = masterFile();
    if (!master || master.get() == &file) return range.start;
    int32_t dayShift = 0;
    bool found = false;
    for (size_t index = 0; index < correspondingFiles_.size() && !found; ++index) {
        found = correspondingFiles_[index].get() == &file;
        if (found) dayShift = correspondingDayShifts_[index];
    }
    if (!found) {
        const CMTimeRange masterRange =
            pool ? pool->syncTimeRangeOfFile(*master) : master->syncTimeRange();
        dayShift = MediaSyncIndex::syncDayShift(masterRange, range).value_or(0);
    }
    return MediaSyncIndex::rangeShiftedByDays(range, dayShift).start;
}

void MediaSyncComposition::insertEmptyTimeRangeAtStart(CMTime length) {
    for (const std::shared_ptr<MediaTrack>& track : tracks())
        if (track->isAudioVisual()) track->insertEmptyTimeRange({kCMTimeZero, length});
}

// Source and destination follow from the distance d between the composition's zero and the
// file's start. Outside XML mode the composition is clipped to the master; in XML mode it grows
// to hold every file whole. A file without timecode has no distance and is not placed. Source
// ranges never reach past the end of the track's material.
void MediaSyncComposition::insertTrack(const std::shared_ptr<MediaTrack>& track) {
    if (!track || isAudioTcOnlyTrack(*track)) return;
    const std::shared_ptr<MediaFile> file =
        std::dynamic_pointer_cast<MediaFile>(track->mediaObject());
    const std::shared_ptr<MediaFile> master = masterFile();
    if (!file || !master) return;
    const CMTime fileStart = syncStartOfFile(*file);
    if (!fileStart.isValid() || !xmlSyncTime_.isValid()) return;

    const CMTime distance = xmlSyncTime_ - fileStart;
    const CMTime masterLength = master->duration();
    const CMTime trackLength = track->timeRange().duration;
    const CMTime wholeLength = CMTimeMinimum(file->duration(), trackLength);
    CMTimeRange source;
    CMTimeRange destination;
    if (distance < kCMTimeZero) {
        const CMTime late = kCMTimeZero - distance;
        source = {kCMTimeZero,
                  xmlMode() ? wholeLength : CMTimeMinimum(masterLength - late, trackLength)};
        destination = {late, source.duration};
    } else if (!xmlMode()) {
        source = {distance, CMTimeMinimum(trackLength - distance, masterLength)};
        destination = {kCMTimeZero, source.duration};
    } else {
        source = {kCMTimeZero, wholeLength};
        destination = {kCMTimeZero, source.duration};
        if (isPositive(distance)) insertEmptyTimeRangeAtStart(distance);
        xmlSyncTime_ = fileStart;
    }

    if (useAVShift() && file->hasAvShiftSet() && track->type() == MediaTrackTypeAudio) {
        const CMTime shift = file->shiftTime();
        if (!xmlMode()) {
            if (shift >= kCMTimeZero) {
                destination.start = destination.start + shift;
                source.duration = source.duration - shift;
            } else {
                source.start = source.start - shift;
                source.duration = source.duration + shift;
            }
            destination.duration = source.duration;
        } else if (destination.start + shift < kCMTimeZero) {
            insertEmptyTimeRangeAtStart(kCMTimeZero - shift);
            xmlSyncTime_ = xmlSyncTime_ + shift;
        } else {
            destination.start = destination.start + shift;
        }
    }
    if (!isPositive(source.duration)) return;

    const std::shared_ptr<MediaTrack> target = targetTrack(*file, *track, destination);
    if (!target) return;
    target->removeTimeRange(destination);
    target->insertTimeRange(source, track, destination.start);
}

// Without sync groups any free track of the same format takes the material; with groups each
// recording device keeps its own track, found by the track identifier.
std::shared_ptr<MediaTrack> MediaSyncComposition::targetTrack(const MediaFile& file,
                                                              const MediaTrack& track,
                                                              CMTimeRange destination) {
    const std::shared_ptr<MediaFile> master = masterFile();
    int32_t trackID = 0;
    std::shared_ptr<MediaTrack> target;
    if (master->syncGroup() == 0) {
        target = trackMatchingTrack(track, destination);
    } else {
        trackID = file.uniqueTrackIDForTrack(track);
        target = trackWithTrackID(trackID);
    }
    if (target) return target;
    const bool newTrackAllowed =
        track.type() == MediaTrackTypeAudio ||
        (track.type() == MediaTrackTypeVideo && (multicam() || !hasVideo()));
    return newTrackAllowed ? addTrackMatchingSourceTrack(track, trackID) : nullptr;
}

// Status and diagnostics.

std::string MediaSyncComposition::syncInformation() const {
    if (!correspondingFiles_.empty()) return kSyncStatusSynced;
    const std::shared_ptr<MediaFile> master = masterFile();
    return master && master->timecode() ? kSyncStatusNoCorrespondingFiles : kSyncStatusNoTimecode;
}

std::string MediaSyncComposition::syncedFiles() const {
    if (correspondingFiles_.empty()) return "\t+++ no corresponding files found!\n";
    std::string text;
    for (const std::shared_ptr<MediaFile>& file : correspondingFiles_) {
        const std::shared_ptr<TCHelper> value = file->timecode();
        const std::string time = value ? value->timecodeString(TCOptionAllowNegative) : "none";
        text += formatMediaText("\tTime %s: %s\n", time.c_str(),
                                file->sourceURLPath().filename().string().c_str());
    }
    return text;
}

std::string MediaSyncComposition::fallbackName() const {
    const std::shared_ptr<MediaFile> master = masterFile();
    return master ? nameWithoutExtension(master->name()) : MediaComposition::fallbackName();
}

}  // namespace vorlane
