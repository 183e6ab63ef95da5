#include "LevelMeter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace vorlane::gui {

namespace {

// How fast the shown peak falls, in dB per second (what meters of editing programs do).
constexpr double kFallDecibelsPerSecond = 24.0;
// The marks of the scale.
constexpr double kScaleMarks[] = {0, -6, -12, -18, -24, -36, -48};
// Above these the bar turns yellow, then red.
constexpr double kWarningDecibels = -18.0;
constexpr double kAlarmDecibels = -6.0;
constexpr int kScaleWidth = 22;
constexpr int kBarWidth = 8;
constexpr int kBarGap = 2;

double decibels(float level) {
    return std::max(LevelMeter::kFloorDecibels, decibelsOfLevel(level));
}

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
    setObjectName("levelMeter");
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    clock_.start();
}

QSize LevelMeter::sizeHint() const {
    const int bars = std::max(2, channelCount());
    return {kScaleWidth + bars * (kBarWidth + kBarGap) + 4, 200};
}

void LevelMeter::setLevels(const AudioLevels& levels) {
    const qint64 now = clock_.elapsed();
    const double fall = double(now - lastUpdate_) / 1000.0 * kFallDecibelsPerSecond;
    lastUpdate_ = now;
    if (levels.peak.size() != channels_.size()) {
        channels_.assign(levels.peak.size(), Channel{});
        updateGeometry();
    }
    for (size_t index = 0; index < channels_.size(); ++index) {
        Channel& channel = channels_[index];
        const double peak = decibels(levels.peak[index]);
        channel.peak = std::max(peak, channel.peak - fall);
        channel.rms = index < levels.rms.size() ? decibels(levels.rms[index]) : kFloorDecibels;
        if (peak >= channel.held || now - channel.heldSince > kPeakHoldMilliseconds) {
            channel.held = peak;
            channel.heldSince = now;
        }
    }
    update();
}

double LevelMeter::heldPeakDecibels(int channel) const {
    if (channel < 0 || channel >= channelCount()) return kFloorDecibels;
    return channels_[size_t(channel)].held;
}

double LevelMeter::fraction(double value) const {
    return std::clamp((value - kFloorDecibels) / -kFloorDecibels, 0.0, 1.0);
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 24, 24));
    const int top = 6;
    const int height = this->height() - 2 * top;
    const auto yOf = [&](double value) { return top + int((1.0 - fraction(value)) * height); };

    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.7));
    painter.setFont(small);
    painter.setPen(QColor(150, 150, 150));
    for (const double mark : kScaleMarks) {
        const int y = yOf(mark);
        painter.drawText(QRect(0, y - 6, kScaleWidth - 3, 12), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(int(mark)));
    }

    const int bottom = top + height;
    const int warning = yOf(kWarningDecibels);
    const int alarm = yOf(kAlarmDecibels);
    for (int index = 0; index < channelCount(); ++index) {
        const Channel& channel = channels_[size_t(index)];
        const int x = kScaleWidth + index * (kBarWidth + kBarGap);
        painter.fillRect(x, top, kBarWidth, height, QColor(45, 45, 45));
        const int peakY = yOf(channel.peak);
        // Green up to the warning mark, yellow up to the alarm mark, red above.
        painter.fillRect(x, std::max(peakY, warning), kBarWidth, bottom - std::max(peakY, warning),
                         QColor(40, 190, 70));
        if (peakY < warning)
            painter.fillRect(x, std::max(peakY, alarm), kBarWidth, warning - std::max(peakY, alarm),
                             QColor(225, 200, 40));
        if (peakY < alarm)
            painter.fillRect(x, peakY, kBarWidth, alarm - peakY, QColor(230, 50, 40));
        const int rmsY = yOf(channel.rms);
        painter.fillRect(x + 2, rmsY, kBarWidth - 4, bottom - rmsY, QColor(0, 0, 0, 70));
        if (channel.held > kFloorDecibels) {
            const int heldY = yOf(channel.held);
            painter.fillRect(x, heldY, kBarWidth, 2,
                             channel.held > kAlarmDecibels ? QColor(255, 80, 60) : Qt::white);
        }
    }
}

}  // namespace vorlane::gui
