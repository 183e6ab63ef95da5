// An AAF file being written: a new file opened for modification with its header, dictionary and
// meta-dictionary, then saved and closed. The file appears at its path complete or not at all:
// opening makes a temporary file in the destination folder (so an unwritable folder is refused at
// once), saving writes the whole compound document there and renames it over the path, and a
// file closed or destroyed without a successful save leaves nothing behind.
//
// A new file's dictionary holds the picture, sound and timecode data definitions and the AAF-KLV
// container definition.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/aaf/AAFHeader.h"

namespace vorlane {
class AtomicFileWriter;
}

namespace vorlane::aaf {

class AAFFile {
  public:
    // Modes of openNewModify; no flag is defined.
    static constexpr uint32_t kModeFlagsNone = 0;

    // Creates a file of the kind (kFileKindAAF4KBinary, structured storage with 4 KB sectors).
    static AAFResult openNewModify(const std::filesystem::path& path, const AUID& fileKind,
                                   uint32_t modeFlags, const ProductIdentification& product,
                                   std::unique_ptr<AAFFile>& result);
    ~AAFFile();
    AAFFile(const AAFFile&) = delete;
    AAFFile& operator=(const AAFFile&) = delete;

    AAFResult getHeader(std::shared_ptr<AAFHeader>& result) const;
    // Writes the file to its path.
    AAFResult save();
    // Ends the file; it can no longer be saved. A file never saved is not left behind.
    AAFResult close();

    // The compound document as save() writes it.
    std::optional<Bytes> documentBytes() const;

  private:
    AAFFile() = default;

    std::filesystem::path path_;
    std::unique_ptr<AtomicFileWriter> target_;
    std::shared_ptr<AAFMetaDictionary> metaDictionary_;
    std::shared_ptr<AAFHeader> header_;
    bool open_ = false;
};

}  // namespace vorlane::aaf
