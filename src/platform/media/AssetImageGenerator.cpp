#include "platform/media/AssetImageGenerator.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ffmpeg/AssetContext.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

// Packets read at most before giving up on a picture (long groups of pictures, broken files).
constexpr int kPacketLimit = 1200;

struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

// The largest size inside the bounds with the display aspect ratio of the picture.
void fitSize(const AVFrame* frame, int maxWidth, int maxHeight, int& width, int& height) {
    double displayWidth = frame->width;
    const AVRational aspect = frame->sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0) displayWidth *= av_q2d(aspect);
    const double scale = std::min(maxWidth / displayWidth, double(maxHeight) / frame->height);
    width = std::clamp(int(std::lround(displayWidth * scale)), 1, maxWidth);
    height = std::clamp(int(std::lround(frame->height * scale)), 1, maxHeight);
}

std::optional<Image> imageOf(const AVFrame* frame, int maxWidth, int maxHeight) {
    if (frame->width <= 0 || frame->height <= 0 || frame->format < 0) return std::nullopt;
    int width = 0, height = 0;
    fitSize(frame, maxWidth, maxHeight, width, height);
    std::unique_ptr<SwsContext, ScalerDeleter> scaler(
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), width, height,
                       AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) return std::nullopt;
    // The scaler may write whole aligned blocks, so it fills a padded buffer first.
    uint8_t* planes[4] = {};
    int strides[4] = {};
    if (av_image_alloc(planes, strides, width, height, AV_PIX_FMT_RGBA, 64) < 0) {
        return std::nullopt;
    }
    const int rows =
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    std::optional<Image> image;
    if (rows == height) {
        image.emplace();
        image->width = width;
        image->height = height;
        image->rgba.resize(size_t(width) * size_t(height) * 4);
        for (int y = 0; y < height; ++y) {
            std::memcpy(image->rgba.data() + size_t(y) * size_t(width) * 4,
                        planes[0] + size_t(y) * size_t(strides[0]), size_t(width) * 4);
        }
    }
    av_freep(&planes[0]);
    return image;
}

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
        if (status >= 0) return imageOf(frame.get(), maxWidth, maxHeight);
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
