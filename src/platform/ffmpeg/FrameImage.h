// A decoded picture as RGBA, scaled to fit a size with its display aspect ratio kept (thumbnails,
// the player view). Private to src/platform/.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <optional>

#include "platform/Image.h"

namespace vorlane {

// Nothing for a frame without a picture or that cannot be converted.
std::optional<Image> imageOfPicture(const AVFrame* frame, int maxWidth, int maxHeight);

}  // namespace vorlane
