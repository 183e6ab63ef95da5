// The preview player's sound out: a Qt audio sink pulls the composition's sound from the player
// and the time it has played out becomes the player's clock. Without a sound device, for a
// layout the device refuses, or for a composition without sound, a wall-clock timer hands out
// the time instead and the picture plays alone.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QAudioSink;
class QIODevice;

namespace vorlane {
class PreviewPlayerController;
}

namespace vorlane::gui {

class PlayerAudioOutput : public QObject {
    Q_OBJECT

  public:
    explicit PlayerAudioOutput(PreviewPlayerController& player, QObject* parent = nullptr);
    ~PlayerAudioOutput() override;

    // Starts again for the player's composition (its rate and channels). Answers why the
    // composition's sound cannot be heard, or an empty text.
    QString restart();
    void stop();
    // The sound goes to a device.
    bool audible() const { return sink_ != nullptr; }

  private:
    void startWallClock();
    void reportPlayed();

    PreviewPlayerController& player_;
    std::unique_ptr<QIODevice> source_;
    std::unique_ptr<QAudioSink> sink_;
    QTimer clock_;
    QElapsedTimer wallClock_;
    int sampleRate_ = 0;
    int channels_ = 0;
    qint64 reportedFrames_ = 0;
};

}  // namespace vorlane::gui
