#include "media/LtcReadingRanges.h"

namespace vorlane {

std::optional<LtcReadingRanges> readingRangesWithCode(int64_t code) {
    if (code < 0 || code > int64_t(LtcReadingRanges::EverywhereThenWholeFile)) return std::nullopt;
    return LtcReadingRanges(code);
}

std::string description(LtcReadingRanges ranges) {
    switch (ranges) {
        case LtcReadingRanges::FirstSecond:
            return "the first second";
        case LtcReadingRanges::MiddleSecond:
            return "one second from the middle";
        case LtcReadingRanges::MiddleStartAndEnd:
            return "two seconds each from the middle, the start and 4 s before the end";
        case LtcReadingRanges::WholeFile:
            return "the whole file";
        case LtcReadingRanges::EverywhereThenWholeFile:
            return "one second each from the start, the middle and 2 s before the end, then the "
                   "whole file";
    }
    return "nothing (setting " + std::to_string(int32_t(ranges)) + ")";
}

std::optional<std::vector<CMTimeRange>> readingTimeRanges(LtcReadingRanges ranges, CMTime duration,
                                                          int32_t timescale) {
    const auto seconds = [timescale](int64_t count) {
        return CMTimeMake(count * timescale, timescale);
    };
    const CMTime start = seconds(0);
    const CMTime middle = CMTimeMake(duration.value / 2, duration.timescale);
    switch (ranges) {
        case LtcReadingRanges::FirstSecond:
            return std::vector{CMTimeRangeMake(start, seconds(1))};
        case LtcReadingRanges::MiddleSecond:
            return std::vector{CMTimeRangeMake(middle, seconds(1))};
        case LtcReadingRanges::MiddleStartAndEnd:
            return std::vector{CMTimeRangeMake(middle, seconds(2)),
                               CMTimeRangeMake(start, seconds(2)),
                               CMTimeRangeMake(duration - seconds(4), seconds(2))};
        case LtcReadingRanges::WholeFile:
            return std::vector{CMTimeRangeMake(start, duration)};
        case LtcReadingRanges::EverywhereThenWholeFile:
            return std::vector{CMTimeRangeMake(start, seconds(1)),
                               CMTimeRangeMake(middle, seconds(1)),
                               CMTimeRangeMake(duration - seconds(2), seconds(1)),
                               CMTimeRangeMake(start, duration)};
    }
    return std::nullopt;
}

}  // namespace vorlane
