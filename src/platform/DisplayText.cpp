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

std::optional<Date> localDate(int year, int month, int day, int hour, int minute, int second) {
    static constexpr int daysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth[month - 1])
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const time_t seconds = mktime(&parts);
    // The clock counts in units far below a second: its range ends some centuries either side
    // of 1970.
    const auto limit = std::chrono::duration_cast<std::chrono::seconds>(Date::duration::max());
    if (seconds == time_t(-1) || seconds > limit.count() || seconds < -limit.count())
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
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
