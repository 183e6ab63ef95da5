#include "platform/media/PlayableComposition.h"

namespace vorlane {
namespace {

bool startsAtOrAfterZero(CMTimeRange range) {
    return range.start >= kCMTimeZero;
}

std::string checkSegment(const PlayableSegment& segment) {
    const CMTimeRange& target = segment.targetRange;
    if (!target.isValid() || !startsAtOrAfterZero(target)) return "invalid target range";
    if (target.duration <= kCMTimeZero) return "target range has no duration";
    if (segment.empty) return {};
    if (segment.sourceURL.empty()) return "no source file";
    if (segment.sourceTrackID == 0) return "no source track";
    if (!segment.sourceRange.isValid() || !startsAtOrAfterZero(segment.sourceRange)) {
        return "invalid source range";
    }
    if (segment.sourceRange.duration != target.duration) {
        return "source and target durations differ";
    }
    return {};
}

}  // namespace

PlayableSegment PlayableSegment::compositionTrackSegmentWithTimeRange(CMTimeRange targetRange) {
    PlayableSegment segment;
    segment.targetRange = targetRange;
    return segment;
}

PlayableSegment PlayableSegment::compositionTrackSegmentWithURL(std::filesystem::path url,
                                                                int32_t trackID,
                                                                CMTimeRange sourceRange,
                                                                CMTimeRange targetRange) {
    PlayableSegment segment;
    segment.empty = false;
    segment.sourceURL = std::move(url);
    segment.sourceTrackID = trackID;
    segment.sourceRange = sourceRange;
    segment.targetRange = targetRange;
    return segment;
}

bool PlayableCompositionTrack::validateTrackSegments(const std::vector<PlayableSegment>& segments,
                                                     std::string* reason) {
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string problem = checkSegment(segments[i]);
        if (problem.empty() && i > 0 &&
            segments[i].targetRange.start != segments[i - 1].targetRange.end()) {
            problem = "does not start where the previous segment ends";
        }
        if (!problem.empty()) {
            if (reason) *reason = "segment " + std::to_string(i) + ": " + problem;
            return false;
        }
    }
    return true;
}

bool PlayableCompositionTrack::setSegments(std::vector<PlayableSegment> segments) {
    if (!validateTrackSegments(segments, nullptr)) return false;
    segments_ = std::move(segments);
    return true;
}

CMTimeRange PlayableCompositionTrack::timeRange() const {
    if (segments_.empty()) return kCMTimeRangeZero;
    return CMTimeRangeFromTimeToTime(segments_.front().targetRange.start,
                                     segments_.back().targetRange.end());
}

PlayableCompositionTrack* PlayableComposition::addMutableTrackWithMediaType(
    AssetMediaType mediaType, int32_t preferredTrackID) {
    if (mediaType != AssetMediaType::Video && mediaType != AssetMediaType::Audio) return nullptr;
    int32_t trackID = preferredTrackID;
    if (trackID <= 0 || trackWithTrackID(trackID)) {
        trackID = 1;
        while (trackWithTrackID(trackID))
            ++trackID;
    }
    return &tracks_.emplace_back(mediaType, trackID);
}

const PlayableCompositionTrack* PlayableComposition::trackWithTrackID(int32_t trackID) const {
    for (const auto& track : tracks_)
        if (track.trackID() == trackID) return &track;
    return nullptr;
}

CMTime PlayableComposition::duration() const {
    CMTime end = kCMTimeZero;
    for (const auto& track : tracks_)
        end = CMTimeMaximum(end, track.timeRange().end());
    return end;
}

}  // namespace vorlane
