#include "platform/media/SegmentPacketReader.h"

#include "platform/FileReader.h"

namespace vorlane {

std::optional<OpenedVideo> openVideo(const PlayableSegment& segment) {
    OpenedVideo opened;
    opened.context = AssetContext::open(FileReader::open(segment.sourceURL),
                                        segment.sourceURL.filename().string());
    if (!opened.context) return std::nullopt;
    opened.streamIndex = opened.context->streamIndexOfTrackID(segment.sourceTrackID);
    if (opened.streamIndex < 0 || opened.stream()->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
        return std::nullopt;
    return opened;
}

SegmentPacketReader::SegmentPacketReader(OpenedVideo opened, const PlayableSegment& segment)
    : opened_(std::move(opened)),
      segment_(segment),
      selection_(opened_.context->format(), opened_.streamIndex) {
    // A freshly opened demuxer stands at the start; seeking there could pass a first sync
    // sample that some containers (transport streams) do not index.
    const AVRational timeBase = opened_.stream()->time_base;
    const CMTime streamStart = opened_.context->assetTime(opened_.stream()->start_time, timeBase);
    if (segment.sourceRange.start <= kCMTimeZero ||
        (streamStart.isValid() && segment.sourceRange.start <= streamStart))
        return;
    seekTo(segment.sourceRange.start);
}

void SegmentPacketReader::seekTo(CMTime sourceTime) {
    const AVRational timeBase = opened_.stream()->time_base;
    opened_.context->seekStream(opened_.streamIndex,
                                opened_.context->streamTimestamp(sourceTime, timeBase));
}

bool SegmentPacketReader::read(AVPacket* packet, CMTime& decodeTime, CMTime& presentationTime) {
    AVFormatContext* format = opened_.context->format();
    const AVRational timeBase = stream()->time_base;
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index != opened_.streamIndex) {
            av_packet_unref(packet);
            continue;
        }
        const int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : dts;
        decodeTime = opened_.context->assetTime(dts, timeBase);
        presentationTime = opened_.context->assetTime(pts, timeBase);
        if (decodeTime.isValid() && decodeTime >= segment_.sourceRange.end()) {
            av_packet_unref(packet);
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace vorlane
