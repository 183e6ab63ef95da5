// `vorlane ltc FILE [--fps R] [--track N] [--channel N] [--offset FRAMES] [--ranges 0-4]
// [--algorithm 0-4] [--json] [--quiet]`: reads the file's audio timecode (LTC) once with the
// given parameters, as the read-audio-timecode command of the application does, and prints every
// audio timecode found (text, rate, drop frame, user bits, source), or says that none was found
// and what was read. Tracks and channels count from 1, as the sources print them; without them
// every track and channel is read. --fps 0 (the default) detects the rate.
//
// --json prints the audio timecodes as an array of timecode objects (MediaJson.h); empty when
// none was found.
//
// Exit status: 0 when an audio timecode was found; 1 when none was found or the file could not
// be read (stderr says why); 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runLtcCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
