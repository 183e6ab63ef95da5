#include "media/MediaSegment.h"

#include "media/MediaObject.h"
#include "media/MediaText.h"
#include "media/MediaTrack.h"

namespace vorlane {

namespace {

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

}  // namespace

MediaSegment MediaSegment::segmentWithTimeRange(CMTimeRange targetTimeRange) {
    MediaSegment segment;
    segment.timeMapping_ = {kCMTimeRangeInvalid, targetTimeRange};
    return segment;
}

MediaSegment MediaSegment::segmentWithTrack(const std::shared_ptr<MediaTrack>& sourceTrack,
                                            CMTimeRange sourceTimeRange,
                                            CMTimeRange targetTimeRange) {
    MediaSegment segment;
    segment.sourceTrack_ = sourceTrack;
    segment.timeMapping_ = {sourceTimeRange, targetTimeRange};
    return segment;
}

std::vector<MediaSegment> MediaSegment::subSegmentsForSegments(
    const std::vector<MediaSegment>& segments) {
    std::vector<MediaSegment> flattened;
    flattened.reserve(segments.size());
    for (const MediaSegment& segment : segments) {
        if (!segment.hasSubSegments()) {
            flattened.push_back(segment);
            continue;
        }
        const std::vector<MediaSegment> parts = subSegmentsForSegments(segment.subSegments());
        flattened.insert(flattened.end(), parts.begin(), parts.end());
    }
    return flattened;
}

bool MediaSegment::isEmpty() const {
    return sourceTrack_.expired() || !timeMapping_.source.start.isValid();
}

bool MediaSegment::hasSubSegments() const {
    if (isEmpty()) return false;
    const std::shared_ptr<MediaTrack> track = sourceTrack();
    const std::vector<MediaSegment>& shown = track->segments();
    return !(shown.size() == 1 && shown.front().sourceTrack() == track);
}

std::vector<MediaSegment> MediaSegment::subSegments() const {
    if (!hasSubSegments()) return {};
    const CMTimeRange shown = timeMapping_.source;
    const CMTimeRange target = timeMapping_.target;
    std::vector<MediaSegment> parts;
    CMTime cursor = target.start;
    auto gapUntil = [&](CMTime time) {
        if (time <= cursor) return;
        parts.push_back(segmentWithTimeRange(CMTimeRangeFromTimeToTime(cursor, time)));
        cursor = time;
    };
    for (const MediaSegment& piece : sourceTrack()->segments()) {
        const CMTimeMapping& mapping = piece.timeMapping_;
        const CMTimeRange overlap = CMTimeRangeGetIntersection(shown, mapping.target);
        if (!isPositive(overlap.duration)) continue;
        gapUntil(target.start + (overlap.start - shown.start));
        MediaSegment part;
        part.sourceTrack_ = piece.sourceTrack_;
        part.timeMapping_.target = {cursor, overlap.duration};
        if (!piece.isEmpty())
            part.timeMapping_.source = {
                mapping.source.start + (overlap.start - mapping.target.start), overlap.duration};
        parts.push_back(part);
        cursor = cursor + overlap.duration;
    }
    gapUntil(target.end());
    return parts;
}

std::shared_ptr<MediaObject> MediaSegment::sourceOwner() const {
    const std::shared_ptr<MediaTrack> track = sourceTrack();
    return track ? track->mediaObject() : nullptr;
}

std::optional<std::filesystem::path> MediaSegment::sourceURL() const {
    const std::shared_ptr<MediaObject> owner = sourceOwner();
    return owner ? owner->sourceURL() : std::nullopt;
}

std::optional<std::filesystem::path> MediaSegment::mediaURL() const {
    const std::shared_ptr<MediaObject> owner = sourceOwner();
    return owner ? owner->mediaURL() : std::nullopt;
}

std::shared_ptr<MediaObject> MediaSegment::sourceFile() const {
    std::shared_ptr<MediaObject> owner = sourceOwner();
    return owner && owner->isMediaFile() ? owner : nullptr;
}

std::string MediaSegment::sourceName() const {
    if (isEmpty()) return "empty";
    const std::shared_ptr<MediaObject> owner = sourceOwner();
    return owner ? owner->name() : "???";
}

std::string MediaSegment::description() const {
    const CMTimeRange& source = timeMapping_.source;
    const CMTimeRange& target = timeMapping_.target;
    return formatMediaText("TARGET %7.2f --> %7.2f = %7.2f | SOURCE %7.2f --> %7.2f = %7.2f [%s]",
                           target.start.seconds(), target.end().seconds(),
                           target.duration.seconds(), source.start.seconds(),
                           source.end().seconds(), source.duration.seconds(), sourceName().c_str());
}

std::string MediaSegment::shortDescription() const {
    const CMTimeRange& source = timeMapping_.source;
    const CMTimeRange& target = timeMapping_.target;
    const std::string targetLine =
        formatMediaText("T: %.4f --> %.4f = %.4f", target.start.seconds(), target.end().seconds(),
                        target.duration.seconds());
    if (isEmpty()) return "Empty\n" + targetLine;
    return formatMediaText("S: %.4f --> %.4f = %.4f\n", source.start.seconds(),
                           source.end().seconds(), source.duration.seconds()) +
           targetLine;
}

void MediaSegment::setLength(CMTime length) {
    timeMapping_.target.duration = length;
    if (timeMapping_.source.start.isValid()) timeMapping_.source.duration = length;
}

void MediaSegment::trimStart(CMTime amount) {
    CMTimeRange& source = timeMapping_.source;
    CMTimeRange& target = timeMapping_.target;
    if (source.start.isValid()) source = {source.start + amount, source.duration - amount};
    target = {target.start + amount, target.duration - amount};
}

}  // namespace vorlane
