// `vorlane sync PATH... [--json] [--master FILE] [--multicam] [--keep-camera-audio] [--quiet]`:
// adds the files and folders to a pool as a drop would, waits for their analysis, numbers the
// devices' groups and prints, for every video file (or only for --master FILE, which is added
// when it is not among the paths), its synced clip as the player shows it: name, status, start
// timecode, the matched files and every track with its segments (source file, where in the file
// the material starts, where it lies in the clip, its length). A clip that did not sync says why
// (its status word). --multicam and --keep-camera-audio switch those settings on for the run.
// --json prints `{"clips": [...]}` (CompositionJson.h).
//
// Exit status: 0; 1 when an input failed (as for `vorlane scan`) or the master is not a media
// file of the pool; 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runSyncCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
