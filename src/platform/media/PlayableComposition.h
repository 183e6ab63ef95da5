// A playable composition as plain data, what the design's editable platform composition is
// here: tracks of video or audio, each an ordered list of segments. A segment either plays a
// source range of one track of a media file at a target range, or is empty (black picture,
// silence). The player and the movie writer consume it; nothing here decodes or plays.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/CMTime.h"
#include "platform/media/AssetTypes.h"

namespace vorlane {

struct PlayableSegment {
    bool empty = true;
    std::filesystem::path sourceURL;
    int32_t sourceTrackID = 0;
    CMTimeRange sourceRange = kCMTimeRangeInvalid;
    CMTimeRange targetRange = kCMTimeRangeInvalid;

    // A gap over the target range.
    static PlayableSegment compositionTrackSegmentWithTimeRange(CMTimeRange targetRange);
    // The source range of a file's track played at the target range.
    static PlayableSegment compositionTrackSegmentWithURL(std::filesystem::path url,
                                                          int32_t trackID, CMTimeRange sourceRange,
                                                          CMTimeRange targetRange);
};

class PlayableCompositionTrack {
  public:
    PlayableCompositionTrack(AssetMediaType mediaType, int32_t trackID)
        : mediaType_(mediaType), trackID_(trackID) {}

    AssetMediaType mediaType() const { return mediaType_; }
    int32_t trackID() const { return trackID_; }
    const std::vector<PlayableSegment>& segments() const { return segments_; }

    // A list is valid when every target range is valid, starts at or after zero and lasts longer
    // than zero; each segment starts where the one before it ended; and every segment that is
    // not empty names a file and a track and has a valid source range, not before zero, as long
    // as its target range (nothing is played faster or slower). An empty list is valid. When
    // the list is rejected, `reason` (if given) says which segment and why.
    static bool validateTrackSegments(const std::vector<PlayableSegment>& segments,
                                      std::string* reason);
    // Replaces the segments with a valid list; false leaves the track unchanged.
    bool setSegments(std::vector<PlayableSegment> segments);
    // From the first segment's start to the last one's end; the zero range without segments.
    CMTimeRange timeRange() const;

  private:
    AssetMediaType mediaType_;
    int32_t trackID_;
    std::vector<PlayableSegment> segments_;
};

class PlayableComposition {
  public:
    // Adds a video or audio track (nullptr for other kinds). The preferred ID is taken when it
    // is positive and free, else the lowest free ID from 1 on. The track stays at its address
    // for the composition's life.
    PlayableCompositionTrack* addMutableTrackWithMediaType(AssetMediaType mediaType,
                                                           int32_t preferredTrackID);
    const std::deque<PlayableCompositionTrack>& tracks() const { return tracks_; }
    const PlayableCompositionTrack* trackWithTrackID(int32_t trackID) const;
    // The latest end of any track; zero when there is none.
    CMTime duration() const;

  private:
    std::deque<PlayableCompositionTrack> tracks_;
};

}  // namespace vorlane
