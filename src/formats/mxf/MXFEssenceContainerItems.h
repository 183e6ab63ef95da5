// The items of an essence container that the walk recognises: essence elements (their value is
// never loaded; the key tells the item type and track number), system elements (skipped) and XML
// metadata documents (kept).
#pragma once

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

class MXFEssenceElement : public MXFKeyLengthValue {
  public:
    // Built from the key and the value length only.
    MXFEssenceElement(MXFIdentifier identifier, uint64_t length);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    // Key byte 12: 5 "CP Picture (SMPTE 326M)", 0x15 "GC Picture", ...
    uint8_t itemType() const { return uint8_t(identifier().valueAtOffset(12)); }
    uint8_t elementCount() const { return uint8_t(identifier().valueAtOffset(13)); }
    uint8_t elementType() const { return uint8_t(identifier().valueAtOffset(14)); }
    uint8_t elementNumber() const { return uint8_t(identifier().valueAtOffset(15)); }
    // Key bytes 12 to 15 as a big-endian number: the track number of the track descriptions.
    uint32_t trackNumber() const;
    std::string itemTypeString() const;

    std::string type() const override;
};

class MXFSystemElement : public MXFKeyLengthValue {
  public:
    // Built from the key and the value length only.
    MXFSystemElement(MXFIdentifier identifier, uint64_t length);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    std::string type() const override { return "SystemElement"; }
};

class MXFXMLMetadata : public MXFKeyLengthValue {
  public:
    // Keeps the value: the document. Items of the second key pattern are cut to start at their
    // "<?xml " declaration.
    MXFXMLMetadata(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    static const MXFIdentifier& alternateIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    // The document bytes.
    const MXFData& xmlData() const { return xmlData_; }

    std::string type() const override { return "XML Metadata"; }

  private:
    MXFData xmlData_;
};

}  // namespace vorlane
