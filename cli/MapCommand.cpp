#include "MapCommand.h"

#include <iostream>

#include "CompositionJson.h"
#include "PoolRun.h"
#include "media/MediaText.h"
#include "sync/MediaLayoutComposition.h"

namespace vorlane::cli {

int runMapCommand(const std::vector<std::string>& arguments) {
    int status = kExitSuccess;
    const auto input = parsePathInput(arguments, {"--json", "--quiet"}, {}, "paths", status);
    if (!input) return status;
    ApplicationController controller;
    MediaPool& pool = controller.mediaPool();
    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    pool.enumerateSyncGroups();

    // As the application shows the sync map.
    auto layout = MediaLayoutComposition::layoutCompositionWithName(
        "Layout", MediaSyncIndex::indexWithMediaPool(pool),
        CompositionSettings::fromUserDefaults(pool.userDefaults()));
    layout->setCreateNewAudioTracksForDifferentChannelcount(true);
    layout->setForPlayback(true);
    layout->createLayout();

    if (input->arguments.has("--json")) {
        std::cout << layoutJson(*layout).dump(2, ' ', false,
                                              nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
        return allRead ? kExitSuccess : kExitInputFailed;
    }
    std::cout << "Sync map of " << pool.count() << (pool.count() == 1 ? " file" : " files") << ", "
              << formatMediaText("%.6f s", CMTimeGetSeconds(layout->duration())) << "\n";
    printCompositionTracks(std::cout, *layout,
                           [&](CMTime time) { return layout->timeStringForCompositionTime(time); });
    std::cout << "Cut ranges (" << layout->cutRanges().size() << "):\n";
    for (const CMTimeRange& range : layout->cutRanges())
        std::cout << "  at " << formatMediaText("%.6f s", CMTimeGetSeconds(range.start))
                  << " removed " << formatMediaText("%.6f s", CMTimeGetSeconds(range.duration))
                  << "\n";
    return allRead ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
