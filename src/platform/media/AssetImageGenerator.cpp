#include "platform/media/AssetImageGenerator.h"

#include <algorithm>

#include "platform/ffmpeg/AssetContext.h"
#include "platform/ffmpeg/FrameImage.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

// Packets read at most before giving up on a picture (long groups of pictures, broken files).
constexpr int kPacketLimit = 1200;

}  // namespace

AssetImageGenerator::AssetImageGenerator(std::shared_ptr<MediaAsset> asset)
    : asset_(std::move(asset)) {}

void AssetImageGenerator::setMaximumSize(int width, int height) {
    maximumWidth_ = std::max(width, 1);
    maximumHeight_ = std::max(height, 1);
}

namespace {

// The first picture the decoder gives from the demuxer's current position on.
std::optional<Image> firstPicture(AVFormatContext* format, int index, AVCodecContext* decoder,
                                  int maxWidth, int maxHeight) {
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) return std::nullopt;
    bool draining = false;
    for (int read = 0; read < kPacketLimit; ++read) {
        if (!draining) {
            if (av_read_frame(format, packet.get()) < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
            } else {
                if (packet->stream_index == index) avcodec_send_packet(decoder, packet.get());
                av_packet_unref(packet.get());
            }
        }
        const int status = avcodec_receive_frame(decoder, frame.get());
        if (status >= 0) return imageOfPicture(frame.get(), maxWidth, maxHeight);
        if (status != AVERROR(EAGAIN)) break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Image> AssetImageGenerator::copyImageAtTime(CMTime time) const {
    const auto videoTracks = asset_->tracksWithMediaType(AssetMediaType::Video);
    if (videoTracks.empty()) return std::nullopt;
    AssetContext& context = asset_->context();
    const std::lock_guard lock(context.mutex());
    const int index = context.streamIndexOfTrackID(videoTracks.front().trackID);
    if (index < 0) return std::nullopt;
    AVFormatContext* format = context.format();
    const AVStream* stream = format->streams[index];
    CodecContextPtr decoder = openDecoder(stream);
    if (!decoder) return std::nullopt;
    const SingleStreamSelection selection(format, index);
    if (!context.seekStream(index, context.streamTimestamp(time, stream->time_base))) {
        return std::nullopt;
    }
    if (auto image = firstPicture(format, index, decoder.get(), maximumWidth_, maximumHeight_))
        return image;
    // Transport streams seek by time stamps that need not belong to a sync sample, so a seek can
    // land after the only one there is; then the picture is the first of the stream.
    if (av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) < 0) return std::nullopt;
    decoder = openDecoder(stream);
    if (!decoder) return std::nullopt;
    return firstPicture(format, index, decoder.get(), maximumWidth_, maximumHeight_);
}

}  // namespace vorlane
