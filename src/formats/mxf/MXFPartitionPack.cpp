#include "formats/mxf/MXFPartitionPack.h"

#include "media/MediaText.h"

namespace vorlane {

MXFPartitionPack::MXFPartitionPack(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), std::move(valueData)) {
    majorVersion_ = uint16Value();
    minorVersion_ = uint16Value();
    kagSize_ = uint32Value();
    thisPartition_ = uint64Value();
    previousPartition_ = uint64Value();
    footerPartition_ = uint64Value();
    headerByteCount_ = uint64Value();
    indexByteCount_ = uint64Value();
    indexSID_ = uint32Value();
    bodyOffset_ = uint64Value();
    bodySID_ = uint32Value();
    operationalPattern_ = identifierWithType(MXFIdentifierTypeUL, 16);
    const MXFValue containers = readArrayOfDataWithType(MXFTypeUL, remainingLength());
    if (const MXFValueList* list = containers.list()) {
        for (const MXFValue& label : *list)
            essenceContainers_.push_back(*label.identifier());
    }
    unloadData();
}

const MXFIdentifier& MXFPartitionPack::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.05.01.01.0D.01.02.01.01.XX.XX.00");
    return pattern;
}

bool MXFPartitionPack::conformsToIdentifier(const MXFIdentifier& key) {
    if (!key.matchesIdentifier(classIdentifier())) return false;
    const uint16_t kind = key.valueAtOffset(13);
    return kind == MXFPartitionKindHeader || kind == MXFPartitionKindBody ||
           kind == MXFPartitionKindFooter;
}

MXFIdentifier MXFPartitionPack::identifierWithKind(uint8_t kind, uint8_t status) {
    MXFIdentifier key = classIdentifier();
    key.setValue(kind, 13);
    if (status != 0) key.setValue(status, 14);
    return key;
}

std::string MXFPartitionPack::parttitionKindString() const {
    switch (partitionKind()) {
        case MXFPartitionKindHeader:
            return "Header Partition";
        case MXFPartitionKindBody:
            return "Body Partition";
        case MXFPartitionKindFooter:
            return "Footer Partition";
        default:
            return formatMediaText("unkown Partitionkind 0x%02X", partitionKind());
    }
}

std::string MXFPartitionPack::parttitionStatusString() const {
    switch (partitionStatus()) {
        case MXFPartitionStatusOpenIncomplete:
            return "Open and Incomplete";
        case MXFPartitionStatusClosedIncomplete:
            return "Closed and Incomplete";
        case MXFPartitionStatusOpenComplete:
            return "Open and Complete";
        case MXFPartitionStatusClosedComplete:
            return "Closed and Complete";
        default:
            return formatMediaText("unkown Partitionstatus 0x%02X", partitionStatus());
    }
}

std::string MXFPartitionPack::operationalPatternString() const {
    const int itemComplexity = operationalPattern_.valueAtOffset(12) & 0xff;
    const int packageComplexity = operationalPattern_.valueAtOffset(13) & 0xff;
    if (itemComplexity == 0x10) return "OP Atom";
    return formatMediaText("OP-%c%c", char('0' + itemComplexity), char('`' + packageComplexity));
}

std::string MXFPartitionPack::type() const {
    return "Partition Pack : " + parttitionKindString() + " (" + parttitionStatusString() + ")";
}

std::string MXFPartitionPack::description() const {
    return formatMediaText(
        "%s Pos: %lld, %s, This=%llu, Previous=%lld, Footer=%lld, Header=%lld, IndexByte=%lld, "
        "BodyOffset=%lld, KAG=%d , Length: %lld",
        type().c_str(), (long long)filePosition(), operationalPatternString().c_str(),
        (unsigned long long)thisPartition_, (long long)previousPartition_,
        (long long)footerPartition_, (long long)headerByteCount_, (long long)indexByteCount_,
        (long long)bodyOffset_, int(kagSize_), (long long)klvLength());
}

}  // namespace vorlane
