// The one place where the layers above the media model are wired into the application.
#include "app/ApplicationController.h"
#include "export/FCPXImport.h"
#include "formats/ReaderChoice.h"
#include "sync/MediaSyncComposition.h"
#include "sync/MediaSyncIndex.h"
#include "sync/audio/AudioSyncCheck.h"

namespace vorlane {
namespace {

// A synced picture file's sound compared with the recorder's: the verdict follows its status, a
// disagreement is highlighted as a problem.
void addAudioSyncCheck(MediaFile& file, const std::shared_ptr<const MediaSyncIndex>& index,
                       const CompositionSettings& settings) {
    if (file.infoText() != kSyncStatusSynced || !file.hasVideo()) return;
    const auto shared = std::dynamic_pointer_cast<MediaFile>(file.shared_from_this());
    const AudioSyncCheck check = checkAudioSyncOfFile(shared, index, settings);
    if (!check.checked()) return;
    file.setInfoText(file.infoText() + ", " + check.text());
    if (check.verdict == AudioSyncCheck::Verdict::Disagrees) file.setHighLightColor(1);
}

}  // namespace

ApplicationHooks ApplicationHooks::standard() {
    ApplicationHooks hooks;
    hooks.readerFactory = readerChoiceImportingDocuments(importFCPXMLDocument);
    hooks.syncInfoUpdater = [](MediaPool& pool, bool involveDate, bool multicam) {
        const auto index = MediaSyncIndex::indexWithMediaPool(pool);
        CompositionSettings settings = CompositionSettings::fromUserDefaults(pool.userDefaults());
        settings.involveDate = involveDate;
        settings.multicam = multicam;
        return std::function<void(MediaFile&)>([index, involveDate, multicam,
                                                settings](MediaFile& file) {
            MediaSyncComposition::updateSyncInfoOfMediaFile(file, *index, involveDate, multicam);
            addAudioSyncCheck(file, index, settings);
        });
    };
    return hooks;
}

}  // namespace vorlane
