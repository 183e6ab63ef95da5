// The AAF writer as the AAF run drives it: open a file, add the synced clips and the sync map as
// sequences, close the file. The document writer itself (the compound-file stand-in of the AAF
// SDK) joins the build later; until then opening answers false and the run reports that the
// file could not be opened, as it does for any destination it cannot write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "export/MediaExport.h"

namespace vorlane {

class MediaComposition;

class AAFExport : public MediaExport {
  public:
    // Types of addSequence.
    enum SequenceType : int32_t {
        SequenceSyncMap = 0,
        SequenceSyncedClip = 1,
    };

    explicit AAFExport(const UserDefaults& defaults = UserDefaults::standardUserDefaults())
        : MediaExport(defaults) {}

    // Media linked in place (true) or batch imported.
    bool amaLink() const { return amaLink_; }
    void setAmaLink(bool on) { amaLink_ = on; }

    // Opens the destination for writing; false when it cannot be written.
    bool openFile(const std::filesystem::path& url, bool editProtocol);
    void addSequence(const std::shared_ptr<MediaComposition>& composition, int32_t type);
    // Writes and closes the file; false when that failed.
    bool closeFile();

  private:
    bool amaLink_ = true;
};

}  // namespace vorlane
