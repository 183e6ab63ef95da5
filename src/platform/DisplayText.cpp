#include "platform/DisplayText.h"

#include <time.h>

#include <cstdio>

namespace vorlane::DisplayText {

namespace {

// Dates before 1970 or far in the future are clamped by time_t's range, not rejected.
time_t toTimeT(Date date) {
    return std::chrono::system_clock::to_time_t(date);
}

std::string formatted(const struct tm& parts, const char* format) {
    char text[128];
    const size_t length = strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

}  // namespace

std::string shortDateMediumTime(Date date) {
    const time_t seconds = toTimeT(date);
    struct tm parts {};
    if (!localtime_r(&seconds, &parts)) return {};
    return formatted(parts, "%x %X");
}

std::string dateDescription(Date date) {
    const time_t seconds = toTimeT(date);
    struct tm parts {};
    if (!gmtime_r(&seconds, &parts)) return {};
    return formatted(parts, "%Y-%m-%d %H:%M:%S +0000");
}

TimeOfDay localTimeOfDay(Date date) {
    const time_t seconds = toTimeT(date);
    struct tm parts {};
    if (!localtime_r(&seconds, &parts)) return {};
    return {parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string byteCountText(uint64_t bytes) {
    if (bytes == 0) return "Zero KB";
    if (bytes < 1000) return std::to_string(bytes) + " bytes";
    struct Unit {
        double size;
        const char* format;
    };
    static constexpr Unit units[] = {
        {1e3, "%.0f KB"}, {1e6, "%.1f MB"}, {1e9, "%.2f GB"}, {1e12, "%.2f TB"}, {1e15, "%.2f PB"}};
    const double value = double(bytes);
    size_t unit = 0;
    // A value that rounds up to the next unit's 1000 is shown in the next unit ("1 MB").
    while (unit + 1 < std::size(units) && value >= units[unit + 1].size * 0.9995)
        ++unit;
    char text[32];
    std::snprintf(text, sizeof text, units[unit].format, value / units[unit].size);
    return text;
}

}  // namespace vorlane::DisplayText
