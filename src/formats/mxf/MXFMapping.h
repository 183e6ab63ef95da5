// What one essence descriptor of an MXF file says about its picture or sound in the terms of the
// media model: codec names and four-character codes from the coding labels, the picture size as
// displayed (heights of field-based layouts count both fields), rates, the frame layout and the
// audio format. The Avid resolution ID of DNxHD follows from the variant byte of its coding label.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "formats/mxf/MXFMetadataSet.h"
#include "formats/mxf/MXFRational.h"
#include "media/MediaTypes.h"
#include "platform/CMTime.h"

namespace vorlane {

// The sound format of a descriptor (what a platform audio format description holds).
struct MXFAudioFormat {
    double sampleRate = 0.0;
    uint32_t formatID = 0;  // the four-character code
    uint32_t bytesPerFrame = 0;
    uint32_t channelsPerFrame = 0;
    uint32_t bitsPerChannel = 0;
};

// Frame layouts of picture descriptors.
enum MXFFrameLayout : uint8_t {
    MXFFrameLayoutFullFrame = 0,
    MXFFrameLayoutSeparateFields = 1,
    MXFFrameLayoutOneField = 2,
    MXFFrameLayoutMixedFields = 3,
    MXFFrameLayoutSegmentedFrame = 4,
};

class MXFMapping {
  public:
    // initWithEssenceDescription: on one descriptor set.
    explicit MXFMapping(std::shared_ptr<const MXFMetadataSet> desc);
    static std::unique_ptr<MXFMapping> mappingWithDescriptor(
        std::shared_ptr<const MXFMetadataSet> desc);

    // 1 for picture descriptors (MPEG, CDCI, RGBA, JPEG 2000), 2 for sound descriptors (AES3,
    // Wave, generic sound), 0 for others.
    static int32_t trackTypeOfDescriptor(const MXFMetadataSet& desc);

    const std::shared_ptr<const MXFMetadataSet>& desc() const { return desc_; }

    // Picture.
    std::string videoFormatName() const;
    uint32_t videoFourCC() const { return videoFourCC_; }
    // 1234 + the variant byte of a DNxHD coding label; 0 for other codings.
    uint32_t avidResolutionID() const { return avidResolutionID_; }
    // The picture as displayed, in frame lines (the stored raster for DVCPro HD).
    MediaSize videoSize() const { return videoSize_; }
    uint32_t videoStoredWidth() const { return videoStoredWidth_; }
    uint32_t videoStoredHeight() const { return videoStoredHeight_; }
    uint32_t videoDisplayWidth() const { return videoDisplayWidth_; }
    uint32_t videoDisplayHeight() const { return videoDisplayHeight_; }
    // One edit unit of the descriptor's sample rate; invalid without a usable rate.
    CMTime videoFrameDuration() const { return videoFrameDuration_; }
    double videoFrameRate() const { return videoFrameRate_; }
    int64_t videoRoundedFrameRate() const { return videoRoundedFrameRate_; }
    // Fields per second of interlaced layouts, else frames per second.
    int64_t videoRoundedFieldRate() const { return videoRoundedFieldRate_; }
    bool videoIsNTSC() const { return videoIsNTSC_; }
    int32_t videoFrameLayout() const { return videoFrameLayout_; }
    double aspect() const { return aspect_; }
    // "p", "i", "sf", "mf", "PsF"; "?" for other layouts.
    std::string frameLayoutString() const;
    // Display height, layout and rounded field rate: "1080i50".
    std::string formatTag() const;

    // Sound.
    std::string audioFormatName() const;
    uint32_t audioFourCC() const { return audioStreamBasicDescription_.formatID; }
    const MXFAudioFormat& audioStreamBasicDescription() const {
        return audioStreamBasicDescription_;
    }

  private:
    void mapPicture();
    void mapSound();

    std::shared_ptr<const MXFMetadataSet> desc_;
    uint32_t videoFourCC_ = 0;
    uint32_t avidResolutionID_ = 0;
    MediaSize videoSize_;
    uint32_t videoStoredWidth_ = 0;
    uint32_t videoStoredHeight_ = 0;
    uint32_t videoDisplayWidth_ = 0;
    uint32_t videoDisplayHeight_ = 0;
    CMTime videoFrameDuration_ = kCMTimeInvalid;
    double videoFrameRate_ = 0.0;
    int64_t videoRoundedFrameRate_ = 0;
    int64_t videoRoundedFieldRate_ = 0;
    bool videoIsNTSC_ = false;
    int32_t videoFrameLayout_ = MXFFrameLayoutFullFrame;
    double aspect_ = 0.0;
    MXFAudioFormat audioStreamBasicDescription_;
};

}  // namespace vorlane
