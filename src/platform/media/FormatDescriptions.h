// Format descriptions of FFmpeg streams in the platform's terms: media subtypes as QuickTime
// four-character codes, audio stream descriptions, sample description extension atoms and the
// QuickTime timecode description. Private to src/platform/.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <optional>

#include "platform/media/AssetTypes.h"

namespace vorlane {

// The codec tag of a stream as a four-character code (FFmpeg keeps the first character in the
// lowest byte).
uint32_t fourCCOfCodecTag(uint32_t codecTag);

AssetMediaType mediaTypeOfStream(const AVStream* stream);

// Nothing when neither the codec nor the container's sample description code is known.
// `quickTimeContainer` marks QuickTime and MPEG-4 files, whose codec tags are the sample
// description codes.
std::optional<FormatDescription> describeStream(const AVStream* stream, bool quickTimeContainer);

// The timecode description held in the extradata of a QuickTime timecode stream: the body of
// the 'tmcd' sample description after its reserved bytes (flags, timescale, frame duration,
// number of frames, then an optional 'name' atom with the reel name). Streams without that
// body get flags 0 and the stream's frame rate.
TimecodeFormatDescription describeTimecode(const AVStream* stream);

}  // namespace vorlane
