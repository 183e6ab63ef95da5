#include "platform/media/CompositionFrame.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace vorlane {
namespace {

struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

}  // namespace

std::optional<Image> imageOfFrame(const CompositionFrame& frame, int maxWidth, int maxHeight) {
    const AVPixelFormat format = av_get_pix_fmt(frame.pixelFormat.c_str());
    if (format == AV_PIX_FMT_NONE || frame.width <= 0 || frame.height <= 0 || maxWidth <= 0 ||
        maxHeight <= 0)
        return std::nullopt;
    const int size = av_image_get_buffer_size(format, frame.width, frame.height, 1);
    if (size <= 0 || frame.pixels.size() < size_t(size)) return std::nullopt;
    const uint8_t* planes[4] = {};
    int strides[4] = {};
    av_image_fill_arrays(const_cast<uint8_t**>(planes), strides, frame.pixels.data(), format,
                         frame.width, frame.height, 1);
    const double scale =
        std::min({1.0, double(maxWidth) / frame.width, double(maxHeight) / frame.height});
    const int width = std::clamp(int(std::lround(frame.width * scale)), 1, maxWidth);
    const int height = std::clamp(int(std::lround(frame.height * scale)), 1, maxHeight);
    std::unique_ptr<SwsContext, ScalerDeleter> scaler(
        sws_getContext(frame.width, frame.height, format, width, height, AV_PIX_FMT_RGBA,
                       SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) return std::nullopt;
    // The scaler may write whole aligned blocks, so it fills a padded buffer first.
    uint8_t* outPlanes[4] = {};
    int outStrides[4] = {};
    if (av_image_alloc(outPlanes, outStrides, width, height, AV_PIX_FMT_RGBA, 64) < 0)
        return std::nullopt;
    const int rows =
        sws_scale(scaler.get(), planes, strides, 0, frame.height, outPlanes, outStrides);
    std::optional<Image> image;
    if (rows == height) {
        image.emplace();
        image->width = width;
        image->height = height;
        image->rgba.resize(size_t(width) * size_t(height) * 4);
        av_image_copy_plane(image->rgba.data(), width * 4, outPlanes[0], outStrides[0], width * 4,
                            height);
    }
    av_freep(&outPlanes[0]);
    return image;
}

}  // namespace vorlane
