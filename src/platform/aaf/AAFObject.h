// An object of an AAF file: an instance of a class of the file's meta-dictionary holding property
// values by local property ID, in the order they were first set. Values are kept as they are
// stored: data bytes, strong references to owned objects (one, a vector or a set keyed by the
// elements' unique identifier), or weak references to an object elsewhere in the file.
//
// The property-value operations check the property against the object's class: a property its
// class (or a parent class) does not define is refused, and so is a value of the wrong kind. An
// object is owned by at most one strong reference.
//
// Writing: an object becomes a storage whose class ID is its class, with a "properties" stream,
// an index stream per collection, and a sub-storage per referenced object.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/aaf/AAFTypes.h"
#include "platform/aaf/StoredFormat.h"

namespace vorlane::aaf {

class AAFClassDef;
class AAFPropertyDef;
class CompoundFileWriter;

// The paths of the collections that weak references point into, each with its tag (its position
// in the file's "referenced properties" stream), in the order they were first used.
class ReferencedPaths {
  public:
    uint16_t tagOfPath(const std::vector<uint16_t>& path);
    const std::vector<std::vector<uint16_t>>& paths() const { return paths_; }

  private:
    std::vector<std::vector<uint16_t>> paths_;
};

class AAFObject {
  public:
    explicit AAFObject(std::shared_ptr<AAFClassDef> definition);
    virtual ~AAFObject();
    AAFObject(const AAFObject&) = delete;
    AAFObject& operator=(const AAFObject&) = delete;

    const std::shared_ptr<AAFClassDef>& definition() const { return definition_; }
    const AUID& classID() const;
    // Whether the object's class is the class or derives from it.
    bool isKindOf(const AUID& classID) const;

    // Property-value operations.
    AAFResult setValue(uint16_t pid, Bytes value);
    AAFResult setStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object);
    AAFResult appendStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object);
    // Adds to a set under the object's unique identifier; a second object with the same key is
    // refused.
    AAFResult insertStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object);
    // Refers to the target, which must lie in the collection the property's type points into.
    AAFResult setWeakReference(uint16_t pid, const AAFObject& target);

    bool isPropertyPresent(uint16_t pid) const;
    // The stored bytes of a data property; nullptr when it is not set or not data.
    const Bytes* dataValue(uint16_t pid) const;
    // The objects a strong reference, vector or set holds, in order.
    std::vector<std::shared_ptr<AAFObject>> references(uint16_t pid) const;

    // The pid and stored value of the object's unique identifier; nothing when its class has
    // none or it is not set.
    std::optional<std::pair<uint16_t, Bytes>> uniqueKey() const;

    // Writes the object and everything it owns as a storage of the given name; false when a
    // value cannot be stored (longer than the property index allows) or a name is unknown.
    bool write(CompoundFileWriter& writer, const std::string& name, ReferencedPaths& paths) const;

  protected:
    // Unchecked forms for the objects that set up the meta-dictionary before their own class
    // definitions exist; the caller guarantees pid and kind.
    void storeData(uint16_t pid, Bytes value);
    void storeInSet(uint16_t pid, std::shared_ptr<AAFObject> object, uint16_t keyPid, Bytes key);
    void storeEmptySet(uint16_t pid, uint16_t keyPid, uint8_t keySize);
    void storeEmptyVector(uint16_t pid);
    void storeWeakReference(uint16_t pid, std::vector<uint16_t> targetPath, uint16_t keyPid,
                            Bytes key);
    void setDefinition(std::shared_ptr<AAFClassDef> definition) {
        definition_ = std::move(definition);
    }

  private:
    // The meta-dictionary sets the class definitions of the definitions it makes, and lets go of
    // them at its end.
    friend class AAFMetaDictionary;

    struct Property {
        uint16_t pid = 0;
        StoredForm form = StoredForm::Data;
        Bytes data;
        std::vector<std::shared_ptr<AAFObject>> objects;
        std::vector<Bytes> keys;         // of a set's elements
        std::set<std::string> keyIndex;  // the keys as byte strings, for lookups
        uint16_t keyPid = 0;
        uint8_t keySize = 0;
        std::vector<uint16_t> targetPath;  // of a weak reference
    };

    Property& propertyFor(uint16_t pid, StoredForm form);
    const Property* findProperty(uint16_t pid) const;
    // The definition of a property of this object's class; nullptr when it has none.
    const AAFPropertyDef* propertyDefinition(uint16_t pid) const;
    AAFResult checkProperty(uint16_t pid, StoredForm form) const;
    AAFResult adopt(const std::shared_ptr<AAFObject>& object);
    // What a storage holds: the property index's entries, index streams, sub-storages.
    struct StorageContents;
    bool writeProperty(const Property& property, ReferencedPaths& paths,
                       StorageContents& contents) const;

    std::shared_ptr<AAFClassDef> definition_;
    std::vector<Property> properties_;
    bool owned_ = false;
};

}  // namespace vorlane::aaf
