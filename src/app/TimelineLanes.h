// What the timeline view draws of a composition: one lane per track, titled by the track's kind
// and number ("Video 1", "Audio 2 (4 ch)", "Timecode 1"), holding a box per segment with
// material (gaps stay empty) with its source file's name and a tool tip. Times in seconds of
// the composition. A lane's clips follow each other in time, so the clips in view are found by
// bisection, which keeps painting a day's sync map cheap. A sync map also shows where the empty
// stretches between takes were cut out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class MediaObject;

struct TimelineClip {
    double start = 0.0;
    double end = 0.0;
    std::string name;     // the source file's name
    std::string toolTip;  // name, source and target ranges
};

struct TimelineLane {
    int32_t trackType = 0;  // MediaTrackType
    std::string title;
    std::vector<TimelineClip> clips;  // in time order, without gaps
};

class TimelineLanes {
  public:
    static std::vector<TimelineLane> ofComposition(const MediaObject& composition);

    // Where the cuts lie on the finished timeline, in time order, from the cut ranges in the
    // order they were removed (each in the timeline's time at its removal). Cuts at the start or
    // the end of the timeline join nothing and are left out.
    static std::vector<double> cutPositions(const std::vector<CMTimeRange>& cutRanges,
                                            double duration);

    // The index range [first, last) of the clips that overlap (from, to).
    static std::pair<size_t, size_t> clipsBetween(const std::vector<TimelineClip>& clips,
                                                  double from, double to);
};

}  // namespace vorlane
