#include "PlayerCommands.h"

#include <functional>
#include <iostream>

#include "PoolRun.h"
#include "app/PlayerExcerpt.h"
#include "app/SyncMasters.h"
#include "platform/Text.h"

namespace vorlane::cli {
namespace {

using ExcerptWriter = std::function<bool(const PathInput&, const PlayerExcerpt&)>;

// The options' timecodes are checked before anything is read.
bool timecodesAreText(const PathInput& input, const std::vector<std::string>& options,
                      int& status) {
    for (const std::string& option : options) {
        const auto text = input.arguments.value(option);
        if (!text) {
            status = usageError(option + " TIMECODE is needed");
            return false;
        }
        if (!timecodeFieldsOfText(*text)) {
            status = usageError(option + " " + *text + ": not a timecode (hh:mm:ss:ff)");
            return false;
        }
    }
    return true;
}

// Reads the paths and the master, then lets `write` make the output of the master's clip.
int runWithExcerpt(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& timecodeOptions, const ExcerptWriter& write) {
    int status = kExitSuccess;
    std::set<std::string> valueOptions = {"--master", "-o"};
    valueOptions.insert(timecodeOptions.begin(), timecodeOptions.end());
    auto input = parsePathInput(arguments, {"--quiet"}, valueOptions, "paths", status);
    if (!input) return status;
    const auto masterPath = input->arguments.value("--master");
    if (!masterPath) return usageError("--master FILE is needed");
    if (!input->arguments.value("-o")) return usageError("-o FILE is needed");
    if (!timecodesAreText(*input, timecodeOptions, status)) return status;
    input->paths.emplace_back(*masterPath);

    ApplicationController controller;
    MediaPool& pool = controller.mediaPool();
    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    pool.enumerateSyncGroups();
    const std::shared_ptr<MediaFile> master = poolFileForPath(pool, *masterPath);
    if (!master) {
        std::cerr << "vorlane: " << printableText(*masterPath)
                  << ": not a media file of the pool\n";
        return kExitInputFailed;
    }
    const PlayerExcerpt excerpt(master, pool);
    return write(*input, excerpt) && allRead ? kExitSuccess : kExitInputFailed;
}

// The composition time the option's timecode stands for; nothing (said on stderr) when the clip
// does not show it.
std::optional<CMTime> timeOfOption(const PathInput& input, const PlayerExcerpt& excerpt,
                                   const std::string& option, bool endIncluded) {
    const std::string text = *input.arguments.value(option);
    const auto time = excerpt.timeOfTimecode(*timecodeFieldsOfText(text), endIncluded);
    if (!time)
        std::cerr << "vorlane: " << option << " " << printableText(text)
                  << ": outside the synced clip \"" << printableText(excerpt.composition().name())
                  << "\", which shows " << excerpt.timecodeSpanText() << "\n";
    return time;
}

bool reportResult(const ExcerptResult& result, const std::string& output, const std::string& what) {
    if (!result.written) {
        std::cerr << "vorlane: " << printableText(result.message) << "\n";
        return false;
    }
    std::cout << printableText(output) << ": " << what << " (" << printableText(result.message)
              << ")\n";
    return true;
}

}  // namespace

int runStillCommand(const std::vector<std::string>& arguments) {
    return runWithExcerpt(arguments, {"--at"},
                          [](const PathInput& input, const PlayerExcerpt& excerpt) {
                              const auto at = timeOfOption(input, excerpt, "--at", false);
                              if (!at) return false;
                              const std::string output = *input.arguments.value("-o");
                              return reportResult(excerpt.writeStill(*at, output), output,
                                                  "picture at " + excerpt.timecodeText(*at));
                          });
}

int runListenCommand(const std::vector<std::string>& arguments) {
    return runWithExcerpt(
        arguments, {"--from", "--to"}, [](const PathInput& input, const PlayerExcerpt& excerpt) {
            const auto from = timeOfOption(input, excerpt, "--from", false);
            const auto to = timeOfOption(input, excerpt, "--to", true);
            if (!from || !to) return false;
            if (*to <= *from) {
                std::cerr << "vorlane: --to must come after --from\n";
                return false;
            }
            const std::string output = *input.arguments.value("-o");
            return reportResult(
                excerpt.writeSound(*from, *to, output), output,
                "sound from " + excerpt.timecodeText(*from) + " to " + excerpt.timecodeText(*to));
        });
}

}  // namespace vorlane::cli
