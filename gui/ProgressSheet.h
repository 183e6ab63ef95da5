// The progress sheet over the main window: a title, a bar (indeterminate at 0 %), a status line
// and a button that reads "Cancel" while running ("cancelling..." once pressed) and "Ok" after a
// logged run, which also shows its log and percentage. Any thread may call it; the sheet does
// its work on the main thread.
#pragma once

#include <QDialog>
#include <atomic>
#include <string>

#include "app/ApplicationController.h"
#include "export/MovieExportRun.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace vorlane::gui {

class ProgressSheet : public QDialog, public ProgressDisplay, public MovieExportRunPanel {
    Q_OBJECT

  public:
    explicit ProgressSheet(QWidget* parent);

    // ProgressDisplay: a run without log. `aborted` also stops movie runs.
    void startWithTitle(const std::string& title) override;
    void setPercent(double percent) override;
    void setStatus(const std::string& status) override;
    void stop() override;
    bool aborted() const override { return aborted_; }
    // The export runs' panel.
    void logEntry(const std::string& text) override;

    // A run with or without log.
    void startWithTitle(const std::string& title, bool allowsLogging);
    // Writes the log as UTF-8 text, atomically.
    bool writeLogfileToURL(const std::string& path) const;
    QString logText() const;
    QString statusText() const;
    QString buttonTitle() const;
    bool running() const { return running_; }

  public slots:
    void cancelOKAction();

  private:
    void onMainThread(std::function<void()> work);

    QLabel* title_;
    QProgressBar* bar_;
    QLabel* percent_;
    QLabel* status_;
    QPlainTextEdit* log_;
    QPushButton* button_;
    std::atomic<bool> aborted_{false};
    std::atomic<bool> running_{false};
    bool logging_ = false;
};

}  // namespace vorlane::gui
