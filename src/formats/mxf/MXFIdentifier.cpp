#include "formats/mxf/MXFIdentifier.h"

#include <cstdio>

namespace vorlane {
namespace {

constexpr size_t kTextCells = 16;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

MXFIdentifier::MXFIdentifier(std::string_view stringID, MXFIdentifierType type)
    : type_(type), cells_(kTextCells, 0) {
    for (size_t cell = 0; cell < kTextCells; ++cell) {
        const size_t at = cell * 3;
        if (at >= stringID.size()) break;
        if (stringID[at] == 'X' || stringID[at] == 'x') {
            cells_[cell] = kWildcard;
            continue;
        }
        const int high = hexDigit(stringID[at]);
        const int low = at + 1 < stringID.size() ? hexDigit(stringID[at + 1]) : 0;
        cells_[cell] = uint16_t(high << 4 | low);
    }
}

MXFIdentifier::MXFIdentifier(std::span<const uint8_t> data, MXFIdentifierType type)
    : type_(type), cells_(data.begin(), data.end()) {}

MXFIdentifier MXFIdentifier::identifierWithString(std::string_view stringID,
                                                  MXFIdentifierType type) {
    return MXFIdentifier(stringID, type);
}

MXFIdentifier MXFIdentifier::keyIdentifierWithStringID(std::string_view stringID) {
    return MXFIdentifier(stringID, MXFIdentifierTypeKey);
}

MXFIdentifier MXFIdentifier::keyIdentifierWithData(std::span<const uint8_t> data) {
    return MXFIdentifier(data, MXFIdentifierTypeKey);
}

bool MXFIdentifier::matchesIdentifier(const MXFIdentifier& other) const {
    if (cells_.size() != other.cells_.size()) return false;
    for (size_t i = 0; i < cells_.size(); ++i) {
        const uint16_t a = cells_[i];
        const uint16_t b = other.cells_[i];
        if (a != b && a != kWildcard && b != kWildcard) return false;
    }
    return true;
}

bool MXFIdentifier::matchesStringUL(std::string_view stringID) const {
    return matchesIdentifier(identifierWithString(stringID));
}

std::string MXFIdentifier::typeString() const {
    static constexpr const char* kNames[] = {"ID",   "UL",        "UUID",    "AUID", "IDAU",
                                             "UMID", "StrongRef", "WeakRef", "Key"};
    if (type_ < 0 || size_t(type_) >= std::size(kNames)) return "?ID";
    return kNames[type_];
}

std::string MXFIdentifier::stringID() const {
    std::string text;
    text.reserve(cells_.size() * 3);
    char digits[4];
    for (size_t i = 0; i < cells_.size(); ++i) {
        if (i > 0) text += '.';
        if (cells_[i] == kWildcard) {
            text += "XX";
        } else {
            std::snprintf(digits, sizeof digits, "%02X", unsigned(cells_[i] & 0xff));
            text += digits;
        }
    }
    return text;
}

std::string MXFIdentifier::description() const {
    return typeString() + ":" + stringID();
}

}  // namespace vorlane
