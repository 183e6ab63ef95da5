#include "formats/dng/DNGTagValue.h"

#include <cmath>
#include <cstdio>

namespace vorlane {
namespace {

std::string numberText(const DNGTagValue::Number& number) {
    char text[64];
    if (const auto* integer = std::get_if<int64_t>(&number)) {
        std::snprintf(text, sizeof text, "%lld", (long long)*integer);
    } else if (const auto* real = std::get_if<double>(&number)) {
        std::snprintf(text, sizeof text, "%g", *real);
    } else {
        const auto& rational = std::get<TIFFRational>(number);
        std::snprintf(text, sizeof text, "%lld/%lld", (long long)rational.numerator,
                      (long long)rational.denominator);
    }
    return text;
}

}  // namespace

double DNGTagValue::doubleOfNumber(const Number& number) {
    if (const auto* integer = std::get_if<int64_t>(&number)) return double(*integer);
    if (const auto* real = std::get_if<double>(&number)) return *real;
    return std::get<TIFFRational>(number).doubleValue();
}

std::optional<double> DNGTagValue::doubleValue() const {
    const Number* number = numberValue();
    if (!number) return std::nullopt;
    return doubleOfNumber(*number);
}

std::optional<int64_t> DNGTagValue::integerOfNumber(const Number& number) {
    if (const auto* integer = std::get_if<int64_t>(&number)) return *integer;
    const double value = doubleOfNumber(number);
    if (!(std::fabs(value) < 9.2e18)) return std::nullopt;
    return int64_t(value);
}

std::optional<int64_t> DNGTagValue::integerValue() const {
    const Number* number = numberValue();
    if (!number) return std::nullopt;
    return integerOfNumber(*number);
}

std::string DNGTagValue::description() const {
    if (const std::string* text = textValue()) return *text;
    if (const Number* number = numberValue()) return numberText(*number);
    std::string text;
    if (const auto* bytes = bytesValue()) {
        char hex[4];
        for (uint8_t byte : *bytes) {
            std::snprintf(hex, sizeof hex, "%02x", byte);
            text += hex;
        }
        return "<" + text + ">";
    }
    for (const Number& number : *listValue()) {
        if (!text.empty()) text += ' ';
        text += numberText(number);
    }
    return text;
}

}  // namespace vorlane
