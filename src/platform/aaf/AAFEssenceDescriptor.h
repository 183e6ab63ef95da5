// Essence descriptors, which say what a source mob stands for: a file's picture (CDCI: luma and
// colour-difference samples) and sound (PCM), both at once (multiple), or where the material came
// from (an imported file, a tape); and network locators, the URLs of the files.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/aaf/AAFDictionary.h"

namespace vorlane::aaf {

class AAFLocator : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Locator;
    using AAFObject::AAFObject;
};

class AAFNetworkLocator : public AAFLocator {
  public:
    static constexpr AUID kClassID = ClassID::NetworkLocator;
    using AAFLocator::AAFLocator;
    // The URL of the essence.
    AAFResult setPath(const std::string& url);
};

class AAFEssenceDescriptor : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::EssenceDescriptor;
    using AAFObject::AAFObject;
    AAFResult appendLocator(const std::shared_ptr<AAFLocator>& locator);
};

class AAFImportDescriptor : public AAFEssenceDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::ImportDescriptor;
    using AAFEssenceDescriptor::AAFEssenceDescriptor;
};

class AAFTapeDescriptor : public AAFEssenceDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::TapeDescriptor;
    using AAFEssenceDescriptor::AAFEssenceDescriptor;
};

class AAFFileDescriptor : public AAFEssenceDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::FileDescriptor;
    using AAFEssenceDescriptor::AAFEssenceDescriptor;
    AAFResult setSampleRate(const Rational& rate);
    // In samples of the sample rate.
    AAFResult setLength(int64_t length);
    AAFResult setContainerFormat(const AAFContainerDef& container);
};

// Frame layouts of a picture.
enum class FrameLayout : uint8_t {
    FullFrame = 0,
    SeparateFields = 1,
    OneField = 2,
    MixedFields = 3,
    SegmentedFrame = 4,
};

class AAFDigitalImageDescriptor : public AAFFileDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::DigitalImageDescriptor;
    using AAFFileDescriptor::AAFFileDescriptor;
    AAFResult setCompression(const AUID& compression);
    AAFResult setStoredView(uint32_t height, uint32_t width);
    AAFResult setSampledView(uint32_t height, uint32_t width, int32_t xOffset, int32_t yOffset);
    AAFResult setDisplayView(uint32_t height, uint32_t width, int32_t xOffset, int32_t yOffset);
    AAFResult setFrameLayout(FrameLayout layout);
    AAFResult setVideoLineMap(std::span<const int32_t> lines);
    AAFResult setImageAspectRatio(const Rational& ratio);
};

class AAFCDCIDescriptor : public AAFDigitalImageDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::CDCIDescriptor;
    using AAFDigitalImageDescriptor::AAFDigitalImageDescriptor;
    AAFResult setComponentWidth(uint32_t bits);
    AAFResult setHorizontalSubsampling(uint32_t factor);
    AAFResult setVerticalSubsampling(uint32_t factor);
};

class AAFSoundDescriptor : public AAFFileDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::SoundDescriptor;
    using AAFFileDescriptor::AAFFileDescriptor;
    AAFResult setAudioSamplingRate(const Rational& rate);
    AAFResult setChannelCount(uint32_t channels);
    AAFResult setQuantizationBits(uint32_t bits);
    // dB below full scale of the reference level, and the dial norm.
    AAFResult setAudioRefLevel(int8_t level);
    AAFResult setDialNorm(int8_t level);
};

class AAFPCMDescriptor : public AAFSoundDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::PCMDescriptor;
    using AAFSoundDescriptor::AAFSoundDescriptor;
    AAFResult setBlockAlign(uint16_t bytesPerFrame);
    AAFResult setAverageBPS(uint32_t bytesPerSecond);
};

class AAFMultipleDescriptor : public AAFFileDescriptor {
  public:
    static constexpr AUID kClassID = ClassID::MultipleDescriptor;
    explicit AAFMultipleDescriptor(std::shared_ptr<AAFClassDef> definition);
    AAFResult appendFileDescriptor(const std::shared_ptr<AAFFileDescriptor>& descriptor);
};

}  // namespace vorlane::aaf
