#include "platform/media/CompositionFrame.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "platform/ffmpeg/FrameImage.h"

namespace vorlane {

std::optional<Image> imageOfFrame(const CompositionFrame& frame, int maxWidth, int maxHeight) {
    const AVPixelFormat format = av_get_pix_fmt(frame.pixelFormat.c_str());
    if (format == AV_PIX_FMT_NONE || frame.width <= 0 || frame.height <= 0 || maxWidth <= 0 ||
        maxHeight <= 0)
        return std::nullopt;
    const int size = av_image_get_buffer_size(format, frame.width, frame.height, 1);
    if (size <= 0 || frame.pixels.size() < size_t(size)) return std::nullopt;
    // A frame that borrows the packed planes; the conversion only reads them.
    AVFrame picture{};
    picture.width = frame.width;
    picture.height = frame.height;
    picture.format = format;
    picture.sample_aspect_ratio = AVRational{1, 1};
    av_image_fill_arrays(picture.data, picture.linesize, frame.pixels.data(), format, frame.width,
                         frame.height, 1);
    return imageOfPicture(&picture, maxWidth, maxHeight);
}

}  // namespace vorlane
