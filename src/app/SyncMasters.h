// Whose synced clips a sync request shows: the one master the user names, or every file with
// picture. A named master is looked up among the pool's files by its canonical path, so a file
// named through another relative path or a link is found too.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaPool.h"

namespace vorlane {

// The pool file that stands for the path; nullptr when the pool did not take it.
std::shared_ptr<MediaFile> poolFileForPath(const MediaPool& pool,
                                           const std::filesystem::path& path);

// The named master's pool file (none when the pool did not take it), else every file with
// picture in pool order.
std::vector<std::shared_ptr<MediaFile>> syncMasterFiles(
    const MediaPool& pool, const std::optional<std::filesystem::path>& master);

}  // namespace vorlane
