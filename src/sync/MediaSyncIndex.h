// A snapshot of a pool's files taken for one round of syncing (the sync information of the file
// list, one preview, one export run): the files in the pool's sync order, the earliest creation
// date, and every timecoded file's place on the timecode axis, sorted once so that the files
// overlapping a range are found without walking the whole pool.
//
// The timecode axis is a 24-hour clock: a take that runs across midnight (a camera from
// 23:59:30, the recorder from 00:00:10) overlaps when one of the two ranges is moved by a whole
// day. `syncDayShift` says by how many days; every overlap test of the sync engine goes through
// it.
//
// The snapshot does not follow later changes of the files (offsets, timecode choice, re-read
// LTC): take a new one after such a change. It is immutable and may be read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "media/MediaFile.h"
#include "platform/CMTime.h"
#include "platform/MetadataValue.h"

namespace vorlane {

class MediaPool;

class MediaSyncIndex {
  public:
    // One day of the timecode clock.
    static constexpr CMTime kDayLength{86400, 1, kCMTimeFlags_Valid, 0};

    // The pool's files as it sorts them now, and its earliest creation date.
    static std::shared_ptr<const MediaSyncIndex> indexWithMediaPool(const MediaPool& pool);

    // Files in the pool's sync order (sortedFiles) and the pool's earliest creation date.
    MediaSyncIndex(std::vector<std::shared_ptr<MediaFile>> sortedFiles,
                   std::optional<MetadataDate> earliestDate);

    const std::vector<std::shared_ptr<MediaFile>>& sortedFiles() const { return sortedFiles_; }
    const std::optional<MetadataDate>& earliestDate() const { return earliestDate_; }

    // Position of the file in sortedFiles(); nothing when the file is not in the snapshot.
    std::optional<size_t> sortedPositionOfFile(const MediaFile& file) const;
    // The file's syncTimeRange when the snapshot was taken; the file's current one when it is not
    // in the snapshot.
    CMTimeRange syncTimeRangeOfFile(const MediaFile& file) const;

    struct Overlap {
        size_t sortedPosition = 0;  // in sortedFiles()
        int32_t dayShift = 0;       // days by which that file's range moves to overlap
    };
    // Every file whose range, moved by its day shift, overlaps the range by more than zero, in
    // sync order, each once with the shift syncDayShift(range, its range) answers.
    std::vector<Overlap> filesOverlapping(CMTimeRange range) const;

    // The range moved by whole days.
    static CMTimeRange rangeShiftedByDays(CMTimeRange range, int32_t days);
    // Whether two valid ranges share more than a single instant.
    static bool rangesOverlap(CMTimeRange lhs, CMTimeRange rhs);
    // The days (0, else +1, else −1) by which `other` moves on the 24-hour clock to overlap
    // `range` by more than zero; nothing when it overlaps in none of them or a range is invalid.
    static std::optional<int32_t> syncDayShift(CMTimeRange range, CMTimeRange other);

  private:
    void buildSearchTree();
    void collectOverlaps(CMTimeRange range, size_t node, size_t first, size_t last, size_t limit,
                         std::vector<size_t>& found) const;

    std::vector<std::shared_ptr<MediaFile>> sortedFiles_;
    std::optional<MetadataDate> earliestDate_;
    std::unordered_map<const MediaFile*, size_t> positions_;
    // syncTimeRange of each file of sortedFiles_, by position.
    std::vector<CMTimeRange> ranges_;
    // Positions of the files with a range of positive length, ordered by the range's start.
    std::vector<size_t> byStart_;
    // The latest range end within each subtree of an implicit tree over byStart_.
    std::vector<CMTime> latestEnd_;
};

}  // namespace vorlane
