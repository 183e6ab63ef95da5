#include "platform/aaf/AAFTaggedValue.h"

namespace vorlane::aaf {

using StoredFormat::encodeIndirect;
using StoredFormat::encodeString;

AAFResult AAFTaggedValue::initialize(const std::string& name, const std::string& value) {
    return AAFFirstFailure(
        {setValue(Pid::TaggedValueName, encodeString(name)),
         setValue(Pid::TaggedValueValue, encodeIndirect(TypeID::String, encodeString(value)))});
}

AAFResult AAFTaggedValue::initialize(const std::string& name, int32_t value) {
    return AAFFirstFailure(
        {setValue(Pid::TaggedValueName, encodeString(name)),
         setValue(Pid::TaggedValueValue,
                  encodeIndirect(TypeID::Int32, StoredFormat::encodeInteger(value)))});
}

}  // namespace vorlane::aaf
