// The progress display of the `vorlane` command on stderr: a bar redrawn in place when stderr is
// a terminal, otherwise an occasional line (at the start, at every further tenth of the work,
// at the end). Safe from any thread.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "app/ApplicationController.h"

namespace vorlane::cli {

class ConsoleProgress : public ProgressDisplay {
  public:
    enum class Style { Bar, Lines };

    ConsoleProgress(std::ostream& out, Style style) : out_(out), style_(style) {}
    // A bar when stderr is a terminal, else lines.
    static Style styleForStandardError();

    void startWithTitle(const std::string& title) override;
    void setPercent(double percent) override;
    void setStatus(const std::string& status) override;
    void stop() override;
    bool aborted() const override { return false; }

  private:
    void showLocked();

    std::ostream& out_;
    const Style style_;
    std::mutex mutex_;
    bool running_ = false;
    std::string title_;
    std::string status_;
    double percent_ = 0.0;
    int shownTenth_ = -1;  // Lines: the tenth of the work last written
};

}  // namespace vorlane::cli
