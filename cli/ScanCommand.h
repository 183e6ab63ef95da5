// `vorlane scan PATH... [--json] [--no-ltc] [--no-thumbnails] [--thumbnails DIR] [--sync-info]
// [--quiet]`: adds the files and folders to a pool as a drop would, waits for their analysis and
// prints one row per file (name, container, type, group, timecode, duration, the video and audio
// summaries), or with --json `{"files": [...], "skipped": [...]}` (MediaJson.h). --no-ltc and
// --no-thumbnails switch the analysis options "ReadAudioTc" and "CreateThumbnail" off for the run;
// --thumbnails writes each file's 160 × 90 thumbnail into DIR as "<file name>.png" ("-2", "-3" ...
// added when names repeat; files shown by an application picture, such as sound files, get none);
// --sync-info adds each file's sync information.
//
// `vorlane info FILE... [--detailed] [--quiet]`: the information text of every file (the detailed
// form with --detailed).
//
// Progress goes to stderr unless --quiet. Exit status: 0; 1 when an input failed (a named path
// that is missing or not a supported media file, a file of which nothing could be read; stderr
// says which and why); 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

int runScanCommand(const std::vector<std::string>& arguments);
int runInfoCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
