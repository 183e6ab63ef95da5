#include "PoolRun.h"

#include <iostream>
#include <memory>

#include "ConsoleProgress.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vorlane::cli {

std::optional<PathInput> parsePathInput(const std::vector<std::string>& arguments,
                                        const std::set<std::string>& flagOptions,
                                        const std::set<std::string>& valueOptions, const char* what,
                                        int& status) {
    std::string error;
    auto parsed = parseArguments(arguments, flagOptions, valueOptions, error);
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
        if (file->type() != MediaTypeUnknown) continue;
        std::cerr << "vorlane: " << printableText(file->sourceURLPath().native())
                  << ": no audio or video could be read\n";
        allRead = false;
    }
    return allRead;
}

}  // namespace vorlane::cli
