#include "platform/aaf/AAFFile.h"

#include "platform/AtomicFileWriter.h"
#include "platform/aaf/CompoundFileWriter.h"

namespace vorlane::aaf {

namespace {

struct DefinitionEntry {
    AUID id;
    const char* name;
    const char* description;
};
constexpr DefinitionEntry kDataDefinitions[] = {
    {DataDefID::Picture, "Picture", "Picture data"},
    {DataDefID::Sound, "Sound", "Sound data"},
    {DataDefID::Timecode, "Timecode", "Timecode data"},
};
constexpr DefinitionEntry kContainerDefinition = {ContainerDefID::AAFKLV, "AAFKLV",
                                                  "AAF-KLV essence container"};

AAFResult registerStandardDefinitions(AAFDictionary& dictionary) {
    for (const DefinitionEntry& entry : kDataDefinitions) {
        std::shared_ptr<AAFDataDef> dataDef;
        const AAFResult result =
            AAFFirstFailure({dictionary.createInstance(ClassID::DataDefinition, dataDef),
                             dataDef ? dataDef->initialize(entry.id, entry.name, entry.description)
                                     : kAAFResultNullParam,
                             dictionary.registerDataDef(dataDef)});
        if (AAFFailed(result)) return result;
    }
    std::shared_ptr<AAFContainerDef> container;
    return AAFFirstFailure(
        {dictionary.createInstance(ClassID::ContainerDefinition, container),
         container ? container->initialize(kContainerDefinition.id, kContainerDefinition.name,
                                           kContainerDefinition.description)
                   : kAAFResultNullParam,
         dictionary.registerContainerDef(container)});
}

}  // namespace

AAFResult AAFFile::openNewModify(const std::filesystem::path& path, const AUID& fileKind,
                                 uint32_t modeFlags, const ProductIdentification& product,
                                 std::unique_ptr<AAFFile>& result) {
    if (fileKind != kFileKindAAF4KBinary || modeFlags != kModeFlagsNone) return kAAFResultBadValue;
    std::unique_ptr<AAFFile> file(new AAFFile());
    file->path_ = path;
    file->target_ = AtomicFileWriter::create(path);
    if (!file->target_) return kAAFResultFileNotCreated;
    file->metaDictionary_ = AAFMetaDictionary::createWithBaseline();

    std::shared_ptr<AAFClassDef> dictionaryClass;
    if (const AAFResult looked =
            file->metaDictionary_->lookupClassDef(ClassID::Dictionary, dictionaryClass);
        AAFFailed(looked))
        return looked;
    auto dictionary = std::make_shared<AAFDictionary>(dictionaryClass, file->metaDictionary_);
    std::shared_ptr<AAFContentStorage> content;
    std::shared_ptr<AAFIdentification> identification;
    const AAFResult made =
        AAFFirstFailure({dictionary->createInstance(ClassID::Header, file->header_),
                         dictionary->createInstance(ClassID::ContentStorage, content),
                         dictionary->createInstance(ClassID::Identification, identification)});
    if (AAFFailed(made)) return made;
    const AAFResult filled =
        AAFFirstFailure({identification->initialize(product),
                         file->header_->initialize(dictionary, content, identification),
                         registerStandardDefinitions(*dictionary)});
    if (AAFFailed(filled)) return filled;
    file->open_ = true;
    result = std::move(file);
    return kAAFResultSuccess;
}

AAFFile::~AAFFile() = default;

AAFResult AAFFile::getHeader(std::shared_ptr<AAFHeader>& result) const {
    if (!open_) return kAAFResultNotOpen;
    result = header_;
    return kAAFResultSuccess;
}

std::optional<Bytes> AAFFile::documentBytes() const {
    CompoundFileWriter writer(kFileSignatureAAF4K, ClassID::Root);
    ReferencedPaths paths;
    const std::string metaDictionaryName = StoredFormat::mangledName(
        "MetaDictionary", Pid::RootMetaDictionary, StoredFormat::kStorageNameLimit);
    const std::string headerName =
        StoredFormat::mangledName("Header", Pid::RootHeader, StoredFormat::kStorageNameLimit);
    bool written = metaDictionary_->write(writer, metaDictionaryName, paths);
    written = header_->write(writer, headerName, paths) && written;
    Bytes rootIndex;
    written =
        StoredFormat::encodePropertyIndex({{Pid::RootMetaDictionary, StoredForm::StrongReference,
                                            StoredFormat::encodeString(metaDictionaryName)},
                                           {Pid::RootHeader, StoredForm::StrongReference,
                                            StoredFormat::encodeString(headerName)}},
                                          rootIndex) &&
        written;
    writer.writeStream(StoredFormat::kPropertiesStreamName, rootIndex);
    writer.writeStream(StoredFormat::kReferencedPropertiesStreamName,
                       StoredFormat::encodeReferencedProperties(paths.paths()));
    auto document = writer.finish();
    if (!written) return std::nullopt;
    return document;
}

AAFResult AAFFile::save() {
    if (!open_) return kAAFResultNotOpen;
    const auto document = documentBytes();
    if (!document) return kAAFResultFileWriteFailed;
    if (!target_) target_ = AtomicFileWriter::create(path_);
    if (!target_) return kAAFResultFileNotCreated;
    const bool written = target_->write(*document) && target_->commit();
    target_.reset();
    return written ? kAAFResultSuccess : kAAFResultFileWriteFailed;
}

AAFResult AAFFile::close() {
    if (!open_) return kAAFResultNotOpen;
    open_ = false;
    target_.reset();
    return kAAFResultSuccess;
}

}  // namespace vorlane::aaf
