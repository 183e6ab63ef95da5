#include "formats/asset/AVCCExtractor.h"

#include <algorithm>

#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

constexpr uint8_t kNALTypeSPS = 7;
constexpr uint8_t kNALTypePPS = 8;
// Bytes before the sequence parameter set in a record: version, profile, compatibility, level,
// NAL length size, SPS count, SPS length.
constexpr size_t kRecordHeaderSize = 8;

// Reads bits most significant first from an RBSP; reading past the end marks the reader failed
// and yields zeros from then on.
class BitReader {
  public:
    explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool failed() const { return failed_; }

    uint32_t bits(unsigned count) {
        uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i)
            value = value << 1 | bit();
        return value;
    }
    bool flag() { return bit() != 0; }

    // Exp-Golomb ue(v); values beyond 32 bits fail.
    uint32_t ue() {
        unsigned leadingZeros = 0;
        while (!failed_ && bit() == 0) {
            if (++leadingZeros > 31) {
                failed_ = true;
                return 0;
            }
        }
        if (failed_) return 0;
        return uint32_t((uint64_t(1) << leadingZeros) - 1 + bits(leadingZeros));
    }
    int64_t se() {
        const uint32_t code = ue();
        const int64_t magnitude = (int64_t(code) + 1) / 2;
        return code % 2 ? magnitude : -magnitude;
    }

  private:
    uint32_t bit() {
        if (position_ >= bytes_.size() * 8) {
            failed_ = true;
            return 0;
        }
        const uint8_t byte = bytes_[position_ / 8];
        const uint32_t value = (byte >> (7 - position_ % 8)) & 1;
        ++position_;
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool failed_ = false;
};

bool hasChromaFormatFields(uint8_t profileIdc) {
    switch (profileIdc) {
        case 100:
        case 110:
        case 122:
        case 244:
        case 44:
        case 83:
        case 86:
        case 118:
        case 128:
        case 138:
        case 139:
        case 134:
        case 135:
            return true;
        default:
            return false;
    }
}

void skipScalingList(BitReader& reader, unsigned size) {
    int64_t lastScale = 8;
    int64_t nextScale = 8;
    for (unsigned j = 0; j < size && !reader.failed(); ++j) {
        // delta_scale is meant to lie in -128..127; any value wraps the same way.
        if (nextScale != 0) nextScale = ((lastScale + reader.se()) % 256 + 256) % 256;
        if (nextScale != 0) lastScale = nextScale;
    }
}

void readChromaFormat(BitReader& reader, H264SequenceParameters& sps) {
    sps.chromaFormatIdc = reader.ue();
    if (sps.chromaFormatIdc == 3) reader.flag();  // separate_colour_plane_flag
    sps.bitDepthLuma = reader.ue() + 8;
    sps.bitDepthChroma = reader.ue() + 8;
    reader.flag();               // qpprime_y_zero_transform_bypass_flag
    if (!reader.flag()) return;  // seq_scaling_matrix_present_flag
    const unsigned lists = sps.chromaFormatIdc == 3 ? 12 : 8;
    for (unsigned i = 0; i < lists && !reader.failed(); ++i) {
        if (reader.flag()) skipScalingList(reader, i < 6 ? 16 : 64);
    }
}

void skipPictureOrderCount(BitReader& reader) {
    const uint32_t type = reader.ue();
    if (type == 0) {
        reader.ue();  // log2_max_pic_order_cnt_lsb_minus4
    } else if (type == 1) {
        reader.flag();  // delta_pic_order_always_zero_flag
        reader.se();    // offset_for_non_ref_pic
        reader.se();    // offset_for_top_to_bottom_field
        const uint32_t cycle = reader.ue();
        for (uint32_t i = 0; i < cycle && !reader.failed(); ++i)
            reader.se();
    }
}

void readVUITiming(BitReader& reader, H264SequenceParameters& sps) {
    if (reader.flag()) {                             // aspect_ratio_info_present_flag
        if (reader.bits(8) == 255) reader.bits(32);  // Extended_SAR: sar_width, sar_height
    }
    if (reader.flag()) reader.flag();  // overscan_info_present_flag, overscan_appropriate_flag
    if (reader.flag()) {               // video_signal_type_present_flag
        reader.bits(4);                // video_format, video_full_range_flag
        if (reader.flag()) reader.bits(24);  // colour primaries, transfer, matrix
    }
    if (reader.flag()) {  // chroma_loc_info_present_flag
        reader.ue();
        reader.ue();
    }
    sps.timingInfoPresent = reader.flag();
    if (!sps.timingInfoPresent) return;
    sps.numUnitsInTick = reader.bits(32);
    sps.timeScale = reader.bits(32);
    sps.fixedFrameRate = reader.flag();
}

// Crop units of the chroma format (ITU-T H.264 Table 6-1 and equations 7-19 to 7-22).
uint32_t cropUnitX(const H264SequenceParameters& sps) {
    return sps.chromaFormatIdc == 1 || sps.chromaFormatIdc == 2 ? 2 : 1;
}
uint32_t cropUnitY(const H264SequenceParameters& sps) {
    const uint32_t subHeight = sps.chromaFormatIdc == 1 ? 2 : 1;
    return subHeight * (sps.frameMbsOnly ? 1 : 2);
}

uint32_t croppedSize(uint64_t coded, uint64_t cropUnits, uint64_t unit) {
    const uint64_t crop = cropUnits * unit;
    return crop < coded && coded <= UINT32_MAX ? uint32_t(coded - crop) : 0;
}

std::optional<std::span<const uint8_t>> firstUnitOfType(
    const std::vector<std::span<const uint8_t>>& units, uint8_t type) {
    for (const auto& unit : units)
        if (!unit.empty() && (unit[0] & 0x1f) == type) return unit;
    return std::nullopt;
}

}  // namespace

std::vector<std::span<const uint8_t>> annexBNALUnits(std::span<const uint8_t> stream) {
    std::vector<std::span<const uint8_t>> units;
    const size_t size = stream.size();
    size_t unitStart = SIZE_MAX;
    size_t i = 0;
    while (i + 3 <= size) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            if (unitStart != SIZE_MAX) {
                size_t end = i;
                while (end > unitStart && stream[end - 1] == 0)
                    --end;
                if (end > unitStart) units.push_back(stream.subspan(unitStart, end - unitStart));
            }
            i += 3;
            unitStart = i;
        } else {
            ++i;
        }
    }
    if (unitStart != SIZE_MAX && unitStart < size) {
        size_t end = size;
        while (end > unitStart && stream[end - 1] == 0)
            --end;
        if (end > unitStart) units.push_back(stream.subspan(unitStart, end - unitStart));
    }
    return units;
}

std::vector<uint8_t> rbspOfNALUnit(std::span<const uint8_t> nalUnit) {
    std::vector<uint8_t> rbsp;
    rbsp.reserve(nalUnit.size());
    int zeros = 0;
    for (const uint8_t byte : nalUnit) {
        if (zeros >= 2 && byte == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        rbsp.push_back(byte);
    }
    return rbsp;
}

uint32_t H264SequenceParameters::width() const {
    const uint64_t coded = (uint64_t(picWidthInMbsMinus1) + 1) * 16;
    return croppedSize(coded, uint64_t(cropLeft) + cropRight, cropUnitX(*this));
}

uint32_t H264SequenceParameters::height() const {
    const uint64_t coded = (uint64_t(picHeightInMapUnitsMinus1) + 1) * 16 * (frameMbsOnly ? 1 : 2);
    return croppedSize(coded, uint64_t(cropTop) + cropBottom, cropUnitY(*this));
}

double H264SequenceParameters::frameRate() const {
    if (!timingInfoPresent || numUnitsInTick == 0) return 0.0;
    return double(timeScale) / (2.0 * double(numUnitsInTick));
}

std::optional<H264SequenceParameters> parseSequenceParameterSet(std::span<const uint8_t> nalUnit) {
    if (nalUnit.empty() || (nalUnit[0] & 0x1f) != kNALTypeSPS) return std::nullopt;
    const std::vector<uint8_t> rbsp = rbspOfNALUnit(nalUnit.subspan(1));
    BitReader reader(rbsp);
    H264SequenceParameters sps;
    sps.profileIdc = uint8_t(reader.bits(8));
    sps.constraintFlags = uint8_t(reader.bits(8));
    sps.levelIdc = uint8_t(reader.bits(8));
    reader.ue();  // seq_parameter_set_id
    if (hasChromaFormatFields(sps.profileIdc)) readChromaFormat(reader, sps);
    reader.ue();  // log2_max_frame_num_minus4
    skipPictureOrderCount(reader);
    reader.ue();    // max_num_ref_frames
    reader.flag();  // gaps_in_frame_num_value_allowed_flag
    sps.picWidthInMbsMinus1 = reader.ue();
    sps.picHeightInMapUnitsMinus1 = reader.ue();
    sps.frameMbsOnly = reader.flag();
    if (!sps.frameMbsOnly) reader.flag();  // mb_adaptive_frame_field_flag
    reader.flag();                         // direct_8x8_inference_flag
    if (reader.flag()) {                   // frame_cropping_flag
        sps.cropLeft = reader.ue();
        sps.cropRight = reader.ue();
        sps.cropTop = reader.ue();
        sps.cropBottom = reader.ue();
    }
    if (reader.flag()) readVUITiming(reader, sps);  // vui_parameters_present_flag
    if (reader.failed()) return std::nullopt;
    return sps;
}

AVCCExtractor::AVCCExtractor(MetadataBytes avccData, std::shared_ptr<MediaTrack> track)
    : avccData_(std::move(avccData)), track_(std::move(track)) {
    const MetadataBytes& data = avccData_;
    if (data.size() < kRecordHeaderSize) return;
    h264Profile_ = data[1];
    h264Level_ = data[3];
    spsLength_ = readBE16(data.data() + 6);
    const size_t ppsCountAt = kRecordHeaderSize + spsLength_;
    if (data.size() < ppsCountAt + 3) return;
    ppsLength_ = readBE16(data.data() + ppsCountAt + 1);
    valid_ = spsLength_ > 0 && ppsLength_ > 0 && data.size() >= ppsCountAt + 3 + ppsLength_;
}

std::optional<MetadataBytes> AVCCExtractor::avcCDataWithAnnexB(std::span<const uint8_t> stream) {
    const auto units = annexBNALUnits(stream);
    const auto sps = firstUnitOfType(units, kNALTypeSPS);
    const auto pps = firstUnitOfType(units, kNALTypePPS);
    if (!sps || !pps || sps->size() < 4 || sps->size() > 0xffff || pps->size() > 0xffff) {
        return std::nullopt;
    }
    MetadataBytes record = {0x01, (*sps)[1], (*sps)[2], (*sps)[3], 0xff, 0xe1, 0, 0};
    writeBE16(record.data() + 6, uint16_t(sps->size()));
    record.insert(record.end(), sps->begin(), sps->end());
    record.push_back(0x01);
    record.push_back(uint8_t(pps->size() >> 8));
    record.push_back(uint8_t(pps->size()));
    record.insert(record.end(), pps->begin(), pps->end());
    return record;
}

std::span<const uint8_t> AVCCExtractor::sequenceParameterSet() const {
    if (!valid_) return {};
    return std::span(avccData_).subspan(kRecordHeaderSize, spsLength_);
}

std::span<const uint8_t> AVCCExtractor::pictureParameterSet() const {
    if (!valid_) return {};
    return std::span(avccData_).subspan(kRecordHeaderSize + spsLength_ + 3, ppsLength_);
}

bool AVCCExtractor::parseSPS() {
    parsedData_ = parseSequenceParameterSet(sequenceParameterSet());
    return parsedData_.has_value();
}

void AVCCExtractor::extractVideoSizeAndFrameRate() {
    if (!track_ || (!parsedData_ && !parseSPS())) return;
    const uint32_t width = parsedData_->width();
    const uint32_t height = parsedData_->height();
    if (width >= 1 && height >= 1) track_->setVideoSize({double(width), double(height)});
    const double rate = parsedData_->frameRate();
    if (rate > 0 && parsedData_->fixedFrameRate) track_->setVideoFrameRate(rate);
}

void AVCCExtractor::extractH264ProfileAndLevel() {
    if (!track_ || avccData_.size() < kRecordHeaderSize) return;
    track_->metaData()[kVideoH264Profile] = MetadataValue(int64_t(h264Profile_));
    track_->metaData()[kVideoH264Level] = MetadataValue(int64_t(h264Level_));
}

}  // namespace vorlane
