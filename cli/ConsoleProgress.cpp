#include "ConsoleProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "platform/Text.h"

namespace vorlane::cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

ConsoleProgress::Style ConsoleProgress::styleForStandardError() {
    return isatty(STDERR_FILENO) ? Style::Bar : Style::Lines;
}

void ConsoleProgress::startWithTitle(const std::string& title) {
    std::lock_guard lock(mutex_);
    running_ = true;
    title_ = title;
    status_.clear();
    percent_ = 0.0;
    shownTenth_ = -1;
    showLocked();
}

void ConsoleProgress::setPercent(double percent) {
    std::lock_guard lock(mutex_);
    percent_ = std::clamp(std::isfinite(percent) ? percent : 0.0, 0.0, 100.0);
}

void ConsoleProgress::setStatus(const std::string& status) {
    std::lock_guard lock(mutex_);
    status_ = printableText(status);
    if (running_) showLocked();
}

void ConsoleProgress::stop() {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
    if (style_ == Style::Bar) out_ << "\r\033[K";
    out_ << title_ << ": done\n" << std::flush;
}

void ConsoleProgress::showLocked() {
    const int percent = int(percent_);
    if (style_ == Style::Lines) {
        const int tenth = percent / 10;
        if (tenth == shownTenth_) return;
        shownTenth_ = tenth;
        out_ << title_ << ": " << percent << "%";
        if (!status_.empty()) out_ << " (" << status_ << ")";
        out_ << "\n" << std::flush;
        return;
    }
    const int filled = percent * kBarWidth / 100;
    out_ << "\r\033[K" << title_ << " [" << std::string(size_t(filled), '#')
         << std::string(size_t(kBarWidth - filled), '.') << "] " << percent << "% " << status_
         << std::flush;
}

}  // namespace vorlane::cli
