// The XML and AAF export runs: one exporter over the media pool, fed with freshly built
// compositions in a fixed order (synced clips or the files that did not sync, then the sync
// map), reporting into the progress panel's log and percent, and always ending with its "ended"
// line so the user gets the whole log even when the document could not be written.
//
// A run never changes the pool or its files. It reads the pool through one snapshot taken at its
// start, and the settings from the pool's defaults store; the caller numbers the sync groups
// first (as the export dialogs do) and runs it on a thread of its choice.
#pragma once

#include <filesystem>
#include <string>

#include "export/MediaExport.h"
#include "sync/SyncedClips.h"

namespace vorlane {

class AAFExportOptionsController;
class MediaPool;
class XMLExportOptionsController;

// The progress panel as a run uses it. Called from the run's thread.
class ExportRunPanel {
  public:
    virtual ~ExportRunPanel() = default;
    // Appends text to the log (entries carry their own line breaks).
    virtual void logEntry(const std::string& text) = 0;
    virtual void setPercent(double percent) = 0;
    // The run has ended.
    virtual void stop() = 0;
};

class ExportRun {
  public:
    ExportRun(const MediaPool& pool, ExportRunPanel& panel, ExportLogHeader header);

    // FCPXML (xmlType 100) or XML interchange, to the file. True when the document was written.
    bool exportXML(const std::filesystem::path& url, const XMLExportOptionsController& options);
    // AAF, to the file. True when the document was written.
    bool exportAAF(const std::filesystem::path& url, const AAFExportOptionsController& options);

    // The head of the log: application and system, then the readable settings.
    void logExportSettings();

  private:
    bool exportFCPXML(const std::filesystem::path& url, const XMLExportOptionsController& options);
    bool exportXMLInterchange(const std::filesystem::path& url,
                              const XMLExportOptionsController& options);
    void copyProjectSettings(MediaExport& exporter,
                             const XMLExportOptionsController& options) const;
    // Reports a round of synced clips' progress as the panel's percent.
    SyncedClipProgress panelProgress();

    const MediaPool& pool_;
    ExportRunPanel& panel_;
    ExportLogHeader header_;
};

}  // namespace vorlane
