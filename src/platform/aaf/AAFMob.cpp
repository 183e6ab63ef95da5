#include "platform/aaf/AAFMob.h"

#include <algorithm>

namespace vorlane::aaf {

using StoredFormat::encodeInteger;
using StoredFormat::encodeString;

AAFTimelineMobSlot::AAFTimelineMobSlot(std::shared_ptr<AAFClassDef> definition)
    : AAFObject(std::move(definition)) {
    storeData(Pid::TimelineMobSlotOrigin, encodeInteger(int64_t(0)));
}

AAFResult AAFTimelineMobSlot::setEditRate(const Rational& rate) {
    if (rate.numerator <= 0 || rate.denominator <= 0) return kAAFResultBadValue;
    return setValue(Pid::TimelineMobSlotEditRate, StoredFormat::encodeRational(rate));
}

AAFResult AAFTimelineMobSlot::setOrigin(int64_t origin) {
    return setValue(Pid::TimelineMobSlotOrigin, encodeInteger(origin));
}

AAFResult AAFTimelineMobSlot::setSegment(const std::shared_ptr<AAFSegment>& segment) {
    return setStrongReference(Pid::MobSlotSegment, segment);
}

AAFResult AAFTimelineMobSlot::setSlotID(uint32_t slotID) {
    const AAFResult result = setValue(Pid::MobSlotSlotID, encodeInteger(slotID));
    if (!AAFFailed(result)) slotID_ = slotID;
    return result;
}

AAFResult AAFTimelineMobSlot::setName(const std::string& name) {
    return setValue(Pid::MobSlotSlotName, encodeString(name));
}

AAFResult AAFTimelineMobSlot::setPhysicalNum(uint32_t number) {
    return setValue(Pid::MobSlotPhysicalTrackNumber, encodeInteger(number));
}

AAFMob::AAFMob(std::shared_ptr<AAFClassDef> definition)
    : AAFObject(std::move(definition)), mobID_(MobID::generate()) {
    const Bytes now =
        StoredFormat::encodeTimeStamp(TimeStamp::ofTime(std::chrono::system_clock::now()));
    storeData(Pid::MobMobID, StoredFormat::encodeMobID(mobID_));
    storeEmptyVector(Pid::MobSlots);
    storeData(Pid::MobLastModified, now);
    storeData(Pid::MobCreationTime, now);
}

AAFResult AAFMob::setMobID(const MobID& id) {
    if (id.isNull()) return kAAFResultNullParam;
    const AAFResult result = setValue(Pid::MobMobID, StoredFormat::encodeMobID(id));
    if (!AAFFailed(result)) mobID_ = id;
    return result;
}

AAFResult AAFMob::setName(const std::string& name) {
    return setValue(Pid::MobName, encodeString(name));
}

AAFResult AAFMob::appendSlot(const std::shared_ptr<AAFTimelineMobSlot>& slot) {
    if (!slot) return kAAFResultNullParam;
    if (!slot->isPropertyPresent(Pid::MobSlotSlotID)) return kAAFResultBadValue;
    if (std::find(slotIDs_.begin(), slotIDs_.end(), slot->slotID()) != slotIDs_.end())
        return kAAFResultDuplicateKey;
    const AAFResult result = appendStrongReference(Pid::MobSlots, slot);
    if (!AAFFailed(result)) slotIDs_.push_back(slot->slotID());
    return result;
}

AAFResult AAFMob::setUsageCode(const AUID& usage) {
    return setValue(Pid::MobUsageCode, StoredFormat::encodeAUID(usage));
}

AAFResult AAFMob::setEssenceDescriptor(const std::shared_ptr<AAFEssenceDescriptor>& descriptor) {
    if (!isKindOf(ClassID::SourceMob)) return kAAFResultWrongClass;
    return setStrongReference(Pid::SourceMobEssenceDescription, descriptor);
}

}  // namespace vorlane::aaf
