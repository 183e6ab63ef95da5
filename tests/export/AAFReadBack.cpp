#include "export/AAFReadBack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace vorlane::test {
namespace {

// Local IDs of the baseline properties read here (the published AAF object model).
enum : uint16_t {
    kMetaDictionaryClasses = 0x0003,
    kMetaIdentification = 0x0005,
    kMetaName = 0x0006,
    kClassProperties = 0x0009,
    kPropertyLocalID = 0x000d,
    kComponentDataDef = 0x0201,
    kComponentLength = 0x0202,
    kSequenceComponents = 0x1001,
    kSourceID = 0x1101,
    kSourceSlotID = 0x1102,
    kStartTime = 0x1201,
    kTimecodeStart = 0x1501,
    kTimecodeFPS = 0x1502,
    kTimecodeDrop = 0x1503,
    kContentMobs = 0x1901,
    kDefinitionIdentification = 0x1b01,
    kDefinitionName = 0x1b02,
    kDictionaryDataDefinitions = 0x2605,
    kDescriptorLocators = 0x2f01,
    kHeaderContent = 0x3b03,
    kHeaderDictionary = 0x3b04,
    kLocatorURL = 0x4001,
    kMobID = 0x4401,
    kMobName = 0x4402,
    kMobSlots = 0x4403,
    kMobUsageCode = 0x4408,
    kSourceMobDescriptor = 0x4701,
    kSlotID = 0x4801,
    kSlotName = 0x4802,
    kSlotSegment = 0x4803,
    kSlotPhysicalNumber = 0x4804,
    kSlotEditRate = 0x4b01,
    kRootMetaDictionary = 0x0001,
    kRootHeader = 0x0002,
};

// Definition names by their identification bytes, kept as text: GCC 12 misjudges the bounds of
// byte vectors compared as map keys at -O3 (-Wstringop-overread).
class NameTable {
  public:
    void add(const ByteString& id, std::string name) { names_[keyOf(id)] = std::move(name); }
    // Nothing for an ID that no definition names.
    std::optional<std::string> nameOf(const ByteString& id) const {
        const auto found = names_.find(keyOf(id));
        if (found == names_.end()) return std::nullopt;
        return found->second;
    }

  private:
    static std::string keyOf(const ByteString& id) { return std::string(id.begin(), id.end()); }
    std::map<std::string, std::string> names_;
};

struct Names {
    NameTable classes;
    NameTable dataDefs;
};

ByteString bytesOf(const std::array<uint8_t, 16>& id) {
    return ByteString(id.begin(), id.end());
}

AAFComponentView componentOf(const StoredStorage& storage, const Names& names) {
    AAFComponentView component;
    component.kind = names.classes.nameOf(bytesOf(storage.classID)).value_or("?");
    if (const StoredProperty* dataDef = storage.property(kComponentDataDef))
        if (const auto reference = StoredDocument::weakReference(*dataDef))
            if (const auto name = names.dataDefs.nameOf(reference->key)) component.dataDef = *name;
    component.length = storage.integer(kComponentLength).value_or(-1);
    if (const StoredProperty* source = storage.property(kSourceID))
        component.sourceID = source->value;
    component.sourceSlotID = storage.integer(kSourceSlotID).value_or(-1);
    component.startTime = storage.integer(kStartTime).value_or(-1);
    component.timecodeStart = storage.integer(kTimecodeStart).value_or(-1);
    component.fps = storage.integer(kTimecodeFPS).value_or(-1);
    component.drop = storage.integer(kTimecodeDrop).value_or(0) != 0;
    for (const StoredStorage* element : storage.collection(kSequenceComponents))
        if (element) component.components.push_back(componentOf(*element, names));
    return component;
}

}  // namespace

const AAFSlotView* AAFMobView::slot(int64_t slotID) const {
    for (const AAFSlotView& candidate : slots)
        if (candidate.slotID == slotID) return &candidate;
    return nullptr;
}

std::vector<int64_t> AAFMobView::slotIDs() const {
    std::vector<int64_t> ids;
    for (const AAFSlotView& candidate : slots)
        ids.push_back(candidate.slotID);
    return ids;
}

std::string AAFFileView::className(const StoredStorage& storage) const {
    const StoredStorage* metaDictionary = document.root->strongReference(kRootMetaDictionary);
    for (const StoredStorage* definition : metaDictionary->collection(kMetaDictionaryClasses))
        if (definition &&
            definition->property(kMetaIdentification)->value == bytesOf(storage.classID))
            return definition->string(kMetaName).value_or("?");
    return "?";
}

const AAFMobView* AAFFileView::mobWithID(const ByteString& id) const {
    for (const AAFMobView& mob : mobs)
        if (mob.mobID == id) return &mob;
    return nullptr;
}

std::vector<const AAFMobView*> AAFFileView::mobsOfKind(const std::string& kind) const {
    std::vector<const AAFMobView*> found;
    for (const AAFMobView& mob : mobs)
        if (mob.kind == kind) found.push_back(&mob);
    return found;
}

const AAFMobView* AAFFileView::mobNamed(const std::string& kind, const std::string& name) const {
    for (const AAFMobView& mob : mobs)
        if (mob.kind == kind && mob.name == name) return &mob;
    return nullptr;
}

std::vector<std::string> AAFFileView::locatorURLs(const StoredStorage& descriptor) const {
    std::vector<std::string> urls;
    for (const StoredStorage* locator : descriptor.collection(kDescriptorLocators))
        if (locator) urls.push_back(locator->string(kLocatorURL).value_or(""));
    return urls;
}

std::optional<uint16_t> AAFFileView::pidOfProperty(const std::string& owner,
                                                   const std::string& propertyName) const {
    const StoredStorage* metaDictionary = document.root->strongReference(kRootMetaDictionary);
    for (const StoredStorage* definition : metaDictionary->collection(kMetaDictionaryClasses)) {
        if (!definition || definition->string(kMetaName) != owner) continue;
        for (const StoredStorage* property : definition->collection(kClassProperties))
            if (property && property->string(kMetaName) == propertyName)
                return uint16_t(property->integer(kPropertyLocalID).value_or(0));
    }
    return std::nullopt;
}

std::optional<AAFFileView> readAAFFile(const std::filesystem::path& path) {
    auto document = readStoredDocument(path);
    EXPECT_TRUE(document) << path << " is no compound document";
    if (!document) return std::nullopt;
    AAFFileView view{std::move(*document), {}};
    Names names;
    const StoredStorage* metaDictionary = view.document.root->strongReference(kRootMetaDictionary);
    const StoredStorage* header = view.document.root->strongReference(kRootHeader);
    EXPECT_TRUE(metaDictionary && header) << path;
    if (!metaDictionary || !header) return std::nullopt;
    for (const StoredStorage* definition : metaDictionary->collection(kMetaDictionaryClasses))
        if (definition)
            names.classes.add(definition->property(kMetaIdentification)->value,
                              definition->string(kMetaName).value_or("?"));
    if (const StoredStorage* dictionary = header->strongReference(kHeaderDictionary))
        for (const StoredStorage* definition : dictionary->collection(kDictionaryDataDefinitions))
            if (definition)
                names.dataDefs.add(definition->property(kDefinitionIdentification)->value,
                                   definition->string(kDefinitionName).value_or("?"));
    const StoredStorage* content = header->strongReference(kHeaderContent);
    if (!content) return std::nullopt;
    for (const StoredStorage* storage : content->collection(kContentMobs)) {
        if (!storage) continue;
        AAFMobView mob;
        mob.kind = names.classes.nameOf(bytesOf(storage->classID)).value_or("");
        mob.name = storage->string(kMobName).value_or("");
        mob.mobID = storage->property(kMobID)->value;
        if (const StoredProperty* usage = storage->property(kMobUsageCode))
            mob.usageCode = auidText(usage->value.data());
        mob.descriptor = storage->strongReference(kSourceMobDescriptor);
        for (const StoredStorage* slot : storage->collection(kMobSlots)) {
            if (!slot) continue;
            AAFSlotView slotView;
            slotView.slotID = slot->integer(kSlotID).value_or(-1);
            slotView.name = slot->string(kSlotName);
            slotView.physicalNumber = slot->integer(kSlotPhysicalNumber);
            slotView.editRate = slot->rational(kSlotEditRate).value_or(std::pair(0, 0));
            if (const StoredStorage* segment = slot->strongReference(kSlotSegment))
                slotView.segment = componentOf(*segment, names);
            mob.slots.push_back(std::move(slotView));
        }
        view.mobs.push_back(std::move(mob));
    }
    return view;
}

int64_t positionOf(const AAFComponentView& sequence, size_t index) {
    int64_t position = 0;
    for (size_t before = 0; before < index && before < sequence.components.size(); ++before)
        position += sequence.components[before].length;
    return position;
}

void keepForIndependentCheck(const std::filesystem::path& file, const std::string& name) {
    const char* folder = std::getenv("VORLANE_AAF_KEEP_DIR");
    if (!folder || !*folder) return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::copy_file(file, std::filesystem::path(folder) / (name + ".aaf"),
                               std::filesystem::copy_options::overwrite_existing, error);
}

}  // namespace vorlane::test
