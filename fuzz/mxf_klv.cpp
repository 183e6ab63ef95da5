// Fuzzes the MXF layer: the KLV walk with every item class, the partition, primer, random index
// and index segment parsing, header metadata sets, the structure loaders and the typed value
// reader over arbitrary bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/mxf/MXFError.h"
#include "formats/mxf/MXFFileStructure.h"
#include "formats/mxf/MXFKeyLengthValue.h"
#include "platform/FileReader.h"
#include "platform/Log.h"

namespace {

using namespace vorlane;

std::shared_ptr<MXFRawAccess> rawAccess(const uint8_t* data, size_t size) {
    return std::make_shared<MXFRawAccess>(FileReader::fromBuffer(std::span(data, size)));
}

void walk(const uint8_t* data, size_t size) {
    auto raw = rawAccess(data, size);
    try {
        while (auto item = raw->nextKLV()) {
            (void)item->description();
            (void)item->designatorString();
        }
    } catch (const MXFError&) {
    }
    try {
        if (auto header = raw->headerPartition()) (void)header->description();
    } catch (const MXFError&) {
    }
}

void loadStructure(const uint8_t* data, size_t size) {
    MXFFileStructure structure(rawAccess(data, size));
    if (!structure.loadPartitions()) return;
    (void)structure.kagRoundup(size);
    if (structure.loadHeaderMetadata()) {
        for (const auto& set : structure.metadataSets()) {
            (void)set->description();
            if (const MXFValue* uid = set->valueForKey("InstanceUID"); uid && uid->identifier()) {
                (void)structure.findMetadataSetWithIdentifier(*uid->identifier());
                (void)structure.findPackageWithIdentifier(*uid->identifier());
            }
        }
        (void)structure.searchHeaderForIdentifier(
            MXFMetadataSet::identifierWithKind(MXFSetKindTimecode));
    }
    if (structure.loadIndexTables()) {
        for (const auto& segment : structure.indexTables()) {
            for (const MXFIndexEntry& entry : segment->indexEntryArray())
                (void)structure.fileOffsetOfEssence(segment->bodySID(), entry.streamOffset);
        }
    }
}

// Every property type over the first bytes, with a length from the first byte.
void readValues(const uint8_t* data, size_t size) {
    size = std::min<size_t>(size, 1024);
    if (size < 2) return;
    const uint64_t length = data[0];
    auto bytes = std::make_shared<const std::vector<uint8_t>>(data + 1, data + size);
    for (int32_t type = 0; type <= 30; ++type) {
        MXFKeyLengthValue value(MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34"), bytes);
        try {
            while (!value.reachedEnd()) {
                const uint64_t before = value.dataLocation();
                (void)value.readDataOfType(type, length).description();
                (void)value.readArrayOfDataWithType(type, length).description();
                if (value.dataLocation() == before) break;
            }
        } catch (const MXFError&) {
        }
    }
    const std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
    (void)MXFIdentifier::identifierWithString(text).matchesStringUL(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        vorlane::Log::setStandardErrorEnabled(false);
        return true;
    }();
    (void)quiet;
    walk(data, size);
    loadStructure(data, size);
    readValues(data, size);
    return 0;
}
