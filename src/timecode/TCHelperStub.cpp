// TEMPORARY: stands in for the timecode value's implementation until it is merged, so that the
// media model links and its tests run. Drop this file when timecode/TCHelper.cpp arrives.
#include <cmath>

#include "timecode/TCHelper.h"

namespace vorlane {

TCHelper::TCHelper(double frameRate, bool dropFrame)
    : frameRate_(frameRate), dropFrame_(dropFrame), roundedFrameRate_(std::round(frameRate)) {}

std::string TCHelper::timecodeString(uint32_t) const {
    return "00:00:00:00";
}

std::string TCHelper::description() const {
    return "TCHelper " + timecodeString(TCOptionNone);
}

}  // namespace vorlane
