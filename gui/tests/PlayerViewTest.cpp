// The player in the window, without a display or a sound card: a double click on a camera row
// shows its synced clip, the timecode text follows frame steps and seeks, the meters read the
// clip's sound, and without a sound device the picture plays alone on the wall clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include "FileListModel.h"
#include "LevelMeter.h"
#include "PlayerView.h"
#include "StudioTestSupport.h"
#include "TimelineView.h"
#include "mediagen/DemoShoot.h"
#include "sync/MediaComposition.h"

namespace vorlane::gui {
namespace {

// Frames since midnight of the player's timecode text, read by the generator's own parser.
int64_t framesOfText(const QString& text) {
    const auto label = mediagen::Timecode::parse(text.toStdString());
    if (!label) return -1;
    return mediagen::frameNumber(*label, mediagen::demoShootRate).value_or(-1);
}

// The mean brightness (0-255) of a picture.
double meanGray(const QImage& image) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4, ++count)
            sum += qGray(image.pixel(x, y));
    return count ? sum / count : 0;
}

class PlayerViewTest : public StudioTest {
  protected:
    // Double-clicks the camera file's row and waits for its first picture.
    void playCameraClip(const QString& name) {
        QTableView& table = window->table();
        const QAbstractItemModel& rows = *table.model();
        QModelIndex index;
        for (int row = 0; row < rows.rowCount() && !index.isValid(); ++row)
            if (rows.index(row, FileListModel::NameColumn).data().toString() == name)
                index = rows.index(row, FileListModel::NameColumn);
        ASSERT_TRUE(index.isValid()) << name.toStdString();
        table.scrollTo(index);
        const QPoint center = table.visualRect(index).center();
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, center);
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, center);
        composition = window->controller().playingComposition();
        ASSERT_TRUE(composition);
        ASSERT_NE(composition->tracks().size(), 0u);
    }
    // Frames since midnight of the text at composition time zero.
    int64_t startFrames() {
        QTest::keyClick(&view(), Qt::Key_K);
        player().seekToTime(kCMTimeZero);
        return framesOfText(view().timecodeText());
    }
    // Composition seconds of the demo shoot's first clap.
    double clapSeconds(int64_t start) {
        const auto clap = mediagen::Timecode::parse("10:00:05:00");
        return double(*mediagen::frameNumber(*clap, mediagen::demoShootRate) - start) / 25.0;
    }
    void dragOnTimeline(QEvent::Type type, double seconds, Qt::MouseButtons buttons) {
        TimelineView& timeline = window->timelineView();
        QWidget* viewport = timeline.viewport();
        const QPointF at(timeline.xForTime(seconds), timeline.laneCenterY(0));
        ASSERT_LT(at.x(), viewport->width());
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    bool pictureSettled() { return player().frameDue() && !player().seekInFlight(); }
    PlayerView& view() { return window->playerView(); }
    PreviewPlayerController& player() { return window->controller().player(); }
    QString textAt(CMTime time) const {
        return QString::fromStdString(composition->timeStringForCompositionTime(time));
    }

    std::shared_ptr<MediaComposition> composition;
};

TEST_F(PlayerViewTest, DoubleClickShowsTheSyncedClipAndTheTimecodeFollowsStepsAndSeeks) {
    loadShoot();
    playCameraClip("A001_C001.mov");
    // Set up at zero; the text is the composition's timecode there.
    EXPECT_EQ(view().timecodeText(), textAt(kCMTimeZero));
    const int64_t start = startFrames();
    ASSERT_GT(start, 0) << view().timecodeText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !view().picture().isNull(); }, 20000));
    const QImage first = view().picture();
    EXPECT_GT(meanGray(first), 5.0);  // the camera's picture, not black
    // Scaled to fit with the camera's 16:9 kept.
    EXPECT_NEAR(double(first.width()) / first.height(), 16.0 / 9.0, 0.02);

    // The arrow steps one frame: the text and the picture advance.
    QTest::keyClick(&view(), Qt::Key_Right);
    EXPECT_EQ(framesOfText(view().timecodeText()), start + 1);
    EXPECT_TRUE(waitUntil([&] { return view().picture() != first; }, 20000));
    QTest::keyClick(&view(), Qt::Key_Left);
    EXPECT_EQ(framesOfText(view().timecodeText()), start);

    // A seek through the controller to the clap the generator put at 10:00:05:00: the text
    // says so and the picture is the clap's white frame; the frame before it is not.
    const auto clap = int64_t(clapSeconds(start) * 25);
    ASSERT_GT(clap, 0);
    player().seekToTime(CMTimeMake(clap - 1, 25));
    EXPECT_EQ(framesOfText(view().timecodeText()), start + clap - 1);
    ASSERT_TRUE(waitUntil([&] { return pictureSettled(); }, 20000));
    waitUntil([] { return false; }, 100);
    EXPECT_LT(meanGray(view().picture()), 200.0);
    player().seekToTime(CMTimeMake(clap, 25));
    EXPECT_EQ(view().timecodeText(), "10:00:05:00");
    ASSERT_TRUE(waitUntil([&] { return pictureSettled(); }, 20000));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(view().timecodeText(), "10:00:05:00");  // paused: the observer agrees
    EXPECT_GT(meanGray(view().picture()), 200.0);
}

TEST_F(PlayerViewTest, PlaysWithMetersAndWithoutASoundDeviceOnTheWallClock) {
    loadShoot();
    playCameraClip("A001_C001.mov");
    if (!view().audible()) {
        EXPECT_TRUE(window->statusBar()->currentMessage().contains("playing picture only"));
    }
    // Playing (muted for the first 10/12 s), the clock runs and the meters read the clip's
    // sound on every channel it has.
    double loudest = LevelMeter::kFloorDecibels;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (int channel = 0; channel < view().meter().channelCount(); ++channel)
                loudest = std::max(loudest, view().meter().heldPeakDecibels(channel));
            return CMTimeGetSeconds(player().currentTime()) > 2.0;
        },
        30000));
    EXPECT_FALSE(player().muted());
    EXPECT_EQ(view().meter().channelCount(), player().channelCount());
    EXPECT_GT(loudest, -40.0);  // the scratch and recorder sound peak near -20 dBFS
    // Space pauses, and the clock stands once a device has played out what it was given.
    QTest::keyClick(&view(), Qt::Key_Space);
    waitUntil([] { return false; }, 300);
    const CMTime paused = player().currentTime();
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(player().currentTime(), paused);
    EXPECT_TRUE(player().muted());

    // The sync map of the day goes into the same player, paused, with its first picture.
    window->showSyncMap();
    EXPECT_TRUE(player().playable());
    EXPECT_EQ(player().rate(), 0);
    EXPECT_TRUE(waitUntil([&] { return !view().picture().isNull(); }, 20000));
}

TEST_F(PlayerViewTest, DraggingOnTheTimelineSeeksAndThePlayHeadAndTimecodeFollow) {
    loadShoot();
    playCameraClip("A001_C001.mov");
    const double clap = clapSeconds(startFrames());
    QTest::keyClick(&view(), Qt::Key_Space);  // playing while the drag starts
    TimelineView& timeline = window->timelineView();
    timeline.zoomIn();  // finer than a frame per pixel

    // Held on the clap (half a frame into it): paused there, the play head stays with the mouse
    // while the observer runs, the text reads the clap and the picture is its white frame.
    const double onClap = clap + 0.02;
    dragOnTimeline(QEvent::MouseButtonPress, 1.0, Qt::LeftButton);
    dragOnTimeline(QEvent::MouseMove, 2.0, Qt::LeftButton);
    dragOnTimeline(QEvent::MouseMove, onClap, Qt::LeftButton);
    EXPECT_TRUE(player().scrubbing());
    EXPECT_EQ(player().rate(), 0);
    ASSERT_TRUE(waitUntil([&] { return pictureSettled(); }, 20000));
    waitUntil([] { return false; }, 300);
    const double resolution = 1.0 / timeline.geometry().pixelsPerSecond();
    EXPECT_NEAR(timeline.playHead(), onClap, resolution);
    EXPECT_EQ(view().timecodeText(), "10:00:05:00");
    EXPECT_GT(meanGray(view().picture()), 200.0);

    // Released: playing again from there, and the play head moves on with the player.
    dragOnTimeline(QEvent::MouseButtonRelease, onClap, Qt::NoButton);
    EXPECT_FALSE(player().scrubbing());
    EXPECT_EQ(player().rate(), 1);
    ASSERT_TRUE(waitUntil([&] { return timeline.playHead() > onClap + 0.5; }, 30000));
    EXPECT_GE(framesOfText(view().timecodeText()), framesOfText("10:00:05:00") + 12);
}

}  // namespace
}  // namespace vorlane::gui
