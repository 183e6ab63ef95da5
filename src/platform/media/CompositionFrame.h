// One picture of a playing composition, as decoded: the planes of the source's own pixel layout
// packed without padding (what a frame checksum of a decoder covers), and where it came from.
// Gaps and pictures that cannot be read are black frames of the track's picture size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"
#include "platform/Image.h"

namespace vorlane {

struct CompositionFrame {
    CMTime time = kCMTimeInvalid;      // composition time from which it is shown
    CMTime duration = kCMTimeInvalid;  // how long it is shown
    int width = 0;
    int height = 0;
    std::string pixelFormat;      // the decoder's name of the layout ("yuv420p", "yuv422p10le")
    std::vector<uint8_t> pixels;  // every plane, row after row without padding, plane after plane
    bool black = false;           // a gap, or a picture that could not be read
    std::filesystem::path sourceURL;     // empty for black
    CMTime sourceTime = kCMTimeInvalid;  // presentation time in the source file
};

// The frame as RGBA scaled to fit the bounds with its size ratio kept (the player view draws
// it); nothing for a frame without pixels.
std::optional<Image> imageOfFrame(const CompositionFrame& frame, int maxWidth, int maxHeight);

}  // namespace vorlane
