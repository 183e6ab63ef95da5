// The export commands of the main window, without a toolkit: what the XML and AAF dialogs do
// around a run. Before the dialog is shown the options are preselected from the pool (its most
// common frame rate, its largest picture); once the user confirmed it, the pool numbers its sync
// groups and the run starts with the log header made of the application's version, the system
// and the readable settings summary. The front end supplies the progress panel and chooses the
// thread (the GUI a background thread, the command line its own).
#pragma once

#include <filesystem>

#include "export/ExportRun.h"
#include "export/MediaExport.h"

namespace vorlane {

class AAFExportOptionsController;
class MediaPool;
class UserDefaults;
class XMLExportOptionsController;

class ExportCommands {
  public:
    explicit ExportCommands(MediaPool& pool) : pool_(pool) {}

    // Who writes and with which settings, as every export log and document states it.
    static ExportLogHeader logHeader(const UserDefaults& defaults);

    // The dialogs' preselection from the pool: frame rate and picture size (XML), frame rate
    // (AAF).
    void preselectOptions(XMLExportOptionsController& options) const;
    void preselectOptions(AAFExportOptionsController& options) const;

    // The runs, after the dialog was confirmed and the options read. True when the document was
    // written.
    bool exportXML(const std::filesystem::path& url, const XMLExportOptionsController& options,
                   ExportRunPanel& panel);
    bool exportAAF(const std::filesystem::path& url, const AAFExportOptionsController& options,
                   ExportRunPanel& panel);

  private:
    MediaPool& pool_;
};

}  // namespace vorlane
