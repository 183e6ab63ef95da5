// The mobs of a written AAF file as the tests look at them, read through StoredDocument (libgsf
// and the stored-format layouts, not the writer's objects). Class and data-definition names come
// from the file's own meta-dictionary and dictionary.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/aaf/StoredDocument.h"

namespace vorlane::test {

struct AAFComponentView {
    std::string kind;     // class name: "Sequence", "SourceClip", "Filler", "Timecode"
    std::string dataDef;  // "Picture", "Sound", "Timecode"
    int64_t length = 0;
    ByteString sourceID;  // source clips
    int64_t sourceSlotID = 0;
    int64_t startTime = 0;
    int64_t timecodeStart = 0;  // timecodes
    int64_t fps = 0;
    bool drop = false;
    std::vector<AAFComponentView> components;  // sequences
};

struct AAFSlotView {
    int64_t slotID = 0;
    std::optional<std::string> name;
    std::optional<int64_t> physicalNumber;
    std::pair<int32_t, int32_t> editRate;
    AAFComponentView segment;
};

struct AAFMobView {
    std::string kind;  // "CompositionMob", "MasterMob", "SourceMob"
    std::string name;
    ByteString mobID;
    std::string usageCode;  // AUID text, or empty
    std::vector<AAFSlotView> slots;
    const StoredStorage* descriptor = nullptr;

    const AAFSlotView* slot(int64_t slotID) const;
    std::vector<int64_t> slotIDs() const;
};

struct AAFFileView {
    StoredDocument document;
    std::vector<AAFMobView> mobs;

    // The class name of a storage by the file's meta-dictionary.
    std::string className(const StoredStorage& storage) const;
    const AAFMobView* mobWithID(const ByteString& id) const;
    std::vector<const AAFMobView*> mobsOfKind(const std::string& kind) const;
    const AAFMobView* mobNamed(const std::string& kind, const std::string& name) const;
    // The URLs of a descriptor's network locators.
    std::vector<std::string> locatorURLs(const StoredStorage& descriptor) const;
    // A property's local ID, by its name and owner class in the file's meta-dictionary.
    std::optional<uint16_t> pidOfProperty(const std::string& className,
                                          const std::string& propertyName) const;
};

// The file read back; nothing (and a failed expectation) when it cannot be read.
std::optional<AAFFileView> readAAFFile(const std::filesystem::path& path);

// Where a component of a sequence starts, in edit units: the lengths before it.
int64_t positionOf(const AAFComponentView& sequence, size_t index);

// When VORLANE_AAF_KEEP_DIR names a folder, a copy of the file goes there under the name, for
// the independent reader's check (tools/aaf_check.py).
void keepForIndependentCheck(const std::filesystem::path& file, const std::string& name);

}  // namespace vorlane::test
