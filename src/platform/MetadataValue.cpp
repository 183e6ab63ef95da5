#include "platform/MetadataValue.h"

#include <cmath>

namespace vorlane {

std::optional<int64_t> MetadataValue::integer() const {
    if (const auto* value = std::get_if<int64_t>(&storage_)) return *value;
    if (const auto* value = std::get_if<bool>(&storage_)) return *value ? 1 : 0;
    if (const auto* value = std::get_if<double>(&storage_)) {
        if (std::isfinite(*value) && std::fabs(*value) < 9.2e18) return int64_t(*value);
    }
    return std::nullopt;
}

std::optional<double> MetadataValue::number() const {
    if (const auto* value = std::get_if<double>(&storage_)) return *value;
    if (const auto* value = std::get_if<int64_t>(&storage_)) return double(*value);
    if (const auto* value = std::get_if<bool>(&storage_)) return *value ? 1.0 : 0.0;
    return std::nullopt;
}

std::optional<std::string> metadataString(const MetadataDictionary& dictionary,
                                          const std::string& key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) return std::nullopt;
    if (const std::string* text = found->second.string()) return *text;
    return std::nullopt;
}

}  // namespace vorlane
