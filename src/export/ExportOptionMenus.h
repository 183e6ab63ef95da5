// The value tables of the pop-up menus that the export option views share: the project frame
// rates (XML and AAF views), the project video formats and audio rates (XML view). Each answers
// the value of an item, and the item a value preselects.
#pragma once

#include <cstdint>
#include <optional>

namespace vorlane::ExportOptionMenus {

struct FrameRateChoice {
    double frameRate = 0.0;
    bool dropFrame = false;
};

struct VideoFormatChoice {
    double width = 0.0;
    double height = 0.0;
    bool interlaced = false;
};

// The item of the video-format menu whose size comes from the two custom fields.
inline constexpr int64_t kCustomVideoFormatIndex = 23;

// 23.976, 24, 25, 29.97, 29.97 DF, 30, 50, 59.94, 59.94 DF, 60; any other index gives 0.0.
FrameRateChoice frameRateAtIndex(int64_t index);
// The item a timecode rate selects, by exact equality of the rate; nothing for a rate without
// an item (the selection then stays).
std::optional<int64_t> indexOfFrameRate(double frameRate, bool dropFrame);

// The picture size of an item; the custom item takes the integer values of the custom fields.
VideoFormatChoice videoFormatAtIndex(int64_t index, double customWidth, double customHeight);
// The item a picture size selects: the listed sizes their item, an unlisted width the custom
// item; nothing for a listed width with an unlisted height (the selection then stays).
std::optional<int64_t> indexOfVideoSize(double width, double height);

// 32000, 44100, 48000, 88200, 96000 Hz; any other index 48000.
double audioSampleRateAtIndex(int64_t index);

}  // namespace vorlane::ExportOptionMenus
