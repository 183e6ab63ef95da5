#include "platform/aaf/AAFModel.h"

namespace vorlane::aaf {
namespace {

// A property identifier from the SMPTE metadata register: its first three parts and the register
// version in the last byte ({xxxxxxxx-xxxx-xxxx-060e2b34-010101vv}).
constexpr AUID property(uint32_t data1, uint16_t data2, uint16_t data3, uint8_t version) {
    return makeAUID(data1, data2, data3, 0x060e2b3401010100 | version);
}
constexpr AUID type(uint32_t code) {
    return detail::type(code);
}

constexpr bool kOptional = true;
constexpr bool kRequired = false;
constexpr bool kUnique = true;

// Type codes used below ({code-0000-0000-060e2b34-01040101}).
enum : uint32_t {
    UInt8 = 0x01010100,
    UInt16 = 0x01010200,
    UInt32 = 0x01010300,
    Int8 = 0x01010500,
    Int16 = 0x01010600,
    Int32 = 0x01010700,
    Position = 0x01012001,
    Length = 0x01012002,
    Auid = 0x01030100,
    MobIDType = 0x01030200,
    Boolean = 0x01040100,
    String = 0x01100200,
    TapeFormatType = 0x02010102,
    VideoSignalType = 0x02010103,
    TapeCaseType = 0x02010104,
    ColorSitingType = 0x02010105,
    FadeType = 0x02010107,
    LayoutType = 0x02010108,
    AlphaTransparencyType = 0x02010120,
    FieldNumber = 0x02010121,
    ElectroSpatialFormulation = 0x02010122,
    SignalStandardType = 0x02010127,
    TransferCharacteristicType = 0x02020102,
    UsageType = 0x02020104,
    ColorPrimariesType = 0x02020105,
    CodingEquationsType = 0x02020106,
    Rational = 0x03010100,
    ProductVersion = 0x03010200,
    VersionType = 0x03010300,
    TimeStamp = 0x03010700,
    Int32Array = 0x04010300,
    UInt32Array = 0x04010900,
    AUIDSet = 0x04030100,
    Stream = 0x04100200,
    Indirect = 0x04100300,
    ClassDefinitionWeakReference = 0x05010100,
    ContainerDefinitionWeakReference = 0x05010200,
    DataDefinitionWeakReference = 0x05010300,
    MobWeakReference = 0x05010600,
    CodecDefinitionWeakReference = 0x05010b00,
    ContentStorageStrongReference = 0x05020100,
    DictionaryStrongReference = 0x05020200,
    EssenceDescriptorStrongReference = 0x05020300,
    SegmentStrongReference = 0x05020600,
    ClassDefinitionStrongReferenceSet = 0x05050100,
    CodecDefinitionStrongReferenceSet = 0x05050200,
    ContainerDefinitionStrongReferenceSet = 0x05050300,
    DataDefinitionStrongReferenceSet = 0x05050400,
    EssenceDataStrongReferenceSet = 0x05050500,
    InterpolationDefinitionStrongReferenceSet = 0x05050600,
    MobStrongReferenceSet = 0x05050700,
    OperationDefinitionStrongReferenceSet = 0x05050800,
    ParameterDefinitionStrongReferenceSet = 0x05050900,
    PluginDefinitionStrongReferenceSet = 0x05050a00,
    PropertyDefinitionStrongReferenceSet = 0x05050b00,
    TypeDefinitionStrongReferenceSet = 0x05050c00,
    KLVDataDefinitionStrongReferenceSet = 0x05050d00,
    TaggedValueDefinitionStrongReferenceSet = 0x05050e00,
    ComponentStrongReferenceVector = 0x05060100,
    IdentificationStrongReferenceVector = 0x05060300,
    LocatorStrongReferenceVector = 0x05060400,
    MobSlotStrongReferenceVector = 0x05060500,
    TaggedValueStrongReferenceVector = 0x05060800,
    KLVDataStrongReferenceVector = 0x05060900,
    FileDescriptorStrongReferenceVector = 0x05060b00,
};

constexpr PropertyModel kInterchangeObject[] = {
    {"ObjClass", property(0x06010104, 0x0101, 0x0000, 2), 0x0101,
     type(ClassDefinitionWeakReference), kRequired, false},
    {"Generation", property(0x05200701, 0x0800, 0x0000, 2), 0x0102, type(Auid), kOptional, false},
};
constexpr PropertyModel kComponent[] = {
    {"DataDefinition", property(0x04070100, 0x0000, 0x0000, 2), 0x0201,
     type(DataDefinitionWeakReference), kRequired, false},
    {"Length", property(0x07020201, 0x0103, 0x0000, 2), 0x0202, type(Length), kOptional, false},
    {"KLVData", property(0x03010210, 0x0400, 0x0000, 2), 0x0203, type(KLVDataStrongReferenceVector),
     kOptional, false},
    {"UserComments", property(0x03020102, 0x1600, 0x0000, 7), 0x0204,
     type(TaggedValueStrongReferenceVector), kOptional, false},
    {"Attributes", property(0x03010210, 0x0800, 0x0000, 7), 0x0205,
     type(TaggedValueStrongReferenceVector), kOptional, false},
};
constexpr PropertyModel kSequence[] = {
    {"Components", property(0x06010104, 0x0609, 0x0000, 2), 0x1001,
     type(ComponentStrongReferenceVector), kRequired, false},
};
constexpr PropertyModel kSourceReference[] = {
    {"SourceID", property(0x06010103, 0x0100, 0x0000, 2), 0x1101, type(MobIDType), kOptional,
     false},
    {"SourceMobSlotID", property(0x06010103, 0x0200, 0x0000, 2), 0x1102, type(UInt32), kRequired,
     false},
    {"ChannelIDs", property(0x06010103, 0x0700, 0x0000, 7), 0x1103, type(UInt32Array), kOptional,
     false},
    {"MonoSourceSlotIDs", property(0x06010103, 0x0800, 0x0000, 8), 0x1104, type(UInt32Array),
     kOptional, false},
};
constexpr PropertyModel kSourceClip[] = {
    {"StartTime", property(0x07020103, 0x0104, 0x0000, 2), 0x1201, type(Position), kOptional,
     false},
    {"FadeInLength", property(0x07020201, 0x0105, 0x0200, 2), 0x1202, type(Length), kOptional,
     false},
    {"FadeInType", property(0x05300501, 0x0000, 0x0000, 1), 0x1203, type(FadeType), kOptional,
     false},
    {"FadeOutLength", property(0x07020201, 0x0105, 0x0300, 2), 0x1204, type(Length), kOptional,
     false},
    {"FadeOutType", property(0x05300502, 0x0000, 0x0000, 1), 0x1205, type(FadeType), kOptional,
     false},
};
constexpr PropertyModel kTimecode[] = {
    {"Start", property(0x07020103, 0x0105, 0x0000, 2), 0x1501, type(Position), kRequired, false},
    {"FPS", property(0x04040101, 0x0206, 0x0000, 2), 0x1502, type(UInt16), kRequired, false},
    {"Drop", property(0x04040101, 0x0500, 0x0000, 1), 0x1503, type(Boolean), kRequired, false},
};
constexpr PropertyModel kContentStorage[] = {
    {"Mobs", property(0x06010104, 0x0501, 0x0000, 2), 0x1901, type(MobStrongReferenceSet),
     kRequired, false},
    {"EssenceData", property(0x06010104, 0x0502, 0x0000, 2), 0x1902,
     type(EssenceDataStrongReferenceSet), kOptional, false},
};
constexpr PropertyModel kDefinitionObject[] = {
    {"Identification", property(0x01011503, 0x0000, 0x0000, 2), 0x1b01, type(Auid), kRequired,
     kUnique},
    {"Name", property(0x01070102, 0x0301, 0x0000, 2), 0x1b02, type(String), kRequired, false},
    {"Description", property(0x03020301, 0x0201, 0x0000, 2), 0x1b03, type(String), kOptional,
     false},
};
constexpr PropertyModel kContainerDefinition[] = {
    {"EssenceIsIdentified", property(0x03010201, 0x0300, 0x0000, 1), 0x2401, type(Boolean),
     kOptional, false},
};
constexpr PropertyModel kDictionary[] = {
    {"OperationDefinitions", property(0x06010104, 0x0503, 0x0000, 2), 0x2603,
     type(OperationDefinitionStrongReferenceSet), kOptional, false},
    {"ParameterDefinitions", property(0x06010104, 0x0504, 0x0000, 2), 0x2604,
     type(ParameterDefinitionStrongReferenceSet), kOptional, false},
    {"DataDefinitions", property(0x06010104, 0x0505, 0x0000, 2), 0x2605,
     type(DataDefinitionStrongReferenceSet), kOptional, false},
    {"PluginDefinitions", property(0x06010104, 0x0506, 0x0000, 2), 0x2606,
     type(PluginDefinitionStrongReferenceSet), kOptional, false},
    {"CodecDefinitions", property(0x06010104, 0x0507, 0x0000, 2), 0x2607,
     type(CodecDefinitionStrongReferenceSet), kOptional, false},
    {"ContainerDefinitions", property(0x06010104, 0x0508, 0x0000, 2), 0x2608,
     type(ContainerDefinitionStrongReferenceSet), kOptional, false},
    {"InterpolationDefinitions", property(0x06010104, 0x0509, 0x0000, 2), 0x2609,
     type(InterpolationDefinitionStrongReferenceSet), kOptional, false},
    {"KLVDataDefinitions", property(0x06010104, 0x050a, 0x0000, 7), 0x260a,
     type(KLVDataDefinitionStrongReferenceSet), kOptional, false},
    {"TaggedValueDefinitions", property(0x06010104, 0x050b, 0x0000, 7), 0x260b,
     type(TaggedValueDefinitionStrongReferenceSet), kOptional, false},
};
constexpr PropertyModel kEssenceDescriptor[] = {
    {"Locator", property(0x06010104, 0x0603, 0x0000, 2), 0x2f01, type(LocatorStrongReferenceVector),
     kOptional, false},
};
constexpr PropertyModel kFileDescriptor[] = {
    {"SampleRate", property(0x04060101, 0x0000, 0x0000, 1), 0x3001, type(Rational), kRequired,
     false},
    {"Length", property(0x04060102, 0x0000, 0x0000, 1), 0x3002, type(Length), kRequired, false},
    {"ContainerFormat", property(0x06010104, 0x0102, 0x0000, 2), 0x3004,
     type(ContainerDefinitionWeakReference), kOptional, false},
    {"CodecDefinition", property(0x06010104, 0x0103, 0x0000, 2), 0x3005,
     type(CodecDefinitionWeakReference), kOptional, false},
    {"LinkedSlotID", property(0x06010103, 0x0500, 0x0000, 5), 0x3006, type(UInt32), kOptional,
     false},
};
constexpr PropertyModel kDigitalImageDescriptor[] = {
    {"Compression", property(0x04010601, 0x0000, 0x0000, 2), 0x3201, type(Auid), kOptional, false},
    {"StoredHeight", property(0x04010502, 0x0100, 0x0000, 1), 0x3202, type(UInt32), kRequired,
     false},
    {"StoredWidth", property(0x04010502, 0x0200, 0x0000, 1), 0x3203, type(UInt32), kRequired,
     false},
    {"SampledHeight", property(0x04010501, 0x0700, 0x0000, 1), 0x3204, type(UInt32), kOptional,
     false},
    {"SampledWidth", property(0x04010501, 0x0800, 0x0000, 1), 0x3205, type(UInt32), kOptional,
     false},
    {"SampledXOffset", property(0x04010501, 0x0900, 0x0000, 1), 0x3206, type(Int32), kOptional,
     false},
    {"SampledYOffset", property(0x04010501, 0x0a00, 0x0000, 1), 0x3207, type(Int32), kOptional,
     false},
    {"DisplayHeight", property(0x04010501, 0x0b00, 0x0000, 1), 0x3208, type(UInt32), kOptional,
     false},
    {"DisplayWidth", property(0x04010501, 0x0c00, 0x0000, 1), 0x3209, type(UInt32), kOptional,
     false},
    {"DisplayXOffset", property(0x04010501, 0x0d00, 0x0000, 1), 0x320a, type(Int32), kOptional,
     false},
    {"DisplayYOffset", property(0x04010501, 0x0e00, 0x0000, 1), 0x320b, type(Int32), kOptional,
     false},
    {"FrameLayout", property(0x04010301, 0x0400, 0x0000, 1), 0x320c, type(LayoutType), kRequired,
     false},
    {"VideoLineMap", property(0x04010302, 0x0500, 0x0000, 2), 0x320d, type(Int32Array), kRequired,
     false},
    {"ImageAspectRatio", property(0x04010101, 0x0100, 0x0000, 1), 0x320e, type(Rational), kRequired,
     false},
    {"AlphaTransparency", property(0x05200102, 0x0000, 0x0000, 2), 0x320f,
     type(AlphaTransparencyType), kOptional, false},
    {"TransferCharacteristic", property(0x04010201, 0x0101, 0x0200, 2), 0x3210,
     type(TransferCharacteristicType), kOptional, false},
    {"ColorPrimaries", property(0x04010201, 0x0106, 0x0100, 9), 0x3219, type(ColorPrimariesType),
     kOptional, false},
    {"CodingEquations", property(0x04010201, 0x0103, 0x0100, 2), 0x321a, type(CodingEquationsType),
     kOptional, false},
    {"ImageAlignmentFactor", property(0x04180101, 0x0000, 0x0000, 2), 0x3211, type(UInt32),
     kOptional, false},
    {"FieldDominance", property(0x04010301, 0x0600, 0x0000, 2), 0x3212, type(FieldNumber),
     kOptional, false},
    {"FieldStartOffset", property(0x04180102, 0x0000, 0x0000, 2), 0x3213, type(UInt32), kOptional,
     false},
    {"FieldEndOffset", property(0x04180103, 0x0000, 0x0000, 2), 0x3214, type(UInt32), kOptional,
     false},
    {"SignalStandard", property(0x04050113, 0x0000, 0x0000, 5), 0x3215, type(SignalStandardType),
     kOptional, false},
    {"StoredF2Offset", property(0x04010302, 0x0800, 0x0000, 5), 0x3216, type(Int32), kOptional,
     false},
    {"DisplayF2Offset", property(0x04010302, 0x0700, 0x0000, 5), 0x3217, type(Int32), kOptional,
     false},
    {"ActiveFormatDescriptor", property(0x04010302, 0x0900, 0x0000, 5), 0x3218, type(UInt8),
     kOptional, false},
};
constexpr PropertyModel kCDCIDescriptor[] = {
    {"ComponentWidth", property(0x04010503, 0x0a00, 0x0000, 2), 0x3301, type(UInt32), kRequired,
     false},
    {"HorizontalSubsampling", property(0x04010501, 0x0500, 0x0000, 1), 0x3302, type(UInt32),
     kRequired, false},
    {"ColorSiting", property(0x04010501, 0x0600, 0x0000, 1), 0x3303, type(ColorSitingType),
     kOptional, false},
    {"BlackReferenceLevel", property(0x04010503, 0x0300, 0x0000, 1), 0x3304, type(UInt32),
     kOptional, false},
    {"WhiteReferenceLevel", property(0x04010503, 0x0400, 0x0000, 1), 0x3305, type(UInt32),
     kOptional, false},
    {"ColorRange", property(0x04010503, 0x0500, 0x0000, 2), 0x3306, type(UInt32), kOptional, false},
    {"PaddingBits", property(0x04180104, 0x0000, 0x0000, 2), 0x3307, type(Int16), kOptional, false},
    {"VerticalSubsampling", property(0x04010501, 0x1000, 0x0000, 2), 0x3308, type(UInt32),
     kOptional, false},
    {"AlphaSamplingWidth", property(0x04010503, 0x0700, 0x0000, 2), 0x3309, type(UInt32), kOptional,
     false},
    {"ReversedByteOrder", property(0x03010201, 0x0a00, 0x0000, 5), 0x330b, type(Boolean), kOptional,
     false},
};
constexpr PropertyModel kTapeDescriptor[] = {
    {"FormFactor", property(0x04100101, 0x0101, 0x0000, 2), 0x3a01, type(TapeCaseType), kOptional,
     false},
    {"VideoSignal", property(0x04010401, 0x0100, 0x0000, 2), 0x3a02, type(VideoSignalType),
     kOptional, false},
    {"TapeFormat", property(0x0d010101, 0x0101, 0x0100, 2), 0x3a03, type(TapeFormatType), kOptional,
     false},
    {"Length", property(0x04100101, 0x0300, 0x0000, 2), 0x3a04, type(UInt32), kOptional, false},
    {"ManufacturerID", property(0x04100101, 0x0401, 0x0000, 2), 0x3a05, type(String), kOptional,
     false},
    {"Model", property(0x04100101, 0x0201, 0x0000, 2), 0x3a06, type(String), kOptional, false},
    {"TapeBatchNumber", property(0x04100101, 0x0601, 0x0000, 2), 0x3a07, type(String), kOptional,
     false},
    {"TapeStock", property(0x04100101, 0x0501, 0x0000, 2), 0x3a08, type(String), kOptional, false},
};
constexpr PropertyModel kHeader[] = {
    {"ByteOrder", property(0x03010201, 0x0200, 0x0000, 1), 0x3b01, type(Int16), kRequired, false},
    {"LastModified", property(0x07020110, 0x0204, 0x0000, 2), 0x3b02, type(TimeStamp), kRequired,
     false},
    {"Content", property(0x06010104, 0x0201, 0x0000, 2), 0x3b03,
     type(ContentStorageStrongReference), kRequired, false},
    {"Dictionary", property(0x06010104, 0x0202, 0x0000, 2), 0x3b04, type(DictionaryStrongReference),
     kRequired, false},
    {"Version", property(0x03010201, 0x0500, 0x0000, 2), 0x3b05, type(VersionType), kRequired,
     false},
    {"IdentificationList", property(0x06010104, 0x0604, 0x0000, 2), 0x3b06,
     type(IdentificationStrongReferenceVector), kRequired, false},
    {"ObjectModelVersion", property(0x03010201, 0x0400, 0x0000, 2), 0x3b07, type(UInt32), kOptional,
     false},
    {"PrimaryMob", property(0x06010104, 0x0108, 0x0000, 4), 0x3b08, type(MobWeakReference),
     kOptional, false},
    {"OperationalPattern", property(0x01020203, 0x0000, 0x0000, 5), 0x3b09, type(Auid), kOptional,
     false},
    {"EssenceContainers", property(0x01020210, 0x0201, 0x0000, 5), 0x3b0a, type(AUIDSet), kOptional,
     false},
    {"DescriptiveSchemes", property(0x01020210, 0x0202, 0x0000, 5), 0x3b0b, type(AUIDSet),
     kOptional, false},
};
constexpr PropertyModel kIdentification[] = {
    {"CompanyName", property(0x05200701, 0x0201, 0x0000, 2), 0x3c01, type(String), kRequired,
     false},
    {"ProductName", property(0x05200701, 0x0301, 0x0000, 2), 0x3c02, type(String), kRequired,
     false},
    {"ProductVersion", property(0x05200701, 0x0400, 0x0000, 2), 0x3c03, type(ProductVersion),
     kOptional, false},
    {"ProductVersionString", property(0x05200701, 0x0501, 0x0000, 2), 0x3c04, type(String),
     kRequired, false},
    {"ProductID", property(0x05200701, 0x0700, 0x0000, 2), 0x3c05, type(Auid), kRequired, false},
    {"Date", property(0x07020110, 0x0203, 0x0000, 2), 0x3c06, type(TimeStamp), kRequired, false},
    {"ToolkitVersion", property(0x05200701, 0x0a00, 0x0000, 2), 0x3c07, type(ProductVersion),
     kOptional, false},
    {"Platform", property(0x05200701, 0x0601, 0x0000, 2), 0x3c08, type(String), kOptional, false},
    {"GenerationAUID", property(0x05200701, 0x0100, 0x0000, 2), 0x3c09, type(Auid), kRequired,
     false},
};
constexpr PropertyModel kNetworkLocator[] = {
    {"URLString", property(0x01020101, 0x0100, 0x0000, 1), 0x4001, type(String), kRequired, false},
};
constexpr PropertyModel kMob[] = {
    {"MobID", property(0x01011510, 0x0000, 0x0000, 1), 0x4401, type(MobIDType), kRequired, kUnique},
    {"Name", property(0x01030302, 0x0100, 0x0000, 1), 0x4402, type(String), kOptional, false},
    {"Slots", property(0x06010104, 0x0605, 0x0000, 2), 0x4403, type(MobSlotStrongReferenceVector),
     kRequired, false},
    {"LastModified", property(0x07020110, 0x0205, 0x0000, 2), 0x4404, type(TimeStamp), kRequired,
     false},
    {"CreationTime", property(0x07020110, 0x0103, 0x0000, 2), 0x4405, type(TimeStamp), kRequired,
     false},
    {"UserComments", property(0x03020102, 0x0c00, 0x0000, 2), 0x4406,
     type(TaggedValueStrongReferenceVector), kOptional, false},
    {"KLVData", property(0x03010210, 0x0300, 0x0000, 2), 0x4407, type(KLVDataStrongReferenceVector),
     kOptional, false},
    {"Attributes", property(0x03010210, 0x0700, 0x0000, 7), 0x4409,
     type(TaggedValueStrongReferenceVector), kOptional, false},
    {"UsageCode", property(0x05010108, 0x0000, 0x0000, 7), 0x4408, type(UsageType), kOptional,
     false},
};
constexpr PropertyModel kCompositionMob[] = {
    {"DefaultFadeLength", property(0x07020201, 0x0105, 0x0100, 2), 0x4501, type(Length), kOptional,
     false},
    {"DefFadeType", property(0x05300201, 0x0000, 0x0000, 1), 0x4502, type(FadeType), kOptional,
     false},
    {"DefFadeEditUnit", property(0x05300403, 0x0000, 0x0000, 2), 0x4503, type(Rational), kOptional,
     false},
    {"Rendering", property(0x06010104, 0x010a, 0x0000, 8), 0x4504, type(MobIDType), kOptional,
     false},
};
constexpr PropertyModel kSourceMob[] = {
    {"EssenceDescription", property(0x06010104, 0x0203, 0x0000, 2), 0x4701,
     type(EssenceDescriptorStrongReference), kRequired, false},
};
constexpr PropertyModel kMobSlot[] = {
    {"SlotID", property(0x01070101, 0x0000, 0x0000, 2), 0x4801, type(UInt32), kRequired, false},
    {"SlotName", property(0x01070102, 0x0100, 0x0000, 2), 0x4802, type(String), kOptional, false},
    {"Segment", property(0x06010104, 0x0204, 0x0000, 2), 0x4803, type(SegmentStrongReference),
     kRequired, false},
    {"PhysicalTrackNumber", property(0x01040103, 0x0000, 0x0000, 2), 0x4804, type(UInt32),
     kOptional, false},
};
constexpr PropertyModel kTimelineMobSlot[] = {
    {"EditRate", property(0x05300405, 0x0000, 0x0000, 2), 0x4b01, type(Rational), kRequired, false},
    {"Origin", property(0x07020103, 0x0103, 0x0000, 2), 0x4b02, type(Position), kRequired, false},
    {"MarkIn", property(0x07020103, 0x010c, 0x0000, 7), 0x4b03, type(Position), kOptional, false},
    {"MarkOut", property(0x07020103, 0x0203, 0x0000, 7), 0x4b04, type(Position), kOptional, false},
    {"UserPos", property(0x07020103, 0x010d, 0x0000, 7), 0x4b05, type(Position), kOptional, false},
};
constexpr PropertyModel kTaggedValue[] = {
    {"Name", property(0x03020102, 0x0901, 0x0000, 2), 0x5001, type(String), kRequired, false},
    {"Value", property(0x03020102, 0x0a01, 0x0000, 2), 0x5003, type(Indirect), kRequired, false},
};
constexpr PropertyModel kSoundDescriptor[] = {
    {"AudioSamplingRate", property(0x04020301, 0x0101, 0x0000, 5), 0x3d03, type(Rational),
     kRequired, false},
    {"Locked", property(0x04020301, 0x0400, 0x0000, 4), 0x3d02, type(Boolean), kOptional, false},
    {"AudioRefLevel", property(0x04020101, 0x0300, 0x0000, 1), 0x3d04, type(Int8), kOptional,
     false},
    {"ElectroSpatial", property(0x04020101, 0x0100, 0x0000, 1), 0x3d05,
     type(ElectroSpatialFormulation), kOptional, false},
    {"Channels", property(0x04020101, 0x0400, 0x0000, 5), 0x3d07, type(UInt32), kRequired, false},
    {"QuantizationBits", property(0x04020303, 0x0400, 0x0000, 4), 0x3d01, type(UInt32), kRequired,
     false},
    {"DialNorm", property(0x04020701, 0x0000, 0x0000, 5), 0x3d0c, type(Int8), kOptional, false},
    {"Compression", property(0x04020402, 0x0000, 0x0000, 2), 0x3d06, type(Auid), kOptional, false},
};
constexpr PropertyModel kMultipleDescriptor[] = {
    {"FileDescriptors", property(0x06010104, 0x060b, 0x0000, 4), 0x3f01,
     type(FileDescriptorStrongReferenceVector), kRequired, false},
};
constexpr PropertyModel kPCMDescriptor[] = {
    {"BlockAlign", property(0x04020302, 0x0100, 0x0000, 5), 0x3d0a, type(UInt16), kRequired, false},
    {"SequenceOffset", property(0x04020302, 0x0200, 0x0000, 5), 0x3d0b, type(UInt8), kOptional,
     false},
    {"AverageBPS", property(0x04020303, 0x0500, 0x0000, 5), 0x3d09, type(UInt32), kRequired, false},
    {"ChannelAssignment", property(0x04020101, 0x0500, 0x0000, 7), 0x3d32, type(Auid), kOptional,
     false},
    {"PeakEnvelopeVersion", property(0x04020301, 0x0600, 0x0000, 8), 0x3d29, type(UInt32),
     kOptional, false},
    {"PeakEnvelopeFormat", property(0x04020301, 0x0700, 0x0000, 8), 0x3d2a, type(UInt32), kOptional,
     false},
    {"PointsPerPeakValue", property(0x04020301, 0x0800, 0x0000, 8), 0x3d2b, type(UInt32), kOptional,
     false},
    {"PeakEnvelopeBlockSize", property(0x04020301, 0x0900, 0x0000, 8), 0x3d2c, type(UInt32),
     kOptional, false},
    {"PeakChannels", property(0x04020301, 0x0a00, 0x0000, 8), 0x3d2d, type(UInt32), kOptional,
     false},
    {"PeakFrames", property(0x04020301, 0x0b00, 0x0000, 8), 0x3d2e, type(UInt32), kOptional, false},
    {"PeakOfPeaksPosition", property(0x04020301, 0x0c00, 0x0000, 8), 0x3d2f, type(Position),
     kOptional, false},
    {"PeakEnvelopeTimestamp", property(0x04020301, 0x0d00, 0x0000, 8), 0x3d30, type(TimeStamp),
     kOptional, false},
    {"PeakEnvelopeData", property(0x04020301, 0x0e00, 0x0000, 8), 0x3d31, type(Stream), kOptional,
     false},
};
constexpr PropertyModel kMetaDefinition[] = {
    {"Identification", property(0x06010107, 0x1300, 0x0000, 2), 0x0005, type(Auid), kRequired,
     kUnique},
    {"Name", property(0x03020401, 0x0201, 0x0000, 2), 0x0006, type(String), kRequired, false},
    {"Description", property(0x06010107, 0x1401, 0x0000, 2), 0x0007, type(String), kOptional,
     false},
};
constexpr PropertyModel kClassDefinition[] = {
    {"ParentClass", property(0x06010107, 0x0100, 0x0000, 2), 0x0008,
     type(ClassDefinitionWeakReference), kRequired, false},
    {"Properties", property(0x06010107, 0x0200, 0x0000, 2), 0x0009,
     type(PropertyDefinitionStrongReferenceSet), kOptional, false},
    {"IsConcrete", property(0x06010107, 0x0300, 0x0000, 2), 0x000a, type(Boolean), kRequired,
     false},
};
constexpr PropertyModel kPropertyDefinition[] = {
    {"Type", property(0x06010107, 0x0400, 0x0000, 2), 0x000b, type(Auid), kRequired, false},
    {"IsOptional", property(0x03010202, 0x0100, 0x0000, 2), 0x000c, type(Boolean), kRequired,
     false},
    {"LocalIdentification", property(0x06010107, 0x0500, 0x0000, 2), 0x000d, type(UInt16),
     kRequired, false},
    {"IsUniqueIdentifier", property(0x06010107, 0x0600, 0x0000, 2), 0x000e, type(Boolean),
     kOptional, false},
};
constexpr PropertyModel kTypeDefinitionStrongObjectReference[] = {
    {"ReferencedType", property(0x06010107, 0x0900, 0x0000, 2), 0x0011,
     type(ClassDefinitionWeakReference), kRequired, false},
};
constexpr PropertyModel kMetaDictionary[] = {
    {"ClassDefinitions", property(0x06010107, 0x0700, 0x0000, 2), 0x0003,
     type(ClassDefinitionStrongReferenceSet), kOptional, false},
    {"TypeDefinitions", property(0x06010107, 0x0800, 0x0000, 2), 0x0004,
     type(TypeDefinitionStrongReferenceSet), kOptional, false},
};

constexpr std::span<const PropertyModel> kNone;

constexpr ClassModel kClasses[] = {
    {"InterchangeObject", ClassID::InterchangeObject, ClassID::InterchangeObject, false,
     kInterchangeObject},
    {"Component", ClassID::Component, ClassID::InterchangeObject, false, kComponent},
    {"Segment", ClassID::Segment, ClassID::Component, false, kNone},
    {"Sequence", ClassID::Sequence, ClassID::Segment, true, kSequence},
    {"Filler", ClassID::Filler, ClassID::Segment, true, kNone},
    {"SourceReference", ClassID::SourceReference, ClassID::Segment, false, kSourceReference},
    {"SourceClip", ClassID::SourceClip, ClassID::SourceReference, true, kSourceClip},
    {"Timecode", ClassID::Timecode, ClassID::Segment, true, kTimecode},
    {"ContentStorage", ClassID::ContentStorage, ClassID::InterchangeObject, true, kContentStorage},
    {"DefinitionObject", ClassID::DefinitionObject, ClassID::InterchangeObject, false,
     kDefinitionObject},
    {"DataDefinition", ClassID::DataDefinition, ClassID::DefinitionObject, true, kNone},
    {"ContainerDefinition", ClassID::ContainerDefinition, ClassID::DefinitionObject, true,
     kContainerDefinition},
    {"Dictionary", ClassID::Dictionary, ClassID::InterchangeObject, true, kDictionary},
    {"EssenceDescriptor", ClassID::EssenceDescriptor, ClassID::InterchangeObject, false,
     kEssenceDescriptor},
    {"FileDescriptor", ClassID::FileDescriptor, ClassID::EssenceDescriptor, false, kFileDescriptor},
    {"DigitalImageDescriptor", ClassID::DigitalImageDescriptor, ClassID::FileDescriptor, false,
     kDigitalImageDescriptor},
    {"CDCIDescriptor", ClassID::CDCIDescriptor, ClassID::DigitalImageDescriptor, true,
     kCDCIDescriptor},
    {"SoundDescriptor", ClassID::SoundDescriptor, ClassID::FileDescriptor, true, kSoundDescriptor},
    {"PCMDescriptor", ClassID::PCMDescriptor, ClassID::SoundDescriptor, true, kPCMDescriptor},
    {"MultipleDescriptor", ClassID::MultipleDescriptor, ClassID::FileDescriptor, true,
     kMultipleDescriptor},
    {"TapeDescriptor", ClassID::TapeDescriptor, ClassID::EssenceDescriptor, true, kTapeDescriptor},
    {"PhysicalDescriptor", ClassID::PhysicalDescriptor, ClassID::EssenceDescriptor, false, kNone},
    {"ImportDescriptor", ClassID::ImportDescriptor, ClassID::PhysicalDescriptor, true, kNone},
    {"Header", ClassID::Header, ClassID::InterchangeObject, true, kHeader},
    {"Identification", ClassID::Identification, ClassID::InterchangeObject, true, kIdentification},
    {"Locator", ClassID::Locator, ClassID::InterchangeObject, false, kNone},
    {"NetworkLocator", ClassID::NetworkLocator, ClassID::Locator, true, kNetworkLocator},
    {"Mob", ClassID::Mob, ClassID::InterchangeObject, false, kMob},
    {"CompositionMob", ClassID::CompositionMob, ClassID::Mob, true, kCompositionMob},
    {"MasterMob", ClassID::MasterMob, ClassID::Mob, true, kNone},
    {"SourceMob", ClassID::SourceMob, ClassID::Mob, true, kSourceMob},
    {"MobSlot", ClassID::MobSlot, ClassID::InterchangeObject, false, kMobSlot},
    {"TimelineMobSlot", ClassID::TimelineMobSlot, ClassID::MobSlot, true, kTimelineMobSlot},
    {"TaggedValue", ClassID::TaggedValue, ClassID::InterchangeObject, true, kTaggedValue},
    {"MetaDefinition", ClassID::MetaDefinition, ClassID::MetaDefinition, false, kMetaDefinition},
    {"ClassDefinition", ClassID::ClassDefinition, ClassID::MetaDefinition, true, kClassDefinition},
    {"PropertyDefinition", ClassID::PropertyDefinition, ClassID::MetaDefinition, true,
     kPropertyDefinition},
    {"TypeDefinition", ClassID::TypeDefinition, ClassID::MetaDefinition, false, kNone},
    {"TypeDefinitionStrongObjectReference", ClassID::TypeDefinitionStrongObjectReference,
     ClassID::TypeDefinition, true, kTypeDefinitionStrongObjectReference},
    {"MetaDictionary", ClassID::MetaDictionary, ClassID::MetaDictionary, true, kMetaDictionary},
};

}  // namespace

std::span<const ClassModel> baselineClasses() {
    return kClasses;
}

TypeStorage baselineTypeStorage(const AUID& id) {
    if (id.data2 != 0 || id.data3 != 0 || id.data4 != type(0).data4) return {};
    switch (id.data1) {
        case ContentStorageStrongReference:
        case DictionaryStrongReference:
        case EssenceDescriptorStrongReference:
        case SegmentStrongReference:
            return {StoredForm::StrongReference, {}, 0};
        case ComponentStrongReferenceVector:
        case IdentificationStrongReferenceVector:
        case LocatorStrongReferenceVector:
        case MobSlotStrongReferenceVector:
        case TaggedValueStrongReferenceVector:
        case KLVDataStrongReferenceVector:
        case FileDescriptorStrongReferenceVector:
            return {StoredForm::StrongReferenceVector, {}, 0};
        case ClassDefinitionStrongReferenceSet:
        case CodecDefinitionStrongReferenceSet:
        case ContainerDefinitionStrongReferenceSet:
        case DataDefinitionStrongReferenceSet:
        case EssenceDataStrongReferenceSet:
        case InterpolationDefinitionStrongReferenceSet:
        case MobStrongReferenceSet:
        case OperationDefinitionStrongReferenceSet:
        case ParameterDefinitionStrongReferenceSet:
        case PluginDefinitionStrongReferenceSet:
        case PropertyDefinitionStrongReferenceSet:
        case TypeDefinitionStrongReferenceSet:
        case KLVDataDefinitionStrongReferenceSet:
        case TaggedValueDefinitionStrongReferenceSet:
            return {StoredForm::StrongReferenceSet, {}, 0};
        case ClassDefinitionWeakReference:
            return {StoredForm::WeakReference,
                    {Pid::RootMetaDictionary, Pid::MetaDictionaryClassDefinitions},
                    Pid::MetaDefinitionIdentification};
        case ContainerDefinitionWeakReference:
            return {StoredForm::WeakReference,
                    {Pid::RootHeader, Pid::HeaderDictionary, Pid::DictionaryContainerDefinitions},
                    Pid::DefinitionObjectIdentification};
        case DataDefinitionWeakReference:
            return {StoredForm::WeakReference,
                    {Pid::RootHeader, Pid::HeaderDictionary, Pid::DictionaryDataDefinitions},
                    Pid::DefinitionObjectIdentification};
        case CodecDefinitionWeakReference:
            return {StoredForm::WeakReference,
                    {Pid::RootHeader, Pid::HeaderDictionary, Pid::DictionaryCodecDefinitions},
                    Pid::DefinitionObjectIdentification};
        case MobWeakReference:
            return {StoredForm::WeakReference,
                    {Pid::RootHeader, Pid::HeaderContent, Pid::ContentStorageMobs},
                    Pid::MobMobID};
        case Stream:
            return {StoredForm::DataStream, {}, 0};
        default:
            return {};
    }
}

}  // namespace vorlane::aaf
