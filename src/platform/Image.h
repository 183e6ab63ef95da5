// A picture kept in memory as 8-bit RGBA rows (thumbnails), or a named application picture
// ("film.png", "WaveformIcon.png", the caution icon) that the front ends draw themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width × height × 4 bytes, rows top to bottom
    std::string resourceName;   // set for the application's own pictures, which carry no pixels

    static Image named(std::string name) {
        Image image;
        image.resourceName = std::move(name);
        return image;
    }
    bool hasPixels() const {
        return width > 0 && height > 0 && rgba.size() == size_t(width) * size_t(height) * 4;
    }
};

}  // namespace vorlane
