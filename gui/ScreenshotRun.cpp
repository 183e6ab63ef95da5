#include "ScreenshotRun.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "MainWindow.h"
#include "ProgressSheet.h"
#include "media/MediaTypes.h"

namespace vorlane::gui {

namespace {

constexpr double kPlayedSeconds = 2.5;
constexpr int kMostSettleTicks = 300;

}  // namespace

ScreenshotRun::ScreenshotRun(MainWindow& window, QString file)
    : QObject(&window), window_(window), file_(std::move(file)), timer_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, &ScreenshotRun::poll);
    timer_->start(100);
}

void ScreenshotRun::poll() {
    switch (step_) {
        case Step::Analysis:
            if (window_.controller().adding() ||
                window_.application().mediaPool().hasPendingAnalysis() ||
                window_.progress().isVisible())
                return;
            window_.syncInfo();
            step_ = Step::SyncInfo;
            return;
        case Step::SyncInfo: {
            if (!window_.controller().syncInfoShown()) return;
            const auto files = window_.application().mediaPool().files();
            for (size_t row = 0; row < files.size(); ++row) {
                if ((files[row]->type() & MediaTypeVideo) == 0) continue;
                window_.controller().doubleClickSelect(row);
                break;
            }
            step_ = Step::Settle;
            return;
        }
        case Step::Settle:
            // Playing long enough for the sound to be unmuted and the meters to move.
            if (CMTimeGetSeconds(window_.controller().player().currentTime()) < kPlayedSeconds &&
                ++settleTicks_ < kMostSettleTicks)
                return;
            // Paused, the next time observer tick shows the timecode of the picture shown.
            window_.controller().player().pause();
            step_ = Step::Paused;
            return;
        case Step::Paused:
            save();
            step_ = Step::Done;
            return;
        case Step::Done:
            return;
    }
}

void ScreenshotRun::save() {
    timer_->stop();
    const bool saved = window_.grab().save(file_, "PNG");
    if (!saved) std::fprintf(stderr, "vorlane-studio: cannot write %s\n", qPrintable(file_));
    QApplication::exit(saved ? 0 : 1);
}

}  // namespace vorlane::gui
