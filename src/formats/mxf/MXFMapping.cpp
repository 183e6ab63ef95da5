#include "formats/mxf/MXFMapping.h"

#include <cmath>
#include <limits>

#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

// Every picture coding label begins so (byte 7, the registry version, varies between writers).
constexpr char kPictureCodingPrefix[] = "06.0E.2B.34.04.01.01.XX.04.01.02.";
constexpr char kSoundCodingPrefix[] = "06.0E.2B.34.04.01.01.XX.04.02.02.";

enum class PictureSize { Descriptor, DVCProHD1080i50, DVCProHD1080i60, DVCProHD720 };

struct PictureCoding {
    const char* suffix;  // label bytes 11 to 15
    const char* name;    // "%@" takes the format tag
    uint32_t fourCC;
    PictureSize size = PictureSize::Descriptor;
};

// The picture codings in the order they are tried; the first whose label matches decides. The
// AVC-Intra classes and AVC-Intra 422 are told apart further below.
const PictureCoding kPictureCodings[] = {
    {"01.XX.XX.XX.XX", "Uncompressed", 0},
    {"02.01.01.XX.XX", "MPEG2 SD", fourCC("mp2v")},
    {"02.01.02.XX.XX", "MPEG IMX", fourCC("mp2v")},
    {"02.01.03.XX.XX", "XDCAM EX %@", fourCC("mp2v")},
    {"02.01.04.XX.XX", "XDCAM 422HD %@", fourCC("mp2v")},
    {"02.01.05.XX.XX", "HDV %@", fourCC("mp2v")},
    {"02.01.06.XX.XX", "MPEG2 HP@ML", fourCC("mp2v")},
    {"02.01.07.XX.XX", "MPEG2 HP@HL", fourCC("mp2v")},
    {"02.01.08.XX.XX", "MPEG HP@H14", fourCC("mp2v")},
    {"02.01.10.XX.XX", "MPEG1", fourCC("mp1v")},
    {"02.01.20.XX.XX", "MPEG4 Part2", fourCC("mp4v")},
    {"02.01.30.XX.XX", "H.264", fourCC("avc1")},
    {"02.01.31.XX.XX", "XAVC Long GOP", fourCC("xalg")},
    {"02.01.32.50.XX", "AVC-Intra 444", fourCC("aivx")},
    {"02.01.32.21.XX", "AVC-Intra 50", 0},
    {"02.01.32.31.XX", "AVC-Intra 100", 0},
    {"02.01.32.32.XX", "AVC-Intra 200", 0},
    {"02.01.32.30.01", "AVC-Intra 422", 0},
    {"02.01.32.XX.XX", "AVC-Intra 2k/4k", 0},
    {"02.02.01.02.XX", "DV PAL", fourCC("dvcp")},
    {"02.02.01.04.XX", "DV PAL", fourCC("dvcp")},
    {"02.02.01.01.XX", "DV NTSC", fourCC("dvc ")},
    {"02.02.01.03.XX", "DV NTSC", fourCC("dvc ")},
    {"02.02.02.02.XX", "DVCPro PAL", fourCC("dvpp")},
    {"02.02.02.01.XX", "DVCPro NTSC", fourCC("dvc ")},
    {"02.02.02.04.XX", "DVCPro50 PAL", fourCC("dv5p")},
    {"02.02.02.03.XX", "DVCPro50 NTSC", fourCC("dv5n")},
    {"02.02.02.06.XX", "DVCPro HD 1080i50", fourCC("dvh5"), PictureSize::DVCProHD1080i50},
    {"02.02.02.05.XX", "DVCPro HD 1080i60", fourCC("dvh6"), PictureSize::DVCProHD1080i60},
    {"02.02.02.08.XX", "DVCPro HD 720p50", fourCC("dvhq"), PictureSize::DVCProHD720},
    {"02.02.02.07.XX", "DVCPro HD 720p60", fourCC("dvhp"), PictureSize::DVCProHD720},
    {"02.71.XX.XX.XX", "DNxHD", fourCC("AVdn")},
};

struct SoundCoding {
    const char* suffix;
    const char* name;
    uint32_t fourCC;
};

const SoundCoding kSoundCodings[] = {
    {"01.XX.XX.XX.XX", "LPCM", fourCC("lpcm")},
    {"02.03.01.01.XX", "A-Law", fourCC("alaw")},
    {"02.03.01.10.XX", "DV-Audio", fourCC("lpcm")},
    {"02.03.02.01.XX", "AC3", fourCC("ac-3")},
    {"02.03.02.04.XX", "MPEG1-Layer1", fourCC(".mp1")},
    {"02.03.02.05.XX", "MPEG1-Layer2", fourCC(".mp2")},
    {"02.03.03.00.XX", "AAC", fourCC("aac ")},
};

// Four-character codes of the AVC-Intra classes by the label's last byte (the picture format).
struct IntraFormat {
    uint8_t lastByte;
    const char* codes[3];  // class 50, 100, 200
};

constexpr IntraFormat kIntraFormats[] = {
    {0x01, {"ai56", "ai16", "ai26"}}, {0x02, {"ai55", "ai15", "ai25"}},
    {0x03, {"ai53", "ai13", "ai23"}}, {0x04, {"ai52", "ai12", "ai22"}},
    {0x09, {"ai5q", "ai1q", "ai2q"}}, {0x08, {"ai5p", "ai1p", "ai2p"}},
};

uint32_t codeOf(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

const MXFIdentifier* labelOf(const MXFMetadataSet& desc, const char* property) {
    const MXFValue* value = desc.valueForKey(property);
    return value ? value->identifier() : nullptr;
}

bool labelMatches(const MXFIdentifier& label, const char* prefix, const char* suffix) {
    return label.matchesStringUL(std::string(prefix) + suffix);
}

// The column of kIntraFormats for the AVC-Intra classes 50, 100 and 200; -1 for other labels.
int intraClassColumn(const MXFIdentifier& label) {
    if (!labelMatches(label, kPictureCodingPrefix, "02.01.32.XX.XX")) return -1;
    switch (label.valueAtOffset(14)) {
        case 0x21:
            return 0;
        case 0x31:
            return 1;
        case 0x32:
            return 2;
        default:
            return -1;
    }
}

const PictureCoding* pictureCoding(const MXFMetadataSet& desc) {
    const MXFIdentifier* label = labelOf(desc, "PictureEssenceCoding");
    if (!label) return nullptr;
    for (const PictureCoding& coding : kPictureCodings)
        if (labelMatches(*label, kPictureCodingPrefix, coding.suffix)) return &coding;
    return nullptr;
}

const SoundCoding* soundCoding(const MXFMetadataSet& desc) {
    const MXFIdentifier* label = labelOf(desc, "SoundEssenceCompression");
    if (!label) return nullptr;
    for (const SoundCoding& coding : kSoundCodings)
        if (labelMatches(*label, kSoundCodingPrefix, coding.suffix)) return &coding;
    return nullptr;
}

// An unsigned property that fits 32 bits; 0 when absent.
uint32_t unsignedValue(const MXFMetadataSet& desc, const char* property) {
    const MXFValue* value = desc.valueForKey(property);
    const std::optional<int64_t> number = value ? value->integer() : std::nullopt;
    if (!number || *number < 0 || *number > int64_t(std::numeric_limits<uint32_t>::max())) return 0;
    return uint32_t(*number);
}

MXFRational rationalValue(const MXFMetadataSet& desc, const char* property) {
    const MXFValue* value = desc.valueForKey(property);
    return value && value->rational() ? *value->rational() : MXFRational{};
}

// The first non-zero of the properties.
uint32_t firstNonZero(const MXFMetadataSet& desc, std::initializer_list<const char*> properties) {
    for (const char* property : properties)
        if (const uint32_t value = unsignedValue(desc, property)) return value;
    return 0;
}

// Layouts whose heights count the lines of one field of two.
bool heightIsPerField(int32_t layout) {
    return layout == MXFFrameLayoutSeparateFields || layout == MXFFrameLayoutSegmentedFrame;
}

bool isInterlaced(int32_t layout) {
    return layout == MXFFrameLayoutSeparateFields || layout == MXFFrameLayoutMixedFields;
}

uint32_t frameHeight(uint32_t height, int32_t layout) {
    const uint64_t lines = heightIsPerField(layout) ? uint64_t(height) * 2 : height;
    return lines > std::numeric_limits<uint32_t>::max() ? 0 : uint32_t(lines);
}

}  // namespace

MXFMapping::MXFMapping(std::shared_ptr<const MXFMetadataSet> desc) : desc_(std::move(desc)) {
    if (!desc_) return;
    const int32_t kind = trackTypeOfDescriptor(*desc_);
    if (kind == MediaTrackTypeVideo) mapPicture();
    if (kind == MediaTrackTypeAudio) mapSound();
}

std::unique_ptr<MXFMapping> MXFMapping::mappingWithDescriptor(
    std::shared_ptr<const MXFMetadataSet> desc) {
    if (!desc) return nullptr;
    return std::make_unique<MXFMapping>(std::move(desc));
}

int32_t MXFMapping::trackTypeOfDescriptor(const MXFMetadataSet& desc) {
    switch (desc.kind()) {
        case 0x51:  // MPEG video
        case 0x28:  // CDCI
        case 0x29:  // RGBA
        case 0x5A:  // JPEG 2000
            return MediaTrackTypeVideo;
        case 0x47:  // AES3
        case 0x48:  // Wave
        case 0x42:  // generic sound
            return MediaTrackTypeAudio;
        default:
            return 0;
    }
}

void MXFMapping::mapPicture() {
    const MXFMetadataSet& desc = *desc_;
    if (const MXFValue* layout = desc.valueForKey("FrameLayout"))
        videoFrameLayout_ = int32_t(layout->integer().value_or(0));
    videoStoredWidth_ = unsignedValue(desc, "StoredWidth");
    videoStoredHeight_ = frameHeight(unsignedValue(desc, "StoredHeight"), videoFrameLayout_);
    videoDisplayWidth_ = firstNonZero(desc, {"DisplayWidth", "SampledWidth", "StoredWidth"});
    videoDisplayHeight_ = frameHeight(
        firstNonZero(desc, {"DisplayHeight", "SampledHeight", "StoredHeight"}), videoFrameLayout_);
    videoSize_ = {double(videoDisplayWidth_), double(videoDisplayHeight_)};

    const MXFRational rate = rationalValue(desc, "SampleRate");
    if (rate.numerator > 0 && rate.denominator > 0) {
        videoFrameDuration_ = CMTimeMake(rate.denominator, rate.numerator);
        videoFrameRate_ = rate.doubleValue();
        videoRoundedFrameRate_ = std::llround(videoFrameRate_);
        videoRoundedFieldRate_ =
            isInterlaced(videoFrameLayout_) ? 2 * videoRoundedFrameRate_ : videoRoundedFrameRate_;
        videoIsNTSC_ = std::round(videoFrameRate_ * 1000.0) ==
                       std::round(double(videoRoundedFrameRate_) * 999.0);
    }
    aspect_ = rationalValue(desc, "AspectRatio").doubleValue();

    const PictureCoding* coding = pictureCoding(desc);
    if (!coding) return;
    videoFourCC_ = coding->fourCC;
    const MXFIdentifier& label = *labelOf(desc, "PictureEssenceCoding");
    const uint8_t variant = uint8_t(label.valueAtOffset(13));
    const uint8_t lastByte = uint8_t(label.valueAtOffset(15));
    if (coding->fourCC == fourCC("AVdn") && variant != 0) avidResolutionID_ = 1234u + variant;
    if (const int column = intraClassColumn(label); column >= 0) {
        for (const IntraFormat& format : kIntraFormats)
            if (format.lastByte == lastByte) videoFourCC_ = codeOf(format.codes[column]);
    }
    switch (coding->size) {
        case PictureSize::DVCProHD1080i50:
            videoSize_ = {1440, 1080};
            break;
        case PictureSize::DVCProHD1080i60:
            videoSize_ = {1280, 1080};
            break;
        case PictureSize::DVCProHD720:
            videoSize_ = {960, 720};
            break;
        case PictureSize::Descriptor:
            break;
    }
}

void MXFMapping::mapSound() {
    const MXFMetadataSet& desc = *desc_;
    MXFAudioFormat& format = audioStreamBasicDescription_;
    format.sampleRate = rationalValue(desc, "AudioSamplingRate").doubleValue();
    format.channelsPerFrame = unsignedValue(desc, "ChannelCount");
    format.bitsPerChannel = unsignedValue(desc, "QuantisationBits");
    format.bytesPerFrame = unsignedValue(desc, "BlockAlign");
    const SoundCoding* coding = soundCoding(desc);
    format.formatID = coding ? coding->fourCC : fourCC("lpcm");
}

std::string MXFMapping::videoFormatName() const {
    const PictureCoding* coding = desc_ ? pictureCoding(*desc_) : nullptr;
    if (!coding) return "unkown";
    std::string name = coding->name;
    if (name == "AVC-Intra 422" && videoSize_.height > 1080) return "AVC-Intra 2k/4k";
    if (const size_t tag = name.find("%@"); tag != std::string::npos)
        name.replace(tag, 2, formatTag());
    return name;
}

std::string MXFMapping::frameLayoutString() const {
    switch (videoFrameLayout_) {
        case MXFFrameLayoutFullFrame:
            return "p";
        case MXFFrameLayoutSeparateFields:
            return "i";
        case MXFFrameLayoutOneField:
            return "sf";
        case MXFFrameLayoutMixedFields:
            return "mf";
        case MXFFrameLayoutSegmentedFrame:
            return "PsF";
        default:
            return "?";
    }
}

std::string MXFMapping::formatTag() const {
    return std::to_string(int64_t(videoSize_.height)) + frameLayoutString() +
           std::to_string(videoRoundedFieldRate_);
}

std::string MXFMapping::audioFormatName() const {
    const SoundCoding* coding = desc_ ? soundCoding(*desc_) : nullptr;
    return coding ? coding->name : "PCM";
}

}  // namespace vorlane
