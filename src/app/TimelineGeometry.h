// Where things sit on the timeline view, without any drawing: the mapping between composition
// time (seconds) and the x position in the lanes' area, the zoom (pixels per second) with its
// normal, fit, in and out steps, the horizontal scroll position, the play head, and the ruler's
// tick spacing for the current zoom. The view paints what these answers say and forwards the
// mouse; everything here is plain arithmetic that tests can check without a display.
//
// x is measured in pixels from the left edge of the visible lanes' area; x = 0 is the time at the
// scroll offset. Times are clamped to the composition, 0 to its duration.
#pragma once

#include <vector>

namespace vorlane {

class TimelineGeometry {
  public:
    // Zoom normal: one second spans this many pixels.
    static constexpr double kNormalPixelsPerSecond = 50.0;
    // Zoom in and out multiply and divide by this.
    static constexpr double kZoomFactor = 2.0;
    // The closest zoom: one frame spans this many pixels.
    static constexpr double kMaxPixelsPerFrame = 120.0;
    // The scrolled width stays below this (scroll bars count in int).
    static constexpr double kMaxContentWidth = 1.0e9;
    // The frame rate assumed when a composition has none.
    static constexpr double kDefaultFrameRate = 25.0;

    struct RulerSpacing {
        double majorStep = 1.0;  // seconds between labelled ticks
        double minorStep = 0.0;  // seconds between unlabelled ticks; 0: none
    };

    // A new composition: its duration and frame rate; play head and scroll at 0, the zoom kept.
    void setComposition(double durationSeconds, double frameRate);
    double duration() const { return duration_; }
    double frameRate() const { return frameRate_; }

    // The width of the lanes' area in pixels. A fitted zoom fits again.
    void setViewWidth(double pixels);
    double viewWidth() const { return viewWidth_; }

    double pixelsPerSecond() const { return pixelsPerSecond_; }
    double minPixelsPerSecond() const;
    double maxPixelsPerSecond() const;
    // Zooms keep the anchor (the play head when it is in view, else the middle of the view) at
    // its place on screen.
    void zoomNormal();
    void zoomIn();
    void zoomOut();
    // The whole composition in the view's width; stays fitted when the view is resized.
    void zoomToFit();
    bool fitted() const { return fitted_; }
    void setPixelsPerSecond(double pixelsPerSecond);

    // Width of the whole composition at the current zoom.
    double contentWidth() const;
    double scrollOffset() const { return scrollOffset_; }
    double maxScrollOffset() const;
    void setScrollOffset(double pixels);

    double xForTime(double seconds) const;
    double timeForX(double x) const;
    double visibleStartTime() const;
    double visibleEndTime() const;
    bool isTimeVisible(double seconds) const;

    double playHead() const { return playHead_; }
    // Moves the play head. With `follow`, a play head that was in view and runs out of it
    // turns the page: it reappears near the left edge.
    void setPlayHead(double seconds, bool follow);

    // Tick spacing from a ladder of frames, seconds, minutes, hours and days: the smallest step
    // whose ticks lie at least `minLabelSpacing` pixels apart, and the finest step that divides
    // it evenly and still leaves `minMinorSpacing` pixels between ticks.
    RulerSpacing rulerSpacing(double minLabelSpacing, double minMinorSpacing) const;
    // The multiples of the step from the one at or before the view's left edge to the last in
    // view, within the composition (at least time 0).
    std::vector<double> tickTimes(double step) const;

  private:
    double fitPixelsPerSecond() const;
    double zoomAnchor() const;
    void zoomAround(double pixelsPerSecond, double anchorTime);
    double clampedTime(double seconds) const;

    double duration_ = 0.0;
    double frameRate_ = kDefaultFrameRate;
    double viewWidth_ = 0.0;
    double pixelsPerSecond_ = kNormalPixelsPerSecond;
    double scrollOffset_ = 0.0;
    double playHead_ = 0.0;
    bool fitted_ = false;
};

}  // namespace vorlane
