// Level meters of the player's output, one bar per channel on a dBFS scale: the bar is the
// block's peak (falling back slowly), a darker core its RMS, and a line holds the highest peak
// for a moment.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <vector>

#include "platform/media/CompositionAudioMixer.h"

namespace vorlane::gui {

class LevelMeter : public QWidget {
    Q_OBJECT

  public:
    // The bottom of the scale.
    static constexpr double kFloorDecibels = -60.0;
    // How long the peak line stays before it falls.
    static constexpr qint64 kPeakHoldMilliseconds = 1500;

    explicit LevelMeter(QWidget* parent = nullptr);

    // The levels of the sound just handed to the output (linear, per channel).
    void setLevels(const AudioLevels& levels);
    int channelCount() const { return int(channels_.size()); }
    // The held peak of a channel in dBFS (kFloorDecibels for silence).
    double heldPeakDecibels(int channel) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Channel {
        double peak = kFloorDecibels;  // shown, with its fall
        double rms = kFloorDecibels;
        double held = kFloorDecibels;
        qint64 heldSince = 0;
    };

    double fraction(double decibels) const;

    std::vector<Channel> channels_;
    QElapsedTimer clock_;
    qint64 lastUpdate_ = 0;
};

}  // namespace vorlane::gui
