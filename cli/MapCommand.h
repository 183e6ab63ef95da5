// `vorlane map PATH... [--json] [--quiet]`: adds the files and folders to a pool as a drop would,
// waits for their analysis, numbers the devices' groups and prints the sync map as the
// application shows it: every track with its segments (source file, where in the file the
// material starts, where it lies on the map, its length) and the cut ranges (the empty stretches
// removed, in the order removed). --json prints `{"name", "duration", "timecode", "tracks",
// "cutRanges"}` (CompositionJson.h).
//
// Exit status: 0; 1 when an input failed (as for `vorlane scan`); 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runMapCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
