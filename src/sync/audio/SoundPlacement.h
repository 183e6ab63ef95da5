// Files without timecode (phones, stills cameras) placed by their sound: each is searched for
// among the day's sound files with timecode, and where its sound is found it gets a timecode
// derived from the recorder's ("sound matched to NAME, confidence C"), so it syncs like any
// other file in sync, the map and every export.
//
// The recorders' loudness contours are built once while their sound is read; only short
// stretches of them are read again where a file's sound may lie.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sync/audio/AudioAlignment.h"

namespace vorlane {

class MediaFile;
class TCHelper;

struct SoundPlacementResult {
    std::shared_ptr<MediaFile> file;
    std::shared_ptr<MediaFile> recorder;  // where its sound was found (or best matched)
    AudioAlignment alignment;
    std::shared_ptr<TCHelper> timecode;  // the derived timecode, when placed

    bool placed() const { return timecode != nullptr; }
    // "placed by sound: sound matched to NAME, confidence C" or "cannot place by sound: REASON".
    std::string text() const;
};

// Places every file of `files` without timecode that has sound against the files with timecode
// that hold only sound, and adds the derived timecode (kind audio) to each file placed. One
// result per file without timecode that has sound.
std::vector<SoundPlacementResult> placeFilesWithoutTimecode(
    const std::vector<std::shared_ptr<MediaFile>>& files);

}  // namespace vorlane
