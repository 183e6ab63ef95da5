// One KLV item of an MXF file: its 16-byte key, the value length, where it lies in the file and,
// for the items that are parsed, the value bytes with a typed cursor (MXFDataReader). The base of
// every MXF item class; a plain MXFKeyLengthValue stands for an item whose key no class knows.
#pragma once

#include <cstdint>
#include <string>

#include "formats/mxf/MXFDataReader.h"
#include "formats/mxf/MXFIdentifier.h"

namespace vorlane {

class MXFKeyLengthValue : public MXFDataReader {
  public:
    // initWithIdentifier:andValueData: the value is loaded; its length is the data's size.
    MXFKeyLengthValue(MXFIdentifier identifier, MXFData valueData);
    // initWithIdentifier:andEmptyValueWithLength: only the length is known.
    MXFKeyLengthValue(MXFIdentifier identifier, uint64_t length);
    virtual ~MXFKeyLengthValue() = default;

    // The key pattern of the class (the class operation `identifier`): any SMPTE label.
    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    const MXFIdentifier& identifier() const { return identifier_; }
    // The value bytes while loaded; null once released.
    const MXFData& klvData() const { return data(); }
    uint64_t klvLength() const { return klvLength_; }
    // Offset of the key's first byte in the file.
    uint64_t filePosition() const { return filePosition_; }
    void setFilePosition(uint64_t position) { filePosition_ = position; }
    // Distance from the key to the value: 17 plus the number of long-form length bytes.
    uint32_t fileDataOffset() const { return fileDataOffset_; }
    void setFileDataOffset(uint32_t offset) { fileDataOffset_ = offset; }
    // Offset just past the value (saturating for lengths no file can hold).
    uint64_t fileEndPosition() const;
    // Releases the value bytes once they are parsed.
    void unloadData();

    uint8_t categoryDesignator() const { return uint8_t(identifier_.valueAtOffset(4)); }
    uint8_t registryDesignator() const { return uint8_t(identifier_.valueAtOffset(5)); }
    uint8_t structureDesignator() const { return uint8_t(identifier_.valueAtOffset(6)); }
    uint8_t versionNumber() const { return uint8_t(identifier_.valueAtOffset(7)); }
    // "Groups (Sets and Packs)/LocalSets, Structure 0x01" and the like.
    std::string designatorString() const;

    // What the item is, for descriptions.
    virtual std::string type() const;
    virtual std::string description() const;

  private:
    MXFIdentifier identifier_;
    uint64_t klvLength_ = 0;
    uint64_t filePosition_ = 0;
    uint32_t fileDataOffset_ = 0;
};

// A fill item; its value is never loaded.
class MXFFiller : public MXFKeyLengthValue {
  public:
    using MXFKeyLengthValue::MXFKeyLengthValue;

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    std::string type() const override { return "Filler"; }
    std::string description() const override;
};

}  // namespace vorlane
