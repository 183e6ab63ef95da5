// The progress panel of the export benchmarks: counts the clips a run reports and keeps nothing
// else.
#pragma once

#include <string>

#include "export/ExportRun.h"

namespace vorlane::bench {

class CountingPanel : public ExportRunPanel {
  public:
    void logEntry(const std::string& text) override {
        for (size_t at = text.find("Adding "); at != std::string::npos;
             at = text.find("Adding ", at + 1))
            ++clips;
    }
    void setPercent(double) override {}
    void stop() override {}
    int clips = 0;
};

}  // namespace vorlane::bench
