// Random edit sequences on tracks, checked tick by tick against a plain reference model: an
// array saying, for every tick of the track, which source track shows and which of its ticks.
// Edited tracks may show other edited tracks, so flattening is checked against the model too.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "media/MediaObject.h"

namespace vorlane {
namespace {

constexpr int64_t kTicksPerSecond = 10;
constexpr int kGap = -1;
constexpr int kAbsent = -2;  // before the track's first segment
constexpr int64_t kFileTicks = 600;
constexpr int kFileCount = 2;
constexpr int kTrackCount =
    5;  // two file tracks, then three edited tracks, each may show earlier ones

struct Cell {
    int source = kGap;
    int64_t tick = 0;
    bool operator==(const Cell&) const = default;
};
using Cells = std::vector<Cell>;

void PrintTo(const Cell& cell, std::ostream* out) {
    if (cell.source == kGap)
        *out << "-";
    else if (cell.source == kAbsent)
        *out << ".";
    else
        *out << cell.source << "@" << cell.tick;
}

class Composition : public MediaObject {
  public:
    bool isComposition() const override { return true; }
};

int64_t ticksOf(CMTime time) {
    EXPECT_TRUE(time.isValid());
    const int64_t scaled = time.value * kTicksPerSecond;  // small values only
    EXPECT_EQ(scaled % time.timescale, 0) << time.description();
    return int64_t(scaled / time.timescale);
}

// Absent ticks only lead a track: behind content they are gaps; without content nothing is left.
void normalise(Cells& cells) {
    const auto content = std::find_if(cells.begin(), cells.end(),
                                      [](const Cell& cell) { return cell.source != kAbsent; });
    if (content == cells.end()) return cells.clear();
    for (auto cell = content; cell != cells.end(); ++cell)
        if (cell->source == kAbsent) cell->source = kGap;
}

bool inContent(const Cells& cells, int64_t tick) {
    return tick < int64_t(cells.size()) && cells[size_t(tick)].source != kAbsent;
}

struct World {
    std::mt19937 random;
    std::shared_ptr<MediaObject> files = std::make_shared<MediaObject>();
    std::shared_ptr<MediaObject> composition = std::make_shared<Composition>();
    std::vector<std::shared_ptr<MediaTrack>> tracks;
    std::map<int, Cells> models;  // edited tracks only
    std::string history;          // the operations so far, for failure messages

    explicit World(unsigned seed) : random(seed) {
        for (int index = 0; index < kTrackCount; ++index) {
            auto& owner = index < kFileCount ? files : composition;
            tracks.push_back(owner->addTrackWithMediaType(MediaTrackTypeAudio, 0));
            if (index < kFileCount) tracks.back()->setTimeRange({time(0), time(kFileTicks)});
        }
        for (int index = kFileCount; index < kTrackCount; ++index)
            start(index);
    }

    int64_t pick(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(random);
    }
    // The same instant at one of several timescales, so that the arithmetic mixes them.
    CMTime time(int64_t ticks) {
        static constexpr int64_t multipliers[] = {1, 2, 3, 7};
        const int64_t multiplier = multipliers[pick(0, 3)];
        return CMTimeMake(ticks * multiplier, int32_t(kTicksPerSecond * multiplier));
    }
    int indexOf(const std::shared_ptr<MediaTrack>& track) const {
        return int(std::find(tracks.begin(), tracks.end(), track) - tracks.begin());
    }
    int64_t length(int index) const {
        return index < kFileCount ? kFileTicks : int64_t(models.at(index).size());
    }

    // Empty, or one segment of an earlier track placed at or after zero.
    void start(int index) {
        Cells& cells = models[index];
        if (pick(0, 2) == 0) return;
        const int source = int(pick(0, index - 1));
        const int64_t at = pick(0, 5), duration = pick(1, 20), from = pick(0, 20);
        tracks[size_t(index)]->setSegments({MediaSegment::segmentWithTrack(
            tracks[size_t(source)], {time(from), time(duration)}, {time(at), time(duration)})});
        cells.assign(size_t(at), Cell{kAbsent, 0});
        for (int64_t tick = 0; tick < duration; ++tick)
            cells.push_back({source, from + tick});
    }

    void insertContent(int index) {
        MediaTrack& track = *tracks[size_t(index)];
        Cells& cells = models[index];
        const int64_t duration = pick(0, 8), at = pick(0, int64_t(cells.size()) + 5);
        const int source = int(pick(-1, index - 1));
        const int64_t from =
            source < kFileCount ? pick(0, kFileTicks - duration) : pick(0, length(source) + 3);
        const bool invalidStart = source < 0 && pick(0, 1) == 0;
        const CMTimeRange range{invalidStart ? kCMTimeInvalid : time(from), time(duration)};
        track.insertTimeRange(range, source < 0 ? nullptr : tracks[size_t(source)], time(at));
        note(index, "insert", at, duration, source, from);
        if (duration == 0) return;
        Cells inserted;
        for (int64_t tick = 0; tick < duration; ++tick)
            inserted.push_back(source < 0 ? Cell{kGap, 0} : Cell{source, from + tick});
        if (at > int64_t(cells.size())) cells.resize(size_t(at), Cell{kGap, 0});
        cells.insert(cells.begin() + at, inserted.begin(), inserted.end());
        normalise(cells);
    }

    void insertGap(int index) {
        Cells& cells = models[index];
        const int64_t duration = pick(0, 6), at = pick(0, int64_t(cells.size()) + 3);
        tracks[size_t(index)]->insertEmptyTimeRange({time(at), time(duration)});
        note(index, "gap", at, duration);
        if (inContent(cells, at)) cells.insert(cells.begin() + at, size_t(duration), Cell{kGap, 0});
    }

    void remove(int index) {
        Cells& cells = models[index];
        const int64_t duration = pick(0, 10), at = pick(0, int64_t(cells.size()) + 2);
        tracks[size_t(index)]->removeTimeRange({time(at), time(duration)});
        note(index, "remove", at, duration);
        if (!inContent(cells, at)) return;
        cells.erase(cells.begin() + at,
                    cells.begin() + std::min<int64_t>(at + duration, int64_t(cells.size())));
        normalise(cells);
    }

    void note(int index, const char* what, int64_t at, int64_t duration, int source = 0,
              int64_t from = 0) {
        history += "track " + std::to_string(index) + " " + what + " at " + std::to_string(at) +
                   " for " + std::to_string(duration) + " of " + std::to_string(source) + "@" +
                   std::to_string(from) + "\n";
    }

    // The cells of a segment list, checking the list's invariants on the way.
    Cells expand(const std::vector<MediaSegment>& segments) const {
        Cells cells;
        for (const MediaSegment& segment : segments) {
            const CMTimeMapping& mapping = segment.timeMapping();
            const int64_t start = ticksOf(mapping.target.start);
            const int64_t duration = ticksOf(mapping.target.duration);
            if (cells.empty()) cells.assign(size_t(start), Cell{kAbsent, 0});
            EXPECT_EQ(start, int64_t(cells.size())) << "targets must follow each other";
            EXPECT_GT(duration, 0) << "no zero-length segments";
            if (segment.isEmpty()) {
                cells.insert(cells.end(), size_t(std::max<int64_t>(duration, 0)), Cell{kGap, 0});
                continue;
            }
            EXPECT_EQ(mapping.source.duration, mapping.target.duration);
            const int source = indexOf(segment.sourceTrack());
            const int64_t from = ticksOf(mapping.source.start);
            for (int64_t tick = 0; tick < duration; ++tick)
                cells.push_back({source, from + tick});
        }
        return cells;
    }

    // What an edited track shows in terms of file tracks only.
    Cells resolve(int index) const {
        Cells cells = models.at(index);
        for (Cell& cell : cells) {
            if (cell.source < kFileCount) continue;
            const Cells shown = resolve(cell.source);
            const bool covered = inContent(shown, cell.tick);
            cell = covered ? shown[size_t(cell.tick)] : Cell{kGap, 0};
        }
        return cells;
    }

    void check(int index) const {
        const MediaTrack& track = *tracks[size_t(index)];
        const Cells& cells = models.at(index);
        ASSERT_EQ(expand(track.segments()), cells) << "track " << index << "\n" << history;
        const auto content = std::find_if(cells.begin(), cells.end(),
                                          [](const Cell& cell) { return cell.source >= 0; });
        EXPECT_EQ(track.occupiedTimeRange().isValid(), content != cells.end());
        if (!cells.empty()) {
            EXPECT_EQ(ticksOf(track.timeRange().end()), int64_t(cells.size()));
        }
        const Cells flattened = expand(track.segmentsIncludingSubSegments());
        EXPECT_TRUE(std::all_of(flattened.begin(), flattened.end(),
                                [](const Cell& cell) { return cell.source < kFileCount; }));
        EXPECT_EQ(flattened, resolve(index));
    }

    // A range the track calls free never holds content.
    void checkFreeRange(int index) {
        const Cells& cells = models[index];
        const int64_t at = pick(0, int64_t(cells.size()) + 2), duration = pick(1, 6);
        if (!tracks[size_t(index)]->isTimeRangeFree({time(at), time(duration)})) return;
        for (int64_t tick = at; tick < std::min<int64_t>(at + duration, int64_t(cells.size()));
             ++tick)
            EXPECT_LT(cells[size_t(tick)].source, 0) << "free range over content at " << tick;
    }
};

TEST(MediaTrackEditModel, RandomEditsMatchTheModelAndFlattenToFileContent) {
    for (unsigned seed = 1; seed <= 250; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        World world(seed);
        for (int step = 0; step < 40 && !testing::Test::HasFailure(); ++step) {
            const int index = int(world.pick(kFileCount, kTrackCount - 1));
            switch (world.pick(0, 2)) {
                case 0:
                    world.insertContent(index);
                    break;
                case 1:
                    world.insertGap(index);
                    break;
                default:
                    world.remove(index);
                    break;
            }
            world.checkFreeRange(index);
            for (int edited = kFileCount; edited < kTrackCount; ++edited)
                world.check(edited);
        }
        if (testing::Test::HasFailure()) return;
    }
}

}  // namespace
}  // namespace vorlane
