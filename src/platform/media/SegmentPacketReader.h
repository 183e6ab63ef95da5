// The packets of one video track of a file over a segment's source range, in decoding order:
// from a sync sample shown at or before a time until the first packet decoded at or after the
// range's end. The movie export copies and re-encodes pictures with it, the player decodes them.
// Private to src/platform/.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <optional>

#include "platform/ffmpeg/AssetContext.h"
#include "platform/media/PlayableComposition.h"

namespace vorlane {

// An opened source of picture packets: the demuxer and the stream of the segment's track.
struct OpenedVideo {
    std::unique_ptr<AssetContext> context;
    int streamIndex = -1;
    AVStream* stream() const { return context->format()->streams[streamIndex]; }
};

// Nothing when the file cannot be opened or the segment's track is not a video track.
std::optional<OpenedVideo> openVideo(const PlayableSegment& segment);

class SegmentPacketReader {
  public:
    // Stands at a sync sample shown at or before the start of the segment's source range.
    SegmentPacketReader(OpenedVideo opened, const PlayableSegment& segment);

    AVStream* stream() const { return opened_.stream(); }
    // A timestamp of the stream in asset time; invalid for none.
    CMTime assetTime(int64_t timestamp) const {
        if (timestamp == AV_NOPTS_VALUE) return kCMTimeInvalid;
        return opened_.context->assetTime(timestamp, stream()->time_base);
    }
    // Moves to a sync sample shown at or before the source time, from which every picture shown
    // from that time on decodes.
    void seekTo(CMTime sourceTime);
    // The next packet with its timestamps in asset time; false at the range's end.
    bool read(AVPacket* packet, CMTime& decodeTime, CMTime& presentationTime);

  private:
    // The next packet of the stream, wherever it is; false at the file's end.
    bool readStream(AVPacket* packet, CMTime& decodeTime, CMTime& presentationTime);

    OpenedVideo opened_;
    PlayableSegment segment_;
    SingleStreamSelection selection_;
    // The first packet after a seek, read to see where the seek landed and not yet handed out.
    PacketPtr peeked_;
    CMTime peekedDecodeTime_ = kCMTimeInvalid;
    CMTime peekedPresentationTime_ = kCMTimeInvalid;
};

}  // namespace vorlane
