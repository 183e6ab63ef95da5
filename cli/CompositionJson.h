// The printed forms of compositions for `vorlane sync` and `vorlane map`: JSON (the contract of
// the README) and readable text. Times are given in seconds and, for the exact value, as the
// rational "value/timescale"; readable text also shows them as timecode.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "sync/MediaComposition.h"
#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncComposition.h"

namespace vorlane::cli {

// "value/timescale" of a time; null for an invalid one.
nlohmann::ordered_json rationalJson(CMTime time);

// {"source" (the file's path or null for a gap), "sourceStart" (null for a gap), "targetStart",
//  "duration" in seconds, "rational": the same three times exactly}.
nlohmann::ordered_json segmentJson(const MediaSegment& segment);
// [{"kind", "number", "id", "segments": [...]}] for every track with segments.
nlohmann::ordered_json compositionTracksJson(const MediaComposition& composition);

// {"master", "name", "status", "timecode" (the clip's start as a timecode object, or null),
//  "duration", "files" (the matched files' paths), "tracks"}.
nlohmann::ordered_json syncClipJson(const MediaSyncComposition& clip);
// {"name", "duration", "timecode", "tracks", "cutRanges": [{"start", "duration", "rational"}]}.
nlohmann::ordered_json layoutJson(const MediaLayoutComposition& layout);

// The timecode text at a composition time.
using CompositionClock = std::function<std::string(CMTime time)>;
// One block per track, one line per segment: the source file, where in it the material starts,
// where it lies in the composition, and its length, each as timecode and seconds.
void printCompositionTracks(std::ostream& out, const MediaComposition& composition,
                            const CompositionClock& clock);
// The clip's start as a timecode at the master's rate; none without timecode.
std::shared_ptr<TCHelper> clipStartTimecode(const MediaSyncComposition& clip);

}  // namespace vorlane::cli
