#include "platform/media/FormatDescriptions.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

constexpr uint32_t kTimecodeTag = MKTAG('t', 'm', 'c', 'd');
// Speaker positions that FFmpeg numbers like the WAVE channel mask.
constexpr uint64_t kWaveChannelMaskBits = (1ull << 18) - 1;

// A linear PCM codec as FFmpeg names it: pcm_<s|u|f><bits>[le|be].
struct LinearPCM {
    char kind = 0;
    uint32_t bits = 0;
    bool bigEndian = false;
};

std::optional<LinearPCM> linearPCM(AVCodecID codecID) {
    const std::string name = avcodec_get_name(codecID);
    if (name.size() < 6 || name.compare(0, 4, "pcm_") != 0) return std::nullopt;
    LinearPCM pcm;
    pcm.kind = name[4];
    if (pcm.kind != 's' && pcm.kind != 'u' && pcm.kind != 'f') return std::nullopt;
    size_t at = 5;
    while (at < name.size() && at < 8 && name[at] >= '0' && name[at] <= '9')
        pcm.bits = pcm.bits * 10 + uint32_t(name[at++] - '0');
    const std::string rest = name.substr(at);
    if (pcm.bits == 0 || pcm.bits % 8 != 0) return std::nullopt;
    if (rest == "be") {
        pcm.bigEndian = true;
    } else if (!(rest == "le" || (rest.empty() && pcm.bits == 8))) {
        return std::nullopt;  // planar, packed-in-words and other special layouts
    }
    return pcm;
}

uint32_t videoSubType(const AVCodecParameters* codec) {
    switch (codec->codec_id) {
        case AV_CODEC_ID_H264:
            return fourCC("avc1");
        case AV_CODEC_ID_HEVC:
            return fourCC("hvc1");
        case AV_CODEC_ID_MPEG4:
            return fourCC("mp4v");
        case AV_CODEC_ID_MPEG2VIDEO:
            return fourCC("mp2v");
        case AV_CODEC_ID_MPEG1VIDEO:
            return fourCC("mp1v");
        case AV_CODEC_ID_MJPEG:
            return fourCC("jpeg");
        case AV_CODEC_ID_DNXHD:
            return fourCC("AVdn");
        case AV_CODEC_ID_DVVIDEO:
            return fourCC("dvc ");
        case AV_CODEC_ID_PNG:
            return fourCC("png ");
        case AV_CODEC_ID_V210:
            return fourCC("v210");
        case AV_CODEC_ID_AV1:
            return fourCC("av01");
        case AV_CODEC_ID_VP9:
            return fourCC("vp09");
        case AV_CODEC_ID_JPEG2000:
            return fourCC("mjp2");
        case AV_CODEC_ID_H263:
            return fourCC("h263");
        case AV_CODEC_ID_PRORES:
            switch (codec->profile) {
                case FF_PROFILE_PRORES_PROXY:
                    return fourCC("apco");
                case FF_PROFILE_PRORES_LT:
                    return fourCC("apcs");
                case FF_PROFILE_PRORES_HQ:
                    return fourCC("apch");
                case FF_PROFILE_PRORES_4444:
                    return fourCC("ap4h");
                case FF_PROFILE_PRORES_XQ:
                    return fourCC("ap4x");
                default:
                    return fourCC("apcn");
            }
        default:
            return 0;
    }
}

uint32_t compressedAudioSubType(AVCodecID codecID) {
    switch (codecID) {
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_AAC_LATM:
            return fourCC("aac ");
        case AV_CODEC_ID_MP3:
            return fourCC(".mp3");
        case AV_CODEC_ID_MP2:
            return fourCC(".mp2");
        case AV_CODEC_ID_MP1:
            return fourCC(".mp1");
        case AV_CODEC_ID_AC3:
            return fourCC("ac-3");
        case AV_CODEC_ID_EAC3:
            return fourCC("ec-3");
        case AV_CODEC_ID_ALAC:
            return fourCC("alac");
        case AV_CODEC_ID_FLAC:
            return fourCC("flac");
        case AV_CODEC_ID_OPUS:
            return fourCC("opus");
        case AV_CODEC_ID_PCM_MULAW:
            return fourCC("ulaw");
        case AV_CODEC_ID_PCM_ALAW:
            return fourCC("alaw");
        case AV_CODEC_ID_ADPCM_IMA_QT:
            return fourCC("ima4");
        case AV_CODEC_ID_AMR_NB:
            return fourCC("samr");
        default:
            return 0;
    }
}

// The QuickTime sample description code of a linear PCM layout.
uint32_t quickTimePCMCode(const LinearPCM& pcm) {
    if (pcm.kind == 'f') return pcm.bits == 64 ? fourCC("fl64") : fourCC("fl32");
    if (pcm.kind == 'u') return fourCC("raw ");
    switch (pcm.bits) {
        case 8:
            return fourCC("twos");
        case 16:
            return pcm.bigEndian ? fourCC("twos") : fourCC("sowt");
        case 24:
            return fourCC("in24");
        case 32:
            return fourCC("in32");
        default:
            return fourCC("lpcm");
    }
}

std::optional<int32_t> fieldCountOf(AVFieldOrder order) {
    switch (order) {
        case AV_FIELD_PROGRESSIVE:
            return 1;
        case AV_FIELD_TT:
        case AV_FIELD_BB:
        case AV_FIELD_TB:
        case AV_FIELD_BT:
            return 2;
        default:
            return std::nullopt;
    }
}

// Extradata made of whole atoms (size, type, payload), as the QuickTime demuxer keeps the
// extension atoms of DNxHD sample descriptions; nothing unless every byte belongs to an atom.
std::optional<std::map<std::string, std::vector<uint8_t>>> atomsOf(const uint8_t* data,
                                                                   size_t size) {
    std::map<std::string, std::vector<uint8_t>> atoms;
    size_t at = 0;
    while (at < size) {
        if (size - at < 8) return std::nullopt;
        const uint32_t atomSize = readBE32(data + at);
        if (atomSize < 8 || atomSize > size - at) return std::nullopt;
        const std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
        atoms.emplace(type, std::vector<uint8_t>(data + at + 8, data + at + atomSize));
        at += atomSize;
    }
    if (atoms.empty()) return std::nullopt;
    return atoms;
}

std::map<std::string, std::vector<uint8_t>> extensionAtomsOf(const AVCodecParameters* codec,
                                                             bool quickTimeContainer) {
    const uint8_t* data = codec->extradata;
    const auto size = size_t(std::max(codec->extradata_size, 0));
    if (!data || size == 0) return {};
    // avcC and hvcC records open with configuration version 1; other extradata (Annex B
    // parameter sets in transport streams) is no sample description atom.
    if (codec->codec_id == AV_CODEC_ID_H264 && size >= 7 && data[0] == 1) {
        return {{"avcC", std::vector<uint8_t>(data, data + size)}};
    }
    if (codec->codec_id == AV_CODEC_ID_HEVC && size >= 23 && data[0] == 1) {
        return {{"hvcC", std::vector<uint8_t>(data, data + size)}};
    }
    if (quickTimeContainer &&
        (codec->codec_id == AV_CODEC_ID_DNXHD || codec->codec_id == AV_CODEC_ID_AVUI)) {
        if (auto atoms = atomsOf(data, size)) return *atoms;
    }
    return {};
}

AudioStreamBasicDescription audioDescriptionOf(const AVCodecParameters* codec, uint32_t subType) {
    AudioStreamBasicDescription audio;
    audio.sampleRate = codec->sample_rate;
    audio.formatID = subType;
    audio.channelsPerFrame = uint32_t(std::max(codec->ch_layout.nb_channels, 0));
    if (const auto pcm = linearPCM(codec->codec_id)) {
        audio.formatFlags = kAudioFormatFlagIsPacked;
        if (pcm->kind == 'f') audio.formatFlags |= kAudioFormatFlagIsFloat;
        if (pcm->kind == 's') audio.formatFlags |= kAudioFormatFlagIsSignedInteger;
        if (pcm->bigEndian) audio.formatFlags |= kAudioFormatFlagIsBigEndian;
        audio.bitsPerChannel = pcm->bits;
        audio.bytesPerFrame = audio.channelsPerFrame * (pcm->bits / 8);
        audio.bytesPerPacket = audio.bytesPerFrame;
        audio.framesPerPacket = 1;
    } else {
        audio.framesPerPacket = uint32_t(std::max(codec->frame_size, 0));
        // Raw AC-3 streams leave the frame size open; the format fixes it.
        if (audio.framesPerPacket == 0 &&
            (codec->codec_id == AV_CODEC_ID_AC3 || codec->codec_id == AV_CODEC_ID_EAC3)) {
            audio.framesPerPacket = 1536;
        }
    }
    return audio;
}

std::string formatNameOf(const AVStream* stream) {
    const AVDictionaryEntry* compressor = av_dict_get(stream->metadata, "encoder", nullptr, 0);
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && compressor &&
        compressor->value[0] != '\0') {
        return compressor->value;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    return descriptor && descriptor->long_name ? descriptor->long_name : "";
}

}  // namespace

uint32_t fourCCOfCodecTag(uint32_t codecTag) {
    return (codecTag & 0xff) << 24 | (codecTag & 0xff00) << 8 | (codecTag >> 8 & 0xff00) |
           codecTag >> 24;
}

AssetMediaType mediaTypeOfStream(const AVStream* stream) {
    switch (stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            return AssetMediaType::Video;
        case AVMEDIA_TYPE_AUDIO:
            return AssetMediaType::Audio;
        case AVMEDIA_TYPE_SUBTITLE:
            return AssetMediaType::Subtitle;
        case AVMEDIA_TYPE_DATA:
            return stream->codecpar->codec_tag == kTimecodeTag ? AssetMediaType::Timecode
                                                               : AssetMediaType::Data;
        default:
            return AssetMediaType::Data;
    }
}

std::optional<FormatDescription> describeStream(const AVStream* stream, bool quickTimeContainer) {
    const AVCodecParameters* codec = stream->codecpar;
    const uint32_t containerCode =
        quickTimeContainer ? fourCCOfCodecTag(codec->codec_tag) : uint32_t(0);
    if (codec->codec_id == AV_CODEC_ID_NONE && containerCode == 0) return std::nullopt;

    FormatDescription description;
    description.mediaType = mediaTypeOfStream(stream);
    description.formatName = formatNameOf(stream);
    description.profile = codec->profile;
    description.level = codec->level;
    switch (description.mediaType) {
        case AssetMediaType::Video: {
            const uint32_t libraryCode = videoSubType(codec);
            description.mediaSubType = containerCode ? containerCode : libraryCode;
            description.codecTag = description.mediaSubType;
            description.width = codec->width;
            description.height = codec->height;
            description.fieldCount = fieldCountOf(codec->field_order);
            description.extensionAtoms = extensionAtomsOf(codec, quickTimeContainer);
            break;
        }
        case AssetMediaType::Audio: {
            const auto pcm = linearPCM(codec->codec_id);
            const uint32_t libraryCode =
                pcm ? fourCC("lpcm") : compressedAudioSubType(codec->codec_id);
            description.mediaSubType = libraryCode ? libraryCode : containerCode;
            if (containerCode) {
                description.codecTag = containerCode;
            } else if (pcm) {
                description.codecTag = quickTimePCMCode(*pcm);
            } else if (codec->codec_id == AV_CODEC_ID_AAC) {
                description.codecTag = fourCC("mp4a");
            } else {
                description.codecTag = description.mediaSubType;
            }
            description.audio = audioDescriptionOf(codec, description.mediaSubType);
            if (codec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE) {
                description.channelLayoutMask = codec->ch_layout.u.mask & kWaveChannelMaskBits;
            }
            break;
        }
        case AssetMediaType::Timecode:
            description.mediaSubType = fourCC("tmcd");
            description.codecTag = description.mediaSubType;
            description.timecode = describeTimecode(stream);
            break;
        default:
            description.mediaSubType = containerCode;
            description.codecTag = containerCode;
            break;
    }
    return description;
}

TimecodeFormatDescription describeTimecode(const AVStream* stream) {
    TimecodeFormatDescription timecode;
    const uint8_t* data = stream->codecpar->extradata;
    const auto size = size_t(std::max(stream->codecpar->extradata_size, 0));
    if (data && size >= 17) {
        timecode.timecodeFlags = readBE32(data + 4);
        const uint32_t timescale = readBE32(data + 8);
        const uint32_t frameDuration = readBE32(data + 12);
        if (timescale > 0 && timescale <= uint32_t(std::numeric_limits<int32_t>::max()) &&
            frameDuration > 0) {
            timecode.frameDuration = CMTimeMake(frameDuration, int32_t(timescale));
        }
        timecode.frameQuanta = data[16];
        // Optional 'name' atom: size, type, text length, language, text.
        if (size >= 30 && std::memcmp(data + 22, "name", 4) == 0) {
            const size_t atomSize = readBE32(data + 18);
            const size_t textLength = readBE16(data + 26);
            const size_t available = std::min(size - 30, atomSize >= 12 ? atomSize - 12 : 0);
            const auto* text = reinterpret_cast<const char*>(data + 30);
            timecode.sourceReferenceName.assign(text, std::min(textLength, available));
        }
    } else {
        const AVRational rate = stream->avg_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
            timecode.frameDuration = CMTimeMake(rate.den, rate.num);
            timecode.frameQuanta = uint32_t(std::lround(av_q2d(rate)));
        }
    }
    if (timecode.sourceReferenceName.empty()) {
        if (const AVDictionaryEntry* reel =
                av_dict_get(stream->metadata, "reel_name", nullptr, 0)) {
            timecode.sourceReferenceName = reel->value;
        }
    }
    const auto end = timecode.sourceReferenceName.find('\0');
    if (end != std::string::npos) timecode.sourceReferenceName.resize(end);
    return timecode;
}

}  // namespace vorlane
