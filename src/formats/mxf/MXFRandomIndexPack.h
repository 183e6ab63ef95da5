// The random index pack at the end of a file: body SID and byte offset of every partition.
#pragma once

#include <vector>

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

struct MXFRandomIndexEntry {
    uint32_t bodySID = 0;     // "BodySID"
    uint64_t byteOffset = 0;  // "ByteOffset", counted from the header partition
};

class MXFRandomIndexPack : public MXFKeyLengthValue {
  public:
    // Parses the value and releases it.
    MXFRandomIndexPack(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    const std::vector<MXFRandomIndexEntry>& indexArray() const { return indexArray_; }

    std::string type() const override { return "RandomIndexPack"; }
    std::string description() const override;

  private:
    std::vector<MXFRandomIndexEntry> indexArray_;
};

}  // namespace vorlane
