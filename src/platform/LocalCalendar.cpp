#include "platform/LocalCalendar.h"

#include <time.h>

namespace vorlane::LocalCalendar {

std::chrono::year_month_day localDay(Date date) {
    const time_t seconds = std::chrono::system_clock::to_time_t(date);
    struct tm parts {};
    if (!localtime_r(&seconds, &parts)) return std::chrono::year_month_day{std::chrono::sys_days{}};
    return std::chrono::year_month_day{std::chrono::year{parts.tm_year + 1900},
                                       std::chrono::month{unsigned(parts.tm_mon + 1)},
                                       std::chrono::day{unsigned(parts.tm_mday)}};
}

int64_t daysBetween(Date from, Date to) {
    const std::chrono::sys_days first{localDay(from)};
    const std::chrono::sys_days second{localDay(to)};
    return (second - first).count();
}

}  // namespace vorlane::LocalCalendar
