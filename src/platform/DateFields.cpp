#include "platform/DateFields.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace vorlane {
namespace {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The clock counts in units far below a second: its range ends some centuries either side of
// 1970.
std::optional<DateFields::Date> dateWithEpochSeconds(int64_t seconds) {
    using std::chrono::duration_cast;
    const int64_t limit =
        duration_cast<std::chrono::seconds>(DateFields::Date::duration::max()).count();
    if (seconds >= limit || seconds <= -limit) return std::nullopt;
    return DateFields::Date(
        duration_cast<DateFields::Date::duration>(std::chrono::seconds(seconds)));
}

}  // namespace

bool DateFields::isValid() const {
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    if (day < 1 || day > kDaysInMonth[month - 1] || (month == 2 && day == 29 && !isLeapYear(year)))
        return false;
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 60;
}

std::optional<DateFields::Date> DateFields::localDate() const {
    if (!isValid()) return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = std::min(second, 59);
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    if (seconds == std::time_t(-1)) return std::nullopt;
    return dateWithEpochSeconds(seconds);
}

std::optional<DateFields::Date> DateFields::dateAtUTCOffset(int minutesEast) const {
    if (!isValid()) return std::nullopt;
    const std::chrono::sys_days days =
        std::chrono::year_month_day(std::chrono::year(year), std::chrono::month(unsigned(month)),
                                    std::chrono::day(unsigned(day)));
    return dateWithEpochSeconds(int64_t(days.time_since_epoch().count()) * 86400 + hour * 3600 +
                                minute * 60 + std::min(second, 59) - int64_t(minutesEast) * 60);
}

}  // namespace vorlane
