// The value of one TIFF/DNG tag as the tag reader keeps it: text (ASCII), bytes (UNDEFINED), one
// number, or a list of numbers when the tag counts two or more. Integers of every width are kept
// as 64-bit signed values, floats as doubles, rationals as TIFFRational.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "formats/dng/TIFFRational.h"

namespace vorlane {

class DNGTagValue {
  public:
    using Number = std::variant<int64_t, double, TIFFRational>;

    static DNGTagValue text(std::string text) { return DNGTagValue(std::move(text)); }
    static DNGTagValue bytes(std::vector<uint8_t> bytes) { return DNGTagValue(std::move(bytes)); }
    static DNGTagValue number(Number number) { return DNGTagValue(number); }
    static DNGTagValue list(std::vector<Number> numbers) { return DNGTagValue(std::move(numbers)); }

    const std::string* textValue() const { return std::get_if<std::string>(&value_); }
    const std::vector<uint8_t>* bytesValue() const {
        return std::get_if<std::vector<uint8_t>>(&value_);
    }
    const Number* numberValue() const { return std::get_if<Number>(&value_); }
    const std::vector<Number>* listValue() const {
        return std::get_if<std::vector<Number>>(&value_);
    }

    // A single number as a double (rationals divided out); nothing for texts, bytes and lists.
    std::optional<double> doubleValue() const;
    // A single number as an integer (floats and rationals truncated); nothing otherwise.
    std::optional<int64_t> integerValue() const;
    // The value printed: the text, bytes in hexadecimal, numbers separated by blanks.
    std::string description() const;

    static double doubleOfNumber(const Number& number);
    // Floats and rationals truncated; nothing beyond the 64-bit range.
    static std::optional<int64_t> integerOfNumber(const Number& number);

  private:
    using Storage = std::variant<std::string, std::vector<uint8_t>, Number, std::vector<Number>>;
    explicit DNGTagValue(Storage value) : value_(std::move(value)) {}

    Storage value_;
};

}  // namespace vorlane
