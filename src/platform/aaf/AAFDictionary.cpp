#include "platform/aaf/AAFDictionary.h"

namespace vorlane::aaf {

using StoredFormat::encodeAUID;
using StoredFormat::encodeString;

AAFResult AAFDefinitionObject::initialize(const AUID& id, const std::string& name,
                                          const std::string& description) {
    if (id.isNull()) return kAAFResultNullParam;
    if (isPropertyPresent(Pid::DefinitionObjectIdentification)) return kAAFResultAlreadyRegistered;
    id_ = id;
    return AAFFirstFailure({setValue(Pid::DefinitionObjectIdentification, encodeAUID(id)),
                            setValue(Pid::DefinitionObjectName, encodeString(name)),
                            setValue(Pid::DefinitionObjectDescription, encodeString(description))});
}

AAFDictionary::AAFDictionary(std::shared_ptr<AAFClassDef> definition,
                             std::shared_ptr<AAFMetaDictionary> metaDictionary)
    : AAFObject(std::move(definition)), metaDictionary_(std::move(metaDictionary)) {}

AAFResult AAFDictionary::lookupClassDef(const AUID& id,
                                        std::shared_ptr<AAFClassDef>& result) const {
    return metaDictionary_->lookupClassDef(id, result);
}

AAFResult AAFDictionary::registerClassDef(const std::shared_ptr<AAFClassDef>& classDef) {
    return metaDictionary_->registerClassDef(classDef);
}

AAFResult AAFDictionary::lookupTypeDef(const AUID& id, std::shared_ptr<AAFTypeDef>& result) const {
    return metaDictionary_->lookupTypeDef(id, result);
}

AAFResult AAFDictionary::registerTypeDef(const std::shared_ptr<AAFTypeDef>& typeDef) {
    return metaDictionary_->registerTypeDef(typeDef);
}

template <class T>
AAFResult AAFDictionary::lookupDefinition(uint16_t pid, const AUID& id,
                                          std::shared_ptr<T>& result) const {
    for (const auto& object : references(pid)) {
        auto definition = std::static_pointer_cast<T>(object);
        if (definition->identification() == id) {
            result = std::move(definition);
            return kAAFResultSuccess;
        }
    }
    return kAAFResultObjectNotFound;
}

AAFResult AAFDictionary::registerDataDef(const std::shared_ptr<AAFDataDef>& dataDef) {
    if (!dataDef) return kAAFResultNullParam;
    return insertStrongReference(Pid::DictionaryDataDefinitions, dataDef);
}

AAFResult AAFDictionary::lookupDataDef(const AUID& id, std::shared_ptr<AAFDataDef>& result) const {
    return lookupDefinition(Pid::DictionaryDataDefinitions, id, result);
}

AAFResult AAFDictionary::registerContainerDef(
    const std::shared_ptr<AAFContainerDef>& containerDef) {
    if (!containerDef) return kAAFResultNullParam;
    return insertStrongReference(Pid::DictionaryContainerDefinitions, containerDef);
}

AAFResult AAFDictionary::lookupContainerDef(const AUID& id,
                                            std::shared_ptr<AAFContainerDef>& result) const {
    return lookupDefinition(Pid::DictionaryContainerDefinitions, id, result);
}

}  // namespace vorlane::aaf
