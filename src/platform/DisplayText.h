// Texts the desktop shows for dates and byte counts, in the user's locale: the short date with the
// medium time ("01/05/24 14:03:07" in the C locale), the time of day of a date, the unambiguous
// description of a date for detailed information texts, and file sizes in decimal units
// ("1.4 MB").
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vorlane::DisplayText {

using Date = std::chrono::system_clock::time_point;

// Short date and medium time in the local time zone and the current locale (LC_TIME).
std::string shortDateMediumTime(Date date);
// "2024-01-05 13:03:07 +0000": the date in UTC, the same in every locale.
std::string dateDescription(Date date);

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};
// Hours, minutes and seconds of the date in the local time zone.
TimeOfDay localTimeOfDay(Date date);

// A byte count in decimal units as file browsers show it: "Zero KB", "999 bytes", "12 KB",
// "1.4 MB", "2.35 GB", "1.02 TB".
std::string byteCountText(uint64_t bytes);

}  // namespace vorlane::DisplayText
