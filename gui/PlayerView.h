// The preview player: the picture scaled to fit with its shape kept, the composition's
// timecode, play/pause and frame-step buttons, the level meters of the output channels, and the
// keys editors expect (space plays and pauses, J/K/L shuttle, the arrows step a frame). It runs
// the player's time observer and pulls its pictures and levels; the sound goes out through
// PlayerAudioOutput.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/PreviewPlayerController.h"

class QLabel;
class QToolButton;

namespace vorlane::gui {

class LevelMeter;
class PictureView;
class PlayerAudioOutput;

class PlayerView : public QWidget, public PreviewPlayerView {
    Q_OBJECT

  public:
    explicit PlayerView(PreviewPlayerController& player, QWidget* parent = nullptr);
    ~PlayerView() override;

    // The player was given a composition: the sound restarts in its layout, the view takes
    // the keyboard. Answers why it cannot be played or heard, or an empty text.
    QString compositionChanged();
    // Stops the sound before the player goes away.
    void stop();

    // PreviewPlayerView.
    void setPlayHead(double seconds) override;
    void setTimecodeText(const std::string& text) override;

    QString timecodeText() const;
    // The picture shown (converted for the screen); null before the first one.
    const QImage& picture() const;
    LevelMeter& meter() { return *meter_; }
    bool audible() const;

  signals:
    // The time observer's play head, for the timeline.
    void playHeadMoved(double seconds);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void refreshPicture();
    void refreshTransport();

    PreviewPlayerController& player_;
    PictureView* picture_ = nullptr;
    LevelMeter* meter_ = nullptr;
    QLabel* timecode_ = nullptr;
    QToolButton* playPause_ = nullptr;
    PlayerAudioOutput* audio_ = nullptr;
    QTimer observer_;
    QTimer pictureTimer_;
    QTimer meterTimer_;
};

}  // namespace vorlane::gui
