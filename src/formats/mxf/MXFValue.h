// One property value read from an MXF item: a number, a flag, an identifier, a rational, a date,
// text, raw bytes or a list of values (batches). "No value" stands for a date that does not exist.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "formats/mxf/MXFIdentifier.h"
#include "formats/mxf/MXFRational.h"
#include "platform/MetadataValue.h"

namespace vorlane {

class MXFValue;
using MXFValueList = std::vector<MXFValue>;

class MXFValue {
  public:
    using Storage =
        std::variant<std::monostate, uint64_t, int64_t, bool, MXFIdentifier, MXFRational,
                     MetadataDate, std::string, MetadataBytes, MXFValueList>;

    MXFValue() = default;
    MXFValue(uint64_t value) : storage_(value) {}
    MXFValue(int64_t value) : storage_(value) {}
    MXFValue(bool value) : storage_(value) {}
    MXFValue(MXFIdentifier value) : storage_(std::move(value)) {}
    MXFValue(MXFRational value) : storage_(value) {}
    MXFValue(MetadataDate value) : storage_(value) {}
    MXFValue(std::string value) : storage_(std::move(value)) {}
    MXFValue(const char* value) : storage_(std::string(value)) {}
    MXFValue(MetadataBytes value) : storage_(std::move(value)) {}
    MXFValue(MXFValueList value) : storage_(std::move(value)) {}

    const Storage& storage() const { return storage_; }
    bool isNull() const { return std::holds_alternative<std::monostate>(storage_); }

    // Unsigned, signed and boolean values as a signed number (unsigned ones above the signed
    // range give nothing).
    std::optional<int64_t> integer() const;
    const MXFIdentifier* identifier() const { return std::get_if<MXFIdentifier>(&storage_); }
    const MXFRational* rational() const { return std::get_if<MXFRational>(&storage_); }
    const MetadataDate* date() const { return std::get_if<MetadataDate>(&storage_); }
    const std::string* string() const { return std::get_if<std::string>(&storage_); }
    const MetadataBytes* bytes() const { return std::get_if<MetadataBytes>(&storage_); }
    const MXFValueList* list() const { return std::get_if<MXFValueList>(&storage_); }

    // Readable text: numbers in decimal, identifiers by their description, rationals "n/d",
    // dates "yyyy-MM-dd HH:mm:ss", bytes in hexadecimal, lists in parentheses.
    std::string description() const;

    bool operator==(const MXFValue& other) const = default;

  private:
    Storage storage_;
};

}  // namespace vorlane
