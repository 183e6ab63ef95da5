#include "export/AAFExport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "export/ExportXMLElement.h"
#include "media/MediaTypes.h"
#include "platform/ByteOrder.h"
#include "platform/DisplayText.h"
#include "platform/Log.h"
#include "sync/MediaComposition.h"
#include "timecode/TCHelper.h"

namespace vorlane {

using namespace aaf;

namespace {

// Avid's dictionary extensions.
constexpr AUID kClassIDAvidMCMobReference =
    makeAUID(0x6619f8e0, 0xfe77, 0x11d3, 0xa084006094eb75cb);
constexpr AUID kTypeIDAvidStrongReference =
    makeAUID(0xf9a74d0a, 0x7b30, 0x11d3, 0xa044006094eb75cb);
constexpr AUID kPropertyIDMobAttributeList =
    makeAUID(0x60958183, 0x47b1, 0x11d4, 0xa01c0004ac969f50);
constexpr AUID kPropertyIDComponentAttributeList =
    makeAUID(0x60958184, 0x47b1, 0x11d4, 0xa01c0004ac969f50);
constexpr AUID kPropertyIDTaggedValueAttributeList =
    makeAUID(0x60958185, 0x47b1, 0x11d4, 0xa01c0004ac969f50);
constexpr AUID kPropertyIDPortableObject = makeAUID(0xb6bb5f4e, 0x7b37, 0x11d3, 0xa044006094eb75cb);
constexpr AUID kPropertyIDPortableObjectClassID =
    makeAUID(0x08835f4f, 0x7b28, 0x11d3, 0xa044006094eb75cb);
constexpr AUID kPropertyIDAppCode = makeAUID(0x96c46992, 0x4f62, 0x11d3, 0xa022006094eb75cb);
constexpr AUID kPropertyIDMediaContainerGUID =
    makeAUID(0x92790417, 0x0131, 0x4a05, 0x898d167691e11ca1);
constexpr AUID kPropertyIDResolutionID = makeAUID(0xce2aca4d, 0x51ab, 0x11d3, 0xa024006094eb75cb);
constexpr AUID kPropertyIDMobReferenceMobID =
    makeAUID(0x81110e9f, 0xfe7c, 0x11d3, 0xa084006094eb75cb);
constexpr AUID kPropertyIDMobReferencePosition =
    makeAUID(0x81110ea0, 0xfe7c, 0x11d3, 0xa084006094eb75cb);

// Usage of a composition mob: a synced clip, the sync map.
constexpr AUID kUsageSubClip = makeAUID(0x0d010102, 0x0101, 0x0500, 0x060e2b3404010101);
constexpr AUID kUsageTopLevel = makeAUID(0x0d010102, 0x0101, 0x0700, 0x060e2b3404010101);

// Picture compressions.
constexpr AUID kCompressionDNxHD = makeAUID(0x0e040201, 0x0204, 0x0100, 0x060e2b3404010101);
constexpr AUID kCompressionProRes4444 = makeAUID(0x0e040201, 0x0211, 0x0500, 0x060e2b3404010101);
constexpr AUID kCompressionProResHQ = makeAUID(0x0e040201, 0x0211, 0x0400, 0x060e2b3404010101);
constexpr AUID kCompressionProRes = makeAUID(0x0e040201, 0x0211, 0x0300, 0x060e2b3404010101);
constexpr AUID kCompressionProResLT = makeAUID(0x0e040201, 0x0211, 0x0200, 0x060e2b3404010101);
constexpr AUID kCompressionProResProxy = makeAUID(0x0e040201, 0x0211, 0x0100, 0x060e2b3404010101);
constexpr AUID kCompressionOther = makeAUID(0x04010202, 0x0132, 0x3104, 0x060e2b340401010a);

// The picture every CDCI descriptor states, and its line map for a progressive frame.
constexpr uint32_t kPictureWidth = 1920;
constexpr uint32_t kPictureHeight = 1080;
constexpr int32_t kVideoLineMap[] = {42, 0};
constexpr uint32_t kComponentWidth = 8;
constexpr uint32_t kHorizontalSubsampling = 2;
constexpr int8_t kAudioRefLevel = -20;
constexpr int8_t kDialNorm = 27;

// A timecode's frame duration inverted: 25/1, 30000/1001.
Rational editRateOf(const TCHelper& timecode) {
    const CMTime frame = timecode.frameDuration();
    if (!frame.isValid() || frame.value <= 0 || frame.value > std::numeric_limits<int32_t>::max())
        return {25, 1};
    return {frame.timescale, int32_t(frame.value)};
}

int64_t framesAt(CMTime time, const TCHelper& timecode) {
    return time.isValid() ? TCHelper::frameCountOfTime(time, timecode) : 0;
}

std::shared_ptr<TCHelper> timecodeWithText(const TCHelper& like, const std::string& text) {
    auto timecode = TCHelper::helperWithFrameRate(like.frameRate(), like.dropFrame());
    timecode->setTimecodeString(text);
    return timecode;
}

// "HH:mm:ss:00" of a date's local time of day.
std::string timeOfDayText(MetadataDate date) {
    const DisplayText::TimeOfDay clock = DisplayText::localTimeOfDay(date);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:00", clock.hour % 100, clock.minute % 100,
                  clock.second % 100);
    return text;
}

bool isChannelMuted(const MediaTrack& track, uint32_t channel) {
    return channel < 64 && ((track.getAudioChannelMask() >> channel) & 1) != 0;
}

}  // namespace

// Every call of the object layer is checked, and a failure logged with its line.
#define SUCCEEDED(call) succeeded((call), __LINE__)

// The three mobs of one source file.
struct AAFExport::SourceMobs {
    std::shared_ptr<AAFMob> physical;
    std::shared_ptr<AAFMob> file;
    std::shared_ptr<AAFMob> master;
};

AAFExport::AAFExport(const UserDefaults& defaults) : MediaExport(defaults) {}

AAFExport::~AAFExport() = default;

bool AAFExport::succeeded(AAFResult result, int line) const {
    if (!AAFFailed(result)) return true;
    Log::writef("AAF Error '%0x' returned at line %d in %s", unsigned(result), line,
                std::filesystem::path(__FILE__).filename().c_str());
    return false;
}

// ---- Opening and closing -----------------------------------------------------------------------

bool AAFExport::openFile(const std::filesystem::path& url, bool editProtocol) {
    const ProductIdentification product{"Vorlane", "Vorlane Studio", "1.0", AUID{}, std::nullopt};
    if (!SUCCEEDED(AAFFile::openNewModify(url, kFileKindAAF4KBinary, AAFFile::kModeFlagsNone,
                                          product, aafFile_)))
        return false;
    usedAssets_.clear();
    if (!SUCCEEDED(aafFile_->getHeader(aafHeader_))) return false;
    if (editProtocol) SUCCEEDED(aafHeader_->setOperationalPattern(kOperationalPatternEditProtocol));
    if (!SUCCEEDED(aafHeader_->getDictionary(aafDict_))) return false;
    SUCCEEDED(aafDict_->lookupDataDef(DataDefID::Picture, aafDefPicture_));
    SUCCEEDED(aafDict_->lookupDataDef(DataDefID::Sound, aafDefSound_));
    SUCCEEDED(aafDict_->lookupDataDef(DataDefID::Timecode, aafDefTimecode_));
    SUCCEEDED(aafDict_->lookupContainerDef(ContainerDefID::AAFKLV, aafContainerKLV_));
    registerAvidExtensions();
    return true;
}

void AAFExport::registerAvidExtensions() {
    std::shared_ptr<AAFClassDef> taggedValue, mob, component, essenceDescriptor, imageDescriptor,
        interchangeObject, mobReference;
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::TaggedValue, taggedValue));
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::Mob, mob));
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::Component, component));
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::EssenceDescriptor, essenceDescriptor));
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::DigitalImageDescriptor, imageDescriptor));
    SUCCEEDED(aafDict_->lookupClassDef(ClassID::InterchangeObject, interchangeObject));

    std::shared_ptr<AAFClassDef> newClass;
    if (SUCCEEDED(aafDict_->createMetaInstance(ClassID::ClassDefinition, newClass)) &&
        SUCCEEDED(newClass->initialize(kClassIDAvidMCMobReference, interchangeObject,
                                       "Avid MC Mob Reference", true)))
        SUCCEEDED(aafDict_->registerClassDef(newClass));
    SUCCEEDED(aafDict_->lookupClassDef(kClassIDAvidMCMobReference, mobReference));

    std::shared_ptr<AAFTypeDef> string, int32, uint32, int64, mobID, taggedValueVector, auid,
        avidStrongReference;
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::String, string));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::Int32, int32));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::UInt32, uint32));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::Int64, int64));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::MobIDType, mobID));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::TaggedValueStrongReferenceVector, taggedValueVector));
    SUCCEEDED(aafDict_->lookupTypeDef(TypeID::Auid, auid));
    std::shared_ptr<AAFTypeDefStrongObjRef> newType;
    if (SUCCEEDED(
            aafDict_->createMetaInstance(ClassID::TypeDefinitionStrongObjectReference, newType)) &&
        SUCCEEDED(newType->initialize(kTypeIDAvidStrongReference, interchangeObject,
                                      "AvidStrongReference")))
        SUCCEEDED(aafDict_->registerTypeDef(newType));
    SUCCEEDED(aafDict_->lookupTypeDef(kTypeIDAvidStrongReference, avidStrongReference));

    struct OptionalProperty {
        const std::shared_ptr<AAFClassDef>& owner;
        AUID id;
        const char* name;
        const std::shared_ptr<AAFTypeDef>& type;
    };
    const OptionalProperty properties[] = {
        {mob, kPropertyIDMobAttributeList, "MobAttributeList", taggedValueVector},
        {component, kPropertyIDComponentAttributeList, "ComponentAttributeList", taggedValueVector},
        {taggedValue, kPropertyIDTaggedValueAttributeList, "TaggedValueAttributeList",
         taggedValueVector},
        {taggedValue, kPropertyIDPortableObject, "PortableObject", avidStrongReference},
        {taggedValue, kPropertyIDPortableObjectClassID, "PortableObjectClassID", uint32},
        {mob, kPropertyIDAppCode, "AppCode", int32},
        {essenceDescriptor, kPropertyIDMediaContainerGUID, "MediaContainerGUID", auid},
        {imageDescriptor, kPropertyIDResolutionID, "ResolutionID", int32},
        {mobReference, kPropertyIDMobReferenceMobID, "Mob Reference MobID", mobID},
        {mobReference, kPropertyIDMobReferencePosition, "Mob Reference Position", int64},
    };
    for (const OptionalProperty& property : properties) {
        if (!property.owner) continue;
        std::shared_ptr<AAFPropertyDef> registered;
        SUCCEEDED(property.owner->registerOptionalPropertyDef(property.id, property.name,
                                                              property.type, registered));
        SUCCEEDED(property.owner->lookupPropertyDef(property.id, registered));
        if (property.id == kPropertyIDResolutionID) aafPropertyDefAvidResolutionID_ = registered;
    }
}

bool AAFExport::closeFile() {
    if (!aafFile_) return false;
    const bool saved = SUCCEEDED(aafFile_->save());
    SUCCEEDED(aafFile_->close());
    return saved;
}

// ---- Building blocks ---------------------------------------------------------------------------

std::string AAFExport::volumeBasedURLfromURL(const std::filesystem::path& url,
                                             const std::optional<NamedVolume>& volume) {
    const std::filesystem::path path = url.lexically_normal();
    if (!volume) return "file://" + percentEscapedPath(path.string());
    const std::filesystem::path relative = path.lexically_relative(volume->mountPoint);
    std::string onVolume = "/" + volume->name + "/";
    if (!relative.empty() && relative != ".") onVolume += relative.string();
    return "file://" + percentEscapedPath(onVolume);
}

std::string AAFExport::volumeBasedURLfromURL(const std::filesystem::path& url) {
    return volumeBasedURLfromURL(url, namedVolumeOfPath(url));
}

AUID AAFExport::compressionForFourCC(uint32_t code) {
    switch (code) {
        case fourCC("AVdn"):
            return kCompressionDNxHD;
        case fourCC("ap4h"):
            return kCompressionProRes4444;
        case fourCC("apch"):
            return kCompressionProResHQ;
        case fourCC("apcn"):
            return kCompressionProRes;
        case fourCC("apcs"):
            return kCompressionProResLT;
        case fourCC("apco"):
            return kCompressionProResProxy;
        default:
            return kCompressionOther;
    }
}

uint32_t AAFExport::findSlotIDForSegment(const MediaSegment& segment) {
    const std::shared_ptr<MediaTrack> track = segment.sourceTrack();
    const std::shared_ptr<MediaObject> owner = track ? track->mediaObject() : nullptr;
    if (!track || !owner || track->type() == MediaTrackTypeVideo) return 1;
    const uint32_t videoSlots = owner->hasVideo() ? 1 : 0;
    return videoSlots + track->totalAudioChannelStart() + 1;
}

std::shared_ptr<AAFSegment> AAFExport::createTimecodeSegment(const TCHelper& timecode,
                                                             int64_t length) {
    std::shared_ptr<AAFTimecode> segment;
    if (!aafDefTimecode_ || !SUCCEEDED(aafDict_->createInstance(ClassID::Timecode, segment)))
        return nullptr;
    const TimecodeValue value{timecode.legalFrameCount(TCOptionWrap24h), timecode.dropFrame(),
                              uint16_t(std::lround(timecode.frameRate()))};
    SUCCEEDED(segment->initialize(*aafDefTimecode_, length, value));
    return segment;
}

std::shared_ptr<AAFSegment> AAFExport::createSourceClipSegment(const AAFDataDef& dataDef,
                                                               const SourceRef& sourceRef,
                                                               int64_t length) {
    std::shared_ptr<AAFSourceClip> segment;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::SourceClip, segment))) return nullptr;
    SUCCEEDED(segment->initialize(dataDef, length, sourceRef));
    return segment;
}

std::shared_ptr<AAFSegment> AAFExport::createFillerSegment(const AAFDataDef& dataDef,
                                                           int64_t length) {
    std::shared_ptr<AAFFiller> segment;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::Filler, segment))) return nullptr;
    SUCCEEDED(segment->initialize(dataDef, length));
    return segment;
}

std::shared_ptr<AAFSequence> AAFExport::createSequenceSegment(const AAFDataDef& dataDef) {
    std::shared_ptr<AAFSequence> sequence;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::Sequence, sequence))) return nullptr;
    SUCCEEDED(sequence->initialize(dataDef));
    return sequence;
}

void AAFExport::addSegment(const std::shared_ptr<AAFSegment>& segment, AAFSequence& sequence) {
    if (segment) SUCCEEDED(sequence.appendComponent(segment));
}

void AAFExport::addSlotWithSegment(const std::shared_ptr<AAFSegment>& segment, AAFMob& mob,
                                   const Rational& editRate, uint32_t physicalNum, uint32_t slotID,
                                   const std::string& name) {
    std::shared_ptr<AAFTimelineMobSlot> slot;
    if (!segment || !SUCCEEDED(aafDict_->createInstance(ClassID::TimelineMobSlot, slot))) return;
    SUCCEEDED(slot->setSlotID(slotID));
    SUCCEEDED(slot->setEditRate(editRate));
    SUCCEEDED(slot->setSegment(segment));
    SUCCEEDED(slot->setName(name));
    SUCCEEDED(slot->setPhysicalNum(physicalNum));
    SUCCEEDED(mob.appendSlot(slot));
}

std::shared_ptr<AAFMob> AAFExport::createNamedMob(const AUID& classID, const std::string& name) {
    std::shared_ptr<AAFMob> mob;
    if (!SUCCEEDED(aafDict_->createInstance(classID, mob))) return nullptr;
    SUCCEEDED(mob->setName(name));
    return mob;
}

std::shared_ptr<AAFMob> AAFExport::createSourceMob(const std::string& name) {
    return createNamedMob(ClassID::SourceMob, name);
}

std::shared_ptr<AAFMob> AAFExport::createMasterMob(const std::string& name) {
    return createNamedMob(ClassID::MasterMob, name);
}

std::shared_ptr<AAFMob> AAFExport::createCompositionMob(const std::string& name) {
    return createNamedMob(ClassID::CompositionMob, name);
}

void AAFExport::addLocator(const MediaFile& file, AAFEssenceDescriptor& descriptor) {
    std::shared_ptr<AAFNetworkLocator> locator;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::NetworkLocator, locator))) return;
    SUCCEEDED(locator->setPath(volumeBasedURLfromURL(file.sourceURLPath())));
    SUCCEEDED(descriptor.appendLocator(locator));
}

std::shared_ptr<AAFEssenceDescriptor> AAFExport::createImportDescriptorForMediaFile(
    const MediaFile& file) {
    std::shared_ptr<AAFImportDescriptor> descriptor;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::ImportDescriptor, descriptor))) return nullptr;
    addLocator(file, *descriptor);
    return descriptor;
}

std::shared_ptr<AAFEssenceDescriptor> AAFExport::createTapeDescriptorForMediaFile(
    const MediaFile& file) {
    std::shared_ptr<AAFTapeDescriptor> descriptor;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::TapeDescriptor, descriptor))) return nullptr;
    addLocator(file, *descriptor);
    return descriptor;
}

std::shared_ptr<AAFFileDescriptor> AAFExport::createCDCIDescriptorWithMediaFile(
    const MediaFile& file) {
    std::shared_ptr<AAFCDCIDescriptor> descriptor;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::CDCIDescriptor, descriptor))) return nullptr;
    const std::shared_ptr<TCHelper> timecode = validateTimecode(file.timecode());
    SUCCEEDED(descriptor->setStoredView(kPictureHeight, kPictureWidth));
    SUCCEEDED(descriptor->setSampledView(kPictureHeight, kPictureWidth, 0, 0));
    SUCCEEDED(descriptor->setDisplayView(kPictureHeight, kPictureWidth, 0, 0));
    SUCCEEDED(descriptor->setFrameLayout(FrameLayout::FullFrame));
    SUCCEEDED(descriptor->setVideoLineMap(kVideoLineMap));
    SUCCEEDED(descriptor->setImageAspectRatio({16, 9}));
    SUCCEEDED(descriptor->setComponentWidth(kComponentWidth));
    SUCCEEDED(descriptor->setHorizontalSubsampling(kHorizontalSubsampling));
    SUCCEEDED(descriptor->setLength(TCHelper::frameCountOfTime(file.duration(), *timecode)));
    SUCCEEDED(descriptor->setSampleRate(editRateOf(*timecode)));
    if (aafContainerKLV_) SUCCEEDED(descriptor->setContainerFormat(*aafContainerKLV_));
    const std::shared_ptr<MediaTrack> video = file.firstVideoTrack();
    const uint32_t code = video ? video->fourCC() : 0;
    SUCCEEDED(descriptor->setCompression(compressionForFourCC(code)));
    if (code == fourCC("AVdn")) {
        const auto found = video->metaData().find(kVideoAvidResolutionID);
        if (found != video->metaData().end())
            if (const auto resolution = found->second.integer())
                addResolutionID(int32_t(*resolution), *descriptor);
    }
    addLocator(file, *descriptor);
    return descriptor;
}

void AAFExport::addResolutionID(int32_t resolutionID, AAFDigitalImageDescriptor& descriptor) {
    if (!aafPropertyDefAvidResolutionID_) return;
    SUCCEEDED(descriptor.setValue(aafPropertyDefAvidResolutionID_->pid(),
                                  StoredFormat::encodeInteger(resolutionID)));
}

std::shared_ptr<AAFFileDescriptor> AAFExport::createPCMDescriptorWithMediaFile(
    const MediaFile& file) {
    std::shared_ptr<AAFPCMDescriptor> descriptor;
    if (!SUCCEEDED(aafDict_->createInstance(ClassID::PCMDescriptor, descriptor))) return nullptr;
    const std::shared_ptr<TCHelper> timecode = validateTimecode(file.timecode());
    const std::shared_ptr<MediaTrack> audio = file.firstAudioTrack();
    const auto sampleRate = audio ? int32_t(std::lround(audio->audioSampleRate())) : 0;
    const auto blockAlign = audio ? uint16_t(audio->audioBytesPerFrame()) : uint16_t(0);
    SUCCEEDED(descriptor->setBlockAlign(blockAlign));
    SUCCEEDED(descriptor->setAverageBPS(uint32_t(sampleRate) * blockAlign));
    SUCCEEDED(descriptor->setAudioSamplingRate({sampleRate > 0 ? sampleRate : 48000, 1}));
    SUCCEEDED(descriptor->setQuantizationBits(audio ? audio->audioBitDepth() : 0));
    SUCCEEDED(descriptor->setChannelCount(audio ? audio->audioChannelCount() : 0));
    SUCCEEDED(descriptor->setAudioRefLevel(kAudioRefLevel));
    SUCCEEDED(descriptor->setDialNorm(kDialNorm));
    SUCCEEDED(descriptor->setLength(TCHelper::frameCountOfTime(file.duration(), *timecode)));
    SUCCEEDED(descriptor->setSampleRate(editRateOf(*timecode)));
    if (aafContainerKLV_) SUCCEEDED(descriptor->setContainerFormat(*aafContainerKLV_));
    addLocator(file, *descriptor);
    return descriptor;
}

// ---- Source files ------------------------------------------------------------------------------

std::optional<MobID> AAFExport::addClip(const MediaFile& file) {
    return addClipInternal(file);
}

std::optional<MobID> AAFExport::addClipOfSegment(const MediaSegment& segment) {
    const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
    if (!file) return std::nullopt;
    return addClipInternal(*file);
}

std::optional<MobID> AAFExport::addClipInternal(const MediaFile& file) {
    if (!aafDict_ || !aafHeader_) return std::nullopt;
    const std::string name = nameWithoutExtension(file.sourceURLPath().filename().string());
    const std::shared_ptr<TCHelper> clipTimecode = validateTimecode(file.timecode());
    const Rational editRate = editRateOf(*clipTimecode);
    const int64_t length =
        TCHelper::frameCountOfTime(file.duration(), clipTimecode->frameRate(),
                                   file.hasVideo() ? CMTimeRoundingMethod::RoundHalfAwayFromZero
                                                   : CMTimeRoundingMethod::RoundAwayFromZero);

    // Where the source starts, and whether it came from a tape (a reel-named sound file).
    std::shared_ptr<TCHelper> startTimecode = validateTimecode(file.fileTimecode());
    std::optional<std::string> reel;
    const int32_t container = file.fileContainerType();
    if (!amaLink_) {
        if (!file.hasFileTimecode() || container == MediaFileContainerMP4)
            startTimecode = timecodeWithText(*clipTimecode, "01:00:00:00");
    } else if (container == MediaFileContainerWAVE || container == MediaFileContainerBWF ||
               container == MediaFileContainerAIFF) {
        if (const auto reelName = file.reel(); reelName && !reelName->empty()) reel = reelName;
        const auto created = file.metaDataValue(kFileCreationDate);
        if (!file.hasFileTimecode() && created && created->date())
            startTimecode = timecodeWithText(*clipTimecode, timeOfDayText(*created->date()));
    }

    SourceMobs mobs{createSourceMob(reel.value_or(name)), createSourceMob(name + ".PHYS"),
                    createMasterMob(name)};
    if (!mobs.physical || !mobs.file || !mobs.master) return std::nullopt;

    // Timecode on the physical source only: the file's start, and the decoded audio timecode.
    addSlotWithSegment(createTimecodeSegment(*startTimecode, length), *mobs.physical, editRate, 1,
                       1, "TC1");
    if (file.hasAudioTimecode())
        addSlotWithSegment(createTimecodeSegment(*validateTimecode(file.audioTimecode()), length),
                           *mobs.physical, editRate, 3, 2, "AuxTC1");
    addSourceSlots(file, mobs, editRate, length);
    addDescriptors(file, mobs, reel.has_value(), editRate, length);
    for (const auto& mob : {mobs.physical, mobs.file, mobs.master})
        SUCCEEDED(aafHeader_->addMob(mob));
    return mobs.master->mobID();
}

void AAFExport::addSourceSlots(const MediaFile& file, SourceMobs& mobs, const Rational& editRate,
                               int64_t length) {
    if (!aafDefPicture_ || !aafDefSound_) return;
    const uint32_t timecodeSlots = file.hasAudioTimecode() ? 2 : 1;
    const uint32_t videoSlots = file.hasVideo() ? 1 : 0;
    if (file.hasVideo()) {
        const uint32_t physicalSlot = timecodeSlots + 1;
        addSlotWithSegment(createSourceClipSegment(*aafDefPicture_, {}, length), *mobs.physical,
                           editRate, 1, physicalSlot, "V1");
        addSlotWithSegment(createSourceClipSegment(
                               *aafDefPicture_, {mobs.physical->mobID(), physicalSlot, 0}, length),
                           *mobs.file, editRate, 1, 1, "V1");
        addSlotWithSegment(
            createSourceClipSegment(*aafDefPicture_, {mobs.file->mobID(), 1, 0}, length),
            *mobs.master, editRate, 1, 1, "V1");
    }
    uint32_t channel = 0;
    std::lock_guard lock(file.mutex());
    for (const std::shared_ptr<MediaTrack>& track : file.audioTracks()) {
        for (uint32_t index = 0; index < track->audioChannelCount(); ++index) {
            ++channel;
            const std::string name = "A" + std::to_string(channel);
            const uint32_t physicalSlot = timecodeSlots + videoSlots + channel;
            const uint32_t fileSlot = videoSlots + channel;
            addSlotWithSegment(createSourceClipSegment(*aafDefSound_, {}, length), *mobs.physical,
                               editRate, channel, physicalSlot, name);
            addSlotWithSegment(
                createSourceClipSegment(*aafDefSound_, {mobs.physical->mobID(), physicalSlot, 0},
                                        length),
                *mobs.file, editRate, channel, fileSlot, name);
            // A channel carrying timecode has no slot in the master mob; the slot IDs keep
            // the gap.
            if (!isChannelMuted(*track, index))
                addSlotWithSegment(createSourceClipSegment(
                                       *aafDefSound_, {mobs.file->mobID(), fileSlot, 0}, length),
                                   *mobs.master, editRate, channel, fileSlot, name);
        }
    }
}

void AAFExport::addDescriptors(const MediaFile& file, SourceMobs& mobs, bool tapeSource,
                               const Rational& editRate, int64_t length) {
    const auto physical = tapeSource ? createTapeDescriptorForMediaFile(file)
                                     : createImportDescriptorForMediaFile(file);
    if (physical) SUCCEEDED(mobs.physical->setEssenceDescriptor(physical));

    std::shared_ptr<AAFFileDescriptor> descriptor;
    if (file.hasVideo() && file.hasAudio()) {
        std::shared_ptr<AAFMultipleDescriptor> multiple;
        if (SUCCEEDED(aafDict_->createInstance(ClassID::MultipleDescriptor, multiple))) {
            SUCCEEDED(multiple->setSampleRate(editRate));
            SUCCEEDED(multiple->setLength(length));
            if (aafContainerKLV_) SUCCEEDED(multiple->setContainerFormat(*aafContainerKLV_));
            for (const auto& part :
                 {createCDCIDescriptorWithMediaFile(file), createPCMDescriptorWithMediaFile(file)})
                if (part) SUCCEEDED(multiple->appendFileDescriptor(part));
            descriptor = multiple;
        }
    } else if (file.hasVideo()) {
        descriptor = createCDCIDescriptorWithMediaFile(file);
    } else {
        descriptor = createPCMDescriptorWithMediaFile(file);
    }
    if (descriptor) SUCCEEDED(mobs.file->setEssenceDescriptor(descriptor));
}

// ---- Compositions ------------------------------------------------------------------------------

std::optional<MobID> AAFExport::addSequence(const std::shared_ptr<MediaComposition>& composition,
                                            int32_t type) {
    if (!composition) return std::nullopt;
    return addSequenceInternal(composition, composition->timecode(), type);
}

std::optional<MobID> AAFExport::masterMobOfSegment(const MediaSegment& segment) {
    const auto url = segment.sourceURL();
    if (!url) return std::nullopt;
    const auto used = usedAssets_.find(*url);
    if (used != usedAssets_.end()) return used->second;
    const auto master = addClipOfSegment(segment);
    if (master) usedAssets_.emplace(*url, *master);
    return master;
}

std::optional<MobID> AAFExport::addSequenceInternal(
    const std::shared_ptr<MediaComposition>& composition,
    const std::shared_ptr<TCHelper>& compositionTimecode, int32_t type) {
    if (!aafDict_ || !aafHeader_) return std::nullopt;
    const std::shared_ptr<TCHelper> timecode = validateTimecode(compositionTimecode);
    composition->quantizeToTimescale(timecode->frameDuration().timescale);
    const Rational editRate = editRateOf(*timecode);
    const CMTime oneSecond =
        CMTimeMultiply(timecode->frameDuration(), std::lround(timecode->frameRate()));
    const int64_t length = framesAt(composition->duration() + oneSecond, *timecode);

    const std::shared_ptr<AAFMob> mob = createCompositionMob(composition->name());
    if (!mob) return std::nullopt;
    addSlotWithSegment(createTimecodeSegment(*timecode, length), *mob, editRate, 1, 1, "TC1");
    uint32_t nextSlotID = 2;
    addVideoTracks(*composition, *mob, editRate, *timecode, nextSlotID);
    addAudioTracks(*composition, *mob, editRate, *timecode, nextSlotID);
    SUCCEEDED(mob->setUsageCode(type == SequenceSyncedClip ? kUsageSubClip : kUsageTopLevel));
    SUCCEEDED(aafHeader_->addMob(mob));
    return mob->mobID();
}

void AAFExport::addVideoTracks(const MediaComposition& composition, AAFMob& mob,
                               const Rational& editRate, const TCHelper& timecode,
                               uint32_t& nextSlotID) {
    if (!aafDefPicture_) return;
    uint32_t number = 0;
    for (const std::shared_ptr<MediaTrack>& track : composition.videoTracks()) {
        const std::shared_ptr<AAFSequence> sequence = createSequenceSegment(*aafDefPicture_);
        if (!sequence) continue;
        for (const MediaSegment& segment : track->segmentsIncludingSubSegments()) {
            const CMTimeMapping& mapping = segment.timeMapping();
            const int64_t duration = framesAt(mapping.target.duration, timecode);
            const auto master = segment.isEmpty() ? std::nullopt : masterMobOfSegment(segment);
            if (master)
                addSegment(createSourceClipSegment(*aafDefPicture_,
                                                   {*master, findSlotIDForSegment(segment),
                                                    framesAt(mapping.source.start, timecode)},
                                                   duration),
                           *sequence);
            else
                addSegment(createFillerSegment(*aafDefPicture_, duration), *sequence);
        }
        addSlotWithSegment(sequence, mob, editRate, ++number, nextSlotID++, "");
    }
}

void AAFExport::addAudioTracks(const MediaComposition& composition, AAFMob& mob,
                               const Rational& editRate, const TCHelper& timecode,
                               uint32_t& nextSlotID) {
    if (!aafDefSound_) return;
    uint32_t physicalNumber = 0;
    for (const std::shared_ptr<MediaTrack>& track : composition.audioTracks()) {
        const std::vector<MediaSegment> segments = track->segmentsIncludingSubSegments();
        uint32_t channels = 0;
        for (const MediaSegment& segment : segments)
            if (const auto source = segment.isEmpty() ? nullptr : segment.sourceTrack())
                channels = std::max(channels, source->audioChannelCount());
        if (channels == 0) continue;
        std::vector<std::shared_ptr<AAFSequence>> sequences;
        for (uint32_t channel = 0; channel < channels; ++channel)
            sequences.push_back(createSequenceSegment(*aafDefSound_));
        for (const MediaSegment& segment : segments) {
            const CMTimeMapping& mapping = segment.timeMapping();
            const int64_t duration = framesAt(mapping.target.duration, timecode);
            const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
            const auto master =
                segment.isEmpty() || !source ? std::nullopt : masterMobOfSegment(segment);
            for (uint32_t channel = 0; channel < channels; ++channel) {
                if (!sequences[channel]) continue;
                const bool carried = master && channel < source->audioChannelCount() &&
                                     !isChannelMuted(*source, channel);
                if (carried)
                    addSegment(
                        createSourceClipSegment(*aafDefSound_,
                                                {*master, findSlotIDForSegment(segment) + channel,
                                                 framesAt(mapping.source.start, timecode)},
                                                duration),
                        *sequences[channel]);
                else
                    addSegment(createFillerSegment(*aafDefSound_, duration), *sequences[channel]);
            }
        }
        for (const auto& sequence : sequences)
            addSlotWithSegment(sequence, mob, editRate, ++physicalNumber, nextSlotID++, "");
    }
}

}  // namespace vorlane
