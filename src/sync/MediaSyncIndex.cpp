#include "sync/MediaSyncIndex.h"

#include <algorithm>

#include "media/MediaPool.h"

namespace vorlane {

namespace {

constexpr int32_t kDayShiftPreference[] = {0, 1, -1};

bool hasLength(CMTimeRange range) {
    return range.isValid() && range.duration > kCMTimeZero;
}

}  // namespace

std::shared_ptr<const MediaSyncIndex> MediaSyncIndex::indexWithMediaPool(const MediaPool& pool) {
    return std::make_shared<MediaSyncIndex>(pool.sortedFiles(), pool.earliestDate());
}

MediaSyncIndex::MediaSyncIndex(std::vector<std::shared_ptr<MediaFile>> sortedFiles,
                               std::optional<MetadataDate> earliestDate)
    : sortedFiles_(std::move(sortedFiles)), earliestDate_(earliestDate) {
    ranges_.reserve(sortedFiles_.size());
    for (size_t position = 0; position < sortedFiles_.size(); ++position) {
        const MediaFile& file = *sortedFiles_[position];
        positions_.emplace(&file, position);
        ranges_.push_back(file.syncTimeRange());
        if (hasLength(ranges_.back())) byStart_.push_back(position);
    }
    std::stable_sort(byStart_.begin(), byStart_.end(), [this](size_t lhs, size_t rhs) {
        return ranges_[lhs].start < ranges_[rhs].start;
    });
    buildSearchTree();
}

// Node n covers byStart_[first, last) and sits at index n of latestEnd_ (children 2n+1, 2n+2,
// split at the middle), holding the latest end of the ranges it covers.
void MediaSyncIndex::buildSearchTree() {
    if (byStart_.empty()) return;
    latestEnd_.assign(4 * byStart_.size(), kCMTimeInvalid);
    struct Builder {
        MediaSyncIndex& index;
        CMTime build(size_t node, size_t first, size_t last) {
            if (last - first == 1) {
                return index.latestEnd_[node] = index.ranges_[index.byStart_[first]].end();
            }
            const size_t middle = first + (last - first) / 2;
            const CMTime left = build(2 * node + 1, first, middle);
            const CMTime right = build(2 * node + 2, middle, last);
            return index.latestEnd_[node] = CMTimeMaximum(left, right);
        }
    };
    Builder{*this}.build(0, 0, byStart_.size());
}

// Collects the entries among byStart_[first, min(last, limit)) whose range ends after the
// range's start; `limit` excludes every entry that starts at or after the range's end.
void MediaSyncIndex::collectOverlaps(CMTimeRange range, size_t node, size_t first, size_t last,
                                     size_t limit, std::vector<size_t>& found) const {
    if (first >= limit || latestEnd_[node] <= range.start) return;
    if (last - first == 1) {
        found.push_back(byStart_[first]);
        return;
    }
    const size_t middle = first + (last - first) / 2;
    collectOverlaps(range, 2 * node + 1, first, middle, limit, found);
    collectOverlaps(range, 2 * node + 2, middle, last, limit, found);
}

std::optional<size_t> MediaSyncIndex::sortedPositionOfFile(const MediaFile& file) const {
    const auto found = positions_.find(&file);
    if (found == positions_.end()) return std::nullopt;
    return found->second;
}

CMTimeRange MediaSyncIndex::syncTimeRangeOfFile(const MediaFile& file) const {
    const std::optional<size_t> position = sortedPositionOfFile(file);
    return position ? ranges_[*position] : file.syncTimeRange();
}

std::vector<MediaSyncIndex::Overlap> MediaSyncIndex::filesOverlapping(CMTimeRange range) const {
    if (!hasLength(range) || byStart_.empty()) return {};
    // (position, preference rank of the shift, shift) of every hit.
    struct Hit {
        size_t position;
        size_t rank;
        int32_t shift;
    };
    std::vector<Hit> hits;
    std::vector<size_t> found;
    for (size_t rank = 0; rank < std::size(kDayShiftPreference); ++rank) {
        const int32_t shift = kDayShiftPreference[rank];
        // A file moved by `shift` days overlaps the range where the file overlaps the range
        // moved by −shift days.
        const CMTimeRange query = rangeShiftedByDays(range, -shift);
        const CMTime end = query.end();
        const auto limit =
            std::partition_point(byStart_.begin(), byStart_.end(),
                                 [&](size_t position) { return ranges_[position].start < end; });
        found.clear();
        collectOverlaps(query, 0, 0, byStart_.size(), size_t(limit - byStart_.begin()), found);
        for (const size_t position : found)
            hits.push_back({position, rank, shift});
    }
    std::sort(hits.begin(), hits.end(), [](const Hit& lhs, const Hit& rhs) {
        return lhs.position != rhs.position ? lhs.position < rhs.position : lhs.rank < rhs.rank;
    });
    std::vector<Overlap> overlaps;
    overlaps.reserve(hits.size());
    for (const Hit& hit : hits)
        if (overlaps.empty() || overlaps.back().sortedPosition != hit.position)
            overlaps.push_back({hit.position, hit.shift});
    return overlaps;
}

CMTimeRange MediaSyncIndex::rangeShiftedByDays(CMTimeRange range, int32_t days) {
    if (days == 0) return range;
    return {range.start + CMTimeMultiply(kDayLength, days), range.duration};
}

bool MediaSyncIndex::rangesOverlap(CMTimeRange lhs, CMTimeRange rhs) {
    const CMTimeRange overlap = CMTimeRangeGetIntersection(lhs, rhs);
    return overlap.isValid() && overlap.duration > kCMTimeZero;
}

std::optional<int32_t> MediaSyncIndex::syncDayShift(CMTimeRange range, CMTimeRange other) {
    if (!range.isValid() || !other.isValid()) return std::nullopt;
    for (const int32_t shift : kDayShiftPreference)
        if (rangesOverlap(range, rangeShiftedByDays(other, shift))) return shift;
    return std::nullopt;
}

}  // namespace vorlane
