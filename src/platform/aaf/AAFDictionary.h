// The dictionary of an AAF file: the definitions its objects refer to (what a component carries,
// which container holds essence), and the door to the meta-dictionary: objects are made here,
// and classes and types are looked up and registered through it.
#pragma once

#include <memory>
#include <string>

#include "platform/aaf/AAFMetaDictionary.h"

namespace vorlane::aaf {

class AAFDefinitionObject : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::DefinitionObject;
    explicit AAFDefinitionObject(std::shared_ptr<AAFClassDef> definition)
        : AAFObject(std::move(definition)) {}
    AAFResult initialize(const AUID& id, const std::string& name, const std::string& description);
    const AUID& identification() const { return id_; }

  private:
    AUID id_;
};

class AAFDataDef : public AAFDefinitionObject {
  public:
    static constexpr AUID kClassID = ClassID::DataDefinition;
    using AAFDefinitionObject::AAFDefinitionObject;
};

class AAFContainerDef : public AAFDefinitionObject {
  public:
    static constexpr AUID kClassID = ClassID::ContainerDefinition;
    using AAFDefinitionObject::AAFDefinitionObject;
};

class AAFDictionary : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Dictionary;
    AAFDictionary(std::shared_ptr<AAFClassDef> definition,
                  std::shared_ptr<AAFMetaDictionary> metaDictionary);

    // A new object of a concrete class that is (or derives from) T's class.
    template <class T>
    AAFResult createInstance(const AUID& classID, std::shared_ptr<T>& result) const {
        std::shared_ptr<AAFClassDef> classDef;
        if (const AAFResult looked = lookupClassDef(classID, classDef); AAFFailed(looked))
            return looked;
        if (!classDef->isConcrete()) return kAAFResultAbstractClass;
        if (!classDef->isKindOf(T::kClassID)) return kAAFResultWrongClass;
        result = std::make_shared<T>(classDef);
        return kAAFResultSuccess;
    }
    // A new class or type definition, to be initialised and registered.
    template <class T>
    AAFResult createMetaInstance(const AUID& classID, std::shared_ptr<T>& result) const {
        return metaDictionary_->createMetaInstance(classID, result);
    }

    AAFResult lookupClassDef(const AUID& id, std::shared_ptr<AAFClassDef>& result) const;
    AAFResult registerClassDef(const std::shared_ptr<AAFClassDef>& classDef);
    AAFResult lookupTypeDef(const AUID& id, std::shared_ptr<AAFTypeDef>& result) const;
    AAFResult registerTypeDef(const std::shared_ptr<AAFTypeDef>& typeDef);

    AAFResult registerDataDef(const std::shared_ptr<AAFDataDef>& dataDef);
    AAFResult lookupDataDef(const AUID& id, std::shared_ptr<AAFDataDef>& result) const;
    AAFResult registerContainerDef(const std::shared_ptr<AAFContainerDef>& containerDef);
    AAFResult lookupContainerDef(const AUID& id, std::shared_ptr<AAFContainerDef>& result) const;

  private:
    template <class T>
    AAFResult lookupDefinition(uint16_t pid, const AUID& id, std::shared_ptr<T>& result) const;

    std::shared_ptr<AAFMetaDictionary> metaDictionary_;
};

}  // namespace vorlane::aaf
