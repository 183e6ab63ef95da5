#include "media/ThumbnailPicture.h"

#include <algorithm>
#include <cmath>

namespace vorlane {

Image thumbnailPicture(const Image& picture) {
    if (!picture.hasPixels()) return picture;
    const double scale = std::min(
        {1.0, double(kThumbnailWidth) / picture.width, double(kThumbnailHeight) / picture.height});
    const int width = std::clamp(int(std::lround(picture.width * scale)), 1, kThumbnailWidth);
    const int height = std::clamp(int(std::lround(picture.height * scale)), 1, kThumbnailHeight);
    const int left = (kThumbnailWidth - width) / 2;
    const int top = (kThumbnailHeight - height) / 2;

    Image thumbnail;
    thumbnail.width = kThumbnailWidth;
    thumbnail.height = kThumbnailHeight;
    thumbnail.rgba.assign(size_t(kThumbnailWidth) * kThumbnailHeight * 4, 0);
    for (size_t i = 3; i < thumbnail.rgba.size(); i += 4)
        thumbnail.rgba[i] = 0xff;
    // Nearest source pixel for each target pixel (pictures from the image generator already
    // have their final size, so this only copies them).
    for (int y = 0; y < height; ++y) {
        const int sourceY = std::min(picture.height - 1, int(int64_t(y) * picture.height / height));
        for (int x = 0; x < width; ++x) {
            const int sourceX =
                std::min(picture.width - 1, int(int64_t(x) * picture.width / width));
            const uint8_t* from = picture.rgba.data() +
                                  (size_t(sourceY) * size_t(picture.width) + size_t(sourceX)) * 4;
            uint8_t* to =
                thumbnail.rgba.data() + (size_t(top + y) * kThumbnailWidth + size_t(left + x)) * 4;
            std::copy(from, from + 4, to);
        }
    }
    return thumbnail;
}

}  // namespace vorlane
