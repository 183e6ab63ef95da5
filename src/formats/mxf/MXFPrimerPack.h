// The primer pack of the header metadata: the table from two-byte local tags to the universal
// labels of the properties they stand for.
#pragma once

#include <map>
#include <string>

#include "formats/mxf/MXFKeyLengthValue.h"

namespace vorlane {

class MXFPrimerPack : public MXFKeyLengthValue {
  public:
    // Parses the value and releases it; raises the bounds errors on a short value.
    MXFPrimerPack(MXFIdentifier identifier, MXFData valueData);

    static const MXFIdentifier& classIdentifier();
    static bool conformsToIdentifier(const MXFIdentifier& key);

    // Tag text ("3C0A", four upper-case hexadecimal digits) to its label.
    const std::map<std::string, MXFIdentifier>& tagEntries() const { return tagEntries_; }
    // The label of a tag, or nullptr.
    const MXFIdentifier* labelForTag(uint16_t tag) const;

    std::string type() const override;
    std::string description() const override;

  private:
    std::map<std::string, MXFIdentifier> tagEntries_;
};

}  // namespace vorlane
