#include "platform/DateParsing.h"

#include <algorithm>
#include <cstdint>

#include "platform/DisplayText.h"

namespace vorlane::DateParsing {
namespace {

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }
    bool accept(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    void skipSpaces() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n'))
            ++at_;
    }
    // Exactly `digits` decimal digits.
    std::optional<int> number(int digits) {
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            if (atEnd() || peek() < '0' || peek() > '9') return std::nullopt;
            value = value * 10 + (text_[at_++] - '0');
        }
        return value;
    }
    bool isDigit() const { return peek() >= '0' && peek() <= '9'; }

  private:
    std::string_view text_;
    size_t at_ = 0;
};

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool validFields(int year, int month, int day, int hour, int minute, int second) {
    static constexpr int daysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth[month - 1])
        return false;
    if (month == 2 && day == 29 && !isLeapYear(year)) return false;
    return hour <= 23 && minute <= 59 && second <= 60;
}

// Offset of the zone in minutes east of UTC: "Z", "+hh:mm", "+hhmm", "+hh". Nothing when the
// text holds no zone; false when it holds a broken one.
bool readZone(Scanner& scanner, std::optional<int>& minutes) {
    if (scanner.accept('Z')) {
        minutes = 0;
        return true;
    }
    const char sign = scanner.peek();
    if (sign != '+' && sign != '-') return true;
    scanner.accept(sign);
    const auto hours = scanner.number(2);
    if (!hours || *hours > 23) return false;
    int extra = 0;
    const bool colon = scanner.accept(':');
    if (colon || scanner.isDigit()) {
        const auto zoneMinutes = scanner.number(2);
        if (!zoneMinutes || *zoneMinutes > 59) return false;
        extra = *zoneMinutes;
    }
    minutes = (*hours * 60 + extra) * (sign == '-' ? -1 : 1);
    return true;
}

std::optional<Date> utcDate(int year, int month, int day, int hour, int minute, int second,
                            int zoneMinutes) {
    using namespace std::chrono;
    const sys_days days =
        year_month_day(std::chrono::year(year), std::chrono::month(month), std::chrono::day(day));
    const int64_t total = int64_t(days.time_since_epoch().count()) * 86400 + hour * 3600 +
                          minute * 60 + second - int64_t(zoneMinutes) * 60;
    const auto limit = duration_cast<seconds>(Date::duration::max()).count();
    if (total > limit || total < -limit) return std::nullopt;
    return Date(duration_cast<Date::duration>(seconds(total)));
}

}  // namespace

std::optional<Date> dateWithText(std::string_view text, ZoneWhenAbsent zone) {
    Scanner scanner(text);
    scanner.skipSpaces();
    const auto year = scanner.number(4);
    if (!year || !scanner.accept('-')) return std::nullopt;
    const auto month = scanner.number(2);
    if (!month || !scanner.accept('-')) return std::nullopt;
    const auto day = scanner.number(2);
    if (!day || !(scanner.accept('T') || scanner.accept(' '))) return std::nullopt;
    const auto hour = scanner.number(2);
    if (!hour || !scanner.accept(':')) return std::nullopt;
    const auto minute = scanner.number(2);
    if (!minute || !scanner.accept(':')) return std::nullopt;
    const auto second = scanner.number(2);
    if (!second) return std::nullopt;
    if (scanner.accept('.')) {
        if (!scanner.isDigit()) return std::nullopt;
        while (scanner.isDigit())
            scanner.accept(scanner.peek());
    }
    scanner.skipSpaces();
    std::optional<int> zoneMinutes;
    if (!readZone(scanner, zoneMinutes)) return std::nullopt;
    scanner.skipSpaces();
    if (!scanner.atEnd()) return std::nullopt;
    if (!validFields(*year, *month, *day, *hour, *minute, *second)) return std::nullopt;
    if (zoneMinutes) return utcDate(*year, *month, *day, *hour, *minute, *second, *zoneMinutes);
    if (zone == ZoneWhenAbsent::UTC)
        return utcDate(*year, *month, *day, *hour, *minute, *second, 0);
    return DisplayText::localDate(*year, *month, *day, *hour, *minute, std::min(*second, 59));
}

}  // namespace vorlane::DateParsing
