// `vorlane still PATH... --master FILE --at TIMECODE -o FRAME.png` and
// `vorlane listen PATH... --master FILE --from TIMECODE --to TIMECODE -o MIX.wav`: add the files
// and folders to a pool as a drop would (FILE too, when it is not among them), wait for their
// analysis, and play FILE's synced clip as a double click does. `still` writes the picture the
// player shows at the timecode as a PNG of the picture's own size (black where the clip has no
// picture); `listen` writes the sound it plays from the start of the --from frame up to the start
// of the --to frame, every channel side by side, as a 32-bit float WAVE file at the clip's sample
// rate. Timecodes are the player's timecode text ("10:00:05:00", ';' before the frames for drop
// frame, or "10000500"). The output appears complete or not at all.
//
// Exit status: 0; 1 when an input failed, the master is not a media file of the pool, a timecode
// lies outside its clip or the output cannot be written; 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runStillCommand(const std::vector<std::string>& arguments);
int runListenCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
