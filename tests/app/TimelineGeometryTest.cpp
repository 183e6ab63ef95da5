// The timeline's arithmetic: time and x map back and forth at every zoom, zooms keep the play
// head in place and stay within bounds, ruler labels never crowd, an empty composition is
// harmless, and the lanes of a synced clip leave its gaps empty.
#include <gtest/gtest.h>

#include <cmath>

#include "app/TimelineGeometry.h"
#include "app/TimelineLanes.h"
#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

// An hour at 25 fps in a view 1000 pixels wide.
TimelineGeometry hourLong() {
    TimelineGeometry geometry;
    geometry.setViewWidth(1000);
    geometry.setComposition(3600, 25);
    return geometry;
}

// Every zoom from fit to the closest, by zoom-in steps.
std::vector<double> zoomLevels(TimelineGeometry geometry) {
    std::vector<double> levels;
    geometry.zoomToFit();
    for (double previous = 0; geometry.pixelsPerSecond() != previous; geometry.zoomIn()) {
        previous = geometry.pixelsPerSecond();
        levels.push_back(previous);
    }
    return levels;
}

TEST(TimelineGeometryTest, TimeAndXMapBackAndForthAtEveryZoomAndScroll) {
    TimelineGeometry geometry = hourLong();
    const auto levels = zoomLevels(geometry);
    ASSERT_GT(levels.size(), 10u);
    EXPECT_DOUBLE_EQ(levels.front(), 1000.0 / 3600);
    EXPECT_DOUBLE_EQ(levels.back(), TimelineGeometry::kMaxPixelsPerFrame * 25);
    for (const double level : levels) {
        geometry.setPixelsPerSecond(level);
        for (const double scroll :
             {0.0, geometry.maxScrollOffset() / 3, geometry.maxScrollOffset()}) {
            geometry.setScrollOffset(scroll);
            for (const double time : {0.0, 0.04, 1799.96, 3599.5, 3600.0}) {
                EXPECT_NEAR(geometry.timeForX(geometry.xForTime(time)), time, 1e-9)
                    << level << " px/s, scrolled " << scroll;
                EXPECT_NEAR(geometry.xForTime(time), time * level - scroll, 1e-6);
            }
        }
        // Outside the composition the times stop at its ends.
        EXPECT_EQ(geometry.timeForX(-geometry.scrollOffset() - 50), 0.0);
        EXPECT_EQ(geometry.timeForX(geometry.contentWidth() + 50), 3600.0);
    }
}

TEST(TimelineGeometryTest, ZoomsKeepThePlayHeadInPlaceAndStayInBounds) {
    TimelineGeometry geometry = hourLong();
    geometry.zoomNormal();
    geometry.setScrollOffset(100 * 50 - 400);
    geometry.setPlayHead(100, false);
    ASSERT_DOUBLE_EQ(geometry.xForTime(100), 400);
    geometry.zoomIn();
    EXPECT_DOUBLE_EQ(geometry.pixelsPerSecond(), 100);
    EXPECT_NEAR(geometry.xForTime(100), 400, 1e-6);
    for (int step = 0; step < 40; ++step)
        geometry.zoomIn();
    EXPECT_DOUBLE_EQ(geometry.pixelsPerSecond(), geometry.maxPixelsPerSecond());
    EXPECT_NEAR(geometry.xForTime(100), 400, 1e-6);
    for (int step = 0; step < 40; ++step)
        geometry.zoomOut();
    EXPECT_LE(geometry.contentWidth(), geometry.viewWidth() + 1e-6);
    EXPECT_EQ(geometry.scrollOffset(), 0.0);

    // Fit follows the view's width; any other zoom ends fitting.
    geometry.zoomToFit();
    geometry.setViewWidth(1800);
    EXPECT_DOUBLE_EQ(geometry.pixelsPerSecond(), 0.5);
    geometry.zoomNormal();
    geometry.setViewWidth(900);
    EXPECT_DOUBLE_EQ(geometry.pixelsPerSecond(), TimelineGeometry::kNormalPixelsPerSecond);
}

TEST(TimelineGeometryTest, PlayHeadTurnsThePageOnlyWhenItRunsOutOfView) {
    TimelineGeometry geometry = hourLong();
    geometry.zoomNormal();  // 20 s in view
    geometry.setPlayHead(19, true);
    EXPECT_EQ(geometry.scrollOffset(), 0.0);
    geometry.setPlayHead(21, true);
    EXPECT_TRUE(geometry.isTimeVisible(21));
    EXPECT_LT(geometry.xForTime(21), geometry.viewWidth() / 4);
    // The user looks elsewhere: playing on does not pull the view back.
    geometry.setScrollOffset(100 * 50);
    geometry.setPlayHead(22, true);
    EXPECT_EQ(geometry.scrollOffset(), 100 * 50);
    EXPECT_EQ(geometry.playHead(), 22);
}

TEST(TimelineGeometryTest, RulerLabelsNeverCrowdAndTicksAreNotNeedlesslySparse) {
    const double label = 96;
    for (const double rate : {23.976, 25.0, 29.97, 60.0}) {
        TimelineGeometry geometry;
        geometry.setViewWidth(1200);
        geometry.setComposition(7 * 86400, rate);  // a week on consecutive days
        for (const double level : zoomLevels(geometry)) {
            for (const double zoom : {level, level * 1.37}) {
                geometry.setPixelsPerSecond(zoom);
                const double pixelsPerSecond = geometry.pixelsPerSecond();
                const auto spacing = geometry.rulerSpacing(label, 6);
                const double majorPixels = spacing.majorStep * pixelsPerSecond;
                EXPECT_GE(majorPixels, label) << rate << " fps, " << pixelsPerSecond << " px/s";
                if (spacing.majorStep > 1.0 / rate + 1e-9) {
                    EXPECT_LE(majorPixels, 2.5 * label + 1e-6) << rate << " fps";
                }
                if (spacing.minorStep > 0) {
                    EXPECT_GE(spacing.minorStep * pixelsPerSecond, 6.0);
                    const double parts = spacing.majorStep / spacing.minorStep;
                    EXPECT_NEAR(parts, std::round(parts), 1e-6);
                }
                const auto ticks = geometry.tickTimes(spacing.majorStep);
                ASSERT_FALSE(ticks.empty());
                EXPECT_LE(ticks.front(), geometry.visibleStartTime());
                EXPECT_LE(ticks.back(), geometry.visibleEndTime());
                EXPECT_LE(double(ticks.size()), geometry.viewWidth() / label + 2);
            }
        }
    }
}

TEST(TimelineGeometryTest, EmptyCompositionIsHarmless) {
    TimelineGeometry geometry;
    geometry.setViewWidth(800);
    geometry.setComposition(0, 0);
    EXPECT_EQ(geometry.frameRate(), TimelineGeometry::kDefaultFrameRate);
    geometry.zoomToFit();
    EXPECT_EQ(geometry.pixelsPerSecond(), TimelineGeometry::kNormalPixelsPerSecond);
    geometry.zoomIn();
    geometry.zoomOut();
    EXPECT_TRUE(std::isfinite(geometry.pixelsPerSecond()));
    EXPECT_EQ(geometry.maxScrollOffset(), 0.0);
    EXPECT_EQ(geometry.timeForX(500), 0.0);
    geometry.setPlayHead(10, true);
    EXPECT_EQ(geometry.playHead(), 0.0);
    EXPECT_EQ(geometry.tickTimes(geometry.rulerSpacing(96, 6).majorStep), std::vector<double>{0.0});
    geometry.setComposition(std::nan(""), -1);
    EXPECT_EQ(geometry.duration(), 0.0);
}

// Picture 10:00:00:00 for 60 s, the recorder's 10 s from 10:00:05:00: the sound lane holds one
// clip at 5 s and nothing else.
TEST(TimelineLanesTest, SyncedClipHasALanePerTrackAndEmptyGaps) {
    auto camera = test::makeCamera({.audioTracks = 0});
    auto recorder =
        test::makeRecorder({.startSample = test::samplesAt(10, 0, 5), .samples = 48000 * 10});
    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(
        camera, test::makePool({camera, recorder}), CompositionSettings{});
    clip->syncMedia();
    const auto lanes = TimelineLanes::ofComposition(*clip);
    ASSERT_EQ(lanes.size(), clip->tracks().size());
    ASSERT_GE(lanes.size(), 2u);
    EXPECT_EQ(lanes[0].title, "Video 1");
    ASSERT_EQ(lanes[0].clips.size(), 1u);
    EXPECT_EQ(lanes[0].clips[0].name, "A001C001.mov");
    EXPECT_DOUBLE_EQ(lanes[0].clips[0].end, 60.0);
    EXPECT_EQ(lanes[1].title, "Audio 1 (2 ch)");
    ASSERT_EQ(lanes[1].clips.size(), 1u);
    EXPECT_EQ(lanes[1].clips[0].name, "T001.wav");
    EXPECT_DOUBLE_EQ(lanes[1].clips[0].start, 5.0);
    EXPECT_DOUBLE_EQ(lanes[1].clips[0].end, 15.0);

    // The clips in view: touching a clip's end does not count, reaching into it does.
    const std::vector<TimelineClip> clips = {
        {0, 10, "a", ""}, {20, 30, "b", ""}, {30, 40, "c", ""}};
    using Range = std::pair<size_t, size_t>;
    EXPECT_EQ(TimelineLanes::clipsBetween(clips, 10, 20), Range(1, 1));
    EXPECT_EQ(TimelineLanes::clipsBetween(clips, 9.9, 20.1), Range(0, 2));
    EXPECT_EQ(TimelineLanes::clipsBetween(clips, 30, 30.5), Range(2, 3));
    EXPECT_EQ(TimelineLanes::clipsBetween(clips, 45, 90), Range(3, 3));
    EXPECT_EQ(TimelineLanes::clipsBetween({}, 0, 90), Range(0, 0));
}

// Three takes an hour apart: the map cuts the hours out, and the cuts lie where the second and
// third take begin.
TEST(TimelineLanesTest, SyncMapCutsLieWhereTheNextTakeBegins) {
    auto first = test::makeCamera({.name = "A.mov", .timecode = "10:00:00:00"});
    auto second = test::makeCamera({.name = "B.mov", .timecode = "11:00:00:00", .serial = "2"});
    auto third = test::makeRecorder(
        {.name = "C.wav", .startSample = test::samplesAt(12, 0, 0), .samples = 48000 * 30});
    auto map = MediaLayoutComposition::layoutCompositionWithName(
        "Layout", test::makePool({first, second, third}, true), CompositionSettings{});
    map->createLayout();
    const double duration = map->duration().seconds();
    ASSERT_DOUBLE_EQ(duration, 150.0);
    ASSERT_EQ(map->cutRanges().size(), 3u);  // before the first take, then between the takes
    std::vector<double> takeStarts;
    for (const auto& lane : TimelineLanes::ofComposition(*map))
        for (const auto& clip : lane.clips)
            if (clip.start > 0) takeStarts.push_back(clip.start);
    std::sort(takeStarts.begin(), takeStarts.end());
    takeStarts.erase(std::unique(takeStarts.begin(), takeStarts.end()), takeStarts.end());
    EXPECT_EQ(TimelineLanes::cutPositions(map->cutRanges(), duration), takeStarts);
    EXPECT_EQ(takeStarts, (std::vector<double>{60.0, 120.0}));
}

}  // namespace
}  // namespace vorlane
