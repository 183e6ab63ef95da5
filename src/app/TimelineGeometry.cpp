#include "app/TimelineGeometry.h"

#include <algorithm>
#include <cmath>

namespace vorlane {

namespace {

// Ruler steps above one frame: seconds, minutes and hours that read well on a clock.
constexpr double kClockSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                  600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
// Frame counts below one second.
constexpr double kFrameSteps[] = {1, 2, 5, 10, 15, 30};
// Ticks listed at most per call, whatever the step (a guard for steps far below a pixel).
constexpr double kMaxTicks = 100000;

bool isFinitePositive(double value) {
    return std::isfinite(value) && value > 0.0;
}

// The ruler's ladder up to the first step that spans `seconds` or more.
std::vector<double> stepsUpTo(double seconds, double frameRate) {
    std::vector<double> steps;
    for (const double frames : kFrameSteps)
        if (frames < frameRate) steps.push_back(frames / frameRate);
    for (const double step : kClockSteps)
        steps.push_back(step);
    // Days: 2, 5, 10, 20, 50, 100, ... until a step spans the seconds.
    for (double decade = 1; steps.back() < seconds; decade *= 10)
        for (const double days : {2.0, 5.0, 10.0})
            steps.push_back(days * decade * 86400);
    return steps;
}

bool dividesEvenly(double step, double part) {
    const double ratio = step / part;
    return std::abs(ratio - std::round(ratio)) < 1e-6;
}

}  // namespace

void TimelineGeometry::setComposition(double durationSeconds, double frameRate) {
    duration_ = isFinitePositive(durationSeconds) ? durationSeconds : 0.0;
    frameRate_ = isFinitePositive(frameRate) ? frameRate : kDefaultFrameRate;
    playHead_ = 0.0;
    scrollOffset_ = 0.0;
    pixelsPerSecond_ =
        fitted_ ? fitPixelsPerSecond()
                : std::clamp(pixelsPerSecond_, minPixelsPerSecond(), maxPixelsPerSecond());
}

void TimelineGeometry::setViewWidth(double pixels) {
    viewWidth_ = isFinitePositive(pixels) ? pixels : 0.0;
    if (fitted_) pixelsPerSecond_ = fitPixelsPerSecond();
    setScrollOffset(scrollOffset_);
}

double TimelineGeometry::fitPixelsPerSecond() const {
    if (duration_ <= 0.0 || viewWidth_ < 1.0) return kNormalPixelsPerSecond;
    return std::min(viewWidth_ / duration_, maxPixelsPerSecond());
}

double TimelineGeometry::minPixelsPerSecond() const {
    if (duration_ <= 0.0 || viewWidth_ < 1.0) return kNormalPixelsPerSecond;
    return std::min(viewWidth_ / duration_, kNormalPixelsPerSecond);
}

double TimelineGeometry::maxPixelsPerSecond() const {
    double most = kMaxPixelsPerFrame * frameRate_;
    if (duration_ > 0.0) most = std::min(most, kMaxContentWidth / duration_);
    return std::max(most, minPixelsPerSecond());
}

double TimelineGeometry::zoomAnchor() const {
    if (isTimeVisible(playHead_)) return playHead_;
    return clampedTime(timeForX(viewWidth_ / 2));
}

void TimelineGeometry::zoomAround(double pixelsPerSecond, double anchorTime) {
    const double anchorX = xForTime(anchorTime);
    fitted_ = false;
    pixelsPerSecond_ = std::clamp(pixelsPerSecond, minPixelsPerSecond(), maxPixelsPerSecond());
    setScrollOffset(anchorTime * pixelsPerSecond_ - anchorX);
}

void TimelineGeometry::zoomNormal() {
    zoomAround(kNormalPixelsPerSecond, zoomAnchor());
}

void TimelineGeometry::zoomIn() {
    zoomAround(pixelsPerSecond_ * kZoomFactor, zoomAnchor());
}

void TimelineGeometry::zoomOut() {
    zoomAround(pixelsPerSecond_ / kZoomFactor, zoomAnchor());
}

void TimelineGeometry::zoomToFit() {
    fitted_ = true;
    pixelsPerSecond_ = fitPixelsPerSecond();
    scrollOffset_ = 0.0;
}

void TimelineGeometry::setPixelsPerSecond(double pixelsPerSecond) {
    if (isFinitePositive(pixelsPerSecond)) zoomAround(pixelsPerSecond, zoomAnchor());
}

double TimelineGeometry::contentWidth() const {
    return duration_ * pixelsPerSecond_;
}

double TimelineGeometry::maxScrollOffset() const {
    return std::max(0.0, contentWidth() - viewWidth_);
}

void TimelineGeometry::setScrollOffset(double pixels) {
    scrollOffset_ = std::isfinite(pixels) ? std::clamp(pixels, 0.0, maxScrollOffset()) : 0.0;
}

double TimelineGeometry::xForTime(double seconds) const {
    return seconds * pixelsPerSecond_ - scrollOffset_;
}

double TimelineGeometry::timeForX(double x) const {
    return clampedTime((x + scrollOffset_) / pixelsPerSecond_);
}

double TimelineGeometry::clampedTime(double seconds) const {
    return std::isfinite(seconds) ? std::clamp(seconds, 0.0, duration_) : 0.0;
}

double TimelineGeometry::visibleStartTime() const {
    return timeForX(0.0);
}

double TimelineGeometry::visibleEndTime() const {
    return timeForX(viewWidth_);
}

bool TimelineGeometry::isTimeVisible(double seconds) const {
    const double x = xForTime(seconds);
    return x >= 0.0 && x <= viewWidth_;
}

void TimelineGeometry::setPlayHead(double seconds, bool follow) {
    const bool wasVisible = isTimeVisible(playHead_);
    playHead_ = clampedTime(seconds);
    if (follow && wasVisible && !isTimeVisible(playHead_))
        setScrollOffset(playHead_ * pixelsPerSecond_ - viewWidth_ / 20);
}

TimelineGeometry::RulerSpacing TimelineGeometry::rulerSpacing(double minLabelSpacing,
                                                              double minMinorSpacing) const {
    const double labelSeconds = std::max(minLabelSpacing, 1.0) / pixelsPerSecond_;
    const std::vector<double> steps = stepsUpTo(labelSeconds, frameRate_);
    const auto major =
        std::find_if(steps.begin(), steps.end(), [&](double step) { return step >= labelSeconds; });
    RulerSpacing spacing;
    spacing.majorStep = major == steps.end() ? steps.back() : *major;
    for (auto minor = steps.begin(); minor != major && minor != steps.end(); ++minor)
        if (*minor * pixelsPerSecond_ >= minMinorSpacing &&
            dividesEvenly(spacing.majorStep, *minor)) {
            spacing.minorStep = *minor;
            break;
        }
    return spacing;
}

std::vector<double> TimelineGeometry::tickTimes(double step) const {
    std::vector<double> ticks;
    if (!isFinitePositive(step)) return ticks;
    const double first = std::floor(visibleStartTime() / step);
    const double last = std::floor(visibleEndTime() / step);
    for (double index = first; index <= last && ticks.size() < kMaxTicks; ++index)
        ticks.push_back(index * step);
    return ticks;
}

}  // namespace vorlane
