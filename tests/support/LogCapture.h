// Collects the application log's lines while it lives, keeping them off stderr.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Log.h"

namespace vorlane::test {

class LogCapture {
  public:
    LogCapture() : id_(Log::addSink([this](const std::string& line) { lines.push_back(line); })) {
        Log::setStandardErrorEnabled(false);
    }
    ~LogCapture() {
        Log::removeSink(id_);
        Log::setStandardErrorEnabled(true);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Whether a line is exactly `line`.
    bool has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Whether a line holds `text`.
    bool contains(const std::string& text) const {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    std::vector<std::string> lines;

  private:
    int id_;
};

}  // namespace vorlane::test
