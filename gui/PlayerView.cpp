#include "PlayerView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "LevelMeter.h"
#include "PlayerAudioOutput.h"
#include "platform/media/CompositionFrame.h"

namespace vorlane::gui {

namespace {

// The time observer runs every 1/12 s; pictures are looked for often enough for 60 frames a
// second, the meters at the pace of the eye.
constexpr int kObserverMilliseconds = 1000 / 12;
constexpr int kPictureMilliseconds = 8;
constexpr int kMeterMilliseconds = 40;

}  // namespace

// The frame, scaled to fit with its shape kept, on black.
class PictureView : public QWidget {
  public:
    explicit PictureView(QWidget* parent) : QWidget(parent) {
        setObjectName("picture");
        setMinimumSize(160, 90);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void showFrame(std::shared_ptr<const CompositionFrame> frame) {
        if (frame == frame_) return;
        frame_ = std::move(frame);
        convert();
        update();
    }
    const QImage& image() const { return image_; }

  protected:
    void resizeEvent(QResizeEvent*) override { convert(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (image_.isNull()) return;
        const QSizeF size = QSizeF(image_.size()) / image_.devicePixelRatio();
        const QPointF corner((width() - size.width()) / 2, (height() - size.height()) / 2);
        painter.drawImage(QRectF(corner, size), image_);
    }

  private:
    void convert() {
        image_ = QImage();
        if (!frame_) return;
        const qreal ratio = devicePixelRatioF();
        const auto rgba = imageOfFrame(*frame_, int(width() * ratio), int(height() * ratio));
        if (!rgba || !rgba->hasPixels()) return;
        image_ = QImage(rgba->rgba.data(), rgba->width, rgba->height, rgba->width * 4,
                        QImage::Format_RGBA8888)
                     .copy();
        image_.setDevicePixelRatio(ratio);
    }

    std::shared_ptr<const CompositionFrame> frame_;
    QImage image_;
};

PlayerView::PlayerView(PreviewPlayerController& player, QWidget* parent)
    : QWidget(parent), player_(player) {
    setObjectName("playerView");
    setFocusPolicy(Qt::StrongFocus);
    picture_ = new PictureView(this);
    meter_ = new LevelMeter(this);
    audio_ = new PlayerAudioOutput(player_, this);

    const auto button = [this](QStyle::StandardPixmap icon, const QString& tip) {
        auto* made = new QToolButton(this);
        made->setIcon(style()->standardIcon(icon));
        made->setToolTip(tip);
        made->setFocusPolicy(Qt::NoFocus);
        return made;
    };
    QToolButton* back = button(QStyle::SP_MediaSkipBackward, "Previous frame (Left)");
    back->setObjectName("stepBackward");
    playPause_ = button(QStyle::SP_MediaPlay, "Play (Space)");
    playPause_->setObjectName("playPause");
    QToolButton* forward = button(QStyle::SP_MediaSkipForward, "Next frame (Right)");
    forward->setObjectName("stepForward");
    connect(back, &QToolButton::clicked, this, [this] {
        player_.stepByFrames(-1);
        refreshTransport();
    });
    connect(playPause_, &QToolButton::clicked, this, [this] {
        player_.playPause();
        refreshTransport();
    });
    connect(forward, &QToolButton::clicked, this, [this] {
        player_.stepByFrames(1);
        refreshTransport();
    });

    timecode_ = new QLabel(this);
    timecode_->setObjectName("timecode");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(fixed.pointSizeF() * 1.5);
    fixed.setBold(true);
    timecode_->setFont(fixed);
    timecode_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* controls = new QHBoxLayout;
    controls->addWidget(back);
    controls->addWidget(playPause_);
    controls->addWidget(forward);
    controls->addStretch();
    controls->addWidget(timecode_);
    controls->addStretch();
    auto* screen = new QHBoxLayout;
    screen->setSpacing(4);
    screen->addWidget(picture_, 1);
    screen->addWidget(meter_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addLayout(screen, 1);
    layout->addLayout(controls);

    observer_.setTimerType(Qt::PreciseTimer);
    observer_.setInterval(kObserverMilliseconds);
    connect(&observer_, &QTimer::timeout, this, [this] {
        player_.timeObserverTick();
        refreshTransport();
    });
    pictureTimer_.setTimerType(Qt::PreciseTimer);
    pictureTimer_.setInterval(kPictureMilliseconds);
    connect(&pictureTimer_, &QTimer::timeout, this, &PlayerView::refreshPicture);
    meterTimer_.setInterval(kMeterMilliseconds);
    connect(&meterTimer_, &QTimer::timeout, this, [this] { meter_->setLevels(player_.levels()); });
    observer_.start();
    pictureTimer_.start();
    meterTimer_.start();
}

PlayerView::~PlayerView() {
    stop();
}

QString PlayerView::compositionChanged() {
    picture_->showFrame(nullptr);
    const QString problem = audio_->restart();
    setFocus();
    refreshTransport();
    if (!player_.playable()) return "The composition cannot be played: its tracks were rejected";
    return problem;
}

void PlayerView::stop() {
    observer_.stop();
    pictureTimer_.stop();
    meterTimer_.stop();
    audio_->stop();
}

void PlayerView::setPlayHead(double seconds) {
    emit playHeadMoved(seconds);
}

void PlayerView::setTimecodeText(const std::string& text) {
    timecode_->setText(QString::fromStdString(text));
}

QString PlayerView::timecodeText() const {
    return timecode_->text();
}

const QImage& PlayerView::picture() const {
    return picture_->image();
}

bool PlayerView::audible() const {
    return audio_->audible();
}

void PlayerView::refreshPicture() {
    if (auto frame = player_.frameDue()) picture_->showFrame(std::move(frame));
}

void PlayerView::refreshTransport() {
    const double rate = player_.rate();
    playPause_->setIcon(
        style()->standardIcon(rate != 0 ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    if (rate == 0)
        playPause_->setToolTip("Play (Space)");
    else
        playPause_->setToolTip(QString("Pause (Space), playing at %1×").arg(rate));
}

void PlayerView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            player_.playPause();
            break;
        case Qt::Key_K:
            player_.pause();
            break;
        case Qt::Key_J:
            player_.shuttleBackward();
            break;
        case Qt::Key_L:
            player_.shuttleForward();
            break;
        case Qt::Key_Left:
            player_.stepByFrames(-1);
            break;
        case Qt::Key_Right:
            player_.stepByFrames(1);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    refreshTransport();
}

}  // namespace vorlane::gui
