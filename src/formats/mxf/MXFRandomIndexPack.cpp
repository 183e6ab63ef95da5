#include "formats/mxf/MXFRandomIndexPack.h"

#include "media/MediaText.h"

namespace vorlane {

MXFRandomIndexPack::MXFRandomIndexPack(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), std::move(valueData)) {
    // The last four bytes repeat the pack's overall length; whole entries precede them.
    const uint64_t entriesEnd = dataLength() >= 4 ? dataLength() - 4 : 0;
    indexArray_.reserve(entriesEnd / 12);
    while (dataLocation() + 12 <= entriesEnd) {
        MXFRandomIndexEntry entry;
        entry.bodySID = uint32Value();
        entry.byteOffset = uint64Value();
        indexArray_.push_back(entry);
    }
    unloadData();
}

const MXFIdentifier& MXFRandomIndexPack::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.05.01.01.0D.01.02.01.01.11.01.00");
    return pattern;
}

bool MXFRandomIndexPack::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

std::string MXFRandomIndexPack::description() const {
    return formatMediaText("%s : %ld Entries", type().c_str(), long(indexArray_.size()));
}

}  // namespace vorlane
