// The part of the AAF object model this writer uses: the identifiers of classes, properties,
// types and definitions, and the baseline definitions (class hierarchy, every property of a class
// with its local ID, type and whether it is optional or the unique key) that the meta-dictionary
// of a written file carries for each class it holds objects of. The values are those of the AAF
// object model as the AAF Association publishes it and the SMPTE registers it draws on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/aaf/AAFTypes.h"
#include "platform/aaf/StoredFormat.h"

namespace vorlane::aaf {

namespace detail {
// Classes of the interchange model: {0d010101-0101-xx00-060e2b34-02060101}.
constexpr AUID interchangeClass(uint8_t code) {
    return makeAUID(0x0d010101, 0x0101, uint16_t(code << 8), 0x060e2b3402060101);
}
// Classes of the meta model: {0d010101-02xx-0000-060e2b34-02060101}.
constexpr AUID metaClass(uint8_t code) {
    return makeAUID(0x0d010101, uint16_t(0x0200 | code), 0, 0x060e2b3402060101);
}
// Types: {xxxxxxxx-0000-0000-060e2b34-01040101}.
constexpr AUID type(uint32_t code) {
    return makeAUID(code, 0, 0, 0x060e2b3401040101);
}
}  // namespace detail

namespace ClassID {
inline constexpr AUID InterchangeObject = detail::interchangeClass(0x01);
inline constexpr AUID Component = detail::interchangeClass(0x02);
inline constexpr AUID Segment = detail::interchangeClass(0x03);
inline constexpr AUID Filler = detail::interchangeClass(0x09);
inline constexpr AUID Sequence = detail::interchangeClass(0x0f);
inline constexpr AUID SourceReference = detail::interchangeClass(0x10);
inline constexpr AUID SourceClip = detail::interchangeClass(0x11);
inline constexpr AUID Timecode = detail::interchangeClass(0x14);
inline constexpr AUID ContentStorage = detail::interchangeClass(0x18);
inline constexpr AUID DefinitionObject = detail::interchangeClass(0x1a);
inline constexpr AUID DataDefinition = detail::interchangeClass(0x1b);
inline constexpr AUID ContainerDefinition = detail::interchangeClass(0x20);
inline constexpr AUID Dictionary = detail::interchangeClass(0x22);
inline constexpr AUID EssenceDescriptor = detail::interchangeClass(0x24);
inline constexpr AUID FileDescriptor = detail::interchangeClass(0x25);
inline constexpr AUID DigitalImageDescriptor = detail::interchangeClass(0x27);
inline constexpr AUID CDCIDescriptor = detail::interchangeClass(0x28);
inline constexpr AUID TapeDescriptor = detail::interchangeClass(0x2e);
inline constexpr AUID Header = detail::interchangeClass(0x2f);
inline constexpr AUID Identification = detail::interchangeClass(0x30);
inline constexpr AUID Locator = detail::interchangeClass(0x31);
inline constexpr AUID NetworkLocator = detail::interchangeClass(0x32);
inline constexpr AUID Mob = detail::interchangeClass(0x34);
inline constexpr AUID CompositionMob = detail::interchangeClass(0x35);
inline constexpr AUID MasterMob = detail::interchangeClass(0x36);
inline constexpr AUID SourceMob = detail::interchangeClass(0x37);
inline constexpr AUID MobSlot = detail::interchangeClass(0x38);
inline constexpr AUID TimelineMobSlot = detail::interchangeClass(0x3b);
inline constexpr AUID TaggedValue = detail::interchangeClass(0x3f);
inline constexpr AUID SoundDescriptor = detail::interchangeClass(0x42);
inline constexpr AUID MultipleDescriptor = detail::interchangeClass(0x44);
inline constexpr AUID PCMDescriptor = detail::interchangeClass(0x48);
inline constexpr AUID PhysicalDescriptor = detail::interchangeClass(0x49);
inline constexpr AUID ImportDescriptor = detail::interchangeClass(0x4a);
inline constexpr AUID ClassDefinition = detail::metaClass(0x01);
inline constexpr AUID PropertyDefinition = detail::metaClass(0x02);
inline constexpr AUID TypeDefinition = detail::metaClass(0x03);
inline constexpr AUID TypeDefinitionStrongObjectReference = detail::metaClass(0x05);
inline constexpr AUID MetaDefinition = detail::metaClass(0x24);
inline constexpr AUID MetaDictionary = detail::metaClass(0x25);
// The root object of every file (not itself described in the meta-dictionary).
inline constexpr AUID Root = makeAUID(0xb3b398a5, 0x1c90, 0x11d4, 0x8053080036210804);
}  // namespace ClassID

// Local property IDs.
namespace Pid {
inline constexpr uint16_t RootMetaDictionary = 0x0001;
inline constexpr uint16_t RootHeader = 0x0002;
inline constexpr uint16_t MetaDictionaryClassDefinitions = 0x0003;
inline constexpr uint16_t MetaDictionaryTypeDefinitions = 0x0004;
inline constexpr uint16_t MetaDefinitionIdentification = 0x0005;
inline constexpr uint16_t MetaDefinitionName = 0x0006;
inline constexpr uint16_t ClassDefinitionParentClass = 0x0008;
inline constexpr uint16_t ClassDefinitionProperties = 0x0009;
inline constexpr uint16_t ClassDefinitionIsConcrete = 0x000a;
inline constexpr uint16_t PropertyDefinitionType = 0x000b;
inline constexpr uint16_t PropertyDefinitionIsOptional = 0x000c;
inline constexpr uint16_t PropertyDefinitionLocalIdentification = 0x000d;
inline constexpr uint16_t PropertyDefinitionIsUniqueIdentifier = 0x000e;
inline constexpr uint16_t TypeDefinitionStrongObjectReferenceReferencedType = 0x0011;
inline constexpr uint16_t ComponentDataDefinition = 0x0201;
inline constexpr uint16_t ComponentLength = 0x0202;
inline constexpr uint16_t SequenceComponents = 0x1001;
inline constexpr uint16_t SourceReferenceSourceID = 0x1101;
inline constexpr uint16_t SourceReferenceSourceMobSlotID = 0x1102;
inline constexpr uint16_t SourceClipStartTime = 0x1201;
inline constexpr uint16_t TimecodeStart = 0x1501;
inline constexpr uint16_t TimecodeFPS = 0x1502;
inline constexpr uint16_t TimecodeDrop = 0x1503;
inline constexpr uint16_t ContentStorageMobs = 0x1901;
inline constexpr uint16_t DefinitionObjectIdentification = 0x1b01;
inline constexpr uint16_t DefinitionObjectName = 0x1b02;
inline constexpr uint16_t DefinitionObjectDescription = 0x1b03;
inline constexpr uint16_t DictionaryDataDefinitions = 0x2605;
inline constexpr uint16_t DictionaryCodecDefinitions = 0x2607;
inline constexpr uint16_t DictionaryContainerDefinitions = 0x2608;
inline constexpr uint16_t EssenceDescriptorLocator = 0x2f01;
inline constexpr uint16_t FileDescriptorSampleRate = 0x3001;
inline constexpr uint16_t FileDescriptorLength = 0x3002;
inline constexpr uint16_t FileDescriptorContainerFormat = 0x3004;
inline constexpr uint16_t DigitalImageDescriptorCompression = 0x3201;
inline constexpr uint16_t DigitalImageDescriptorStoredHeight = 0x3202;
inline constexpr uint16_t DigitalImageDescriptorStoredWidth = 0x3203;
inline constexpr uint16_t DigitalImageDescriptorSampledHeight = 0x3204;
inline constexpr uint16_t DigitalImageDescriptorSampledWidth = 0x3205;
inline constexpr uint16_t DigitalImageDescriptorSampledXOffset = 0x3206;
inline constexpr uint16_t DigitalImageDescriptorSampledYOffset = 0x3207;
inline constexpr uint16_t DigitalImageDescriptorDisplayHeight = 0x3208;
inline constexpr uint16_t DigitalImageDescriptorDisplayWidth = 0x3209;
inline constexpr uint16_t DigitalImageDescriptorDisplayXOffset = 0x320a;
inline constexpr uint16_t DigitalImageDescriptorDisplayYOffset = 0x320b;
inline constexpr uint16_t DigitalImageDescriptorFrameLayout = 0x320c;
inline constexpr uint16_t DigitalImageDescriptorVideoLineMap = 0x320d;
inline constexpr uint16_t DigitalImageDescriptorImageAspectRatio = 0x320e;
inline constexpr uint16_t CDCIDescriptorComponentWidth = 0x3301;
inline constexpr uint16_t CDCIDescriptorHorizontalSubsampling = 0x3302;
inline constexpr uint16_t CDCIDescriptorVerticalSubsampling = 0x3308;
inline constexpr uint16_t HeaderByteOrder = 0x3b01;
inline constexpr uint16_t HeaderLastModified = 0x3b02;
inline constexpr uint16_t HeaderContent = 0x3b03;
inline constexpr uint16_t HeaderDictionary = 0x3b04;
inline constexpr uint16_t HeaderVersion = 0x3b05;
inline constexpr uint16_t HeaderIdentificationList = 0x3b06;
inline constexpr uint16_t HeaderObjectModelVersion = 0x3b07;
inline constexpr uint16_t HeaderOperationalPattern = 0x3b09;
inline constexpr uint16_t IdentificationCompanyName = 0x3c01;
inline constexpr uint16_t IdentificationProductName = 0x3c02;
inline constexpr uint16_t IdentificationProductVersionString = 0x3c04;
inline constexpr uint16_t IdentificationProductID = 0x3c05;
inline constexpr uint16_t IdentificationDate = 0x3c06;
inline constexpr uint16_t IdentificationPlatform = 0x3c08;
inline constexpr uint16_t IdentificationGenerationAUID = 0x3c09;
inline constexpr uint16_t SoundDescriptorQuantizationBits = 0x3d01;
inline constexpr uint16_t SoundDescriptorAudioSamplingRate = 0x3d03;
inline constexpr uint16_t SoundDescriptorAudioRefLevel = 0x3d04;
inline constexpr uint16_t SoundDescriptorChannels = 0x3d07;
inline constexpr uint16_t PCMDescriptorAverageBPS = 0x3d09;
inline constexpr uint16_t PCMDescriptorBlockAlign = 0x3d0a;
inline constexpr uint16_t SoundDescriptorDialNorm = 0x3d0c;
inline constexpr uint16_t MultipleDescriptorFileDescriptors = 0x3f01;
inline constexpr uint16_t NetworkLocatorURLString = 0x4001;
inline constexpr uint16_t MobMobID = 0x4401;
inline constexpr uint16_t MobName = 0x4402;
inline constexpr uint16_t MobSlots = 0x4403;
inline constexpr uint16_t MobLastModified = 0x4404;
inline constexpr uint16_t MobCreationTime = 0x4405;
inline constexpr uint16_t MobUsageCode = 0x4408;
inline constexpr uint16_t SourceMobEssenceDescription = 0x4701;
inline constexpr uint16_t MobSlotSlotID = 0x4801;
inline constexpr uint16_t MobSlotSlotName = 0x4802;
inline constexpr uint16_t MobSlotSegment = 0x4803;
inline constexpr uint16_t MobSlotPhysicalTrackNumber = 0x4804;
inline constexpr uint16_t TimelineMobSlotEditRate = 0x4b01;
inline constexpr uint16_t TimelineMobSlotOrigin = 0x4b02;
inline constexpr uint16_t TaggedValueName = 0x5001;
inline constexpr uint16_t TaggedValueValue = 0x5003;
// Local IDs of properties registered by a file itself are given out from here downwards.
inline constexpr uint16_t FirstDynamic = 0xffff;
inline constexpr uint16_t LowestDynamic = 0x8000;
}  // namespace Pid

namespace TypeID {
inline constexpr AUID UInt8 = detail::type(0x01010100);
inline constexpr AUID UInt16 = detail::type(0x01010200);
inline constexpr AUID UInt32 = detail::type(0x01010300);
inline constexpr AUID Int8 = detail::type(0x01010500);
inline constexpr AUID Int16 = detail::type(0x01010600);
inline constexpr AUID Int32 = detail::type(0x01010700);
inline constexpr AUID Int64 = detail::type(0x01010800);
inline constexpr AUID PositionType = detail::type(0x01012001);
inline constexpr AUID LengthType = detail::type(0x01012002);
inline constexpr AUID Auid = detail::type(0x01030100);
inline constexpr AUID MobIDType = detail::type(0x01030200);
inline constexpr AUID Boolean = detail::type(0x01040100);
inline constexpr AUID String = detail::type(0x01100200);
inline constexpr AUID Rational = detail::type(0x03010100);
inline constexpr AUID TimeStamp = detail::type(0x03010700);
inline constexpr AUID Indirect = detail::type(0x04100300);
inline constexpr AUID TaggedValueStrongReferenceVector = detail::type(0x05060800);
}  // namespace TypeID

// Data definitions: what a component carries.
namespace DataDefID {
inline constexpr AUID Picture = makeAUID(0x01030202, 0x0100, 0x0000, 0x060e2b3404010101);
inline constexpr AUID Sound = makeAUID(0x01030202, 0x0200, 0x0000, 0x060e2b3404010101);
inline constexpr AUID Timecode = makeAUID(0x01030201, 0x0100, 0x0000, 0x060e2b3404010101);
}  // namespace DataDefID

// Essence containers.
namespace ContainerDefID {
inline constexpr AUID AAFKLV = makeAUID(0x4b464141, 0x000d, 0x4d4f, 0x060e2b34010101ff);
}

// The operational pattern of the AAF Edit Protocol.
inline constexpr AUID kOperationalPatternEditProtocol =
    makeAUID(0x0d011201, 0x0100, 0x0000, 0x060e2b3404010105);
// The file kind of an AAF file in structured storage with 4 KB sectors (the toolkits' name for
// it) and the signature such a file carries in its header.
inline constexpr AUID kFileKindAAF4KBinary =
    makeAUID(0x92b02efb, 0xaf40, 0x4896, 0xa58ed1572f422b58);
inline constexpr AUID kFileSignatureAAF4K =
    makeAUID(0x0d010201, 0x0200, 0x0000, 0x060e2b3403020101);

// One baseline property of a class.
struct PropertyModel {
    const char* name;
    AUID id;
    uint16_t pid;
    AUID type;
    bool optional;
    bool uniqueIdentifier;
};

// One baseline class. A class without a parent names itself as parent.
struct ClassModel {
    const char* name;
    AUID id;
    AUID parent;
    bool concrete;
    std::span<const PropertyModel> properties;
};

// The classes this writer knows, parents before their subclasses.
std::span<const ClassModel> baselineClasses();

// How values of a type are stored, and for a weak reference where its targets are: the path of
// local property IDs from the root object to the collection, and the pid of the targets' unique
// identifier.
struct TypeStorage {
    StoredForm form = StoredForm::Data;
    std::vector<uint16_t> targetPath;
    uint16_t targetKeyPid = 0;
};
// The storage of a baseline type; every type not named as a reference or stream is data.
TypeStorage baselineTypeStorage(const AUID& type);

}  // namespace vorlane::aaf
