// Calendar days in the local time zone: which day a date falls on, and how many whole days lie
// between two such days. The sync map uses them to put files of later shooting days onto later
// 24-hour stretches.
#pragma once

#include <chrono>
#include <cstdint>

namespace vorlane::LocalCalendar {

using Date = std::chrono::system_clock::time_point;

// The local calendar day of a date (the day 1970-01-01 when the date cannot be converted).
std::chrono::year_month_day localDay(Date date);

// Whole calendar days from the day of `from` to the day of `to` (negative when `to` lies before),
// both taken in the local time zone.
int64_t daysBetween(Date from, Date to);

}  // namespace vorlane::LocalCalendar
