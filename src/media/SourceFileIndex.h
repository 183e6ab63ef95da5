// Finds the pool's file object for a URL without walking the pool: by the normalised paths a
// file is known by (its source and its media URL), by the folder of a CinemaDNG clip's images,
// and by the file's identity on disk, so that a link to a file already held finds it too.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/FileAccess.h"

namespace vorlane {

class MediaFile;

class SourceFileIndex {
  public:
    // Adds the keys of a file object; a key taken already keeps its first file.
    void add(const std::shared_ptr<MediaFile>& file);
    // The file object that stands for the URL, or none.
    std::shared_ptr<MediaFile> find(const std::filesystem::path& url) const;
    void clear();

  private:
    std::unordered_map<std::string, std::shared_ptr<MediaFile>> byPath_;
    std::unordered_map<std::string, std::shared_ptr<MediaFile>> byImageFolder_;
    std::map<FileAccess::FileIdentity, std::shared_ptr<MediaFile>> byIdentity_;
};

}  // namespace vorlane
