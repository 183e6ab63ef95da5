#include "platform/aaf/AAFEssenceDescriptor.h"

namespace vorlane::aaf {

using StoredFormat::encodeAUID;
using StoredFormat::encodeInteger;
using StoredFormat::encodeRational;

AAFResult AAFNetworkLocator::setPath(const std::string& url) {
    return setValue(Pid::NetworkLocatorURLString, StoredFormat::encodeString(url));
}

AAFResult AAFEssenceDescriptor::appendLocator(const std::shared_ptr<AAFLocator>& locator) {
    return appendStrongReference(Pid::EssenceDescriptorLocator, locator);
}

AAFResult AAFFileDescriptor::setSampleRate(const Rational& rate) {
    if (rate.denominator == 0) return kAAFResultBadValue;
    return setValue(Pid::FileDescriptorSampleRate, encodeRational(rate));
}

AAFResult AAFFileDescriptor::setLength(int64_t length) {
    return setValue(Pid::FileDescriptorLength, encodeInteger(length));
}

AAFResult AAFFileDescriptor::setContainerFormat(const AAFContainerDef& container) {
    return setWeakReference(Pid::FileDescriptorContainerFormat, container);
}

AAFResult AAFDigitalImageDescriptor::setCompression(const AUID& compression) {
    return setValue(Pid::DigitalImageDescriptorCompression, encodeAUID(compression));
}

AAFResult AAFDigitalImageDescriptor::setStoredView(uint32_t height, uint32_t width) {
    return AAFFirstFailure(
        {setValue(Pid::DigitalImageDescriptorStoredHeight, encodeInteger(height)),
         setValue(Pid::DigitalImageDescriptorStoredWidth, encodeInteger(width))});
}

AAFResult AAFDigitalImageDescriptor::setSampledView(uint32_t height, uint32_t width,
                                                    int32_t xOffset, int32_t yOffset) {
    return AAFFirstFailure(
        {setValue(Pid::DigitalImageDescriptorSampledHeight, encodeInteger(height)),
         setValue(Pid::DigitalImageDescriptorSampledWidth, encodeInteger(width)),
         setValue(Pid::DigitalImageDescriptorSampledXOffset, encodeInteger(xOffset)),
         setValue(Pid::DigitalImageDescriptorSampledYOffset, encodeInteger(yOffset))});
}

AAFResult AAFDigitalImageDescriptor::setDisplayView(uint32_t height, uint32_t width,
                                                    int32_t xOffset, int32_t yOffset) {
    return AAFFirstFailure(
        {setValue(Pid::DigitalImageDescriptorDisplayHeight, encodeInteger(height)),
         setValue(Pid::DigitalImageDescriptorDisplayWidth, encodeInteger(width)),
         setValue(Pid::DigitalImageDescriptorDisplayXOffset, encodeInteger(xOffset)),
         setValue(Pid::DigitalImageDescriptorDisplayYOffset, encodeInteger(yOffset))});
}

AAFResult AAFDigitalImageDescriptor::setFrameLayout(FrameLayout layout) {
    return setValue(Pid::DigitalImageDescriptorFrameLayout, encodeInteger(uint8_t(layout)));
}

AAFResult AAFDigitalImageDescriptor::setVideoLineMap(std::span<const int32_t> lines) {
    return setValue(Pid::DigitalImageDescriptorVideoLineMap, StoredFormat::encodeInt32Array(lines));
}

AAFResult AAFDigitalImageDescriptor::setImageAspectRatio(const Rational& ratio) {
    return setValue(Pid::DigitalImageDescriptorImageAspectRatio, encodeRational(ratio));
}

AAFResult AAFCDCIDescriptor::setComponentWidth(uint32_t bits) {
    return setValue(Pid::CDCIDescriptorComponentWidth, encodeInteger(bits));
}

AAFResult AAFCDCIDescriptor::setHorizontalSubsampling(uint32_t factor) {
    return setValue(Pid::CDCIDescriptorHorizontalSubsampling, encodeInteger(factor));
}

AAFResult AAFCDCIDescriptor::setVerticalSubsampling(uint32_t factor) {
    return setValue(Pid::CDCIDescriptorVerticalSubsampling, encodeInteger(factor));
}

AAFResult AAFSoundDescriptor::setAudioSamplingRate(const Rational& rate) {
    if (rate.denominator == 0) return kAAFResultBadValue;
    return setValue(Pid::SoundDescriptorAudioSamplingRate, encodeRational(rate));
}

AAFResult AAFSoundDescriptor::setChannelCount(uint32_t channels) {
    return setValue(Pid::SoundDescriptorChannels, encodeInteger(channels));
}

AAFResult AAFSoundDescriptor::setQuantizationBits(uint32_t bits) {
    return setValue(Pid::SoundDescriptorQuantizationBits, encodeInteger(bits));
}

AAFResult AAFSoundDescriptor::setAudioRefLevel(int8_t level) {
    return setValue(Pid::SoundDescriptorAudioRefLevel, encodeInteger(level));
}

AAFResult AAFSoundDescriptor::setDialNorm(int8_t level) {
    return setValue(Pid::SoundDescriptorDialNorm, encodeInteger(level));
}

AAFResult AAFPCMDescriptor::setBlockAlign(uint16_t bytesPerFrame) {
    return setValue(Pid::PCMDescriptorBlockAlign, encodeInteger(bytesPerFrame));
}

AAFResult AAFPCMDescriptor::setAverageBPS(uint32_t bytesPerSecond) {
    return setValue(Pid::PCMDescriptorAverageBPS, encodeInteger(bytesPerSecond));
}

AAFMultipleDescriptor::AAFMultipleDescriptor(std::shared_ptr<AAFClassDef> definition)
    : AAFFileDescriptor(std::move(definition)) {
    storeEmptyVector(Pid::MultipleDescriptorFileDescriptors);
}

AAFResult AAFMultipleDescriptor::appendFileDescriptor(
    const std::shared_ptr<AAFFileDescriptor>& descriptor) {
    return appendStrongReference(Pid::MultipleDescriptorFileDescriptors, descriptor);
}

}  // namespace vorlane::aaf
