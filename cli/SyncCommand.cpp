#include "SyncCommand.h"

#include <iostream>

#include "CompositionJson.h"
#include "PoolRun.h"
#include "app/SyncMasters.h"
#include "media/MediaText.h"
#include "platform/Text.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncedClips.h"
#include "timecode/TCHelper.h"

namespace vorlane::cli {
namespace {

// Why a clip that did not sync stands alone.
std::string reasonOf(const std::string& status) {
    if (status == kSyncStatusNoTimecode) return "the file has no timecode";
    if (status == kSyncStatusNoCorrespondingFiles)
        return "no other file's timecode overlaps it under the current settings";
    return status;
}

void printClip(std::ostream& out, const MediaSyncComposition& clip) {
    const std::shared_ptr<MediaFile> master = clip.masterFile();
    const std::shared_ptr<TCHelper> start = clipStartTimecode(clip);
    const std::string status = clip.syncInformation();
    out << (master ? printableText(master->name()) : "?") << ": clip \""
        << printableText(clip.name()) << "\", " << status;
    if (!clip.successfullySynced()) out << " (did not sync: " << reasonOf(status) << ")";
    out << "\n  starts "
        << (start ? start->timecodeString(TCOptionWrap24h) : std::string("(no timecode)")) << ", "
        << formatMediaText("%.6f s", CMTimeGetSeconds(clip.duration())) << "\n";
    for (const std::shared_ptr<MediaFile>& file : clip.correspondingFiles()) {
        const std::shared_ptr<TCHelper> value = file->timecode();
        out << "  matched " << printableText(file->name()) << " ("
            << (value ? value->timecodeString(TCOptionWrap24h) : "-") << ")\n";
    }
    printCompositionTracks(out, clip, [&](CMTime time) {
        return start ? start->timecodeStringWithDisplayOffset(time, TCOptionWrap24h)
                     : clip.timeStringForCompositionTime(time);
    });
}

}  // namespace

int runSyncCommand(const std::vector<std::string>& arguments) {
    int status = kExitSuccess;
    auto input =
        parsePathInput(arguments, {"--json", "--multicam", "--keep-camera-audio", "--quiet"},
                       {"--master"}, "paths", status);
    if (!input) return status;
    const ParsedArguments& options = input->arguments;
    const std::optional<std::string> masterPath = options.value("--master");
    if (masterPath) input->paths.emplace_back(*masterPath);

    ApplicationController controller;
    MediaPool& pool = controller.mediaPool();
    ApplicationController::AddResult result;
    bool allRead = analyzePaths(controller, *input, result);
    pool.enumerateSyncGroups();

    CompositionSettings settings = CompositionSettings::fromUserDefaults(pool.userDefaults());
    if (options.has("--multicam")) settings.multicam = true;
    if (options.has("--keep-camera-audio")) settings.keepOriginalAudio = true;
    const auto index = MediaSyncIndex::indexWithMediaPool(pool);

    const std::vector<std::shared_ptr<MediaFile>> masters = syncMasterFiles(
        pool, masterPath ? std::optional<std::filesystem::path>(*masterPath) : std::nullopt);
    if (masterPath && masters.empty()) {
        std::cerr << "vorlane: " << printableText(*masterPath)
                  << ": not a media file of the pool\n";
        allRead = false;
    }

    nlohmann::ordered_json clips = nlohmann::ordered_json::array();
    // As the player builds them: clipped to the master, every matching camera shown.
    SyncedClipFlags flags;
    flags.forPlayback = true;
    buildSyncedClips(masters, index, settings, flags,
                     [&](const std::shared_ptr<MediaFile>& master,
                         const std::shared_ptr<MediaSyncComposition>& clip) {
                         if (options.has("--json")) {
                             clips.push_back(syncClipJson(*clip));
                         } else {
                             if (master != masters.front()) std::cout << "\n";
                             printClip(std::cout, *clip);
                         }
                     });
    if (options.has("--json"))
        std::cout << nlohmann::ordered_json{{"clips", clips}}.dump(
                         2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    else if (masters.empty())
        std::cout << "no video files to sync (name a sound file with --master)\n";
    return allRead ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
