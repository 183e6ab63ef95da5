#include "export/ExportOptionMenus.h"

#include <array>
#include <cmath>

namespace vorlane::ExportOptionMenus {
namespace {

constexpr double kRate23976 = 24000.0 / 1001.0;
constexpr double kRate2997 = 30000.0 / 1001.0;
constexpr double kRate5994 = 60000.0 / 1001.0;

constexpr std::array<FrameRateChoice, 10> kFrameRates = {{{kRate23976, false},
                                                          {24.0, false},
                                                          {25.0, false},
                                                          {kRate2997, false},
                                                          {kRate2997, true},
                                                          {30.0, false},
                                                          {50.0, false},
                                                          {kRate5994, false},
                                                          {kRate5994, true},
                                                          {60.0, false}}};

// Items 2, 6, 12, 18 and 22 are headings that answer their neighbour's value.
constexpr std::array<VideoFormatChoice, 22> kVideoFormats = {
    {{720, 576, true},    {720, 640, true},    {1280, 720, false},  {1280, 720, false},
     {1920, 1080, false}, {1920, 1080, true},  {2048, 1024, false}, {2048, 1024, false},
     {2048, 1080, false}, {2048, 1152, false}, {2048, 1536, false}, {2048, 1556, false},
     {3840, 2160, false}, {3840, 2160, false}, {4096, 2048, false}, {4096, 2160, false},
     {4096, 2304, false}, {4096, 3112, false}, {5120, 2160, false}, {5120, 2160, false},
     {5120, 2560, false}, {5120, 2700, false}}};

struct SizeItem {
    double width;
    double height;
    int64_t index;
};

// The items that preselection picks (the second of each heading pair).
constexpr std::array<SizeItem, 17> kSizeItems = {{{720, 576, 0},
                                                  {720, 640, 1},
                                                  {1280, 720, 3},
                                                  {1920, 1080, 4},
                                                  {2048, 1024, 7},
                                                  {2048, 1080, 8},
                                                  {2048, 1152, 9},
                                                  {2048, 1536, 10},
                                                  {2048, 1556, 11},
                                                  {3840, 2160, 13},
                                                  {4096, 2048, 14},
                                                  {4096, 2160, 15},
                                                  {4096, 2304, 16},
                                                  {4096, 3112, 17},
                                                  {5120, 2160, 19},
                                                  {5120, 2560, 20},
                                                  {5120, 2700, 21}}};

constexpr std::array<double, 5> kAudioRates = {32000, 44100, 48000, 88200, 96000};

}  // namespace

FrameRateChoice frameRateAtIndex(int64_t index) {
    if (index < 0 || index >= int64_t(kFrameRates.size())) return {};
    return kFrameRates[size_t(index)];
}

std::optional<int64_t> indexOfFrameRate(double frameRate, bool dropFrame) {
    if (frameRate == kRate23976) return 0;
    if (frameRate == 24.0) return 1;
    if (frameRate == 25.0) return 2;
    if (frameRate == kRate2997) return dropFrame ? 4 : 3;
    if (frameRate == 30.0) return 5;
    if (frameRate == 50.0) return 6;
    if (frameRate == kRate5994) return dropFrame ? 8 : 7;
    if (frameRate == 60.0) return 9;
    return std::nullopt;
}

VideoFormatChoice videoFormatAtIndex(int64_t index, double customWidth, double customHeight) {
    if (index == 22 || index == kCustomVideoFormatIndex)
        return {std::trunc(customWidth), std::trunc(customHeight), false};
    if (index < 0 || index >= int64_t(kVideoFormats.size())) return {1920, 1080, false};
    return kVideoFormats[size_t(index)];
}

std::optional<int64_t> indexOfVideoSize(double width, double height) {
    bool listedWidth = false;
    for (const SizeItem& item : kSizeItems) {
        if (item.width != width) continue;
        listedWidth = true;
        if (item.height == height) return item.index;
    }
    if (listedWidth) return std::nullopt;
    return kCustomVideoFormatIndex;
}

double audioSampleRateAtIndex(int64_t index) {
    if (index < 0 || index >= int64_t(kAudioRates.size())) return 48000;
    return kAudioRates[size_t(index)];
}

}  // namespace vorlane::ExportOptionMenus
