#include "formats/mxf/MXFMetadataSet.h"

#include <algorithm>

#include "media/MediaText.h"

namespace vorlane {
namespace {

struct PropertyTag {
    uint16_t tag;
    const char* name;
    int32_t type;
    bool isArray;
};

// The static local tags of the standard header metadata properties, sorted by tag.
constexpr PropertyTag kPropertyTags[] = {
    {0x0102, "GenerationUID", MXFTypeUUID, false},
    {0x0201, "DataDefinition", MXFTypeUL, false},
    {0x0202, "Duration", MXFTypeLength, false},
    {0x0601, "EventStartPosition", MXFTypePosition, false},
    {0x0602, "EventComment", MXFTypeUTF16String, false},
    {0x1001, "StructuralComponents", MXFTypeStrongRef, true},
    {0x1101, "SourcePackageID", MXFTypePackageID, false},
    {0x1102, "SourceTrackID", MXFTypeUInt32, false},
    {0x1201, "StartPosition", MXFTypePosition, false},
    {0x1501, "StartTimecode", MXFTypePosition, false},
    {0x1502, "RoundedTimecodeBase", MXFTypeUInt16, false},
    {0x1503, "DropFrame", MXFTypeBoolean, false},
    {0x1901, "Packages", MXFTypeStrongRef, true},
    {0x1902, "EssenceContainerData", MXFTypeStrongRef, true},
    {0x1B01, "Identification", MXFTypeUL, false},
    {0x2701, "LinkedPackageUID", MXFTypePackageID, false},
    {0x3001, "SampleRate", MXFTypeRational, false},
    {0x3002, "ContainerDuration", MXFTypeLength, false},
    {0x3004, "EssenceContainer", MXFTypeUL, false},
    {0x3005, "Codec", MXFTypeUL, false},
    {0x3006, "LinkedTrackID", MXFTypeUInt32, false},
    {0x3201, "PictureEssenceCoding", MXFTypeUL, false},
    {0x3202, "StoredHeight", MXFTypeUInt32, false},
    {0x3203, "StoredWidth", MXFTypeUInt32, false},
    {0x3204, "SampledHeight", MXFTypeUInt32, false},
    {0x3205, "SampledWidth", MXFTypeUInt32, false},
    {0x3206, "SampleXOffset", MXFTypeInt32, false},
    {0x3207, "SampleYOffset", MXFTypeInt32, false},
    {0x3208, "DisplayHeight", MXFTypeUInt32, false},
    {0x3209, "DisplayWidth", MXFTypeUInt32, false},
    {0x320A, "DisplayXOffset", MXFTypeInt32, false},
    {0x320B, "DisplayYOffset", MXFTypeInt32, false},
    {0x320C, "FrameLayout", MXFTypeUInt8, false},
    {0x320D, "VideoLineMap", MXFTypeInt32, true},
    {0x320E, "AspectRatio", MXFTypeRational, false},
    {0x320F, "AlphaTransparency", MXFTypeUInt8, false},
    {0x3210, "TransferCharacteristics", MXFTypeUL, false},
    {0x3211, "ImageAlignmentOffset", MXFTypeUInt32, false},
    {0x3212, "FieldDominance", MXFTypeUInt8, false},
    {0x3213, "ImageStartOffset", MXFTypeUInt32, false},
    {0x3214, "ImageEndOffset", MXFTypeUInt32, false},
    {0x3215, "SignalStandard", MXFTypeUInt8, false},
    {0x3216, "StoredF2Offset", MXFTypeInt32, false},
    {0x3217, "DisplayF2Offset", MXFTypeInt32, false},
    {0x3218, "ActiveFormatDescriptor", MXFTypeUInt8, false},
    {0x3301, "ComponentDepth", MXFTypeUInt32, false},
    {0x3302, "HorizontalSubsampling", MXFTypeUInt32, false},
    {0x3303, "ColorSiting", MXFTypeUInt8, false},
    {0x3304, "BlackRefLevel", MXFTypeUInt32, false},
    {0x3305, "WhiteRefLevel", MXFTypeUInt32, false},
    {0x3306, "ColorRange", MXFTypeUInt32, false},
    {0x3307, "PaddingBits", MXFTypeUInt16, false},
    {0x3308, "VerticalSubsampling", MXFTypeUInt32, false},
    {0x3309, "AlphaSampleDepth", MXFTypeUInt32, false},
    {0x330B, "ReverseByteOrder", MXFTypeUInt8, false},
    {0x3401, "PixelLayout", MXFTypeRGBALayout, false},
    {0x3405, "ScanningDirection", MXFTypeUInt8, false},
    {0x3406, "ComponentMaxRef", MXFTypeUInt32, false},
    {0x3407, "ComponentMinRef", MXFTypeUInt32, false},
    {0x3408, "AlphaMaxRef", MXFTypeUInt32, false},
    {0x3409, "AlphaMinRef", MXFTypeUInt32, false},
    {0x3B02, "LastModifiedDate", MXFTypeTimestamp, false},
    {0x3B03, "ContentStorage", MXFTypeStrongRef, false},
    {0x3B05, "Version", MXFTypeUInt16, false},
    {0x3B06, "Identifications", MXFTypeStrongRef, true},
    {0x3B07, "ObjectModelVersion", MXFTypeUInt32, false},
    {0x3B08, "PrimaryPackage", MXFTypeWeakRef, false},
    {0x3B09, "OperationalPattern", MXFTypeUL, false},
    {0x3B0A, "EssenceContainers", MXFTypeUL, true},
    {0x3B0B, "DMSchemes", MXFTypeUL, true},
    {0x3C01, "CompanyName", MXFTypeUTF16String, false},
    {0x3C02, "ProductName", MXFTypeUTF16String, false},
    {0x3C03, "ProductVersion", MXFTypeVersion, false},
    {0x3C04, "VersionString", MXFTypeUTF16String, false},
    {0x3C05, "ProductUID", MXFTypeUUID, false},
    {0x3C06, "ModificationDate", MXFTypeTimestamp, false},
    {0x3C07, "ToolkitVersion", MXFTypeVersion, false},
    {0x3C08, "Platform", MXFTypeUTF16String, false},
    {0x3C09, "ThisGenerationUID", MXFTypeUL, false},
    {0x3C0A, "InstanceUID", MXFTypeUUID, false},
    {0x3D01, "QuantisationBits", MXFTypeUInt32, false},
    {0x3D02, "LockedToVideo", MXFTypeUInt8, false},
    {0x3D03, "AudioSamplingRate", MXFTypeRational, false},
    {0x3D04, "AudioRefLevel", MXFTypeUInt8, false},
    {0x3D05, "ElectroSpatialFormulation", MXFTypeUInt8, false},
    {0x3D06, "SoundEssenceCompression", MXFTypeUL, false},
    {0x3D07, "ChannelCount", MXFTypeUInt32, false},
    {0x3D09, "AverageBps", MXFTypeUInt32, false},
    {0x3D0A, "BlockAlign", MXFTypeUInt16, false},
    {0x3D0C, "DialNorm", MXFTypeUInt8, false},
    {0x3D10, "ChannelStatusMode", MXFTypeUInt8, true},
    {0x3D11, "FixedChannelStatusData", MXFTypeRawBytes, true},
    {0x3F01, "SubDescriptorUIDs", MXFTypeStrongRef, true},
    {0x3F06, "IndexSID", MXFTypeUInt32, false},
    {0x3F07, "BodySID", MXFTypeUInt32, false},
    {0x4001, "URLString", MXFTypeUTF16String, false},
    {0x4101, "LocatorName", MXFTypeUTF16String, false},
    {0x4401, "PackageUID", MXFTypePackageID, false},
    {0x4402, "Name", MXFTypeUTF16String, false},
    {0x4403, "Tracks", MXFTypeStrongRef, true},
    {0x4404, "PackageModifiedDate", MXFTypeTimestamp, false},
    {0x4405, "PackageCreationDate", MXFTypeTimestamp, false},
    {0x4701, "Descriptor", MXFTypeStrongRef, false},
    {0x4801, "TrackID", MXFTypeUInt32, false},
    {0x4802, "TrackName", MXFTypeUTF16String, false},
    {0x4803, "Sequence", MXFTypeStrongRef, false},
    {0x4804, "TrackNumber", MXFTypeUInt32, false},
    {0x4901, "EventEditRate", MXFTypeRational, false},
    {0x4902, "EventOrigin", MXFTypeInt64, false},
    {0x4B01, "EditRate", MXFTypeRational, false},
    {0x4B02, "Origin", MXFTypeInt64, false},
    {0x6101, "DMFramework", MXFTypeStrongRef, false},
    {0x6102, "TrackIDs", MXFTypeUInt32, true},
};

static_assert(std::is_sorted(std::begin(kPropertyTags), std::end(kPropertyTags),
                             [](const PropertyTag& a, const PropertyTag& b) {
                                 return a.tag < b.tag;
                             }));

const PropertyTag* propertyTag(uint16_t tag) {
    const auto found = std::lower_bound(
        std::begin(kPropertyTags), std::end(kPropertyTags), tag,
        [](const PropertyTag& entry, uint16_t value) { return entry.tag < value; });
    return found != std::end(kPropertyTags) && found->tag == tag ? &*found : nullptr;
}

struct SetKindName {
    uint8_t kind;
    const char* name;
};

constexpr SetKindName kSetKindNames[] = {
    {0x09, "Filler"},
    {0x0F, "Sequence"},
    {0x11, "SourceClip"},
    {0x14, "Timecode"},
    {0x18, "ContentStorage"},
    {0x1B, "DataDefinition"},
    {0x23, "EssenceContainerData"},
    {0x25, "FileDescriptor"},
    {0x27, "PictureDescriptor"},
    {0x28, "CDCIDescriptor"},
    {0x29, "RGBADescriptor"},
    {0x2F, "Preface"},
    {0x30, "Identification"},
    {0x32, "NetworkLocator"},
    {0x33, "TextLocator"},
    {0x36, "MaterialPackage"},
    {0x37, "SourcePackage"},
    {0x39, "EventTrack"},
    {0x3A, "StaticTrack"},
    {0x3B, "Track"},
    {0x41, "DMSegment"},
    {0x42, "SoundDescriptor"},
    {0x43, "DataDescriptor"},
    {0x44, "MultipleDescriptor"},
    {0x45, "DMSourceCLip"},
    {0x47, "AES3AudioDescriptor"},
    {0x48, "WaveAudioDescriptor"},
    {0x51, "MPEGVideoDescriptor"},
    {0x5A, "JPEG2000Descriptor"},
    {0x60, "PackageMarkerObject"},
    {0x61, "ApplicationPluginObject"},
    {0x62, "ApplicationReferencedObject"},
};

}  // namespace

MXFMetadataSet::MXFMetadataSet(MXFIdentifier identifier, MXFData valueData)
    : MXFKeyLengthValue(std::move(identifier), std::move(valueData)) {
    while (!reachedEnd()) {
        const uint16_t tag = uint16Value();
        const uint16_t length = uint16Value();
        // Each property is read within its own item, so a value never runs into the next item.
        MXFDataReader item = subReader(length);
        const PropertyTag* property = propertyTag(tag);
        if (!property) {
            metaData_.insert_or_assign(formatMediaText("unkown Tag %04X", tag), MXFValue("?"));
            continue;
        }
        MXFValue value = property->isArray ? item.readArrayOfDataWithType(property->type, length)
                                           : item.readDataOfType(property->type, length);
        if (!value.isNull()) metaData_.insert_or_assign(property->name, std::move(value));
    }
    unloadData();
}

const MXFIdentifier& MXFMetadataSet::classIdentifier() {
    static const MXFIdentifier pattern =
        MXFIdentifier::keyIdentifierWithStringID("06.0E.2B.34.02.XX.01.01.0D.01.01.01.01.XX.XX.00");
    return pattern;
}

bool MXFMetadataSet::conformsToIdentifier(const MXFIdentifier& key) {
    return key.matchesIdentifier(classIdentifier());
}

MXFIdentifier MXFMetadataSet::identifierWithKind(uint8_t kind) {
    MXFIdentifier key = classIdentifier();
    key.setValue(kind, 14);
    return key;
}

std::string MXFMetadataSet::kindString() const {
    for (const SetKindName& entry : kSetKindNames) {
        if (entry.kind == kind()) return entry.name;
    }
    return formatMediaText("unkown SetKind 0x01 0x%02X", kind());
}

const MXFValue* MXFMetadataSet::valueForKey(const std::string& name) const {
    const auto entry = metaData_.find(name);
    return entry == metaData_.end() ? nullptr : &entry->second;
}

std::string MXFMetadataSet::type() const {
    return "Metadata Set : " + kindString();
}

std::string MXFMetadataSet::description() const {
    std::string properties;
    for (const auto& [name, value] : metaData_)
        properties += (properties.empty() ? "" : "; ") + name + " = " + value.description();
    return MXFKeyLengthValue::description() + ", MetaData: {" + properties + "}";
}

}  // namespace vorlane
