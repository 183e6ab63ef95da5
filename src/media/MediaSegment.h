// One entry of a track's edit list: a range of a source track shown at a range of the owning
// track, or a gap. Segments are plain values kept in their track's list; the source track is
// held weakly, so a segment never keeps a file alive and counts as a gap once its track is gone.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class MediaObject;
class MediaTrack;

// The two ranges of a segment: `source` in the source track's own time, `target` in the owning
// track's time. Both have the same duration.
struct CMTimeMapping {
    CMTimeRange source = kCMTimeRangeInvalid;
    CMTimeRange target = kCMTimeRangeInvalid;
};

class MediaSegment {
  public:
    // A gap over the target range: no source track, invalid source start and duration.
    static MediaSegment segmentWithTimeRange(CMTimeRange targetTimeRange);
    static MediaSegment segmentWithTrack(const std::shared_ptr<MediaTrack>& sourceTrack,
                                         CMTimeRange sourceTimeRange, CMTimeRange targetTimeRange);
    // The list with every segment that shows an edited track replaced by the pieces of that
    // track it shows, recursively, so that the result only refers to unedited (file) tracks.
    static std::vector<MediaSegment> subSegmentsForSegments(
        const std::vector<MediaSegment>& segments);

    std::shared_ptr<MediaTrack> sourceTrack() const { return sourceTrack_.lock(); }
    void setSourceTrack(const std::shared_ptr<MediaTrack>& track) { sourceTrack_ = track; }
    const CMTimeMapping& timeMapping() const { return timeMapping_; }
    void setTimeMapping(const CMTimeMapping& mapping) { timeMapping_ = mapping; }

    // No source track (or it is gone), or the source start is not valid.
    bool isEmpty() const;
    // The segment shows an edited track: any track but one whose only segment shows the track
    // itself (a file track). A track without segments counts as edited: it shows nothing.
    bool hasSubSegments() const;
    // The pieces of the source track that this segment shows, laid into this segment's target
    // range; gaps stand for the parts of the source range that the source track does not cover.
    // Empty when hasSubSegments() is false.
    std::vector<MediaSegment> subSegments() const;

    // Reached through the source track's owner; nothing when it is not a media file.
    std::optional<std::filesystem::path> sourceURL() const;
    std::optional<std::filesystem::path> mediaURL() const;
    std::shared_ptr<MediaObject> sourceFile() const;
    // "empty" for a gap, else the owner's name, or "???" without an owner.
    std::string sourceName() const;

    // One log line: target and source ranges in seconds and the source name.
    std::string description() const;
    // Two lines for the timeline's tool tips.
    std::string shortDescription() const;

  private:
    friend class MediaTrack;

    // Sets the target duration, and the source duration when the source start is valid.
    void setLength(CMTime length);
    // Drops the first `amount` of the segment: both starts move later, the length shrinks.
    void trimStart(CMTime amount);
    std::shared_ptr<MediaObject> sourceOwner() const;

    std::weak_ptr<MediaTrack> sourceTrack_;
    CMTimeMapping timeMapping_;
};

}  // namespace vorlane
