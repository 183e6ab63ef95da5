#include "platform/aaf/AAFMetaDictionary.h"

#include <set>

namespace vorlane::aaf {

using StoredFormat::encodeAUID;
using StoredFormat::encodeBoolean;
using StoredFormat::encodeInteger;
using StoredFormat::encodeString;

namespace {

// Where class definitions are: their weak references point there.
const std::vector<uint16_t> kClassDefinitionsPath = {Pid::RootMetaDictionary,
                                                     Pid::MetaDictionaryClassDefinitions};

}  // namespace

// ---- Types -------------------------------------------------------------------------------------

AAFTypeDef::AAFTypeDef(std::shared_ptr<AAFClassDef> definition, const AUID& id, std::string name,
                       TypeStorage storage)
    : AAFObject(std::move(definition)),
      id_(id),
      name_(std::move(name)),
      storage_(std::move(storage)) {}

void AAFTypeDef::setIdentity(const AUID& id, std::string name, TypeStorage storage) {
    id_ = id;
    name_ = std::move(name);
    storage_ = std::move(storage);
    storeData(Pid::MetaDefinitionIdentification, encodeAUID(id_));
    storeData(Pid::MetaDefinitionName, encodeString(name_));
}

AAFTypeDefStrongObjRef::AAFTypeDefStrongObjRef(std::shared_ptr<AAFClassDef> definition)
    : AAFTypeDef(std::move(definition), AUID{}, {}, {}) {}

AAFResult AAFTypeDefStrongObjRef::initialize(const AUID& id,
                                             const std::shared_ptr<AAFClassDef>& referencedClass,
                                             const std::string& name) {
    if (!referencedClass) return kAAFResultNullParam;
    if (id.isNull()) return kAAFResultNullParam;
    setIdentity(id, name, TypeStorage{StoredForm::StrongReference, {}, 0});
    storeWeakReference(Pid::TypeDefinitionStrongObjectReferenceReferencedType,
                       kClassDefinitionsPath, Pid::MetaDefinitionIdentification,
                       encodeAUID(referencedClass->classID()));
    return kAAFResultSuccess;
}

// ---- Properties --------------------------------------------------------------------------------

AAFPropertyDef::AAFPropertyDef(std::shared_ptr<AAFClassDef> definition, const PropertyModel& model,
                               TypeStorage storage)
    : AAFObject(std::move(definition)),
      id_(model.id),
      name_(model.name),
      pid_(model.pid),
      type_(model.type),
      optional_(model.optional),
      unique_(model.uniqueIdentifier),
      storage_(std::move(storage)) {
    storeData(Pid::MetaDefinitionIdentification, encodeAUID(id_));
    storeData(Pid::MetaDefinitionName, encodeString(name_));
    storeData(Pid::PropertyDefinitionType, encodeAUID(type_));
    storeData(Pid::PropertyDefinitionIsOptional, encodeBoolean(optional_));
    storeData(Pid::PropertyDefinitionLocalIdentification, encodeInteger(pid_));
    storeData(Pid::PropertyDefinitionIsUniqueIdentifier, encodeBoolean(unique_));
}

// ---- Classes -----------------------------------------------------------------------------------

AAFClassDef::AAFClassDef(std::shared_ptr<AAFClassDef> definition)
    : AAFObject(std::move(definition)) {}

void AAFClassDef::setIdentity(const AUID& id, const std::shared_ptr<AAFClassDef>& parent,
                              std::string name, bool concrete) {
    id_ = id;
    parent_ = parent;
    name_ = std::move(name);
    concrete_ = concrete;
    initialized_ = true;
    storeData(Pid::MetaDefinitionIdentification, encodeAUID(id_));
    storeData(Pid::MetaDefinitionName, encodeString(name_));
    // A class without a parent names itself.
    storeWeakReference(Pid::ClassDefinitionParentClass, kClassDefinitionsPath,
                       Pid::MetaDefinitionIdentification,
                       encodeAUID(parent ? parent->classID() : id_));
    storeData(Pid::ClassDefinitionIsConcrete, encodeBoolean(concrete_));
}

AAFResult AAFClassDef::initialize(const AUID& id, const std::shared_ptr<AAFClassDef>& parent,
                                  const std::string& name, bool concrete) {
    if (initialized_) return kAAFResultAlreadyRegistered;
    if (!parent || id.isNull()) return kAAFResultNullParam;
    setIdentity(id, parent, name, concrete);
    return kAAFResultSuccess;
}

void AAFClassDef::addPropertyDef(std::shared_ptr<AAFPropertyDef> property) {
    storeInSet(Pid::ClassDefinitionProperties, property, Pid::MetaDefinitionIdentification,
               encodeAUID(property->propertyID()));
    properties_.push_back(std::move(property));
}

AAFResult AAFClassDef::registerOptionalPropertyDef(const AUID& id, const std::string& name,
                                                   const std::shared_ptr<AAFTypeDef>& type,
                                                   std::shared_ptr<AAFPropertyDef>& result) {
    if (!type || !metaDictionary_) return kAAFResultNullParam;
    if (std::shared_ptr<AAFPropertyDef> existing; !AAFFailed(lookupPropertyDef(id, existing)))
        return kAAFResultAlreadyRegistered;
    std::shared_ptr<AAFClassDef> propertyClass;
    if (const AAFResult looked =
            metaDictionary_->lookupClassDef(ClassID::PropertyDefinition, propertyClass);
        AAFFailed(looked))
        return looked;
    uint16_t pid = 0;
    if (const AAFResult allocated = metaDictionary_->allocateDynamicPid(pid); AAFFailed(allocated))
        return allocated;
    // The model keeps the name alive: it is copied at once.
    const PropertyModel model{name.c_str(), id, pid, type->typeID(), true, false};
    result = std::make_shared<AAFPropertyDef>(propertyClass, model, type->storage());
    addPropertyDef(result);
    return kAAFResultSuccess;
}

AAFResult AAFClassDef::lookupPropertyDef(const AUID& id,
                                         std::shared_ptr<AAFPropertyDef>& result) const {
    for (const AAFClassDef* level = this; level; level = level->parent_.get()) {
        for (const auto& property : level->properties_) {
            if (property->propertyID() == id) {
                result = property;
                return kAAFResultSuccess;
            }
        }
    }
    return kAAFResultObjectNotFound;
}

const AAFPropertyDef* AAFClassDef::propertyDefinitionWithPid(uint16_t pid) const {
    for (const AAFClassDef* level = this; level; level = level->parent_.get())
        for (const auto& property : level->properties_)
            if (property->pid() == pid) return property.get();
    return nullptr;
}

bool AAFClassDef::isKindOf(const AUID& ancestor) const {
    for (const AAFClassDef* level = this; level; level = level->parent_.get())
        if (level->id_ == ancestor) return true;
    return false;
}

// ---- Meta-dictionary ---------------------------------------------------------------------------

AAFMetaDictionary::AAFMetaDictionary(std::shared_ptr<AAFClassDef> definition)
    : AAFObject(std::move(definition)) {}

AAFMetaDictionary::~AAFMetaDictionary() {
    // Class definitions are objects of the class ClassDefinition, which is one of them: let go of
    // those references so the definitions can be freed.
    for (auto& [id, classDef] : classes_) {
        for (const auto& property : classDef->properties_)
            property->setDefinition(nullptr);
        classDef->setDefinition(nullptr);
    }
    for (auto& [id, type] : types_)
        type->setDefinition(nullptr);
    setDefinition(nullptr);
}

std::shared_ptr<AAFMetaDictionary> AAFMetaDictionary::createWithBaseline() {
    auto metaDictionary = std::make_shared<AAFMetaDictionary>(nullptr);
    metaDictionary->addBaseline();
    return metaDictionary;
}

void AAFMetaDictionary::addBaseline() {
    // Types first: a property's storage comes from its type.
    std::set<AUID> typeIDs = {TypeID::Int64};
    for (const ClassModel& model : baselineClasses())
        for (const PropertyModel& property : model.properties)
            typeIDs.insert(property.type);
    for (const AUID& id : typeIDs)
        types_[id] = std::make_shared<AAFTypeDef>(nullptr, id, "", baselineTypeStorage(id));

    // The classes, parents first; the classes of the meta model exist only once all are made.
    for (const ClassModel& model : baselineClasses()) {
        auto classDef = std::make_shared<AAFClassDef>(nullptr);
        classDef->metaDictionary_ = this;
        const auto parent = classes_.find(model.parent);
        classDef->setIdentity(model.id, parent == classes_.end() ? nullptr : parent->second,
                              model.name, model.concrete);
        for (const PropertyModel& property : model.properties)
            classDef->addPropertyDef(std::make_shared<AAFPropertyDef>(
                nullptr, property, types_.at(property.type)->storage()));
        classes_[model.id] = classDef;
    }
    const auto& classDefinition = classes_.at(ClassID::ClassDefinition);
    const auto& propertyDefinition = classes_.at(ClassID::PropertyDefinition);
    for (const ClassModel& model : baselineClasses()) {
        const auto& classDef = classes_.at(model.id);
        classDef->setDefinition(classDefinition);
        for (const auto& property : classDef->properties_)
            property->setDefinition(propertyDefinition);
        storeInSet(Pid::MetaDictionaryClassDefinitions, classDef, Pid::MetaDefinitionIdentification,
                   encodeAUID(model.id));
    }
    // Both collections are present, the types' possibly empty.
    storeEmptySet(Pid::MetaDictionaryTypeDefinitions, Pid::MetaDefinitionIdentification,
                  uint8_t(sizeof(AUID)));
    setDefinition(classes_.at(ClassID::MetaDictionary));
}

AAFResult AAFMetaDictionary::lookupClassDef(const AUID& id,
                                            std::shared_ptr<AAFClassDef>& result) const {
    const auto found = classes_.find(id);
    if (found == classes_.end()) return kAAFResultObjectNotFound;
    result = found->second;
    return kAAFResultSuccess;
}

AAFResult AAFMetaDictionary::registerClassDef(const std::shared_ptr<AAFClassDef>& classDef) {
    if (!classDef) return kAAFResultNullParam;
    if (!classDef->isInitialized()) return kAAFResultNullParam;
    if (classes_.count(classDef->classID())) return kAAFResultAlreadyRegistered;
    classes_[classDef->classID()] = classDef;
    storeInSet(Pid::MetaDictionaryClassDefinitions, classDef, Pid::MetaDefinitionIdentification,
               encodeAUID(classDef->classID()));
    return kAAFResultSuccess;
}

AAFResult AAFMetaDictionary::lookupTypeDef(const AUID& id,
                                           std::shared_ptr<AAFTypeDef>& result) const {
    const auto found = types_.find(id);
    if (found == types_.end()) return kAAFResultObjectNotFound;
    result = found->second;
    return kAAFResultSuccess;
}

AAFResult AAFMetaDictionary::registerTypeDef(const std::shared_ptr<AAFTypeDef>& typeDef) {
    if (!typeDef || typeDef->typeID().isNull()) return kAAFResultNullParam;
    if (types_.count(typeDef->typeID())) return kAAFResultAlreadyRegistered;
    types_[typeDef->typeID()] = typeDef;
    storeInSet(Pid::MetaDictionaryTypeDefinitions, typeDef, Pid::MetaDefinitionIdentification,
               encodeAUID(typeDef->typeID()));
    return kAAFResultSuccess;
}

AAFResult AAFMetaDictionary::allocateDynamicPid(uint16_t& pid) {
    if (nextDynamicPid_ < Pid::LowestDynamic) return kAAFResultBadValue;
    pid = nextDynamicPid_--;
    return kAAFResultSuccess;
}

}  // namespace vorlane::aaf
