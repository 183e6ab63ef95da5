#include "ScreenshotRun.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "MainWindow.h"
#include "ProgressSheet.h"
#include "media/MediaTypes.h"

namespace vorlane::gui {

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
            if (++settleTicks_ < 5) return;
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
