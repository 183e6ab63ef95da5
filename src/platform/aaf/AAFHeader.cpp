#include "platform/aaf/AAFHeader.h"

namespace vorlane::aaf {

using StoredFormat::encodeAUID;
using StoredFormat::encodeInteger;
using StoredFormat::encodeString;

namespace {

// "II": the file's values are little-endian.
constexpr int16_t kLittleEndianByteOrder = 0x4949;
// Version 1.1 of the AAF object model.
constexpr int8_t kVersionMajor = 1;
constexpr int8_t kVersionMinor = 1;
constexpr uint32_t kObjectModelVersion = 1;

Bytes now() {
    return StoredFormat::encodeTimeStamp(TimeStamp::ofTime(std::chrono::system_clock::now()));
}

}  // namespace

AAFResult AAFIdentification::initialize(const ProductIdentification& product) {
    return AAFFirstFailure(
        {setValue(Pid::IdentificationCompanyName, encodeString(product.companyName)),
         setValue(Pid::IdentificationProductName, encodeString(product.productName)),
         setValue(Pid::IdentificationProductVersionString,
                  encodeString(product.productVersionString)),
         setValue(Pid::IdentificationProductID, encodeAUID(product.productID)),
         setValue(Pid::IdentificationDate, now()),
         setValue(Pid::IdentificationGenerationAUID, encodeAUID(AUID::generate())),
         product.platform ? setValue(Pid::IdentificationPlatform, encodeString(*product.platform))
                          : kAAFResultSuccess});
}

AAFContentStorage::AAFContentStorage(std::shared_ptr<AAFClassDef> definition)
    : AAFObject(std::move(definition)) {
    storeEmptySet(Pid::ContentStorageMobs, Pid::MobMobID, uint8_t(sizeof(MobID)));
}

AAFResult AAFContentStorage::addMob(const std::shared_ptr<AAFMob>& mob) {
    return insertStrongReference(Pid::ContentStorageMobs, mob);
}

AAFResult AAFHeader::initialize(const std::shared_ptr<AAFDictionary>& dictionary,
                                const std::shared_ptr<AAFContentStorage>& content,
                                const std::shared_ptr<AAFIdentification>& identification) {
    if (!dictionary || !content || !identification) return kAAFResultNullParam;
    if (dictionary_) return kAAFResultAlreadyRegistered;
    const Bytes version = {uint8_t(kVersionMajor), uint8_t(kVersionMinor)};
    const AAFResult result = AAFFirstFailure(
        {setValue(Pid::HeaderByteOrder, encodeInteger(kLittleEndianByteOrder)),
         setValue(Pid::HeaderLastModified, now()), setValue(Pid::HeaderVersion, version),
         setValue(Pid::HeaderObjectModelVersion, encodeInteger(kObjectModelVersion)),
         setStrongReference(Pid::HeaderDictionary, dictionary),
         setStrongReference(Pid::HeaderContent, content),
         appendStrongReference(Pid::HeaderIdentificationList, identification)});
    if (AAFFailed(result)) return result;
    dictionary_ = dictionary;
    content_ = content;
    return kAAFResultSuccess;
}

AAFResult AAFHeader::setOperationalPattern(const AUID& pattern) {
    return setValue(Pid::HeaderOperationalPattern, encodeAUID(pattern));
}

AAFResult AAFHeader::getDictionary(std::shared_ptr<AAFDictionary>& result) const {
    if (!dictionary_) return kAAFResultNotOpen;
    result = dictionary_;
    return kAAFResultSuccess;
}

AAFResult AAFHeader::addMob(const std::shared_ptr<AAFMob>& mob) {
    if (!content_) return kAAFResultNotOpen;
    return content_->addMob(mob);
}

}  // namespace vorlane::aaf
