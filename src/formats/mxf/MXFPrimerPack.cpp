#include "formats/mxf/MXFPrimerPack.h"

#include "media/MediaText.h"

namespace vorlane {

MXFPrimerPack::MXFPrimerPack(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), std::move(valueData)) {
    const uint32_t count = uint32Value();
    uint32Value();  // entry size: always a tag and a label
    // Each entry reads 18 bytes, so a count beyond the value ends in the bounds error.
    for (uint32_t i = 0; i < count; ++i) {
        seekRelativeCheck(18);
        const uint16_t tag = uint16Value();
        tagEntries_.insert_or_assign(formatMediaText("%04X", tag),
                                     identifierWithType(MXFIdentifierTypeUL, 16));
    }
    unloadData();
}

const MXFIdentifier& MXFPrimerPack::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.05.01.01.0D.01.02.01.01.05.01.00");
    return pattern;
}

bool MXFPrimerPack::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

const MXFIdentifier* MXFPrimerPack::labelForTag(uint16_t tag) const {
    const auto entry = tagEntries_.find(formatMediaText("%04X", tag));
    return entry == tagEntries_.end() ? nullptr : &entry->second;
}

std::string MXFPrimerPack::type() const {
    std::string entries;
    for (const auto& [tag, label] : tagEntries_)
        entries += (entries.empty() ? "" : ", ") + tag + " = " + label.stringID();
    return "PrimerPack {" + entries + "}";
}

std::string MXFPrimerPack::description() const {
    return formatMediaText("%s : Length: %lld ", type().c_str(), (long long)klvLength());
}

}  // namespace vorlane
