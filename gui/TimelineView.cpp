#include "TimelineView.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "media/MediaTypes.h"
#include "sync/MediaComposition.h"
#include "sync/MediaLayoutComposition.h"

namespace vorlane::gui {

namespace {

constexpr int kRulerHeight = 26;
constexpr int kTitleWidth = 120;
constexpr int kLaneGap = 2;
constexpr int kMajorTickHeight = 10;
constexpr int kMinorTickHeight = 5;
constexpr int kMinMinorTickSpacing = 6;
// Clips narrower than this are drawn without a border, joined with their neighbours.
constexpr double kMinBoxWidth = 3.0;
// Clips narrower than this show no name.
constexpr double kMinNamedClipWidth = 24.0;
// A timescale at which frame boundaries of the usual rates (23.976 to 60, NTSC included) and
// sample positions of 48 kHz are whole numbers, so ruler labels never land one frame early.
constexpr CMTimeScale kRulerTimescale = 720000;
constexpr size_t kMaxCachedRulerLabels = 4096;

QColor clipColor(int32_t trackType) {
    switch (trackType) {
        case MediaTrackTypeVideo:
            return {72, 108, 168};
        case MediaTrackTypeAudio:
            return {58, 138, 92};
        default:
            return {140, 118, 60};
    }
}

}  // namespace

TimelineView::TimelineView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName("timelineView");
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(10);
    showComposition(nullptr);
}

QSize TimelineView::sizeHint() const {
    return {800, kRulerHeight + std::min(lanesHeight(), 200) + 2 * frameWidth() +
                     horizontalScrollBar()->sizeHint().height()};
}

// What is shown

void TimelineView::showComposition(std::shared_ptr<MediaComposition> composition) {
    composition_ = std::move(composition);
    lanes_ =
        composition_ ? TimelineLanes::ofComposition(*composition_) : std::vector<TimelineLane>();
    geometry_.setComposition(composition_ ? composition_->duration().seconds() : 0.0,
                             composition_ ? composition_->frameRate() : 0.0);
    const auto layout = std::dynamic_pointer_cast<MediaLayoutComposition>(composition_);
    rulerLabels_.clear();
    cuts_ = layout ? TimelineLanes::cutPositions(layout->cutRanges(), geometry_.duration())
                   : std::vector<double>();
    verticalScrollBar()->setValue(0);
    layoutChanged();
}

void TimelineView::setPlayHead(double seconds) {
    geometry_.setPlayHead(seconds, !dragging_);
    updateScrollBars();
    viewport()->update();
}

void TimelineView::zoomNormal() {
    geometry_.zoomNormal();
    layoutChanged();
}

void TimelineView::zoomToFit() {
    geometry_.zoomToFit();
    layoutChanged();
}

void TimelineView::zoomIn() {
    geometry_.zoomIn();
    layoutChanged();
}

void TimelineView::zoomOut() {
    geometry_.zoomOut();
    layoutChanged();
}

// Layout

int TimelineView::laneHeight(size_t lane) const {
    switch (lanes_[lane].trackType) {
        case MediaTrackTypeVideo:
            return 38;
        case MediaTrackTypeAudio:
            return 24;
        default:
            return 18;
    }
}

int TimelineView::laneTop(size_t lane) const {
    int top = kRulerHeight - verticalScrollBar()->value();
    for (size_t index = 0; index < lane; ++index)
        top += laneHeight(index) + kLaneGap;
    return top;
}

int TimelineView::lanesHeight() const {
    int height = 0;
    for (size_t lane = 0; lane < lanes_.size(); ++lane)
        height += laneHeight(lane) + kLaneGap;
    return height;
}

int TimelineView::xForTime(double seconds) const {
    return kTitleWidth + int(std::lround(geometry_.xForTime(seconds)));
}

int TimelineView::laneCenterY(size_t lane) const {
    return laneTop(lane) + laneHeight(lane) / 2;
}

double TimelineView::timeAtX(int x) const {
    return geometry_.timeForX(double(x - kTitleWidth));
}

void TimelineView::layoutChanged() {
    geometry_.setViewWidth(std::max(0, viewport()->width() - kTitleWidth));
    updateScrollBars();
    viewport()->update();
}

void TimelineView::updateScrollBars() {
    updatingScrollBars_ = true;
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, int(std::ceil(geometry_.maxScrollOffset())));
    horizontal->setPageStep(std::max(1, int(geometry_.viewWidth())));
    horizontal->setValue(int(std::lround(geometry_.scrollOffset())));
    QScrollBar* vertical = verticalScrollBar();
    const int lanesInView = std::max(0, viewport()->height() - kRulerHeight);
    vertical->setRange(0, std::max(0, lanesHeight() - lanesInView));
    vertical->setPageStep(std::max(1, lanesInView));
    updatingScrollBars_ = false;
}

void TimelineView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    layoutChanged();
}

void TimelineView::scrollContentsBy(int, int) {
    if (!updatingScrollBars_) geometry_.setScrollOffset(horizontalScrollBar()->value());
    viewport()->update();
}

// Painting

void TimelineView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    paintLanes(painter);
    paintRuler(painter);
    paintTitles(painter);
    paintPlayHead(painter);
}

void TimelineView::paintLanes(QPainter& painter) const {
    const QRect area(kTitleWidth, kRulerHeight, int(geometry_.viewWidth()),
                     viewport()->height() - kRulerHeight);
    painter.save();
    painter.setClipRect(area);
    for (size_t lane = 0; lane < lanes_.size(); ++lane) {
        const QRect laneRect(kTitleWidth, laneTop(lane), area.width(), laneHeight(lane));
        if (!laneRect.intersects(area)) continue;
        painter.fillRect(laneRect, lane % 2 ? palette().alternateBase() : palette().base());
        paintClips(painter, lanes_[lane], laneRect);
    }
    paintCuts(painter, area);
    painter.restore();
}

void TimelineView::paintCuts(QPainter& painter, const QRect& area) const {
    painter.setPen(QPen(palette().windowText().color(), 1, Qt::DashLine));
    const auto first = std::lower_bound(cuts_.begin(), cuts_.end(), geometry_.visibleStartTime());
    for (auto cut = first; cut != cuts_.end() && *cut <= geometry_.visibleEndTime(); ++cut)
        painter.drawLine(xForTime(*cut), area.top(), xForTime(*cut), area.bottom());
}

void TimelineView::paintClips(QPainter& painter, const TimelineLane& lane,
                              const QRect& laneRect) const {
    const auto [first, last] = TimelineLanes::clipsBetween(lane.clips, geometry_.visibleStartTime(),
                                                           geometry_.visibleEndTime());
    const QColor fill = clipColor(lane.trackType);
    painter.setPen(fill.darker(150));
    painter.setBrush(fill);
    const QFontMetrics metrics = fontMetrics();
    const double top = laneRect.top() + 2;
    const double height = laneRect.height() - 4;
    // Clips of a pixel or two (a zoomed-out day) that touch each other are filled as one run.
    double runLeft = 0.0;
    double runRight = -1.0e9;
    const auto fillRun = [&] {
        if (runRight > runLeft)
            painter.fillRect(QRectF(kTitleWidth + runLeft, top, runRight - runLeft, height),
                             fill.darker(120));
        runRight = -1.0e9;
    };
    for (size_t index = first; index < last; ++index) {
        const TimelineClip& clip = lane.clips[index];
        const double left = std::max(geometry_.xForTime(clip.start), -2.0);
        const double right = std::min(geometry_.xForTime(clip.end), geometry_.viewWidth() + 2.0);
        if (right - left < kMinBoxWidth) {
            if (left > runRight + 1.0) {
                fillRun();
                runLeft = left;
            }
            runRight = std::max(right, runLeft + 1.0);
            continue;
        }
        fillRun();
        const QRectF box(kTitleWidth + left, top, right - left, height);
        painter.drawRect(box);
        if (box.width() < kMinNamedClipWidth) continue;
        painter.save();
        painter.setPen(Qt::white);
        const QRectF text = box.adjusted(4, 0, -4, 0);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(QString::fromStdString(clip.name), Qt::ElideRight,
                                            int(text.width())));
        painter.restore();
    }
    fillRun();
}

void TimelineView::paintRuler(QPainter& painter) const {
    const QRect ruler(0, 0, viewport()->width(), kRulerHeight);
    painter.fillRect(ruler, palette().window());
    painter.setPen(palette().mid().color());
    painter.drawLine(0, kRulerHeight - 1, ruler.width(), kRulerHeight - 1);
    const QFontMetrics metrics = fontMetrics();
    const int labelWidth = metrics.horizontalAdvance("00:00:00:00") + 16;
    const auto spacing = geometry_.rulerSpacing(labelWidth, kMinMinorTickSpacing);

    painter.save();
    painter.setClipRect(kTitleWidth, 0, int(geometry_.viewWidth()), kRulerHeight);
    painter.setPen(palette().text().color());
    for (const double time : geometry_.tickTimes(spacing.minorStep))
        painter.drawLine(xForTime(time), kRulerHeight - kMinorTickHeight, xForTime(time),
                         kRulerHeight);
    for (const double time : geometry_.tickTimes(spacing.majorStep)) {
        const int x = xForTime(time);
        painter.drawLine(x, kRulerHeight - kMajorTickHeight, x, kRulerHeight);
        if (!composition_) continue;
        painter.drawText(QRect(x + 3, 0, labelWidth, kRulerHeight - kMinorTickHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, rulerLabel(time));
    }
    painter.restore();
}

const QString& TimelineView::rulerLabel(double seconds) const {
    // A day's map answers a label by looking through its tracks; a playing timeline repaints the
    // same few labels many times a second.
    if (rulerLabels_.size() > kMaxCachedRulerLabels) rulerLabels_.clear();
    auto [label, added] = rulerLabels_.try_emplace(seconds);
    if (added)
        label->second = QString::fromStdString(composition_->timeStringForCompositionTime(
            CMTimeMakeWithSeconds(seconds, kRulerTimescale)));
    return label->second;
}

void TimelineView::paintTitles(QPainter& painter) const {
    painter.fillRect(0, 0, kTitleWidth, viewport()->height(), palette().window());
    painter.setPen(palette().mid().color());
    painter.drawLine(kTitleWidth - 1, 0, kTitleWidth - 1, viewport()->height());
    painter.save();
    painter.setClipRect(0, kRulerHeight, kTitleWidth, viewport()->height() - kRulerHeight);
    painter.setPen(palette().windowText().color());
    for (size_t lane = 0; lane < lanes_.size(); ++lane)
        painter.drawText(QRect(6, laneTop(lane), kTitleWidth - 8, laneHeight(lane)),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(lanes_[lane].title));
    painter.restore();
}

void TimelineView::paintPlayHead(QPainter& painter) const {
    if (!composition_ || !geometry_.isTimeVisible(geometry_.playHead())) return;
    const int x = xForTime(geometry_.playHead());
    painter.setPen(QPen(QColor(220, 40, 40), 1));
    painter.drawLine(x, 0, x, viewport()->height());
    painter.setBrush(QColor(220, 40, 40));
    const QPoint head[] = {{x - 5, 0}, {x + 5, 0}, {x, 7}};
    painter.drawPolygon(head, 3);
}

// Scrubbing, wheel and tool tips

void TimelineView::scrub(int x, DragType type) {
    const double seconds = timeAtX(x);
    geometry_.setPlayHead(seconds, false);
    viewport()->update();
    emit trackViewPosition(seconds, type);
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
    const int x = int(event->position().x());
    if (event->button() != Qt::LeftButton || x < kTitleWidth) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    scrub(x, DragStart);
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) scrub(int(event->position().x()), DragMove);
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    scrub(int(event->position().x()), DragEnd);
    dragging_ = false;
}

void TimelineView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta > 0) zoomIn();
        if (delta < 0) zoomOut();
        event->accept();
        return;
    }
    // Without lanes to scroll through, the wheel scrolls in time.
    if (verticalScrollBar()->maximum() == 0 || (event->modifiers() & Qt::ShiftModifier)) {
        QApplication::sendEvent(horizontalScrollBar(), event);
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

const TimelineClip* TimelineView::clipAt(const QPoint& position) const {
    if (position.x() < kTitleWidth || position.y() < kRulerHeight) return nullptr;
    const double time = timeAtX(position.x());
    for (size_t lane = 0; lane < lanes_.size(); ++lane) {
        if (position.y() < laneTop(lane) || position.y() >= laneTop(lane) + laneHeight(lane))
            continue;
        const auto [first, last] = TimelineLanes::clipsBetween(lanes_[lane].clips, time, time);
        return first < lanes_[lane].clips.size() && lanes_[lane].clips[first].start <= time
                   ? &lanes_[lane].clips[first]
                   : nullptr;
    }
    return nullptr;
}

bool TimelineView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const TimelineClip* clip = clipAt(help->pos()))
            QToolTip::showText(help->globalPos(), QString::fromStdString(clip->toolTip),
                               viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace vorlane::gui
