// `vorlane export fcpxml|xml|aaf -o FILE PATH... [options]`: adds the files and folders to a pool
// as a drop would, waits for their analysis and runs the same XML or AAF export run as the
// desktop application: the run's log on stdout (and with --log FILE in that file), progress on
// stderr.
//
//   --version 1.5|1.6|1.7   FCPXML version (default: the stored choice, else 1.7)
//   --nested | --linked     xmeml: synced clips as nested sequences or as linked clip items
//                           (default: the stored choice, else nested)
//   --rate R [--drop-frame] project frame rate (XML and AAF): 23.976, 24, 25, 29.97, 30, 50,
//                           59.94, 60
//                           (default: the most common rate of the files)
//   --size WxH [--interlaced] project picture size (default: the largest picture of the files)
//   --audio-rate HZ         32000, 44100, 48000 (default), 88200 or 96000
//   --no-synced-clips       only the files and the sync map, no synced clips
//   --batch                 AAF: media for a batch import (default: linked in place, AMA)
//   --open                  FCPXML: open the written file with the desktop's application for it
//   --log FILE              also write the log to FILE
//   --strict                a warning about the destination refuses the export
//   --quiet                 no progress on stderr
//
// The destination is checked before anything is read: a missing folder, a folder that does
// not take new files or (with --strict) any warning ends the command with one error line and
// exit status 1. The document is written to a temporary file beside the destination and
// renamed, so a destination never holds a partial document. Exit status: 0 written; 1 not
// written, or some input failed; 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runExportCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
