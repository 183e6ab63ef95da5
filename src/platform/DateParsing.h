// Dates written as text by cameras and containers: "2024-05-17T10:00:02+02:00" and its variants
// (a space instead of the "T", a fraction of a second, the zone as "Z", "+0200", "+02", " +0000"
// or missing). A text without a zone is read in the zone the caller names.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace vorlane::DateParsing {

using Date = std::chrono::system_clock::time_point;

enum class ZoneWhenAbsent { UTC, Local };

// The date, or nothing when the text is not of that form, a field is out of range (month 13,
// 31 April, hour 24) or the date lies outside the clock's range. White space around the text is
// allowed; anything else after the date is not.
std::optional<Date> dateWithText(std::string_view text, ZoneWhenAbsent zone);

}  // namespace vorlane::DateParsing
