// The one place where the layers above the media model are wired into the application.
#include "app/ApplicationController.h"
#include "formats/ReaderChoice.h"
#include "sync/MediaSyncComposition.h"
#include "sync/MediaSyncIndex.h"

namespace vorlane {

ApplicationHooks ApplicationHooks::standard() {
    ApplicationHooks hooks;
    hooks.readerFactory = chooseMediaReader;
    hooks.syncInfoUpdater = [](MediaPool& pool, bool involveDate, bool multicam) {
        const auto index = MediaSyncIndex::indexWithMediaPool(pool);
        return std::function<void(MediaFile&)>([index, involveDate, multicam](MediaFile& file) {
            MediaSyncComposition::updateSyncInfoOfMediaFile(file, *index, involveDate, multicam);
        });
    };
    return hooks;
}

}  // namespace vorlane
