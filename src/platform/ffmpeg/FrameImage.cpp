#include "platform/ffmpeg/FrameImage.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace vorlane {
namespace {

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

}  // namespace

std::optional<Image> imageOfPicture(const AVFrame* frame, int maxWidth, int maxHeight) {
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

}  // namespace vorlane
