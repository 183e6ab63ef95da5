// The JSON forms of the media model that the command prints with --json: timecode objects,
// tracks and pool files (the fields scripts rely on; see the README's command-line contract).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "timecode/TCHelper.h"

namespace vorlane::cli {

// "unknown", "audio", "video" or "movie".
std::string mediaTypeWord(int32_t type);
// The code's four characters ("avc1", "lpcm"); unprintable bytes as '.', empty for 0.
std::string fourCCText(uint32_t code);

// {"text" (wrapped at 24 h), "frameRate", "dropFrame", "type" ("plain", "file" or "audio"),
//  "source", "userBits" ("XX.XX.XX.XX"), "seconds" (the time including the offset)}; null for
// no timecode.
nlohmann::ordered_json timecodeJson(const std::shared_ptr<TCHelper>& timecode);

// {"kind", "number", "codec", "fourCC", then "width", "height", "frameRate" for video;
//  "channels", "bitDepth", "sampleRate", "channelMask" for audio; "timecode" for timecode}.
nlohmann::ordered_json trackJson(const MediaTrack& track);

// The object with a "url" beside its "path" when the path is not valid UTF-8 (JSON shows such a
// path with replacement characters): "file://" and the path's bytes, percent-escaped where they
// are not plain, so that the file can be found again.
nlohmann::ordered_json withPathURL(const nlohmann::ordered_json& object,
                                   const std::filesystem::path& path);

// One pool file: path (and url, see above), name, container, mediaType, syncGroup, linked,
// duration, frameRate, timecode, fileTimecode, audioTimecode, metadata (the string values), tracks,
// info (the five readable summaries) and syncInfo (the sync information line, or null when it was
// not asked for or is empty).
nlohmann::ordered_json mediaFileJson(const MediaFile& file, bool withSyncInfo);

}  // namespace vorlane::cli
