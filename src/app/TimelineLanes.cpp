#include "app/TimelineLanes.h"

#include <algorithm>
#include <map>

#include "media/MediaObject.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"

namespace vorlane {

namespace {

std::string kindOfTrack(int32_t type) {
    switch (type) {
        case MediaTrackTypeVideo:
            return "Video";
        case MediaTrackTypeAudio:
            return "Audio";
        case MediaTrackTypeTimecode:
            return "Timecode";
        default:
            return "Other";
    }
}

std::string laneTitle(const MediaTrack& track, int number) {
    std::string title = kindOfTrack(track.type()) + " " + std::to_string(number);
    if (track.type() == MediaTrackTypeAudio && track.audioChannelCount() > 0)
        title += " (" + std::to_string(track.audioChannelCount()) + " ch)";
    return title;
}

TimelineClip clipOfSegment(const MediaSegment& segment) {
    const CMTimeRange& target = segment.timeMapping().target;
    const std::string name = segment.sourceName();
    return {target.start.seconds(), target.end().seconds(), name,
            name + "\n" + segment.shortDescription()};
}

}  // namespace

std::vector<TimelineLane> TimelineLanes::ofComposition(const MediaObject& composition) {
    std::vector<TimelineLane> lanes;
    std::map<int32_t, int> numberOfKind;
    for (const auto& track : composition.tracks()) {
        TimelineLane lane{track->type(), laneTitle(*track, ++numberOfKind[track->type()]), {}};
        for (const MediaSegment& segment : track->segments())
            if (!segment.isEmpty()) lane.clips.push_back(clipOfSegment(segment));
        lanes.push_back(std::move(lane));
    }
    return lanes;
}

std::vector<double> TimelineLanes::cutPositions(const std::vector<CMTimeRange>& cutRanges,
                                                double duration) {
    // Every later cut moves the earlier cuts behind it earlier by its length; a cut inside the
    // later one ends up at its start.
    std::vector<double> positions;
    for (const CMTimeRange& cut : cutRanges) {
        const double start = cut.start.seconds();
        const double length = cut.duration.seconds();
        for (double& position : positions)
            if (position > start) position -= std::min(length, position - start);
        positions.push_back(start);
    }
    std::erase_if(positions,
                  [&](double position) { return !(position > 0.0 && position < duration); });
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

std::pair<size_t, size_t> TimelineLanes::clipsBetween(const std::vector<TimelineClip>& clips,
                                                      double from, double to) {
    const auto first = std::partition_point(
        clips.begin(), clips.end(), [&](const TimelineClip& clip) { return clip.end <= from; });
    const auto last = std::partition_point(
        first, clips.end(), [&](const TimelineClip& clip) { return clip.start < to; });
    return {size_t(first - clips.begin()), size_t(last - clips.begin())};
}

}  // namespace vorlane
