// Random edit sequences checked tick by tick against a plain reference model: per tick of a
// track, which source track shows and which of its ticks. Edited tracks show earlier edited
// tracks too, so flattening is checked against the model as well.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "media/MediaTrack.h"

namespace vorlane {
namespace {

using Cell = std::pair<int, int64_t>;  // source track index and its tick
using Cells = std::vector<Cell>;
constexpr Cell kGap{-1, 0};
constexpr Cell kAbsent{-2, 0};  // before a track's first segment
constexpr int64_t kTicksPerSecond = 10, kFileTicks = 600;
constexpr int kFiles = 2, kTracks = 5;  // file tracks first, then edited tracks

int64_t ticksOf(CMTime time) {
    EXPECT_TRUE(time.isValid());
    EXPECT_EQ(time.value * kTicksPerSecond % time.timescale, 0) << time.description();
    return time.value * kTicksPerSecond / time.timescale;
}

bool inContent(const Cells& cells, int64_t tick) {
    return tick < int64_t(cells.size()) && cells[size_t(tick)] != kAbsent;
}

// Absent ticks only lead a track: behind content they are gaps; without content nothing is left.
void normalise(Cells& cells) {
    auto cell = std::find_if(cells.begin(), cells.end(), [](Cell c) { return c != kAbsent; });
    if (cell == cells.end()) return cells.clear();
    for (; cell != cells.end(); ++cell)
        if (*cell == kAbsent) *cell = kGap;
}

struct World {
    std::mt19937 random;
    std::vector<std::shared_ptr<MediaTrack>> tracks;
    std::vector<Cells> models{kTracks};  // edited tracks only
    std::string history;                 // for failure messages

    explicit World(unsigned seed) : random(seed) {
        for (int index = 0; index < kTracks; ++index) {
            tracks.push_back(std::make_shared<MediaTrack>(MediaTrackTypeAudio));
            if (index < kFiles) tracks.back()->setTimeRange({time(0), time(kFileTicks)});
            if (index < kFiles || pick(0, 2) == 0) continue;
            // One segment of an earlier track, possibly starting late.
            const int64_t source = pick(0, index - 1), at = pick(0, 5), length = pick(1, 20);
            tracks.back()->setSegments({MediaSegment::segmentWithTrack(
                tracks[size_t(source)], {time(0), time(length)}, {time(at), time(length)})});
            models[size_t(index)].assign(size_t(at), kAbsent);
            for (int64_t tick = 0; tick < length; ++tick)
                models[size_t(index)].push_back({int(source), tick});
        }
    }

    int64_t pick(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(random);
    }
    // The same instant at one of several timescales, so that the arithmetic mixes them.
    CMTime time(int64_t ticks) {
        const int64_t multiplier = std::array{1, 2, 3, 7}[size_t(pick(0, 3))];
        return CMTimeMake(ticks * multiplier, int32_t(kTicksPerSecond * multiplier));
    }

    void edit(int index) {
        MediaTrack& track = *tracks[size_t(index)];
        Cells& cells = models[size_t(index)];
        const int64_t kind = pick(0, 2), length = pick(0, 8),
                      at = pick(0, int64_t(cells.size()) + 4);
        const CMTimeRange range{time(at), time(length)};
        history += std::to_string(index) + ": " + std::to_string(kind) + " at " +
                   std::to_string(at) + " for " + std::to_string(length);
        if (kind == 0) {
            track.removeTimeRange(range);
            if (!inContent(cells, at)) return;
            cells.erase(cells.begin() + at,
                        cells.begin() + std::min(at + length, int64_t(cells.size())));
        } else if (kind == 1) {
            track.insertEmptyTimeRange(range);
            if (inContent(cells, at)) cells.insert(cells.begin() + at, size_t(length), kGap);
        } else {
            // Content of a file or an earlier edited track (also past its end), or a gap.
            const int source = int(pick(-1, index - 1));
            const int64_t from =
                pick(0, source < kFiles ? kFileTicks - length
                                        : int64_t(models[size_t(source)].size()) + 3);
            const bool gapWithoutStart = source < 0 && pick(0, 1) == 0;
            track.insertTimeRange({gapWithoutStart ? kCMTimeInvalid : time(from), time(length)},
                                  source < 0 ? nullptr : tracks[size_t(source)], time(at));
            history += " of " + std::to_string(source) + "@" + std::to_string(from);
            if (length == 0) return;
            if (at > int64_t(cells.size())) cells.resize(size_t(at), kGap);
            for (int64_t tick = length - 1; tick >= 0; --tick)
                cells.insert(cells.begin() + at, source < 0 ? kGap : Cell{source, from + tick});
        }
        normalise(cells);
        history += "\n";
    }

    // The cells of a segment list, checking the list's invariants on the way.
    Cells expand(const std::vector<MediaSegment>& segments) const {
        Cells cells;
        for (const MediaSegment& segment : segments) {
            const CMTimeMapping& mapping = segment.timeMapping();
            const int64_t start = ticksOf(mapping.target.start);
            const int64_t length = ticksOf(mapping.target.duration);
            if (cells.empty()) cells.assign(size_t(start), kAbsent);
            EXPECT_EQ(start, int64_t(cells.size())) << "targets must follow each other";
            EXPECT_GT(length, 0);
            EXPECT_TRUE(segment.isEmpty() || mapping.source.duration == mapping.target.duration);
            const auto source = std::find(tracks.begin(), tracks.end(), segment.sourceTrack());
            for (int64_t tick = 0; tick < length; ++tick)
                cells.push_back(segment.isEmpty() ? kGap
                                                  : Cell{int(source - tracks.begin()),
                                                         ticksOf(mapping.source.start) + tick});
        }
        return cells;
    }

    // What an edited track shows in terms of file tracks only.
    Cells resolve(int index) const {
        Cells cells = models[size_t(index)];
        for (Cell& cell : cells) {
            if (cell.first < kFiles) continue;
            const Cells shown = resolve(cell.first);
            cell = inContent(shown, cell.second) ? shown[size_t(cell.second)] : kGap;
        }
        return cells;
    }

    void check(int index) {
        const MediaTrack& track = *tracks[size_t(index)];
        const Cells& cells = models[size_t(index)];
        ASSERT_EQ(expand(track.segments()), cells) << "track " << index << "\n" << history;
        const bool content =
            std::any_of(cells.begin(), cells.end(), [](Cell c) { return c.first >= 0; });
        EXPECT_EQ(track.occupiedTimeRange().isValid(), content);
        EXPECT_TRUE(cells.empty() || ticksOf(track.timeRange().end()) == int64_t(cells.size()));
        const Cells flattened = expand(track.segmentsIncludingSubSegments());
        EXPECT_TRUE(std::all_of(flattened.begin(), flattened.end(),
                                [](Cell c) { return c.first < kFiles; }));
        EXPECT_EQ(flattened, resolve(index)) << "track " << index << "\n" << history;
        // A range called free never holds content.
        const int64_t at = pick(0, int64_t(cells.size()) + 2), length = pick(1, 6);
        if (!track.isTimeRangeFree({time(at), time(length)})) return;
        for (int64_t tick = at; tick < std::min(at + length, int64_t(cells.size())); ++tick)
            EXPECT_LT(cells[size_t(tick)].first, 0) << "free range over content at " << tick;
    }
};

TEST(MediaTrackEditModel, RandomEditsMatchTheModelAndFlattenToFileContent) {
    for (unsigned seed = 1; seed <= 250 && !testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        World world(seed);
        for (int step = 0; step < 40 && !testing::Test::HasFailure(); ++step) {
            world.edit(int(world.pick(kFiles, kTracks - 1)));
            for (int edited = kFiles; edited < kTracks; ++edited)
                world.check(edited);
        }
    }
}

}  // namespace
}  // namespace vorlane
