// A tagged value: a name with a value of any type, stored with its type's identifier (an
// indirect value). Mobs, components and tagged values hold lists of them as attributes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/aaf/AAFDictionary.h"

namespace vorlane::aaf {

class AAFTaggedValue : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::TaggedValue;
    using AAFObject::AAFObject;
    AAFResult initialize(const std::string& name, const std::string& value);
    AAFResult initialize(const std::string& name, int32_t value);
};

}  // namespace vorlane::aaf
