#include "PoolRun.h"

#include <iostream>
#include <memory>

#include "ConsoleProgress.h"
#include "platform/DefaultsKeys.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/UserDefaults.h"
#include "sync/audio/SoundPlacement.h"

namespace vorlane::cli {

std::optional<PathInput> parsePathInput(const std::vector<std::string>& arguments,
                                        const std::set<std::string>& flagOptions,
                                        const std::set<std::string>& valueOptions, const char* what,
                                        int& status) {
    std::string error;
    std::set<std::string> flags = flagOptions;
    flags.insert("--audio-sync");
    auto parsed = parseArguments(arguments, flags, valueOptions, error);
    if (!parsed) {
        status = usageError(error);
        return std::nullopt;
    }
    if (parsed->positionals.empty()) {
        status = usageError(std::string("no ") + what + " given");
        return std::nullopt;
    }
    PathInput input{*parsed, {}};
    for (const auto& path : parsed->positionals)
        input.paths.emplace_back(path);
    return input;
}

bool analyzePaths(ApplicationController& controller, const PathInput& input,
                  ApplicationController::AddResult& result) {
    const bool quiet = input.arguments.has("--quiet");
    if (quiet) Log::setStandardErrorEnabled(false);
    std::unique_ptr<ConsoleProgress> progress;
    if (!quiet) {
        progress =
            std::make_unique<ConsoleProgress>(std::cerr, ConsoleProgress::styleForStandardError());
        controller.setProgressDisplay(progress.get());
    }
    result = controller.addPaths(input.paths);
    controller.waitForAnalysis();
    controller.setProgressDisplay(nullptr);

    bool allRead = true;
    for (const auto& skipped : result.skipped) {
        if (!skipped.failed) continue;
        std::cerr << "vorlane: " << printableText(skipped.path.native()) << ": "
                  << printableText(skipped.reason) << "\n";
        allRead = false;
    }
    for (const auto& file : controller.mediaPool().files()) {
        // A movie of timecode alone is read when its timecode is.
        if (file->type() != MediaTypeUnknown || file->timecode()) continue;
        std::cerr << "vorlane: " << printableText(file->sourceURLPath().native())
                  << ": no audio or video could be read\n";
        allRead = false;
    }
    MediaPool& pool = controller.mediaPool();
    if (input.arguments.has("--audio-sync") ||
        pool.userDefaults().boolForKey(DefaultsKey::audioSyncWithoutTimecode))
        for (const SoundPlacementResult& placed : placeFilesWithoutTimecode(pool.files()))
            if (!quiet)
                std::cerr << printableText(placed.file->name()) << ": " << placed.text() << "\n";
    return allRead;
}

}  // namespace vorlane::cli
