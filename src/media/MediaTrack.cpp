#include "media/MediaTrack.h"

#include <algorithm>

#include "media/MediaObject.h"
#include "media/MediaText.h"
#include "platform/Log.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

}  // namespace

MediaTrack::MediaTrack(int32_t type) : type_(type) {}

bool MediaTrack::isAudioVisual() const {
    return type_ == MediaTrackTypeVideo || type_ == MediaTrackTypeAudio;
}

uint64_t MediaTrack::getAudioChannelMask() const {
    const std::shared_ptr<MediaObject> owner = mediaObject();
    if (!owner || !owner->isComposition()) return audioChannelMask_;
    uint64_t mask = 0;
    for (const MediaSegment& segment : segments_) {
        const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
        if (source && source.get() != this) mask |= source->getAudioChannelMask();
    }
    return mask;
}

uint32_t MediaTrack::totalAudioChannelStart() const {
    const std::shared_ptr<MediaObject> owner = mediaObject();
    if (!owner) return 0;
    uint32_t channels = 0;
    for (const std::shared_ptr<MediaTrack>& track : owner->audioTracks()) {
        if (track.get() == this) return channels;
        channels += track->audioChannelCount();
    }
    return 0;
}

bool MediaTrack::isTimeRangeFree(CMTimeRange range) const {
    const CMTimeRange overlap = CMTimeRangeGetIntersection(timeRange(), range);
    if (overlap.isValid() && overlap.duration == kCMTimeZero) return true;
    return std::any_of(segments_.begin(), segments_.end(), [&](const MediaSegment& segment) {
        return segment.isEmpty() &&
               CMTimeRangeContainsTimeRange(segment.timeMapping().target, range);
    });
}

std::optional<size_t> MediaTrack::indexOfSegmentForTrackTime(CMTime time) const {
    for (size_t index = 0; index < segments_.size(); ++index)
        if (CMTimeRangeContainsTime(segments_[index].timeMapping().target, time)) return index;
    return std::nullopt;
}

const MediaSegment* MediaTrack::segmentForTrackTime(CMTime time) const {
    const std::optional<size_t> index = indexOfSegmentForTrackTime(time);
    return index ? &segments_[*index] : nullptr;
}

void MediaTrack::shiftSegmentTimesBehindIndex(size_t index, CMTime shiftTime) {
    for (size_t behind = index + 1; behind < segments_.size(); ++behind) {
        CMTime& start = segments_[behind].timeMapping_.target.start;
        start = start + shiftTime;
    }
}

void MediaTrack::setTimeRange(CMTimeRange range) {
    segments_ = {MediaSegment::segmentWithTrack(weak_from_this().lock(), range, range)};
}

CMTimeRange MediaTrack::timeRange() const {
    if (segments_.empty()) return kCMTimeRangeZero;
    return CMTimeRangeFromTimeToTime(segments_.front().timeMapping().target.start,
                                     segments_.back().timeMapping().target.end());
}

const MediaSegment* MediaTrack::firstNonEmptySegment() const {
    const auto found = std::find_if(segments_.begin(), segments_.end(),
                                    [](const MediaSegment& segment) { return !segment.isEmpty(); });
    return found == segments_.end() ? nullptr : &*found;
}

CMTimeRange MediaTrack::occupiedTimeRange() const {
    const auto hasContent = [](const MediaSegment& segment) { return !segment.isEmpty(); };
    const auto first = std::find_if(segments_.begin(), segments_.end(), hasContent);
    if (first == segments_.end()) return kCMTimeRangeInvalid;
    const auto last = std::find_if(segments_.rbegin(), segments_.rend(), hasContent);
    return CMTimeRangeFromTimeToTime(first->timeMapping().target.start,
                                     last->timeMapping().target.end());
}

std::vector<MediaSegment> MediaTrack::segmentsIncludingSubSegments() const {
    return MediaSegment::subSegmentsForSegments(segments_);
}

void MediaTrack::insertTimeRange(CMTimeRange sourceRange,
                                 const std::shared_ptr<MediaTrack>& sourceTrack, CMTime atTime) {
    if (!isPositive(sourceRange.duration) || !atTime.isValid()) return;
    MediaSegment inserted =
        MediaSegment::segmentWithTrack(sourceTrack, sourceRange, {atTime, sourceRange.duration});
    if (!sourceRange.start.isValid()) inserted.timeMapping_.source.duration = kCMTimeInvalid;

    if (const std::optional<size_t> index = indexOfSegmentForTrackTime(atTime))
        splitSegmentForInsertion(*index, std::move(inserted));
    else if (!segments_.empty() && atTime < segments_.front().timeMapping().target.start)
        insertBeforeContent(std::move(inserted));
    else
        appendSegment(std::move(inserted));
}

void MediaTrack::appendSegment(MediaSegment inserted) {
    const CMTime end = segments_.empty() ? kCMTimeZero : timeRange().end();
    const CMTime atTime = inserted.timeMapping().target.start;
    if (atTime > end)
        segments_.push_back(
            MediaSegment::segmentWithTimeRange(CMTimeRangeFromTimeToTime(end, atTime)));
    segments_.push_back(std::move(inserted));
}

// The content starts later than the insertion time: the inserted piece comes first, a gap
// keeps the distance to the old content, and the old content moves later like any content
// behind an insertion. The edit list stays contiguous.
void MediaTrack::insertBeforeContent(MediaSegment inserted) {
    const CMTimeRange target = inserted.timeMapping().target;
    const CMTime contentStart = segments_.front().timeMapping().target.start;
    const MediaSegment gap = MediaSegment::segmentWithTimeRange(
        CMTimeRangeFromTimeToTime(target.end(), contentStart + target.duration));
    segments_.insert(segments_.begin(), {std::move(inserted), gap});
    shiftSegmentTimesBehindIndex(1, target.duration);
}

void MediaTrack::splitSegmentForInsertion(size_t index, MediaSegment inserted) {
    const CMTimeRange target = inserted.timeMapping().target;
    MediaSegment& split = segments_[index];
    const CMTime head = CMTimeAbsoluteValue(target.start - split.timeMapping().target.start);
    MediaSegment rest = split;
    rest.trimStart(head);
    split.setLength(head);
    segments_.insert(segments_.begin() + ptrdiff_t(index) + 1, {std::move(inserted), rest});
    shiftSegmentTimesBehindIndex(index + 1, target.duration);
    if (head == kCMTimeZero) segments_.erase(segments_.begin() + ptrdiff_t(index));
}

void MediaTrack::insertEmptyTimeRange(CMTimeRange range) {
    if (!isPositive(range.duration)) return;
    const std::optional<size_t> index = indexOfSegmentForTrackTime(range.start);
    if (!index) return;
    MediaSegment& segment = segments_[*index];
    if (!segment.isEmpty()) {
        insertTimeRange({kCMTimeInvalid, range.duration}, nullptr, range.start);
        return;
    }
    CMTime& length = segment.timeMapping_.target.duration;
    length = length + range.duration;
    shiftSegmentTimesBehindIndex(*index, range.duration);
}

void MediaTrack::removeTimeRange(CMTimeRange range) {
    if (!isPositive(range.duration)) return;
    const std::optional<size_t> first = indexOfSegmentForTrackTime(range.start);
    if (!first) return;
    const std::optional<size_t> last = indexOfSegmentForTrackTime(range.end());
    const size_t index = *first;
    if (!last) {
        segments_[index].setLength(range.start - segments_[index].timeMapping().target.start);
        segments_.erase(segments_.begin() + ptrdiff_t(index) + 1, segments_.end());
    } else if (*last == index) {
        removeInsideSegment(index, range);
    } else if (*last > index) {
        segments_.erase(segments_.begin() + ptrdiff_t(index) + 1,
                        segments_.begin() + ptrdiff_t(*last));
        removeAcrossSegments(index, range);
    }
    if (segments_[index].timeMapping().target.duration == kCMTimeZero)
        segments_.erase(segments_.begin() + ptrdiff_t(index));
}

// The range lies inside one segment: a gap shrinks; content is cut in two around the range.
void MediaTrack::removeInsideSegment(size_t index, CMTimeRange range) {
    MediaSegment& segment = segments_[index];
    if (segment.isEmpty()) {
        CMTime& length = segment.timeMapping_.target.duration;
        length = CMTimeAbsoluteValue(length - range.duration);
    } else {
        const CMTime head = range.start - segment.timeMapping().target.start;
        MediaSegment rest = segment;
        rest.trimStart(head + range.duration);
        segment.setLength(head);
        segments_.insert(segments_.begin() + ptrdiff_t(index) + 1, rest);
    }
    shiftSegmentTimesBehindIndex(index, kCMTimeZero - range.duration);
}

// The range runs from the segment at the index into the next one: two gaps merge; otherwise
// the first is cut at the range's start and the second loses its part inside the range.
void MediaTrack::removeAcrossSegments(size_t index, CMTimeRange range) {
    MediaSegment& segment = segments_[index];
    MediaSegment& following = segments_[index + 1];
    const CMTimeRange followingTarget = following.timeMapping().target;
    if (segment.isEmpty() && following.isEmpty()) {
        const CMTimeRange merged =
            CMTimeRangeGetUnion(segment.timeMapping().target, followingTarget);
        segment.timeMapping_.target.duration = merged.duration - range.duration;
        segments_.erase(segments_.begin() + ptrdiff_t(index) + 1);
    } else {
        segment.setLength(range.start - segment.timeMapping().target.start);
        following.trimStart(CMTimeRangeGetIntersection(range, followingTarget).duration);
    }
    shiftSegmentTimesBehindIndex(index, kCMTimeZero - range.duration);
}

void MediaTrack::showSegments() const {
    for (size_t index = 0; index < segments_.size(); ++index) {
        const MediaSegment& segment = segments_[index];
        const CMTimeRange& target = segment.timeMapping().target;
        const CMTimeRange& source = segment.timeMapping().source;
        if (segment.isEmpty()) {
            Log::writef("#%03zu TARGET %7.2f --> %7.2f = %7.2f [+++ EMPTY SEGMENT +++]", index,
                        target.start.seconds(), target.end().seconds(), target.duration.seconds());
            continue;
        }
        std::string note;
        if (index > 0 && segments_[index - 1].timeMapping().target.end() != target.start)
            note += "+++ prev.EndTime != this.StartTime ";
        if (source.duration != target.duration) note += "+++ source.duration != target.duration";
        Log::writef(
            "#%03zu TARGET %7.2f --> %7.2f = %7.2f | SOURCE %7.2f --> %7.2f = %7.2f [%s] %s", index,
            target.start.seconds(), target.end().seconds(), target.duration.seconds(),
            source.start.seconds(), source.end().seconds(), source.duration.seconds(),
            segment.sourceName().c_str(), note.c_str());
    }
}

std::string MediaTrack::name() const {
    switch (type_) {
        case MediaTrackTypeVideo:
            return formatMediaText("V%d", trackNumber());
        case MediaTrackTypeAudio:
            return formatMediaText("A%d", trackNumber());
        case MediaTrackTypeTimecode:
            return formatMediaText("TC%d", trackNumber());
        default:
            return formatMediaText("T%d", trackNumber());
    }
}

std::string MediaTrack::ownerName() const {
    const std::shared_ptr<MediaObject> owner = mediaObject();
    return owner ? owner->name() : "???";
}

std::string MediaTrack::timecodeDescription() const {
    return timecode_ ? timecode_->description() : "none";
}

std::string MediaTrack::description() const {
    const std::string prefix = name() + " [" + ownerName() + "]: ";
    const double seconds = timeRange().duration.seconds();
    switch (type_) {
        case MediaTrackTypeVideo:
            return prefix + formatMediaText("%0.0fx%0.0f (%2.2ffps), Length: %.2f sec",
                                            videoSize_.width, videoSize_.height, videoFrameRate_,
                                            seconds);
        case MediaTrackTypeAudio:
            return prefix + formatMediaText("%u x %ubit,%2.2fkHz, Length: %.2f sec",
                                            audioChannelCount_, audioBitDepth_, audioSampleRate_,
                                            seconds);
        case MediaTrackTypeTimecode:
            return prefix + timecodeDescription();
        default: {
            std::string list;
            for (const MediaSegment& segment : segments_)
                list += (list.empty() ? "" : ", ") + segment.description();
            return prefix + "(" + list + ")";
        }
    }
}

Image MediaTrack::thumbnail() const {
    if (type_ == MediaTrackTypeAudio) return MediaObject::defaultThumbnailAudio();
    if (type_ != MediaTrackTypeVideo) return MediaObject::defaultThumbnailWarning();
    const std::shared_ptr<MediaObject> owner = mediaObject();
    return owner ? owner->thumbnail() : MediaObject::defaultThumbnailVideo();
}

}  // namespace vorlane
