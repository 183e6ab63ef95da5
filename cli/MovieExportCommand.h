// `vorlane export movies|timecode -o FOLDER PATH... [options]`: adds the files and folders to a
// pool as a drop would, waits for their analysis and runs the synchronized movie export or the
// embed-timecode export into the folder, as the desktop application does: the run's log on
// stdout (and saved as vorlane_log.txt in the folder), progress on stderr.
//
//   --video-codec C   copy (default: the stored choice), h264, hevc, prores-proxy, prores-lt,
//                     prores, prores-hq, prores-4444, dnxhr, avc-intra-50, avc-intra-100,
//                     avc-intra-200; only codecs the linked FFmpeg can encode are accepted
//   --bitrate B       bits per second for h264 and hevc (default 12000000)
//   --size WxH        3840x2160, 1920x1080, 1280x720, 1024x576 or 640x360 (re-encoding only)
//   --audio A         keep, lpcm (the source's rate and depth), lpcm-44.1-16, lpcm-48-16,
//                     lpcm-48-24, lpcm-96-24
//   --quiet           no progress on stderr
//
// Ctrl-C stops the run after the current file, which ends as "manually stopped" and leaves
// nothing behind; a second Ctrl-C ends the program at once. Exit status: 0 every file written;
// 1 some file failed or some input could not be read, or the folder cannot be written; 2 usage
// error.
#pragma once

#include <string>
#include <vector>

namespace vorlane::cli {

// `arguments` starts with the kind ("movies" or "timecode").
int runMovieExportCommand(const std::vector<std::string>& arguments);

}  // namespace vorlane::cli
