// What every command that works on a pool starts with: the paths and options of its arguments,
// then the paths added to the application controller's pool as a drop would add them, the
// analysis followed on stderr, and every input that failed reported there.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "app/ApplicationController.h"

namespace vorlane::cli {

struct PathInput {
    ParsedArguments arguments;
    std::vector<std::filesystem::path> paths;
};

// The arguments with at least one path (every pool command also takes --audio-sync) (`what` names
// them in the usage error); nothing, with `status` set to the usage error's, otherwise.
std::optional<PathInput> parsePathInput(const std::vector<std::string>& arguments,
                                        const std::set<std::string>& flagOptions,
                                        const std::set<std::string>& valueOptions, const char* what,
                                        int& status);

// Adds the paths to the controller's pool and waits for their analysis, with progress on stderr
// unless --quiet; reports every input that failed on stderr (a named path that cannot be taken,
// a file of which nothing could be read). With --audio-sync or the audioSyncWithoutTimecode
// setting, files without timecode are then placed by their sound (stderr says where). Answers
// whether every input could be read.
bool analyzePaths(ApplicationController& controller, const PathInput& input,
                  ApplicationController::AddResult& result);

}  // namespace vorlane::cli
