#include "platform/DateParsing.h"

#include <cstdint>

#include "platform/DateFields.h"

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
    const DateFields fields{*year, *month, *day, *hour, *minute, *second};
    if (zoneMinutes) return fields.dateAtUTCOffset(*zoneMinutes);
    if (zone == ZoneWhenAbsent::UTC) return fields.dateAtUTCOffset(0);
    return fields.localDate();
}

}  // namespace vorlane::DateParsing
