// The value type of metadata dictionaries (files, tracks, export options): a string, an integer,
// a double, a bool, a date, bytes, a list or a dictionary.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vorlane {

class MetadataValue;
using MetadataList = std::vector<MetadataValue>;
using MetadataDictionary = std::map<std::string, MetadataValue>;
using MetadataBytes = std::vector<uint8_t>;
using MetadataDate = std::chrono::system_clock::time_point;

class MetadataValue {
  public:
    using Storage = std::variant<std::string, int64_t, double, bool, MetadataDate, MetadataBytes,
                                 MetadataList, MetadataDictionary>;

    MetadataValue() : storage_(std::string()) {}
    MetadataValue(std::string text) : storage_(std::move(text)) {}
    MetadataValue(const char* text) : storage_(std::string(text)) {}
    MetadataValue(int64_t number) : storage_(number) {}
    MetadataValue(int number) : storage_(int64_t(number)) {}
    MetadataValue(uint32_t number) : storage_(int64_t(number)) {}
    MetadataValue(double number) : storage_(number) {}
    MetadataValue(bool flag) : storage_(flag) {}
    MetadataValue(MetadataDate date) : storage_(date) {}
    MetadataValue(MetadataBytes bytes) : storage_(std::move(bytes)) {}
    MetadataValue(MetadataList list) : storage_(std::move(list)) {}
    MetadataValue(MetadataDictionary dictionary) : storage_(std::move(dictionary)) {}

    const Storage& storage() const { return storage_; }

    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isInteger() const { return std::holds_alternative<int64_t>(storage_); }
    bool isDouble() const { return std::holds_alternative<double>(storage_); }
    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isDate() const { return std::holds_alternative<MetadataDate>(storage_); }
    bool isBytes() const { return std::holds_alternative<MetadataBytes>(storage_); }
    bool isList() const { return std::holds_alternative<MetadataList>(storage_); }
    bool isDictionary() const { return std::holds_alternative<MetadataDictionary>(storage_); }

    // Typed access; nullptr when the value holds another kind.
    const std::string* string() const { return std::get_if<std::string>(&storage_); }
    const MetadataDate* date() const { return std::get_if<MetadataDate>(&storage_); }
    const MetadataBytes* bytes() const { return std::get_if<MetadataBytes>(&storage_); }
    const MetadataList* list() const { return std::get_if<MetadataList>(&storage_); }
    const MetadataDictionary* dictionary() const {
        return std::get_if<MetadataDictionary>(&storage_);
    }

    // Numbers of any kind (integer, double, bool) as the wanted type; nothing otherwise.
    std::optional<int64_t> integer() const;
    std::optional<double> number() const;

    bool operator==(const MetadataValue& other) const { return storage_ == other.storage_; }

  private:
    Storage storage_;
};

// The string stored under a key, or nothing when absent or not a string.
std::optional<std::string> metadataString(const MetadataDictionary& dictionary,
                                          const std::string& key);

}  // namespace vorlane
