// Where in a file the LTC reader looks: the reading-window settings, stored as the integer codes
// 0-4 (the read-audio-timecode panel's "ranges" popup and its user default). Codes outside 0-4
// can be held and read nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

enum class LtcReadingRanges : int32_t {
    FirstSecond = 0,
    MiddleSecond = 1,
    MiddleStartAndEnd = 2,  // two seconds each
    WholeFile = 3,
    EverywhereThenWholeFile = 4,  // a second each from the start, the middle and the end
};

// The setting of a code 0-4; nothing for other codes.
std::optional<LtcReadingRanges> readingRangesWithCode(int64_t code);
// What the setting reads, for people: "the first second", "the whole file" ...
std::string description(LtcReadingRanges ranges);

// The windows of the setting in the order tried (start, length) in a file of `duration`, with
// times made at `timescale` (d ÷ 2 halves the duration's value at its own timescale). Windows
// near the end start before zero in short files. Nothing for a setting outside 0-4.
std::optional<std::vector<CMTimeRange>> readingTimeRanges(LtcReadingRanges ranges, CMTime duration,
                                                          int32_t timescale);

}  // namespace vorlane
