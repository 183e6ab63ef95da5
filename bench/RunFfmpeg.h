// The benchmarks make their media with ffmpeg: one run, quiet, overwriting what it writes.
#pragma once

#include <string>
#include <vector>

#include "platform/Process.h"

namespace vorlane {

// True when ffmpeg ran and succeeded.
inline bool ffmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"ffmpeg", "-v", "error", "-y"});
    const auto result = runProcess(arguments);
    return result && result->exitStatus == 0;
}

}  // namespace vorlane
