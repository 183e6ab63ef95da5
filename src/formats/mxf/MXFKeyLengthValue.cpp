#include "formats/mxf/MXFKeyLengthValue.h"

#include <limits>

#include "media/MediaText.h"

namespace vorlane {
namespace {

std::string registryName(uint8_t category, uint8_t registry) {
    switch (category) {
        case 1: {
            static constexpr const char* kNames[] = {"Metadata", "Essence", "Control", "Type"};
            return registry >= 1 && registry <= 4 ? kNames[registry - 1] : "???";
        }
        case 2: {
            static constexpr const char* kNames[] = {"UniversalSets",     "GlobalSets",
                                                     "LocalSets",         "VariableLengthPack",
                                                     "DefinedLengthPack", "Reserved"};
            const int low = registry & 0x07;
            return low >= 1 && low <= 6 ? kNames[low - 1] : "???";
        }
        case 3:
            return registry == 1 ? "Simple" : registry == 2 ? "Complex" : "???";
        default:
            return "";
    }
}

}  // namespace

MXFKeyLengthValue::MXFKeyLengthValue(MXFIdentifier identifier, MXFData valueData)
    : MXFDataReader(valueData),
      identifier_(std::move(identifier)),
      klvLength_(valueData ? valueData->size() : 0) {}

MXFKeyLengthValue::MXFKeyLengthValue(MXFIdentifier identifier, uint64_t length)
    : identifier_(std::move(identifier)), klvLength_(length) {}

const MXFIdentifier& MXFKeyLengthValue::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.XX.XX.XX.XX.XX.XX.XX.XX.XX.XX.XX.XX");
    return pattern;
}

bool MXFKeyLengthValue::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

uint64_t MXFKeyLengthValue::fileEndPosition() const {
    const uint64_t start = filePosition_ + fileDataOffset_;
    if (klvLength_ > std::numeric_limits<uint64_t>::max() - start) {
        return std::numeric_limits<uint64_t>::max();
    }
    return start + klvLength_;
}

void MXFKeyLengthValue::unloadData() {
    setData(nullptr);
}

std::string MXFKeyLengthValue::designatorString() const {
    const uint8_t category = categoryDesignator();
    const uint8_t registry = registryDesignator();
    std::string text;
    switch (category) {
        case 1:
            text = "Dictionaries/" + registryName(category, registry);
            break;
        case 2:
            text = "Groups (Sets and Packs)/" + registryName(category, registry);
            break;
        case 3:
            text = "WrappersAndContainers/" + registryName(category, registry);
            break;
        case 4:
            text = "Labels";
            break;
        case 5:
            text = "Private";
            break;
        default:
            text = "unkown";
            break;
    }
    return text + formatMediaText(", Structure 0x%02X", structureDesignator());
}

std::string MXFKeyLengthValue::type() const {
    return "unkown, " + designatorString();
}

std::string MXFKeyLengthValue::description() const {
    return formatMediaText("Pos: %llu, %s [%s] Length: %llu ", (unsigned long long)filePosition_,
                           identifier_.description().c_str(), type().c_str(),
                           (unsigned long long)(klvLength_ + 20));
}

const MXFIdentifier& MXFFiller::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.01.01.01.XX.03.01.02.10.01.00.00.00");
    return pattern;
}

bool MXFFiller::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

std::string MXFFiller::description() const {
    return formatMediaText("Pos: %llu, %s : Length: %llu ", (unsigned long long)filePosition(),
                           identifier().description().c_str(), (unsigned long long)klvLength());
}

}  // namespace vorlane
