#include "formats/mxf/MXFValue.h"

#include <chrono>
#include <cstdio>
#include <limits>

namespace vorlane {
namespace {

std::string dateText(MetadataDate date) {
    const auto days = std::chrono::floor<std::chrono::days>(date);
    const std::chrono::year_month_day ymd(days);
    const std::chrono::hh_mm_ss time(std::chrono::floor<std::chrono::seconds>(date - days));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

struct Describe {
    std::string operator()(std::monostate) const { return "(null)"; }
    std::string operator()(uint64_t value) const { return std::to_string(value); }
    std::string operator()(int64_t value) const { return std::to_string(value); }
    std::string operator()(bool value) const { return value ? "1" : "0"; }
    std::string operator()(const MXFIdentifier& value) const { return value.description(); }
    std::string operator()(const MXFRational& value) const {
        return std::to_string(value.numerator) + "/" + std::to_string(value.denominator);
    }
    std::string operator()(MetadataDate value) const { return dateText(value); }
    std::string operator()(const std::string& value) const { return value; }
    std::string operator()(const MetadataBytes& value) const {
        std::string text = "<";
        char digits[4];
        for (uint8_t byte : value) {
            std::snprintf(digits, sizeof digits, "%02x", byte);
            text += digits;
        }
        return text + ">";
    }
    std::string operator()(const MXFValueList& value) const {
        std::string text = "(";
        for (size_t i = 0; i < value.size(); ++i) {
            if (i > 0) text += ", ";
            text += value[i].description();
        }
        return text + ")";
    }
};

}  // namespace

std::optional<int64_t> MXFValue::integer() const {
    if (const auto* value = std::get_if<uint64_t>(&storage_)) {
        if (*value > uint64_t(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return int64_t(*value);
    }
    if (const auto* value = std::get_if<int64_t>(&storage_)) return *value;
    if (const auto* value = std::get_if<bool>(&storage_)) return *value ? 1 : 0;
    return std::nullopt;
}

std::string MXFValue::description() const {
    return std::visit(Describe{}, storage_);
}

}  // namespace vorlane
