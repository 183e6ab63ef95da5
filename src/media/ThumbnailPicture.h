// Thumbnails of the file list: pictures of one size, 160 × 90, whatever the shape of the
// source picture.
#pragma once

#include "platform/Image.h"

namespace vorlane {

inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 90;

// The picture scaled to fit 160 × 90 with its shape kept and centred on black. Pictures without
// pixels (named resources) stay as they are.
Image thumbnailPicture(const Image& picture);

}  // namespace vorlane
