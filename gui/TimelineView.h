// The timeline under the player: a lane per track of the playing composition with a box per
// segment (gaps stay empty), a timecode ruler on top, the track titles on the left and the play
// head across. Zooms (normal, to fit, in, out) and scrolls horizontally; clicking and dragging
// on the ruler or the lanes moves the play head and reports the position as a scrub: drag type
// 1 on press, 6 while moving, 2 on release. The arithmetic lives in TimelineGeometry and
// TimelineLanes; this widget paints and forwards.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/TimelineGeometry.h"
#include "app/TimelineLanes.h"

namespace vorlane {
class MediaComposition;
}

namespace vorlane::gui {

class TimelineView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // The drag types of trackViewPosition.
    enum DragType : int { DragStart = 1, DragEnd = 2, DragMove = 6 };

    explicit TimelineView(QWidget* parent = nullptr);

    // Shows the composition with the play head at 0 (nullptr: nothing).
    void showComposition(std::shared_ptr<MediaComposition> composition);
    void setPlayHead(double seconds);
    double playHead() const { return geometry_.playHead(); }

    // For tests and the window: what is shown and where.
    const std::shared_ptr<MediaComposition>& composition() const { return composition_; }
    const std::vector<TimelineLane>& lanes() const { return lanes_; }
    // Where a sync map's empty stretches were cut out (seconds).
    const std::vector<double>& cuts() const { return cuts_; }
    const TimelineGeometry& geometry() const { return geometry_; }
    // Widget coordinates of a composition time (at the lanes' area) and of a lane's middle.
    int xForTime(double seconds) const;
    int laneCenterY(size_t lane) const;
    QSize sizeHint() const override;

  public slots:
    void zoomNormal();
    void zoomToFit();
    void zoomIn();
    void zoomOut();

  signals:
    void trackViewPosition(double seconds, int dragType);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

  private:
    void layoutChanged();
    void updateScrollBars();
    int laneHeight(size_t lane) const;
    int laneTop(size_t lane) const;
    int lanesHeight() const;
    double timeAtX(int x) const;
    void scrub(int x, DragType type);
    const TimelineClip* clipAt(const QPoint& position) const;

    void paintLanes(QPainter& painter) const;
    void paintClips(QPainter& painter, const TimelineLane& lane, const QRect& laneRect) const;
    void paintCuts(QPainter& painter, const QRect& area) const;
    void paintRuler(QPainter& painter) const;
    // The composition's timecode text at a ruler tick.
    const QString& rulerLabel(double seconds) const;
    void paintTitles(QPainter& painter) const;
    void paintPlayHead(QPainter& painter) const;

    std::shared_ptr<MediaComposition> composition_;
    std::vector<TimelineLane> lanes_;
    std::vector<double> cuts_;
    mutable std::unordered_map<double, QString> rulerLabels_;
    TimelineGeometry geometry_;
    bool dragging_ = false;
    bool updatingScrollBars_ = false;
};

}  // namespace vorlane::gui
