// The timeline under the player, without a display: a double-clicked camera clip and the day's
// sync map of the demo shoot laid out where the shoot's plan puts the files, gaps left empty,
// and scrubbing by mouse.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "FileListModel.h"
#include "StudioTestSupport.h"
#include "TimelineView.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "mediagen/DemoShoot.h"
#include "sync/MediaComposition.h"

namespace vorlane::gui {
namespace {

constexpr double kFrame = 1.0 / 25;

double planSeconds(const mediagen::DemoFile& file) {
    return double(mediagen::frameNumber(file.start, mediagen::demoShootRate).value_or(0)) * kFrame;
}

// Where each file's clips start on the timeline, by file name.
std::multimap<std::string, const TimelineClip*> clipsByName(const TimelineView& timeline,
                                                            int32_t trackType) {
    std::multimap<std::string, const TimelineClip*> clips;
    for (const TimelineLane& lane : timeline.lanes())
        if (lane.trackType == trackType)
            for (const TimelineClip& clip : lane.clips)
                clips.emplace(clip.name, &clip);
    return clips;
}

class TimelineViewTest : public StudioTest {
  protected:
    void doubleClickRow(const QString& name) {
        QAbstractItemModel* model = window->table().model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, FileListModel::NameColumn);
            if (model->data(index).toString() != name) continue;
            emit window->table().doubleClicked(index);
            return;
        }
        FAIL() << "no row " << name.toStdString();
    }
    void mouse(QEvent::Type type, int x, int y, Qt::MouseButtons buttons) {
        QWidget* viewport = window->timelineView().viewport();
        QMouseEvent event(type, QPointF(x, y), viewport->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    QRgb pixelAt(double seconds, size_t lane) {
        TimelineView& timeline = window->timelineView();
        const QImage image = timeline.viewport()->grab().toImage();
        return image.pixel(timeline.xForTime(seconds), timeline.laneCenterY(lane));
    }
};

TEST_F(TimelineViewTest, DoubleClickedCameraClipShowsItsTracksWhereThePlanPutsThem) {
    loadShoot();
    doubleClickRow("A001_C001.mov");
    TimelineView& timeline = window->timelineView();
    const auto composition = window->controller().playingComposition();
    ASSERT_TRUE(composition);
    ASSERT_EQ(timeline.composition(), composition);
    EXPECT_EQ(timeline.playHead(), 0.0);

    // A lane per track, with a clip per segment that has material.
    ASSERT_EQ(timeline.lanes().size(), composition->tracks().size());
    for (size_t index = 0; index < timeline.lanes().size(); ++index) {
        const MediaTrack& track = *composition->tracks()[index];
        EXPECT_EQ(timeline.lanes()[index].trackType, track.type());
        size_t material = 0;
        for (const MediaSegment& segment : track.segments())
            material += segment.isEmpty() ? 0 : 1;
        EXPECT_EQ(timeline.lanes()[index].clips.size(), material) << index;
    }

    // The camera's picture and the recorder's take lie as far apart as their timecodes, and
    // only files of that take are on the timeline.
    const auto plan = mediagen::demoShootPlan(*shoot);
    std::map<std::string, double> planStart;
    for (const auto& file : plan.files)
        planStart[file.name] = planSeconds(file);
    const auto pictures = clipsByName(timeline, MediaTrackTypeVideo);
    const auto sounds = clipsByName(timeline, MediaTrackTypeAudio);
    ASSERT_EQ(pictures.count("A001_C001.mov"), 1u);
    ASSERT_EQ(sounds.count("SC12_T01.WAV"), 1u);
    const TimelineClip& camera = *pictures.find("A001_C001.mov")->second;
    EXPECT_NEAR(camera.end - camera.start, 10.0, kFrame);
    std::set<std::string> names;
    for (const auto& shown : {pictures, sounds})
        for (const auto& [name, clip] : shown) {
            names.insert(name);
            ASSERT_TRUE(planStart.count(name)) << name;
            const double expected = camera.start + planStart[name] - planStart["A001_C001.mov"];
            EXPECT_NEAR(clip->start, std::max(expected, 0.0), kFrame) << name;
        }
    EXPECT_EQ(names, (std::set<std::string>{"A001_C001.mov", "B_0001.mp4", "SC12_T01.WAV"}));

    // The second camera starts 1.4 s into the clip: its lane is empty before.
    size_t secondCamera = 0;
    while (secondCamera < timeline.lanes().size() &&
           (timeline.lanes()[secondCamera].clips.empty() ||
            timeline.lanes()[secondCamera].clips[0].name != "B_0001.mp4"))
        ++secondCamera;
    ASSERT_LT(secondCamera, timeline.lanes().size());
    const TimelineClip& cameraB = timeline.lanes()[secondCamera].clips[0];
    const QRgb gap = pixelAt(cameraB.start / 2, secondCamera);
    const QRgb material = pixelAt(cameraB.end - 0.2, secondCamera);
    EXPECT_TRUE(gap == timeline.palette().base().color().rgb() ||
                gap == timeline.palette().alternateBase().color().rgb());
    EXPECT_NE(material, gap);
}

TEST_F(TimelineViewTest, PressDragReleaseScrubsAndMovesThePlayHead) {
    loadShoot();
    doubleClickRow("A001_C001.mov");
    TimelineView& timeline = window->timelineView();
    std::vector<std::pair<double, int>> reported;
    QObject::connect(&timeline, &TimelineView::trackViewPosition,
                     [&](double seconds, int type) { reported.emplace_back(seconds, type); });
    const int y = timeline.laneCenterY(0);
    const double resolution = 1.0 / timeline.geometry().pixelsPerSecond();

    // The lane titles are no place to scrub.
    mouse(QEvent::MouseButtonPress, 5, y, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 5, y, Qt::NoButton);
    EXPECT_TRUE(reported.empty());

    mouse(QEvent::MouseButtonPress, timeline.xForTime(2.0), y, Qt::LeftButton);
    mouse(QEvent::MouseMove, timeline.xForTime(3.0), y, Qt::LeftButton);
    mouse(QEvent::MouseMove, timeline.xForTime(4.5), y, Qt::LeftButton);
    EXPECT_NEAR(timeline.playHead(), 4.5, resolution);
    // Past the end the position stays at the composition's end.
    mouse(QEvent::MouseMove, timeline.viewport()->width() + 400, y, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, timeline.xForTime(5.0), y, Qt::NoButton);

    const double end = timeline.geometry().duration();
    const std::vector<std::pair<double, int>> expected = {
        {2.0, 1}, {3.0, 6}, {4.5, 6}, {end, 6}, {5.0, 2}};
    ASSERT_EQ(reported.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        EXPECT_NEAR(reported[index].first, expected[index].first, resolution) << index;
        EXPECT_EQ(reported[index].second, expected[index].second) << index;
    }
    EXPECT_NEAR(timeline.playHead(), 5.0, resolution);
}

TEST_F(TimelineViewTest, SyncMapShowsEveryFileOfTheDayInTimecodeOrder) {
    loadShoot();
    window->showSyncMap();
    TimelineView& timeline = window->timelineView();
    ASSERT_TRUE(timeline.composition());
    EXPECT_EQ(timeline.composition()->name(), "Layout");

    // One clip per placed file: pictures on video lanes, sound files on audio lanes.
    const auto plan = mediagen::demoShootPlan(*shoot);
    const auto pictures = clipsByName(timeline, MediaTrackTypeVideo);
    const auto sounds = clipsByName(timeline, MediaTrackTypeAudio);
    std::vector<std::pair<double, double>> startsByTimecode;  // (plan start, timeline start)
    for (const auto& file : plan.files) {
        const auto& lanes = file.hasPicture() ? pictures : sounds;
        ASSERT_EQ(lanes.count(file.name), 1u) << file.name;
        startsByTimecode.emplace_back(planSeconds(file), lanes.find(file.name)->second->start);
    }
    // The gaps between takes are cut, so the files keep their order, and within a take their
    // distance.
    std::sort(startsByTimecode.begin(), startsByTimecode.end());
    for (size_t index = 1; index < startsByTimecode.size(); ++index)
        EXPECT_LE(startsByTimecode[index - 1].second, startsByTimecode[index].second) << index;
    EXPECT_NEAR(
        pictures.find("B_0001.mp4")->second->start - sounds.find("SC12_T01.WAV")->second->start,
        3.4, kFrame);
    EXPECT_LT(timeline.geometry().duration(),
              startsByTimecode.back().first - startsByTimecode.front().first);
    // The cuts lie where the second and third take begin (their sound rolled first).
    EXPECT_EQ(timeline.cuts().size(), 2u);
    for (const char* takeStart : {"SC12_T02.WAV", "SC14_T01_1.WAV"}) {
        const double start = sounds.find(takeStart)->second->start;
        EXPECT_TRUE(std::any_of(timeline.cuts().begin(), timeline.cuts().end(),
                                [&](double cut) { return std::abs(cut - start) < kFrame; }))
            << takeStart << " at " << start;
    }

    // Fit shows the whole day; zooming in scrolls.
    timeline.zoomToFit();
    EXPECT_LE(timeline.xForTime(timeline.geometry().duration()), timeline.viewport()->width() + 1);
    timeline.zoomIn();
    timeline.zoomIn();
    EXPECT_GT(timeline.geometry().maxScrollOffset(), 0.0);
}

}  // namespace
}  // namespace vorlane::gui
