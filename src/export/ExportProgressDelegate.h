// What an exporter tells about its progress: a percent of the whole run (0 to 100).
#pragma once

namespace vorlane {

class ExportProgressDelegate {
  public:
    virtual ~ExportProgressDelegate() = default;
    virtual void updateExportProgress(double percent) = 0;
};

}  // namespace vorlane
