#include "formats/mxf/MXFEssenceContainerItems.h"

#include <algorithm>
#include <string_view>

#include "media/MediaText.h"

namespace vorlane {

MXFEssenceElement::MXFEssenceElement(MXFIdentifier identifier, uint64_t length)
    : MXFKeyLengthValue(std::move(identifier), length) {}

const MXFIdentifier& MXFEssenceElement::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.01.02.01.01.0D.01.03.01.XX.XX.XX.XX");
    return pattern;
}

bool MXFEssenceElement::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

uint32_t MXFEssenceElement::trackNumber() const {
    return uint32_t(itemType()) << 24 | uint32_t(elementCount()) << 16 |
           uint32_t(elementType()) << 8 | elementNumber();
}

std::string MXFEssenceElement::itemTypeString() const {
    switch (itemType()) {
        case 0x05:
            return "CP Picture (SMPTE 326M)";
        case 0x06:
            return "CP Sound (SMPTE 326M)";
        case 0x07:
            return "GC Data";
        case 0x15:
            return "GC Picture";
        case 0x16:
            return "GC Sound";
        case 0x17:
            return "CP Data (SMPTE 326M)";
        case 0x18:
            return "GC Compound";
        default:
            return formatMediaText("unkown Item Type %02X", itemType());
    }
}

std::string MXFEssenceElement::type() const {
    return formatMediaText("EssenceElement: %s, %d of %d", itemTypeString().c_str(),
                           elementNumber() + 1, int(elementCount()));
}

MXFSystemElement::MXFSystemElement(MXFIdentifier identifier, uint64_t length)
    : MXFKeyLengthValue(std::move(identifier), length) {}

const MXFIdentifier& MXFSystemElement::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.XX.01.01.0D.01.03.01.XX.XX.XX.XX");
    return pattern;
}

bool MXFSystemElement::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

MXFXMLMetadata::MXFXMLMetadata(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), valueData), xmlData_(std::move(valueData)) {
    if (!xmlData_ || !this->identifier().matchesIdentifier(alternateIdentifier())) return;
    static constexpr std::string_view kDeclaration = "<?xml ";
    const auto start =
        std::search(xmlData_->begin(), xmlData_->end(), kDeclaration.begin(), kDeclaration.end());
    if (start != xmlData_->begin() && start != xmlData_->end()) {
        xmlData_ = std::make_shared<const std::vector<uint8_t>>(start, xmlData_->end());
        setData(xmlData_);
    }
}

const MXFIdentifier& MXFXMLMetadata::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.01.01.01.05.03.01.02.20.01.XX.XX.00");
    return pattern;
}

const MXFIdentifier& MXFXMLMetadata::alternateIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.53.01.01.0D.01.04.01.04.02.02.00");
    return pattern;
}

bool MXFXMLMetadata::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier()) || key.matchesIdentifier(alternateIdentifier());
}

}  // namespace vorlane
