#include "app/SyncMasters.h"

#include <system_error>

#include "sync/SyncedClips.h"

namespace vorlane {

std::shared_ptr<MediaFile> poolFileForPath(const MediaPool& pool,
                                           const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path, error);
    for (const std::shared_ptr<MediaFile>& file : pool.files()) {
        const std::filesystem::path candidate =
            std::filesystem::weakly_canonical(file->sourceURLPath(), error);
        if (candidate == wanted) return file;
    }
    return pool.fileWithURL(wanted);
}

std::vector<std::shared_ptr<MediaFile>> syncMasterFiles(
    const MediaPool& pool, const std::optional<std::filesystem::path>& master) {
    if (!master) return filesWithVideo(pool.files());
    if (auto file = poolFileForPath(pool, *master)) return {file};
    return {};
}

}  // namespace vorlane
