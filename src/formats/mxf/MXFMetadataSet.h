// One set of the header metadata (preface, packages, tracks, sequences, components, descriptors):
// a local set whose items carry the static two-byte tags of the standard properties. Each known
// property is stored under its name; unknown (and dynamic) tags under "unkown Tag XXXX".
#pragma once

#include <map>
#include <string>

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

// Key byte 14 of the set kinds the readers look for.
enum MXFSetKind : uint8_t {
    MXFSetKindSequence = 0x0F,
    MXFSetKindSourceClip = 0x11,
    MXFSetKindTimecode = 0x14,
    MXFSetKindContentStorage = 0x18,
    MXFSetKindEssenceContainerData = 0x23,
    MXFSetKindPreface = 0x2F,
    MXFSetKindIdentification = 0x30,
    MXFSetKindMaterialPackage = 0x36,
    MXFSetKindSourcePackage = 0x37,
    MXFSetKindTrack = 0x3B,
    MXFSetKindMultipleDescriptor = 0x44,
};

using MXFMetadataDictionary = std::map<std::string, MXFValue>;

class MXFMetadataSet : public MXFKeyLengthValue {
  public:
    // Parses the local set and releases the value; raises the bounds errors when an item runs
    // past the value or a property does not fit its item.
    MXFMetadataSet(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);
    // The pattern with byte 14 set to a kind.
    static MXFIdentifier identifierWithKind(uint8_t kind);

    uint8_t kind() const { return uint8_t(identifier().valueAtOffset(14)); }
    // "Preface", "Timecode", ...; "unkown SetKind 0x01 0x%02X" for others.
    std::string kindString() const;

    const MXFMetadataDictionary& metaData() const { return metaData_; }
    // The property of that name, or nullptr.
    const MXFValue* valueForKey(const std::string& name) const;

    std::string type() const override;
    std::string description() const override;

  private:
    MXFMetadataDictionary metaData_;
};

}  // namespace vorlane
