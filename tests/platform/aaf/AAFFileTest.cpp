// The object layer writes what it was given, read back through libgsf and decoded from the
// stored-format layouts (not through the writer's objects): the file signature and sector size
// in the header, class IDs on storages, the root's references, mobs keyed by their IDs, slots,
// segments and their values, weak references resolved through the referenced-property table,
// and the definitions a file registers. Operations refuse what the object model does not allow,
// and a file appears only when saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/aaf/AAFFile.h"
#include "platform/aaf/AAFTaggedValue.h"
#include "platform/aaf/StoredDocument.h"
#include "support/TestSupport.h"

namespace vorlane::aaf {
namespace {

using test::ByteString;
using test::StoredDocument;
using test::StoredStorage;

ByteString stored(const AUID& id) {
    const auto bytes = id.storedBytes();
    return ByteString(bytes.begin(), bytes.end());
}
ByteString stored(const MobID& id) {
    return ByteString(id.bytes.begin(), id.bytes.end());
}
bool hasClass(const StoredStorage* storage, const AUID& id) {
    return storage && ByteString(storage->classID.begin(), storage->classID.end()) == stored(id);
}

#define ASSERT_AAF(call) ASSERT_EQ((call), kAAFResultSuccess) << #call

class AAFFileTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_AAF(AAFFile::openNewModify(folder / "test.aaf", kFileKindAAF4KBinary, 0,
                                          {"Maker", "Product", "1.0", AUID{}, std::nullopt}, file));
        ASSERT_AAF(file->getHeader(header));
        ASSERT_AAF(header->getDictionary(dictionary));
        ASSERT_AAF(dictionary->lookupDataDef(DataDefID::Picture, picture));
        ASSERT_AAF(dictionary->lookupDataDef(DataDefID::Timecode, timecode));
    }

    std::shared_ptr<AAFTimelineMobSlot> slot(uint32_t id,
                                             const std::shared_ptr<AAFSegment>& segment) {
        std::shared_ptr<AAFTimelineMobSlot> made;
        EXPECT_EQ(dictionary->createInstance(ClassID::TimelineMobSlot, made), kAAFResultSuccess);
        EXPECT_EQ(AAFFirstFailure(
                      {made->setSlotID(id), made->setEditRate({25, 1}), made->setSegment(segment)}),
                  kAAFResultSuccess);
        return made;
    }

    test::ScratchFolder folder;
    std::unique_ptr<AAFFile> file;
    std::shared_ptr<AAFHeader> header;
    std::shared_ptr<AAFDictionary> dictionary;
    std::shared_ptr<AAFDataDef> picture;
    std::shared_ptr<AAFDataDef> timecode;
};

TEST_F(AAFFileTest, AWrittenFileReadsBackInTheStoredLayout) {
    ASSERT_AAF(header->setOperationalPattern(kOperationalPatternEditProtocol));
    // A master mob and a composition whose picture refers to it after a filler; a timecode slot.
    std::shared_ptr<AAFMob> master;
    std::shared_ptr<AAFMob> composition;
    ASSERT_AAF(dictionary->createInstance(ClassID::MasterMob, master));
    ASSERT_AAF(dictionary->createInstance(ClassID::CompositionMob, composition));
    ASSERT_AAF(composition->setName("Szene 12 \"Nacht\"\n日本"));
    std::shared_ptr<AAFTimecode> start;
    ASSERT_AAF(dictionary->createInstance(ClassID::Timecode, start));
    ASSERT_AAF(start->initialize(*timecode, 275, {2160000, true, 30}));
    auto timecodeSlot = slot(1, start);
    ASSERT_AAF(timecodeSlot->setName("TC1"));
    ASSERT_AAF(timecodeSlot->setPhysicalNum(1));
    ASSERT_AAF(composition->appendSlot(timecodeSlot));
    std::shared_ptr<AAFSequence> sequence;
    std::shared_ptr<AAFFiller> filler;
    std::shared_ptr<AAFSourceClip> clip;
    ASSERT_AAF(dictionary->createInstance(ClassID::Sequence, sequence));
    ASSERT_AAF(dictionary->createInstance(ClassID::Filler, filler));
    ASSERT_AAF(dictionary->createInstance(ClassID::SourceClip, clip));
    ASSERT_AAF(sequence->initialize(*picture));
    ASSERT_AAF(filler->initialize(*picture, 12));
    ASSERT_AAF(clip->initialize(*picture, 250, {master->mobID(), 1, 7}));
    ASSERT_AAF(sequence->appendComponent(filler));
    ASSERT_AAF(sequence->appendComponent(clip));
    ASSERT_AAF(composition->appendSlot(slot(2, sequence)));
    ASSERT_AAF(header->addMob(master));
    ASSERT_AAF(header->addMob(composition));
    // A class and an optional property of the file's own.
    const AUID ownClass = makeAUID(0x6619f8e0, 0xfe77, 0x11d3, 0xa084006094eb75cb);
    std::shared_ptr<AAFClassDef> classDef;
    std::shared_ptr<AAFClassDef> interchangeObject;
    std::shared_ptr<AAFTypeDef> int64;
    std::shared_ptr<AAFPropertyDef> first;
    std::shared_ptr<AAFPropertyDef> second;
    ASSERT_AAF(dictionary->createMetaInstance(ClassID::ClassDefinition, classDef));
    ASSERT_AAF(dictionary->lookupClassDef(ClassID::InterchangeObject, interchangeObject));
    ASSERT_AAF(classDef->initialize(ownClass, interchangeObject, "Own Class", true));
    ASSERT_AAF(dictionary->registerClassDef(classDef));
    ASSERT_AAF(dictionary->lookupTypeDef(TypeID::Int64, int64));
    ASSERT_AAF(classDef->registerOptionalPropertyDef(AUID::generate(), "Position", int64, first));
    ASSERT_AAF(classDef->registerOptionalPropertyDef(AUID::generate(), "Offset", int64, second));
    EXPECT_EQ(first->pid(), 0xffff);
    EXPECT_EQ(second->pid(), 0xfffe);
    ASSERT_AAF(file->save());
    ASSERT_AAF(file->close());

    const auto document = test::readStoredDocument(folder / "test.aaf");
    ASSERT_TRUE(document);
    // Magic, the AAF signature where the header keeps its class ID, version 4, little-endian,
    // 4096-byte sectors, 64-byte mini sectors.
    const ByteString& head = document->header;
    EXPECT_EQ(ByteString(head.begin(), head.begin() + 8),
              (ByteString{0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1}));
    EXPECT_EQ(ByteString(head.begin() + 8, head.begin() + 24), stored(kFileSignatureAAF4K));
    EXPECT_EQ(ByteString(head.begin() + 0x1a, head.begin() + 0x22),
              (ByteString{0x04, 0x00, 0xfe, 0xff, 0x0c, 0x00, 0x06, 0x00}));
    EXPECT_EQ(std::filesystem::file_size(folder / "test.aaf") % 4096, 0u);

    const StoredStorage& root = *document->root;
    EXPECT_TRUE(hasClass(&root, ClassID::Root));
    const StoredStorage* storedHeader = root.strongReference(Pid::RootHeader);
    const StoredStorage* metaDictionary = root.strongReference(Pid::RootMetaDictionary);
    ASSERT_TRUE(hasClass(storedHeader, ClassID::Header));
    ASSERT_TRUE(hasClass(metaDictionary, ClassID::MetaDictionary));
    EXPECT_EQ(storedHeader->name, "Header-2");
    EXPECT_EQ(metaDictionary->name, "MetaDictionary-1");
    EXPECT_EQ(storedHeader->property(Pid::HeaderOperationalPattern)->value,
              stored(kOperationalPatternEditProtocol));
    EXPECT_EQ(storedHeader->integer(Pid::HeaderByteOrder), 0x4949);
    EXPECT_EQ(storedHeader->property(Pid::HeaderVersion)->value, (ByteString{1, 1}));
    const auto identification = storedHeader->collection(Pid::HeaderIdentificationList);
    ASSERT_EQ(identification.size(), 1u);
    EXPECT_EQ(identification[0]->string(Pid::IdentificationProductName), "Product");

    // Mobs, keyed by their IDs.
    const StoredStorage* content = storedHeader->strongReference(Pid::HeaderContent);
    ASSERT_TRUE(hasClass(content, ClassID::ContentStorage));
    EXPECT_EQ(content->setKeys(Pid::ContentStorageMobs),
              (std::vector<ByteString>{stored(master->mobID()), stored(composition->mobID())}));
    const auto mobs = content->collection(Pid::ContentStorageMobs);
    ASSERT_EQ(mobs.size(), 2u);
    EXPECT_TRUE(hasClass(mobs[0], ClassID::MasterMob));
    ASSERT_TRUE(hasClass(mobs[1], ClassID::CompositionMob));
    EXPECT_EQ(mobs[1]->string(Pid::MobName), "Szene 12 \"Nacht\"\n日本");
    EXPECT_EQ(mobs[1]->property(Pid::MobMobID)->value, stored(composition->mobID()));

    const auto slots = mobs[1]->collection(Pid::MobSlots);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_TRUE(hasClass(slots[0], ClassID::TimelineMobSlot));
    EXPECT_EQ(slots[0]->integer(Pid::MobSlotSlotID), 1);
    EXPECT_EQ(slots[0]->string(Pid::MobSlotSlotName), "TC1");
    EXPECT_EQ(slots[0]->integer(Pid::MobSlotPhysicalTrackNumber), 1);
    EXPECT_EQ(slots[0]->rational(Pid::TimelineMobSlotEditRate), std::pair(25, 1));
    EXPECT_EQ(slots[0]->integer(Pid::TimelineMobSlotOrigin), 0);
    const StoredStorage* storedTimecode = slots[0]->strongReference(Pid::MobSlotSegment);
    ASSERT_TRUE(hasClass(storedTimecode, ClassID::Timecode));
    EXPECT_EQ(storedTimecode->integer(Pid::TimecodeStart), 2160000);
    EXPECT_EQ(storedTimecode->integer(Pid::TimecodeFPS), 30);
    EXPECT_EQ(storedTimecode->integer(Pid::TimecodeDrop), 1);
    EXPECT_EQ(storedTimecode->integer(Pid::ComponentLength), 275);
    // The data definition by weak reference: a tag naming the dictionary's data definitions,
    // and the timecode definition's identification as key.
    const auto reference =
        StoredDocument::weakReference(*storedTimecode->property(Pid::ComponentDataDefinition));
    ASSERT_TRUE(reference);
    ASSERT_LT(reference->tag, document->referencedPaths.size());
    EXPECT_EQ(document->referencedPaths[reference->tag],
              (std::vector<uint16_t>{0x0002, 0x3b04, 0x2605}));
    EXPECT_EQ(reference->keyPid, 0x1b01);
    EXPECT_EQ(reference->key, stored(DataDefID::Timecode));
    const StoredStorage* storedDictionary = storedHeader->strongReference(Pid::HeaderDictionary);
    const auto definitions = storedDictionary->setKeys(Pid::DictionaryDataDefinitions);
    EXPECT_NE(std::find(definitions.begin(), definitions.end(), reference->key), definitions.end());

    const StoredStorage* storedSequence = slots[1]->strongReference(Pid::MobSlotSegment);
    ASSERT_TRUE(hasClass(storedSequence, ClassID::Sequence));
    EXPECT_EQ(storedSequence->integer(Pid::ComponentLength), 262);
    const auto components = storedSequence->collection(Pid::SequenceComponents);
    ASSERT_EQ(components.size(), 2u);
    EXPECT_TRUE(hasClass(components[0], ClassID::Filler));
    EXPECT_EQ(components[0]->integer(Pid::ComponentLength), 12);
    ASSERT_TRUE(hasClass(components[1], ClassID::SourceClip));
    EXPECT_EQ(components[1]->property(Pid::SourceReferenceSourceID)->value,
              stored(master->mobID()));
    EXPECT_EQ(components[1]->integer(Pid::SourceReferenceSourceMobSlotID), 1);
    EXPECT_EQ(components[1]->integer(Pid::SourceClipStartTime), 7);

    // The class of the file's own, its parent by weak reference, its properties' local IDs.
    const StoredStorage* ownDefinition = nullptr;
    for (const StoredStorage* definition :
         metaDictionary->collection(Pid::MetaDictionaryClassDefinitions))
        if (definition->property(Pid::MetaDefinitionIdentification)->value == stored(ownClass))
            ownDefinition = definition;
    ASSERT_TRUE(hasClass(ownDefinition, ClassID::ClassDefinition));
    EXPECT_EQ(ownDefinition->string(Pid::MetaDefinitionName), "Own Class");
    const auto parent =
        StoredDocument::weakReference(*ownDefinition->property(Pid::ClassDefinitionParentClass));
    ASSERT_TRUE(parent);
    EXPECT_EQ(document->referencedPaths.at(parent->tag), (std::vector<uint16_t>{0x0001, 0x0003}));
    EXPECT_EQ(parent->key, stored(ClassID::InterchangeObject));
    std::vector<uint16_t> pids;
    for (const StoredStorage* property : ownDefinition->collection(Pid::ClassDefinitionProperties))
        pids.push_back(uint16_t(*property->integer(Pid::PropertyDefinitionLocalIdentification)));
    EXPECT_EQ(pids, (std::vector<uint16_t>{0xffff, 0xfffe}));

    // Every storage's property index decodes to its exact end.
    std::function<void(const StoredStorage&)> checkWhole = [&](const StoredStorage& storage) {
        EXPECT_FALSE(storage.propertiesMalformed) << storage.name;
        for (const auto& [name, child] : storage.storages)
            checkWhole(*child);
    };
    checkWhole(root);
}

// Past 128 allocation-table entries (a document over 512 KB) every FAT sector the header lists
// lies inside the file, and libgsf reads the whole document.
TEST_F(AAFFileTest, ALargeDocumentIsComplete) {
    for (int index = 0; index < 600; ++index) {
        std::shared_ptr<AAFMob> mob;
        ASSERT_AAF(dictionary->createInstance(ClassID::MasterMob, mob));
        ASSERT_AAF(mob->setName("Clip " + std::to_string(index) + std::string(200, '.')));
        ASSERT_AAF(header->addMob(mob));
    }
    ASSERT_AAF(file->save());
    const auto path = folder / "test.aaf";
    ASSERT_GT(std::filesystem::file_size(path), 129u * 4096);
    const auto document = test::readStoredDocument(path);
    ASSERT_TRUE(document);
    const ByteString& head = document->header;
    const auto word = [&](size_t at) {
        return uint32_t(head[at] | head[at + 1] << 8 | head[at + 2] << 16 | head[at + 3] << 24);
    };
    const uint64_t sectors = std::filesystem::file_size(path) / 4096 - 1;
    for (uint32_t index = 0; index < word(0x2c); ++index)
        EXPECT_LT(word(0x4c + 4 * index), sectors);
    const StoredStorage* content =
        document->root->strongReference(Pid::RootHeader)->strongReference(Pid::HeaderContent);
    EXPECT_EQ(content->collection(Pid::ContentStorageMobs).size(), 600u);
}

TEST_F(AAFFileTest, OperationsRefuseWhatTheModelDoesNotAllow) {
    std::shared_ptr<AAFMob> mob;
    EXPECT_EQ(dictionary->createInstance(ClassID::Mob, mob), kAAFResultAbstractClass);
    std::shared_ptr<AAFSequence> notASequence;
    EXPECT_EQ(dictionary->createInstance(ClassID::SourceClip, notASequence), kAAFResultWrongClass);
    ASSERT_AAF(dictionary->createInstance(ClassID::CompositionMob, mob));
    // A property of another class, a value of the wrong kind.
    EXPECT_EQ(mob->setValue(Pid::TimelineMobSlotEditRate, {0}), kAAFResultPropertyNotDefined);
    EXPECT_EQ(mob->setValue(Pid::MobSlots, {0}), kAAFResultWrongType);
    std::shared_ptr<AAFImportDescriptor> descriptor;
    ASSERT_AAF(dictionary->createInstance(ClassID::ImportDescriptor, descriptor));
    EXPECT_EQ(mob->setEssenceDescriptor(descriptor), kAAFResultWrongClass);

    std::shared_ptr<AAFFiller> filler;
    ASSERT_AAF(dictionary->createInstance(ClassID::Filler, filler));
    ASSERT_AAF(filler->initialize(*picture, 1));
    ASSERT_AAF(mob->appendSlot(slot(1, filler)));
    std::shared_ptr<AAFFiller> other;
    ASSERT_AAF(dictionary->createInstance(ClassID::Filler, other));
    ASSERT_AAF(other->initialize(*picture, 1));
    EXPECT_EQ(mob->appendSlot(slot(1, other)), kAAFResultDuplicateKey);
    // An object has one owner.
    std::shared_ptr<AAFTimelineMobSlot> second;
    ASSERT_AAF(dictionary->createInstance(ClassID::TimelineMobSlot, second));
    EXPECT_EQ(second->setSegment(filler), kAAFResultAlreadyAttached);
    // A timecode of picture data, a negative length.
    std::shared_ptr<AAFTimecode> start;
    ASSERT_AAF(dictionary->createInstance(ClassID::Timecode, start));
    EXPECT_EQ(start->initialize(*picture, 10, {}), kAAFResultWrongType);
    EXPECT_EQ(other->setLength(-1), kAAFResultBadValue);

    ASSERT_AAF(header->addMob(mob));
    std::shared_ptr<AAFMob> twin;
    ASSERT_AAF(dictionary->createInstance(ClassID::MasterMob, twin));
    ASSERT_AAF(twin->setMobID(mob->mobID()));
    EXPECT_EQ(header->addMob(twin), kAAFResultDuplicateKey);
    std::shared_ptr<AAFClassDef> known;
    ASSERT_AAF(dictionary->lookupClassDef(ClassID::Sequence, known));
    EXPECT_EQ(dictionary->registerClassDef(known), kAAFResultAlreadyRegistered);
    EXPECT_EQ(dictionary->lookupDataDef(ClassID::Sequence, picture), kAAFResultObjectNotFound);
}

TEST_F(AAFFileTest, TaggedValuesKeepTheirTypeWithTheValue) {
    std::shared_ptr<AAFTaggedValue> tagged;
    ASSERT_AAF(dictionary->createInstance(ClassID::TaggedValue, tagged));
    ASSERT_AAF(tagged->initialize("Scene", "12A"));
    ByteString expected = {0x4c};
    const ByteString string = stored(TypeID::String);
    expected.insert(expected.end(), string.begin(), string.end());
    expected.insert(expected.end(), {'1', 0, '2', 0, 'A', 0, 0, 0});
    EXPECT_EQ(*tagged->dataValue(Pid::TaggedValueValue), expected);
    ASSERT_AAF(tagged->initialize("Take", 3));
    EXPECT_EQ(ByteString(tagged->dataValue(Pid::TaggedValueValue)->begin() + 17,
                         tagged->dataValue(Pid::TaggedValueValue)->end()),
              (ByteString{3, 0, 0, 0}));
}

TEST_F(AAFFileTest, TheFileAppearsOnlyWhenSaved) {
    std::unique_ptr<AAFFile> elsewhere;
    EXPECT_EQ(AAFFile::openNewModify(folder / "missing" / "x.aaf", kFileKindAAF4KBinary, 0, {},
                                     elsewhere),
              kAAFResultFileNotCreated);
    // Open: only a hidden temporary file; closed unsaved: nothing.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].front(), '.');
    std::unique_ptr<AAFFile> unsaved;
    ASSERT_AAF(
        AAFFile::openNewModify(folder / "unsaved.aaf", kFileKindAAF4KBinary, 0, {}, unsaved));
    ASSERT_AAF(unsaved->close());
    EXPECT_EQ(unsaved->save(), kAAFResultNotOpen);
    unsaved.reset();
    ASSERT_AAF(file->save());
    file.reset();
    names.clear();
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"test.aaf"});
}

}  // namespace
}  // namespace vorlane::aaf
