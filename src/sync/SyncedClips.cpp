#include "sync/SyncedClips.h"

namespace vorlane {

std::vector<std::shared_ptr<MediaFile>> filesWithVideo(
    const std::vector<std::shared_ptr<MediaFile>>& files) {
    std::vector<std::shared_ptr<MediaFile>> withVideo;
    for (const std::shared_ptr<MediaFile>& file : files)
        if (file->type() & MediaTypeVideo) withVideo.push_back(file);
    return withVideo;
}

void buildSyncedClips(const std::vector<std::shared_ptr<MediaFile>>& masters,
                      const std::shared_ptr<const MediaSyncIndex>& pool,
                      const CompositionSettings& settings, const SyncedClipFlags& flags,
                      const SyncedClipHandler& handle, const SyncedClipProgress& progress) {
    for (size_t position = 0; position < masters.size(); ++position) {
        const std::shared_ptr<MediaFile>& master = masters[position];
        auto clip = MediaSyncComposition::syncCompositionWithMasterFile(master, pool, settings);
        clip->setXmlMode(flags.xmlMode);
        clip->setForPlayback(flags.forPlayback);
        clip->setUseAVShift(flags.useAVShift);
        clip->syncMedia();
        if (progress) progress(double(position) * 100.0 / double(masters.size()));
        handle(master, clip);
    }
}

std::shared_ptr<MediaSyncComposition> syncedClipForPlayback(
    const std::shared_ptr<MediaFile>& master, const MediaPool& pool) {
    auto clip = MediaSyncComposition::syncCompositionWithMasterFile(master, pool);
    clip->setXmlMode(false);
    clip->setForPlayback(true);
    clip->syncMedia();
    return clip;
}

}  // namespace vorlane
