// `vorlane verify PATH... [--json] [--quiet]`: adds the files and folders to a pool as a drop
// would, waits for their analysis and checks every synced clip by its sound: the camera's
// scratch sound is aligned with the recorder's around the offset the timecodes give. Per clip it
// prints the picture file, the sound file compared, the verdict ("sound agrees (±N samples)",
// "sound disagrees: +3 frames 2 ms (confidence 0.94)", "sound cannot confirm: REASON"), the
// timecode and audio offsets (the sound file's time at the picture file's start), their
// difference in frames and milliseconds (positive: the timecode places the picture later than
// its sound), the confidence, and for takes longer than two minutes the clock drift in ppm and
// in frames over the take. Clips without an overlapping sound file are left out.
//
// --json prints `{"clips": [...]}`, one object per checked clip.
//
// Exit status: 0; 1 when an input failed (as for `vorlane scan`) or a clip's sound disagrees
// with its timecode; 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runVerifyCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
