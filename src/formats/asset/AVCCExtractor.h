// H.264 parameter sets: the AVC decoder configuration record ('avcC', ISO/IEC 14496-15) that
// MPEG-4 sample descriptions carry and that transport-stream readers build from the stream's
// own parameter sets, and the sequence parameter set inside it (ITU-T H.264 7.3.2.1.1 with the
// VUI of Annex E.1.1 up to the timing information). The extractor writes what it finds onto the
// video track it describes: profile and level as track metadata, picture size and frame rate.
//
// Every read is bounds-checked; a record or parameter set that ends early yields nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/MetadataValue.h"

namespace vorlane {

class MediaTrack;

// The NAL units of an Annex B byte stream (start codes 00 00 01 and 00 00 00 01), each without
// its start code and without the zero bytes that pad it before the next start code. Bytes before
// the first start code belong to no unit.
std::vector<std::span<const uint8_t>> annexBNALUnits(std::span<const uint8_t> stream);

// The payload of a NAL unit with the emulation prevention bytes removed (every 0x03 that
// follows two zero bytes).
std::vector<uint8_t> rbspOfNALUnit(std::span<const uint8_t> nalUnit);

// The fields of a sequence parameter set that the readers use.
struct H264SequenceParameters {
    uint8_t profileIdc = 0;
    uint8_t constraintFlags = 0;
    uint8_t levelIdc = 0;
    uint32_t chromaFormatIdc = 1;  // 0 monochrome, 1 4:2:0, 2 4:2:2, 3 4:4:4
    uint32_t bitDepthLuma = 8;
    uint32_t bitDepthChroma = 8;
    uint32_t picWidthInMbsMinus1 = 0;
    uint32_t picHeightInMapUnitsMinus1 = 0;
    bool frameMbsOnly = true;
    uint32_t cropLeft = 0;
    uint32_t cropRight = 0;
    uint32_t cropTop = 0;
    uint32_t cropBottom = 0;
    bool timingInfoPresent = false;
    uint32_t numUnitsInTick = 0;
    uint32_t timeScale = 0;
    bool fixedFrameRate = false;

    // The picture after cropping, in pixels; 0 when the cropping exceeds the coded picture.
    uint32_t width() const;
    uint32_t height() const;
    // time_scale ÷ (2 × num_units_in_tick); 0 without timing information.
    double frameRate() const;
};

// Decodes a sequence parameter set NAL unit (header byte included, emulation prevention bytes
// still in place); nothing when it is not one or ends early.
std::optional<H264SequenceParameters> parseSequenceParameterSet(std::span<const uint8_t> nalUnit);

class AVCCExtractor {
  public:
    // The record of the track (initWithData:forMediaFile:). A record too short to hold its
    // parameter sets is kept but describes nothing.
    AVCCExtractor(MetadataBytes avccData, std::shared_ptr<MediaTrack> track);

    // A record built from the first sequence and picture parameter sets of an Annex B stream:
    // version 1, the SPS's profile, compatibility and level bytes, 4-byte NAL lengths, one SPS
    // and one PPS. Nothing unless both are present and the SPS holds at least its header.
    static std::optional<MetadataBytes> avcCDataWithAnnexB(std::span<const uint8_t> stream);

    const MetadataBytes& avccData() const { return avccData_; }
    // Whether the record holds a complete SPS and PPS.
    bool isValid() const { return valid_; }
    uint8_t h264Profile() const { return h264Profile_; }
    uint8_t h264Level() const { return h264Level_; }
    uint16_t spsLength() const { return spsLength_; }
    uint16_t ppsLength() const { return ppsLength_; }
    std::span<const uint8_t> sequenceParameterSet() const;
    std::span<const uint8_t> pictureParameterSet() const;
    const std::optional<H264SequenceParameters>& parsedData() const { return parsedData_; }

    // Decodes the SPS into parsedData(); false when it cannot be read.
    bool parseSPS();
    // Sets the track's picture size (when both sides are at least 1) and frame rate (when the
    // stream declares a fixed rate above 0), parsing the SPS first when needed.
    void extractVideoSizeAndFrameRate();
    // Track metadata "VideoH264Profile" and "VideoH264Level" from the record's bytes 1 and 3.
    void extractH264ProfileAndLevel();

  private:
    MetadataBytes avccData_;
    std::shared_ptr<MediaTrack> track_;
    bool valid_ = false;
    uint8_t h264Profile_ = 0;
    uint8_t h264Level_ = 0;
    uint16_t spsLength_ = 0;
    uint16_t ppsLength_ = 0;
    std::optional<H264SequenceParameters> parsedData_;
};

}  // namespace vorlane
