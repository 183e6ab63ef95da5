#include "platform/media/SegmentPacketReader.h"

#include "platform/FileReader.h"

namespace vorlane {
namespace {

// How far before the time a seek goes again when the sync sample found is shown after the time;
// doubled until one is shown at or before it.
const CMTime kSeekBack = CMTimeMake(1, 1);

}  // namespace

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
    const AVRational timeBase = stream()->time_base;
    // Containers find sync samples by decoding time. One found that way can be shown after the
    // time: the pictures shown before it then refer to pictures before it (the leading pictures of
    // an open group of pictures, as HEVC and open-GOP H.264 make them, or the end of the group
    // before), and the decoder drops or damages them. A sync sample further back decodes them.
    CMTime target = sourceTime;
    for (CMTime back = kSeekBack;; back = CMTimeMultiply(back, 2)) {
        opened_.context->seekStream(opened_.streamIndex,
                                    opened_.context->streamTimestamp(target, timeBase));
        peeked_.reset(av_packet_alloc());
        if (!readStream(peeked_.get(), peekedDecodeTime_, peekedPresentationTime_)) {
            peeked_.reset();
            return;
        }
        const bool shownAfter = (peeked_->flags & AV_PKT_FLAG_KEY) != 0 &&
                                peekedPresentationTime_.isValid() &&
                                peekedPresentationTime_ > sourceTime;
        if (!shownAfter || target <= kCMTimeZero) return;
        target = CMTimeMaximum(sourceTime - back, kCMTimeZero);
    }
}

bool SegmentPacketReader::read(AVPacket* packet, CMTime& decodeTime, CMTime& presentationTime) {
    if (peeked_) {
        av_packet_move_ref(packet, peeked_.get());
        peeked_.reset();
        decodeTime = peekedDecodeTime_;
        presentationTime = peekedPresentationTime_;
    } else if (!readStream(packet, decodeTime, presentationTime)) {
        return false;
    }
    if (decodeTime.isValid() && decodeTime >= segment_.sourceRange.end()) {
        av_packet_unref(packet);
        return false;
    }
    return true;
}

bool SegmentPacketReader::readStream(AVPacket* packet, CMTime& decodeTime,
                                     CMTime& presentationTime) {
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
        return true;
    }
    return false;
}

}  // namespace vorlane
