#include "platform/media/ImageEncoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

#include "platform/ffmpeg/AssetContext.h"

namespace vorlane {

std::optional<std::vector<uint8_t>> encodePNG(const Image& image) {
    if (!image.hasPixels()) return std::nullopt;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec) return std::nullopt;
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!encoder || !frame || !packet) return std::nullopt;
    encoder->width = image.width;
    encoder->height = image.height;
    encoder->pix_fmt = AV_PIX_FMT_RGBA;
    encoder->time_base = AVRational{1, 1};
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0) return std::nullopt;

    frame->width = image.width;
    frame->height = image.height;
    frame->format = AV_PIX_FMT_RGBA;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return std::nullopt;
    const size_t rowBytes = size_t(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(frame->data[0] + size_t(y) * size_t(frame->linesize[0]),
                    image.rgba.data() + size_t(y) * rowBytes, rowBytes);
    }
    frame->pts = 0;
    if (avcodec_send_frame(encoder.get(), frame.get()) < 0 ||
        avcodec_send_frame(encoder.get(), nullptr) < 0 ||
        avcodec_receive_packet(encoder.get(), packet.get()) < 0) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(packet->data, packet->data + packet->size);
}

}  // namespace vorlane
