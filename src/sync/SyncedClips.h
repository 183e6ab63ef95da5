// The synced clips of one round (an export, the `sync` command): for each master in turn a
// MediaSyncComposition over the round's one pool snapshot, with the round's settings and flags,
// synced and handed to the caller. Before each clip is handed over the round says how far it is.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "sync/MediaSyncComposition.h"

namespace vorlane {

// The switches of a synced clip that are not user settings: what the clip is built for.
struct SyncedClipFlags {
    bool xmlMode = false;      // an interchange document (XML, FCPXML) takes it
    bool forPlayback = false;  // the player shows it
    bool useAVShift = true;    // the files' picture-to-sound shifts apply
};

// A master's synced clip, as the round hands it over.
using SyncedClipHandler = std::function<void(const std::shared_ptr<MediaFile>& master,
                                             const std::shared_ptr<MediaSyncComposition>& clip)>;
// The share of the round's masters whose clips were handed over, in percent.
using SyncedClipProgress = std::function<void(double percent)>;

// The files with picture, in their order: the masters of a round of synced clips by default.
std::vector<std::shared_ptr<MediaFile>> filesWithVideo(
    const std::vector<std::shared_ptr<MediaFile>>& files);

// Builds the masters' synced clips in order, each handed to `handle` right after the progress
// report that precedes it.
void buildSyncedClips(const std::vector<std::shared_ptr<MediaFile>>& masters,
                      const std::shared_ptr<const MediaSyncIndex>& pool,
                      const CompositionSettings& settings, const SyncedClipFlags& flags,
                      const SyncedClipHandler& handle, const SyncedClipProgress& progress = {});

// A master's synced clip as the player shows it (what a double click in the file list plays),
// over a snapshot of the pool taken now.
std::shared_ptr<MediaSyncComposition> syncedClipForPlayback(
    const std::shared_ptr<MediaFile>& master, const MediaPool& pool);

}  // namespace vorlane
