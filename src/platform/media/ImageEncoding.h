// Image files from pictures held in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Image.h"

namespace vorlane {

// The bytes of a PNG file of the picture; nothing for an image without pixels.
std::optional<std::vector<uint8_t>> encodePNG(const Image& image);

}  // namespace vorlane
