// Metadata items from FFmpeg's metadata dictionaries. FFmpeg keeps every container's tags as
// text under its own generic names ("title", "artist"); this maps them back to the key spaces
// and keys the platform uses: QuickTime metadata keys ('mdta', reverse-DNS names kept as they
// are), QuickTime user data ("©nam"), iTunes ("©nam", "aART"), ID3 frames ("TIT2"). Values that
// FFmpeg reads from container structures (brands, handler names, languages) and every tag of
// other containers go to the container key space under FFmpeg's own name. Private to
// src/platform/.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <optional>
#include <string>
#include <vector>

#include "platform/MetadataValue.h"
#include "platform/media/AssetTypes.h"

namespace vorlane {

enum class MetadataFlavor {
    QuickTime,  // QuickTime movies: user data items
    MPEG4,      // MPEG-4 family: iTunes items
    ID3,        // MP3: ID3 frames
    Other,
};

std::vector<MetadataItem> metadataItemsOf(const AVDictionary* dictionary, MetadataFlavor flavor,
                                          bool trackLevel);

// A cover picture kept by the demuxer as an attached picture stream.
MetadataItem pictureItemOf(const AVPacket& picture, MetadataFlavor flavor);

// "2024-05-06T07:08:09.123456Z", with an offset ("+02:00", "+0200") or none (UTC assumed), and
// with a space instead of the "T".
std::optional<MetadataDate> parseISO8601Date(const std::string& text);

}  // namespace vorlane
