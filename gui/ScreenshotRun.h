// `vorlane-studio --screenshot FILE PATH...`: loads the paths, waits for their analysis, shows
// sync information and the first picture file's synced clip playing for a moment, saves a
// picture of the window as PNG and quits. The README's screenshot is made this way
// (scripts/screenshot).
#pragma once

#include <QObject>
#include <QString>

class QTimer;

namespace vorlane::gui {

class MainWindow;

class ScreenshotRun : public QObject {
    Q_OBJECT

  public:
    ScreenshotRun(MainWindow& window, QString file);

  private:
    enum class Step { Analysis, SyncInfo, Settle, Paused, Done };
    void poll();
    void save();

    MainWindow& window_;
    QString file_;
    QTimer* timer_;
    Step step_ = Step::Analysis;
    int settleTicks_ = 0;
};

}  // namespace vorlane::gui
