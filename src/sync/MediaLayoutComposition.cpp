#include "sync/MediaLayoutComposition.h"

#include <algorithm>
#include <cmath>

#include "platform/LocalCalendar.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

constexpr int32_t kSingleVideoTrackID = 0x3000001;
constexpr uint32_t kChannelCountBits = 0x001F0000;

const CMTime kDay = MediaSyncIndex::kDayLength;

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

}  // namespace

MediaLayoutComposition::MediaLayoutComposition(std::shared_ptr<const MediaSyncIndex> pool,
                                               const CompositionSettings& settings)
    : MediaComposition(std::move(pool), settings) {
    setXmlMode(true);
}

std::shared_ptr<MediaLayoutComposition> MediaLayoutComposition::layoutCompositionWithName(
    std::string name, std::shared_ptr<const MediaSyncIndex> pool) {
    return layoutCompositionWithName(std::move(name), std::move(pool),
                                     CompositionSettings::fromStandardUserDefaults());
}

std::shared_ptr<MediaLayoutComposition> MediaLayoutComposition::layoutCompositionWithName(
    std::string name, std::shared_ptr<const MediaSyncIndex> pool,
    const CompositionSettings& settings) {
    auto layout = layoutCompositionUsingMediaPool(std::move(pool), settings);
    layout->setName(std::move(name));
    return layout;
}

std::shared_ptr<MediaLayoutComposition> MediaLayoutComposition::layoutCompositionWithName(
    std::string name, const MediaPool& pool) {
    return layoutCompositionWithName(std::move(name), MediaSyncIndex::indexWithMediaPool(pool));
}

std::shared_ptr<MediaLayoutComposition> MediaLayoutComposition::layoutCompositionUsingMediaPool(
    std::shared_ptr<const MediaSyncIndex> pool) {
    return layoutCompositionUsingMediaPool(std::move(pool),
                                           CompositionSettings::fromStandardUserDefaults());
}

std::shared_ptr<MediaLayoutComposition> MediaLayoutComposition::layoutCompositionUsingMediaPool(
    std::shared_ptr<const MediaSyncIndex> pool, const CompositionSettings& settings) {
    return std::make_shared<MediaLayoutComposition>(std::move(pool), settings);
}

// Building.

void MediaLayoutComposition::createLayout() {
    for (const Placement& placement : placements())
        layOutFile(placement);
    if (!tracks().empty()) fillUpWithEmptySegments();
    if (!linearTimelineMode()) {
        removeAllGaps();
        return;
    }
    removeLeadingGap();
    if (duration() > kDay) removeAllGaps();
}

// Files with timecode at their timecode, others at the time of day of their creation; with the
// file date involved, each file on the 24-hour stretch of its creation day counted from the
// pool's earliest day.
std::vector<MediaLayoutComposition::Placement> MediaLayoutComposition::placements() const {
    const std::shared_ptr<const MediaSyncIndex>& pool = mediaPool();
    if (!pool) return {};
    std::vector<Placement> placed;
    placed.reserve(pool->sortedFiles().size());
    for (const std::shared_ptr<MediaFile>& file : pool->sortedFiles()) {
        const CMTimeRange synced = pool->syncTimeRangeOfFile(*file);
        CMTime start = synced.isValid() ? synced.start : file->creationDateTimecode()->time();
        const std::optional<MetadataDate> created = file->creationDate();
        if (involveDate() && pool->earliestDate() && created)
            start = start + CMTimeMultiply(
                                kDay, LocalCalendar::daysBetween(*pool->earliestDate(), *created));
        placed.push_back({file, {start, file->duration()}});
    }
    if (!involveDate()) keepMidnightTakesTogether(placed);

    // Nothing before zero: the whole map moves on by whole days (times of day stay).
    CMTime earliest = kCMTimeZero;
    for (const Placement& placement : placed) {
        CMTime start = placement.range.start;
        // Shifted sound lies earlier than its file (a shift needs picture, whose sound is laid
        // out only when camera sound is kept).
        if (useAVShift() && keepOriginalAudio() && placement.file->hasAvShiftSet())
            start = start + CMTimeMinimum(placement.file->shiftTime(), kCMTimeZero);
        earliest = CMTimeMinimum(earliest, start);
    }
    if (earliest < kCMTimeZero) {
        int64_t days = int64_t(std::ceil(-earliest.seconds() / kDay.seconds()));
        while (earliest + CMTimeMultiply(kDay, days) < kCMTimeZero)
            ++days;
        for (Placement& placement : placed)
            placement.range.start = placement.range.start + CMTimeMultiply(kDay, days);
    }
    return placed;
}

// Timecode is a 24-hour clock: a file that starts after midnight while another runs across it
// belongs to the same night, so it goes onto the next stretch, under the file it continues.
void MediaLayoutComposition::keepMidnightTakesTogether(std::vector<Placement>& placed) const {
    CMTime latestEnd = kCMTimeInvalid;
    for (const Placement& placement : placed) {
        const CMTime end = placement.range.end();
        if (placement.range.start < kDay && end > kDay)
            latestEnd = latestEnd.isValid() ? CMTimeMaximum(latestEnd, end) : end;
    }
    if (!latestEnd.isValid()) return;
    const CMTime runsUntil = latestEnd - kDay;
    for (Placement& placement : placed)
        if (placement.range.start >= kCMTimeZero && placement.range.start < runsUntil)
            placement.range.start = placement.range.start + kDay;
}

int32_t MediaLayoutComposition::layoutTrackID(const MediaFile& file,
                                              const MediaTrack& track) const {
    int32_t trackID = file.uniqueTrackIDForTrack(track);
    if (!multicam() && track.type() == MediaTrackTypeVideo) trackID = kSingleVideoTrackID;
    if (!createNewAudioTracksForDifferentChannelcount_)
        trackID = int32_t(uint32_t(trackID) & ~kChannelCountBits);
    return trackID;
}

// A later file overwrites an earlier one where they overlap on the same track. No segment
// reaches past the end of its track's material.
void MediaLayoutComposition::layOutFile(const Placement& placement) {
    const MediaFile& file = *placement.file;
    for (const std::shared_ptr<MediaTrack>& track : file.tracks()) {
        if (!track->isAudioVisual()) continue;
        const bool audio = track->type() == MediaTrackTypeAudio;
        if (file.hasVideo() && audio && !keepOriginalAudio()) continue;
        if (isAudioTcOnlyTrack(*track)) continue;
        CMTime start = placement.range.start;
        if (useAVShift() && file.hasAvShiftSet() && audio) start = start + file.shiftTime();
        const CMTime length = CMTimeMinimum(placement.range.duration, track->timeRange().duration);
        if (!isPositive(length)) continue;
        const int32_t trackID = layoutTrackID(file, *track);
        std::shared_ptr<MediaTrack> target = trackWithTrackID(trackID);
        if (!target) target = addTrackMatchingSourceTrack(*track, trackID);
        target->removeTimeRange({start, length});
        target->insertTimeRange({kCMTimeZero, length}, track, start);
    }
}

// Cutting gaps.

void MediaLayoutComposition::removeLeadingGap() {
    if (tracks().empty()) return;
    CMTime shortest = kCMTimeInvalid;
    for (const std::shared_ptr<MediaTrack>& track : tracks()) {
        const std::vector<MediaSegment>& segments = track->segments();
        if (segments.empty()) continue;
        if (!segments.front().isEmpty()) return;
        const CMTime length = segments.front().timeMapping().target.duration;
        shortest = shortest.isValid() ? CMTimeMinimum(shortest, length) : length;
    }
    if (isPositive(shortest)) removeTimeRange({kCMTimeZero, shortest});
}

// Walks the other tracks in order as the cutting rule does: material under the gap moves its
// start behind that material, an empty segment narrows it to the overlap. Only segments that
// overlap the (shrinking) gap can change it, so each track is searched from the first segment
// that ends after the gap's start.
CMTimeRange MediaLayoutComposition::commonGap(size_t trackIndex, CMTimeRange gap) const {
    for (size_t other = 0; other < tracks().size(); ++other) {
        if (other == trackIndex) continue;
        const std::vector<MediaSegment>& segments = tracks()[other]->segments();
        auto segment = std::partition_point(
            segments.begin(), segments.end(),
            [&](const MediaSegment& s) { return s.timeMapping().target.end() <= gap.start; });
        for (; segment != segments.end(); ++segment) {
            const CMTimeRange target = segment->timeMapping().target;
            if (target.start >= gap.end()) break;
            const CMTimeRange overlap = CMTimeRangeGetIntersection(target, gap);
            if (overlap.isValid() && overlap.duration == kCMTimeZero) continue;
            gap =
                segment->isEmpty() ? overlap : CMTimeRangeFromTimeToTime(overlap.end(), gap.end());
        }
    }
    return gap;
}

// A cut only changes the timeline from the cut on, so the gaps before the current one stay
// uncuttable and the walk goes on from the current segment.
bool MediaLayoutComposition::removeGapsOfTrack(size_t trackIndex) {
    bool cut = false;
    size_t index = 0;
    while (index < tracks()[trackIndex]->segments().size()) {
        const MediaSegment& segment = tracks()[trackIndex]->segments()[index];
        if (!segment.isEmpty()) {
            ++index;
            continue;
        }
        const CMTimeRange gap = commonGap(trackIndex, segment.timeMapping().target);
        if (!isPositive(gap.duration)) {
            ++index;
            continue;
        }
        cutRanges_.push_back(gap);
        removeTimeRange(gap);
        cut = true;
    }
    return cut;
}

void MediaLayoutComposition::removeAllGaps() {
    bool cut = true;
    while (cut) {
        cut = false;
        for (size_t trackIndex = 0; trackIndex < tracks().size(); ++trackIndex)
            cut = removeGapsOfTrack(trackIndex) || cut;
    }
}

std::shared_ptr<TCHelper> MediaLayoutComposition::timecode() const {
    CMTime time = kCMTimeZero;
    if (linearTimelineMode()) {
        if (const std::shared_ptr<TCHelper> value = MediaComposition::timecode())
            time = value->time();
    }
    return TCHelper::helperWithTime(time);
}

}  // namespace vorlane
