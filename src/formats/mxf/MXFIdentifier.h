// A universal label, UUID, UMID or other identifier of an MXF file: a row of cells that each hold
// a byte value or a wildcard matching any byte. Key patterns of the item classes are written as
// text ("06.0E.2B.34.02.XX.01.01..."), identifiers read from a file never hold wildcards.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane {

enum MXFIdentifierType : int32_t {
    MXFIdentifierTypeID = 0,
    MXFIdentifierTypeUL = 1,
    MXFIdentifierTypeUUID = 2,
    MXFIdentifierTypeAUID = 3,
    MXFIdentifierTypeIDAU = 4,
    MXFIdentifierTypeUMID = 5,
    MXFIdentifierTypeStrongRef = 6,
    MXFIdentifierTypeWeakRef = 7,
    MXFIdentifierTypeKey = 8,
};

class MXFIdentifier {
  public:
    // The cell value that matches any byte.
    static constexpr uint16_t kWildcard = 256;

    MXFIdentifier() = default;
    // initWithStringID:type: 16 cells from text, three characters per cell (two hexadecimal digits
    // and a separator); a cell starting with 'X' is a wildcard; cells beyond the text are 0.
    MXFIdentifier(std::string_view stringID, MXFIdentifierType type);
    // initWithData:type: one cell per byte.
    MXFIdentifier(std::span<const uint8_t> data, MXFIdentifierType type);

    static MXFIdentifier identifierWithString(std::string_view stringID,
                                              MXFIdentifierType type = MXFIdentifierTypeUL);
    static MXFIdentifier keyIdentifierWithStringID(std::string_view stringID);
    static MXFIdentifier keyIdentifierWithData(std::span<const uint8_t> data);

    MXFIdentifierType type() const { return type_; }
    void setType(MXFIdentifierType type) { type_ = type; }
    size_t length() const { return cells_.size(); }

    // The cell at an offset, or 0 past the end.
    uint16_t valueAtOffset(size_t offset) const {
        return offset < cells_.size() ? cells_[offset] : 0;
    }
    // Ignored past the end.
    void setValue(uint16_t value, size_t offset) {
        if (offset < cells_.size()) cells_[offset] = value;
    }

    // Same length and, at every position, a wildcard on either side or equal cells.
    bool matchesIdentifier(const MXFIdentifier& other) const;
    bool matchesStringUL(std::string_view stringID) const;

    // "UL", "UUID", ...; "?ID" for an unknown kind.
    std::string typeString() const;
    // "06.0E.2B.34.XX...": cells as two upper-case hexadecimal digits or "XX", joined by ".".
    std::string stringID() const;
    // "UL:06.0E.2B.34...".
    std::string description() const;

    // Exact equality of kind and cells.
    bool operator==(const MXFIdentifier& other) const = default;

  private:
    MXFIdentifierType type_ = MXFIdentifierTypeID;
    std::vector<uint16_t> cells_;
};

}  // namespace vorlane
