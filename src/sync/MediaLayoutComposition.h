// The sync map: every file of the pool on one timeline at its timecode position (files without
// timecode at the time of day of their creation), files of later days on later 24-hour
// stretches when the file date is involved, then the empty stretches between clips cut out (all
// of them, or only the leading one in linear mode), each cut recorded in cutRanges.
//
// To build the map as the application shows it:
//     pool.enumerateSyncGroups();
//     auto layout = MediaLayoutComposition::layoutCompositionWithName("Layout", pool);
//     layout->setCreateNewAudioTracksForDifferentChannelcount(true);
//     layout->setForPlayback(true);
//     layout->createLayout();
//
// Two cases are laid out so that a take stays together. Without the file date, a take that runs
// across midnight keeps the files that start after midnight under it (they go onto the next
// 24-hour stretch instead of the start of the day). A file placed before time zero (a timecode
// moved there by an offset) moves the whole map on by whole days, so nothing lies before zero.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sync/MediaComposition.h"

namespace vorlane {

class MediaLayoutComposition : public MediaComposition {
  public:
    // A new layout named with setName(), with the user's settings (or the given ones).
    static std::shared_ptr<MediaLayoutComposition> layoutCompositionWithName(
        std::string name, std::shared_ptr<const MediaSyncIndex> pool);
    static std::shared_ptr<MediaLayoutComposition> layoutCompositionWithName(
        std::string name, std::shared_ptr<const MediaSyncIndex> pool,
        const CompositionSettings& settings);
    // Over a snapshot taken of the pool now.
    static std::shared_ptr<MediaLayoutComposition> layoutCompositionWithName(std::string name,
                                                                             const MediaPool& pool);
    static std::shared_ptr<MediaLayoutComposition> layoutCompositionUsingMediaPool(
        std::shared_ptr<const MediaSyncIndex> pool);
    static std::shared_ptr<MediaLayoutComposition> layoutCompositionUsingMediaPool(
        std::shared_ptr<const MediaSyncIndex> pool, const CompositionSettings& settings);

    // Use the class operations; public for std::make_shared. Sets xmlMode.
    MediaLayoutComposition(std::shared_ptr<const MediaSyncIndex> pool,
                           const CompositionSettings& settings);

    bool createNewAudioTracksForDifferentChannelcount() const {
        return createNewAudioTracksForDifferentChannelcount_;
    }
    void setCreateNewAudioTracksForDifferentChannelcount(bool on) {
        createNewAudioTracksForDifferentChannelcount_ = on;
    }
    // Every range removed by removeAllGaps, in the order removed, in the timeline's time at
    // the moment of removal.
    const std::vector<CMTimeRange>& cutRanges() const { return cutRanges_; }

    // Builds the timeline (once, after the options are set).
    void createLayout();
    // Removes the empty stretch before the first clip.
    void removeLeadingGap();
    // Removes every stretch that is empty on all tracks, recording each cut.
    void removeAllGaps();

    // A seconds-mode value: at the time of the earliest file's timecode in linear mode, else at
    // zero.
    std::shared_ptr<TCHelper> timecode() const override;
    std::string className() const override { return "MediaLayoutComposition"; }

  protected:
    CMTime timecodeDisplayOffsetAtZero() const override { return kCMTimeZero; }

  private:
    struct Placement {
        std::shared_ptr<MediaFile> file;
        CMTimeRange range;  // on the timeline
    };
    std::vector<Placement> placements() const;
    void keepMidnightTakesTogether(std::vector<Placement>& placed) const;
    void layOutFile(const Placement& placement);
    int32_t layoutTrackID(const MediaFile& file, const MediaTrack& track) const;
    // The part of the track's gap `gap` that is empty on every other track (first piece only),
    // as the gap cutting rule sees it.
    CMTimeRange commonGap(size_t trackIndex, CMTimeRange gap) const;
    bool removeGapsOfTrack(size_t trackIndex);

    bool createNewAudioTracksForDifferentChannelcount_ = false;
    std::vector<CMTimeRange> cutRanges_;
};

}  // namespace vorlane
