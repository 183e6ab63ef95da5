#include "platform/aaf/AAFObject.h"

#include <algorithm>

#include "platform/aaf/AAFMetaDictionary.h"
#include "platform/aaf/CompoundFileWriter.h"

namespace vorlane::aaf {

using StoredFormat::encodeString;
using StoredFormat::mangledName;

uint16_t ReferencedPaths::tagOfPath(const std::vector<uint16_t>& path) {
    const auto found = std::find(paths_.begin(), paths_.end(), path);
    if (found != paths_.end()) return uint16_t(found - paths_.begin());
    paths_.push_back(path);
    return uint16_t(paths_.size() - 1);
}

AAFObject::AAFObject(std::shared_ptr<AAFClassDef> definition)
    : definition_(std::move(definition)) {}

AAFObject::~AAFObject() = default;

const AUID& AAFObject::classID() const {
    static const AUID kNone{};
    return definition_ ? definition_->classID() : kNone;
}

bool AAFObject::isKindOf(const AUID& id) const {
    return definition_ && definition_->isKindOf(id);
}

const AAFPropertyDef* AAFObject::propertyDefinition(uint16_t pid) const {
    return definition_ ? definition_->propertyDefinitionWithPid(pid) : nullptr;
}

AAFResult AAFObject::checkProperty(uint16_t pid, StoredForm form) const {
    const AAFPropertyDef* property = propertyDefinition(pid);
    if (!property) return kAAFResultPropertyNotDefined;
    if (property->storage().form != form) return kAAFResultWrongType;
    return kAAFResultSuccess;
}

AAFObject::Property& AAFObject::propertyFor(uint16_t pid, StoredForm form) {
    for (Property& property : properties_)
        if (property.pid == pid) return property;
    properties_.push_back(Property{pid, form, {}, {}, {}, {}, 0, 0, {}});
    return properties_.back();
}

const AAFObject::Property* AAFObject::findProperty(uint16_t pid) const {
    for (const Property& property : properties_)
        if (property.pid == pid) return &property;
    return nullptr;
}

AAFResult AAFObject::adopt(const std::shared_ptr<AAFObject>& object) {
    if (!object) return kAAFResultNullParam;
    if (object->owned_) return kAAFResultAlreadyAttached;
    object->owned_ = true;
    return kAAFResultSuccess;
}

AAFResult AAFObject::setValue(uint16_t pid, Bytes value) {
    if (const AAFResult checked = checkProperty(pid, StoredForm::Data); AAFFailed(checked))
        return checked;
    if (value.size() > 0xffff) return kAAFResultValueTooLong;
    propertyFor(pid, StoredForm::Data).data = std::move(value);
    return kAAFResultSuccess;
}

AAFResult AAFObject::setStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object) {
    if (const AAFResult checked = checkProperty(pid, StoredForm::StrongReference);
        AAFFailed(checked))
        return checked;
    if (const AAFResult adopted = adopt(object); AAFFailed(adopted)) return adopted;
    Property& property = propertyFor(pid, StoredForm::StrongReference);
    if (!property.objects.empty()) property.objects.front()->owned_ = false;
    property.objects = {object};
    return kAAFResultSuccess;
}

AAFResult AAFObject::appendStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object) {
    if (const AAFResult checked = checkProperty(pid, StoredForm::StrongReferenceVector);
        AAFFailed(checked))
        return checked;
    if (const AAFResult adopted = adopt(object); AAFFailed(adopted)) return adopted;
    propertyFor(pid, StoredForm::StrongReferenceVector).objects.push_back(object);
    return kAAFResultSuccess;
}

AAFResult AAFObject::insertStrongReference(uint16_t pid, const std::shared_ptr<AAFObject>& object) {
    if (const AAFResult checked = checkProperty(pid, StoredForm::StrongReferenceSet);
        AAFFailed(checked))
        return checked;
    if (!object) return kAAFResultNullParam;
    const auto key = object->uniqueKey();
    if (!key) return kAAFResultWrongClass;
    if (const Property* set = findProperty(pid);
        set && set->keyIndex.count(std::string(key->second.begin(), key->second.end())))
        return kAAFResultDuplicateKey;
    if (const AAFResult adopted = adopt(object); AAFFailed(adopted)) return adopted;
    storeInSet(pid, object, key->first, key->second);
    return kAAFResultSuccess;
}

AAFResult AAFObject::setWeakReference(uint16_t pid, const AAFObject& target) {
    if (const AAFResult checked = checkProperty(pid, StoredForm::WeakReference); AAFFailed(checked))
        return checked;
    const TypeStorage& storage = propertyDefinition(pid)->storage();
    const auto key = target.uniqueKey();
    if (!key || key->first != storage.targetKeyPid) return kAAFResultWrongClass;
    storeWeakReference(pid, storage.targetPath, key->first, key->second);
    return kAAFResultSuccess;
}

void AAFObject::storeData(uint16_t pid, Bytes value) {
    propertyFor(pid, StoredForm::Data).data = std::move(value);
}

void AAFObject::storeInSet(uint16_t pid, std::shared_ptr<AAFObject> object, uint16_t keyPid,
                           Bytes key) {
    Property& property = propertyFor(pid, StoredForm::StrongReferenceSet);
    property.keyPid = keyPid;
    property.keySize = uint8_t(key.size());
    property.objects.push_back(std::move(object));
    property.keyIndex.emplace(key.begin(), key.end());
    property.keys.push_back(std::move(key));
}

void AAFObject::storeEmptySet(uint16_t pid, uint16_t keyPid, uint8_t keySize) {
    Property& property = propertyFor(pid, StoredForm::StrongReferenceSet);
    property.keyPid = keyPid;
    property.keySize = keySize;
}

void AAFObject::storeEmptyVector(uint16_t pid) {
    propertyFor(pid, StoredForm::StrongReferenceVector);
}

void AAFObject::storeWeakReference(uint16_t pid, std::vector<uint16_t> targetPath, uint16_t keyPid,
                                   Bytes key) {
    Property& property = propertyFor(pid, StoredForm::WeakReference);
    property.targetPath = std::move(targetPath);
    property.keyPid = keyPid;
    property.data = std::move(key);
}

bool AAFObject::isPropertyPresent(uint16_t pid) const {
    return findProperty(pid) != nullptr;
}

const Bytes* AAFObject::dataValue(uint16_t pid) const {
    const Property* property = findProperty(pid);
    return property && property->form == StoredForm::Data ? &property->data : nullptr;
}

std::vector<std::shared_ptr<AAFObject>> AAFObject::references(uint16_t pid) const {
    const Property* property = findProperty(pid);
    return property ? property->objects : std::vector<std::shared_ptr<AAFObject>>{};
}

std::optional<std::pair<uint16_t, Bytes>> AAFObject::uniqueKey() const {
    for (const AAFClassDef* level = definition_.get(); level; level = level->parent().get()) {
        for (const Property& property : properties_) {
            const AAFPropertyDef* definition = level->propertyDefinitionWithPid(property.pid);
            if (definition && definition->isUniqueIdentifier() && property.form == StoredForm::Data)
                return std::pair(property.pid, property.data);
        }
    }
    return std::nullopt;
}

struct AAFObject::StorageContents {
    std::vector<StoredFormat::PropertyEntry> entries;
    std::vector<std::pair<std::string, Bytes>> streams;
    std::vector<std::pair<std::string, const AAFObject*>> children;
};

bool AAFObject::writeProperty(const Property& property, ReferencedPaths& paths,
                              StorageContents& contents) const {
    StoredFormat::PropertyEntry entry{property.pid, property.form, {}};
    const AAFPropertyDef* definition = propertyDefinition(property.pid);
    switch (property.form) {
        case StoredForm::Data:
            entry.value = property.data;
            break;
        case StoredForm::WeakReference:
            entry.value = StoredFormat::encodeWeakReference(paths.tagOfPath(property.targetPath),
                                                            property.keyPid, property.data);
            break;
        case StoredForm::StrongReference: {
            if (!definition || property.objects.empty()) return false;
            const std::string name =
                mangledName(definition->name(), property.pid, StoredFormat::kStorageNameLimit);
            entry.value = encodeString(name);
            contents.children.emplace_back(name, property.objects.front().get());
            break;
        }
        case StoredForm::StrongReferenceVector:
        case StoredForm::StrongReferenceSet: {
            if (!definition) return false;
            const std::string name =
                mangledName(definition->name(), property.pid, StoredFormat::kCollectionNameLimit);
            entry.value = encodeString(name);
            const auto count = uint32_t(property.objects.size());
            if (property.form == StoredForm::StrongReferenceVector) {
                std::vector<uint32_t> localKeys(count);
                for (uint32_t index = 0; index < count; ++index)
                    localKeys[index] = index;
                contents.streams.emplace_back(name + " index",
                                              StoredFormat::encodeVectorIndex(localKeys, count));
            } else {
                std::vector<StoredFormat::SetIndexEntry> index;
                index.reserve(count);
                for (uint32_t position = 0; position < count; ++position)
                    index.push_back({position, property.keys[position]});
                contents.streams.emplace_back(
                    name + " index",
                    StoredFormat::encodeSetIndex(index, count, property.keyPid, property.keySize));
            }
            for (uint32_t position = 0; position < count; ++position)
                contents.children.emplace_back(StoredFormat::elementName(name, position),
                                               property.objects[position].get());
            break;
        }
        default:
            return false;
    }
    contents.entries.push_back(std::move(entry));
    return true;
}

bool AAFObject::write(CompoundFileWriter& writer, const std::string& name,
                      ReferencedPaths& paths) const {
    StorageContents contents;
    bool written = true;
    for (const Property& property : properties_)
        written = writeProperty(property, paths, contents) && written;
    Bytes index;
    written = StoredFormat::encodePropertyIndex(contents.entries, index) && written;
    contents.streams.emplace_back(StoredFormat::kPropertiesStreamName, std::move(index));

    // Streams and storages go in reverse directory order, which the compound-file writer files
    // fastest.
    std::vector<std::pair<const std::string*, size_t>> order;
    for (size_t at = 0; at < contents.streams.size(); ++at)
        order.emplace_back(&contents.streams[at].first, at);
    for (size_t at = 0; at < contents.children.size(); ++at)
        order.emplace_back(&contents.children[at].first, contents.streams.size() + at);
    std::sort(order.begin(), order.end(), [](const auto& left, const auto& right) {
        return CompoundFileWriter::directoryOrderBefore(*right.first, *left.first);
    });
    writer.beginStorage(name, classID());
    for (const auto& [childName, at] : order) {
        if (at < contents.streams.size()) {
            writer.writeStream(*childName, contents.streams[at].second);
        } else {
            const AAFObject* child = contents.children[at - contents.streams.size()].second;
            written = child->write(writer, *childName, paths) && written;
        }
    }
    writer.endStorage();
    return written;
}

}  // namespace vorlane::aaf
