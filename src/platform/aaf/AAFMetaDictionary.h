// The meta-dictionary of an AAF file: the class, property and type definitions that say what the
// objects in the file are. It starts with the baseline classes this writer uses (each with all
// of its baseline properties) and the baseline types; a file adds its own classes, types and
// optional properties, which receive local property IDs from 0xffff downwards.
//
// Every class definition is written into the file, so a reader finds each object's class with
// its full property list, extensions included. Types are written when the file registered them;
// baseline types are known to every reader.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/aaf/AAFModel.h"
#include "platform/aaf/AAFObject.h"

namespace vorlane::aaf {

class AAFClassDef;

// A type: how its values are stored. Baseline types are known without being objects of the
// file; a type the file registers is written into the meta-dictionary.
class AAFTypeDef : public AAFObject {
  public:
    AAFTypeDef(std::shared_ptr<AAFClassDef> definition, const AUID& id, std::string name,
               TypeStorage storage);
    const AUID& typeID() const { return id_; }
    const std::string& name() const { return name_; }
    const TypeStorage& storage() const { return storage_; }

  protected:
    void setIdentity(const AUID& id, std::string name, TypeStorage storage);

  private:
    AUID id_;
    std::string name_;
    TypeStorage storage_;
};

// A strong object reference type to a class ("AvidStrongReference").
class AAFTypeDefStrongObjRef : public AAFTypeDef {
  public:
    static constexpr AUID kClassID = ClassID::TypeDefinitionStrongObjectReference;
    explicit AAFTypeDefStrongObjRef(std::shared_ptr<AAFClassDef> definition);
    AAFResult initialize(const AUID& id, const std::shared_ptr<AAFClassDef>& referencedClass,
                         const std::string& name);
};

class AAFPropertyDef : public AAFObject {
  public:
    AAFPropertyDef(std::shared_ptr<AAFClassDef> definition, const PropertyModel& model,
                   TypeStorage storage);
    const AUID& propertyID() const { return id_; }
    const std::string& name() const { return name_; }
    uint16_t pid() const { return pid_; }
    const AUID& typeID() const { return type_; }
    bool isOptional() const { return optional_; }
    bool isUniqueIdentifier() const { return unique_; }
    const TypeStorage& storage() const { return storage_; }

  private:
    AUID id_;
    std::string name_;
    uint16_t pid_;
    AUID type_;
    bool optional_;
    bool unique_;
    TypeStorage storage_;
};

class AAFMetaDictionary;

class AAFClassDef : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::ClassDefinition;
    explicit AAFClassDef(std::shared_ptr<AAFClassDef> definition);

    // A new class: its identifier, parent, name and whether objects of it can be made.
    AAFResult initialize(const AUID& id, const std::shared_ptr<AAFClassDef>& parent,
                         const std::string& name, bool concrete);
    // Adds an optional property with the next free dynamic local ID.
    AAFResult registerOptionalPropertyDef(const AUID& id, const std::string& name,
                                          const std::shared_ptr<AAFTypeDef>& type,
                                          std::shared_ptr<AAFPropertyDef>& result);
    // The property of this class or a parent class.
    AAFResult lookupPropertyDef(const AUID& id, std::shared_ptr<AAFPropertyDef>& result) const;
    const AAFPropertyDef* propertyDefinitionWithPid(uint16_t pid) const;

    const AUID& classID() const { return id_; }
    const std::string& name() const { return name_; }
    bool isConcrete() const { return concrete_; }
    bool isInitialized() const { return initialized_; }
    const std::shared_ptr<AAFClassDef>& parent() const { return parent_; }
    bool isKindOf(const AUID& ancestor) const;

  private:
    friend class AAFMetaDictionary;
    void setIdentity(const AUID& id, const std::shared_ptr<AAFClassDef>& parent, std::string name,
                     bool concrete);
    void addPropertyDef(std::shared_ptr<AAFPropertyDef> property);

    AUID id_;
    std::string name_;
    std::shared_ptr<AAFClassDef> parent_;  // none for a root class
    bool concrete_ = false;
    bool initialized_ = false;
    AAFMetaDictionary* metaDictionary_ = nullptr;
    std::vector<std::shared_ptr<AAFPropertyDef>> properties_;
};

class AAFMetaDictionary : public AAFObject {
  public:
    // A meta-dictionary holding the baseline classes and types.
    static std::shared_ptr<AAFMetaDictionary> createWithBaseline();
    explicit AAFMetaDictionary(std::shared_ptr<AAFClassDef> definition);
    ~AAFMetaDictionary() override;

    AAFResult lookupClassDef(const AUID& id, std::shared_ptr<AAFClassDef>& result) const;
    AAFResult registerClassDef(const std::shared_ptr<AAFClassDef>& classDef);
    // A baseline type, or one the file registered.
    AAFResult lookupTypeDef(const AUID& id, std::shared_ptr<AAFTypeDef>& result) const;
    AAFResult registerTypeDef(const std::shared_ptr<AAFTypeDef>& typeDef);

    // A new, uninitialised class or type definition.
    template <class T>
    AAFResult createMetaInstance(const AUID& classID, std::shared_ptr<T>& result) {
        std::shared_ptr<AAFClassDef> classDef;
        if (const AAFResult looked = lookupClassDef(classID, classDef); AAFFailed(looked))
            return looked;
        if (!classDef->isKindOf(T::kClassID)) return kAAFResultWrongClass;
        result = std::make_shared<T>(classDef);
        if constexpr (std::is_same_v<T, AAFClassDef>) result->metaDictionary_ = this;
        return kAAFResultSuccess;
    }

    // The next free local ID of a property a file registers itself.
    AAFResult allocateDynamicPid(uint16_t& pid);

  private:
    void addBaseline();

    std::map<AUID, std::shared_ptr<AAFClassDef>> classes_;
    std::map<AUID, std::shared_ptr<AAFTypeDef>> types_;
    uint16_t nextDynamicPid_ = Pid::FirstDynamic;
};

}  // namespace vorlane::aaf
