#include "platform/aaf/AAFComponent.h"

namespace vorlane::aaf {

using StoredFormat::encodeBoolean;
using StoredFormat::encodeInteger;
using StoredFormat::encodeMobID;

AAFResult AAFComponent::setDataDef(const AAFDataDef& dataDef) {
    return setWeakReference(Pid::ComponentDataDefinition, dataDef);
}

AAFResult AAFComponent::setLength(int64_t length) {
    if (length < 0) return kAAFResultBadValue;
    const AAFResult result = setValue(Pid::ComponentLength, encodeInteger(length));
    if (!AAFFailed(result)) length_ = length;
    return result;
}

AAFSequence::AAFSequence(std::shared_ptr<AAFClassDef> definition)
    : AAFSegment(std::move(definition)) {
    storeEmptyVector(Pid::SequenceComponents);
}

AAFResult AAFSequence::initialize(const AAFDataDef& dataDef) {
    return AAFFirstFailure({setDataDef(dataDef), setLength(0)});
}

AAFResult AAFSequence::appendComponent(const std::shared_ptr<AAFComponent>& component) {
    if (!component) return kAAFResultNullParam;
    if (const AAFResult appended = appendStrongReference(Pid::SequenceComponents, component);
        AAFFailed(appended))
        return appended;
    return setLength(length() + component->length());
}

AAFResult AAFSourceClip::initialize(const AAFDataDef& dataDef, int64_t length,
                                    const SourceRef& reference) {
    return AAFFirstFailure(
        {setDataDef(dataDef), setLength(length),
         setValue(Pid::SourceReferenceSourceID, encodeMobID(reference.sourceID)),
         setValue(Pid::SourceReferenceSourceMobSlotID, encodeInteger(reference.sourceSlotID)),
         setValue(Pid::SourceClipStartTime, encodeInteger(reference.startTime))});
}

AAFResult AAFFiller::initialize(const AAFDataDef& dataDef, int64_t length) {
    return AAFFirstFailure({setDataDef(dataDef), setLength(length)});
}

AAFResult AAFTimecode::initialize(const AAFDataDef& dataDef, int64_t length,
                                  const TimecodeValue& value) {
    if (dataDef.identification() != DataDefID::Timecode) return kAAFResultWrongType;
    return AAFFirstFailure({setDataDef(dataDef), setLength(length),
                            setValue(Pid::TimecodeStart, encodeInteger(value.startFrame)),
                            setValue(Pid::TimecodeFPS, encodeInteger(value.fps)),
                            setValue(Pid::TimecodeDrop, encodeBoolean(value.drop))});
}

}  // namespace vorlane::aaf
