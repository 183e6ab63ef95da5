#include "PlayerAudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "app/PreviewPlayerController.h"

namespace vorlane::gui {

namespace {

// How often the played-out time reaches the player's clock.
constexpr int kClockMilliseconds = 5;
// The sink's buffer: short, so that pausing and seeking are heard at once.
constexpr int kBufferMilliseconds = 100;

// The player's sound as the sink reads it: interleaved 32-bit float.
class PlayerSoundSource : public QIODevice {
  public:
    PlayerSoundSource(PreviewPlayerController& player, int channels)
        : player_(player), channels_(channels) {}

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return std::numeric_limits<int32_t>::max(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 frameBytes = qint64(sizeof(float)) * channels_;
        const qint64 frames = maxSize / frameBytes;
        samples_.resize(size_t(frames * channels_));
        player_.readAudio(samples_.data(), frames, channels_);
        std::memcpy(data, samples_.data(), size_t(frames * frameBytes));
        return frames * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    PreviewPlayerController& player_;
    int channels_;
    std::vector<float> samples_;
};

}  // namespace

PlayerAudioOutput::PlayerAudioOutput(PreviewPlayerController& player, QObject* parent)
    : QObject(parent), player_(player) {
    clock_.setInterval(kClockMilliseconds);
    connect(&clock_, &QTimer::timeout, this, &PlayerAudioOutput::reportPlayed);
}

PlayerAudioOutput::~PlayerAudioOutput() {
    stop();
}

void PlayerAudioOutput::stop() {
    clock_.stop();
    if (sink_) sink_->stop();
    sink_.reset();
    source_.reset();
}

QString PlayerAudioOutput::restart() {
    stop();
    sampleRate_ = player_.sampleRate();
    channels_ = player_.channelCount();
    reportedFrames_ = 0;
    if (channels_ == 0) {
        startWallClock();
        return {};
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(sampleRate_);
    format.setChannelCount(channels_);
    format.setSampleFormat(QAudioFormat::Float);
    QString problem;
    if (device.isNull())
        problem = "No sound output device: playing picture only";
    else if (!device.isFormatSupported(format))
        problem = QString("The sound device cannot play %1 channels at %2 Hz: playing picture only")
                      .arg(channels_)
                      .arg(sampleRate_);
    if (!problem.isEmpty()) {
        startWallClock();
        return problem;
    }
    source_ = std::make_unique<PlayerSoundSource>(player_, channels_);
    source_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(qsizetype(sampleRate_) * channels_ * qsizetype(sizeof(float)) *
                         kBufferMilliseconds / 1000);
    sink_->start(source_.get());
    if (sink_->error() != QAudio::NoError) {
        stop();
        startWallClock();
        return "The sound device could not be opened: playing picture only";
    }
    clock_.start();
    return {};
}

void PlayerAudioOutput::startWallClock() {
    wallClock_.start();
    clock_.start();
}

void PlayerAudioOutput::reportPlayed() {
    if (sampleRate_ <= 0) return;
    if (sink_) {
        const qint64 played = sink_->processedUSecs() * sampleRate_ / 1000000;
        if (played > reportedFrames_) player_.audioFramesPlayed(played - reportedFrames_);
        reportedFrames_ = std::max(reportedFrames_, played);
        return;
    }
    // No device: the time that passed is what a device would have played; the sound is read
    // so that the meters still move.
    const qint64 elapsed = wallClock_.nsecsElapsed() * sampleRate_ / 1000000000;
    const qint64 frames = elapsed - reportedFrames_;
    if (frames <= 0) return;
    std::vector<float> discarded(size_t(frames * channels_));
    player_.readAudio(discarded.data(), frames, channels_);
    player_.audioFramesPlayed(frames);
    reportedFrames_ = elapsed;
}

}  // namespace vorlane::gui
