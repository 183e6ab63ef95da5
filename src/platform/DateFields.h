// A date as containers and recorders write it, field by field (year, month, day, hour, minute,
// second), checked as one value, and the moment it names in the local time zone or at an offset
// from UTC.
#pragma once

#include <chrono>
#include <optional>

namespace vorlane {

struct DateFields {
    using Date = std::chrono::system_clock::time_point;

    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    // A day of the calendar (leap years counted, years 1 to 9999) and a time of day; second 60
    // is a leap second.
    bool isValid() const;
    // The moment in the local time zone; nothing when the fields are invalid or the moment lies
    // outside the clock's range (some centuries either side of 1970). A leap second counts as the
    // last second of its minute.
    std::optional<Date> localDate() const;
    // The moment at an offset from UTC (minutes east), by the same rules.
    std::optional<Date> dateAtUTCOffset(int minutesEast = 0) const;
};

}  // namespace vorlane
