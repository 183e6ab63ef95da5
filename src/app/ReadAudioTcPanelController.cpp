#include "app/ReadAudioTcPanelController.h"

#include <cmath>
#include <cstdlib>

#include "media/MediaText.h"
#include "platform/DefaultsKeys.h"

namespace vorlane {

const std::vector<std::string>& ReadAudioTcPanelController::frameRateTitles() {
    static const std::vector<std::string> titles = {"detect", "23.976", "24", "25", "29.97", "30"};
    return titles;
}

double ReadAudioTcPanelController::frameRateAtIndex(int64_t index) {
    static constexpr double kRates[] = {0.0, 24000.0 / 1001.0, 24.0, 25.0, 30000.0 / 1001.0, 30.0};
    if (index < 0 || index >= int64_t(std::size(kRates))) return 0.0;
    return kRates[index];
}

void ReadAudioTcPanelController::loadUserDefaults(size_t filesSelected) {
    filesSelected_ = filesSelected;
    rateIndex = defaults_.integerForKey(DefaultsKey::audioTcRate);
    trackIndex = defaults_.integerForKey(DefaultsKey::audioTcTrack);
    channelIndex = defaults_.integerForKey(DefaultsKey::audioTcChannel);
    rangesIndex = defaults_.integerForKey(DefaultsKey::audioTcReadingMode);
    algorithmIndex = defaults_.integerForKey(DefaultsKey::audioTcReadingAlgorithm);
    offsetText = formatMediaText("%g", defaults_.doubleForKey(DefaultsKey::audioTcOffset));
}

AudioTimecodeRequest ReadAudioTcPanelController::readTimecode() {
    double offset = std::strtod(offsetText.c_str(), nullptr);
    if (!std::isfinite(offset) || std::fabs(offset) > 1e9) offset = 0.0;
    defaults_.setInteger(rateIndex, DefaultsKey::audioTcRate);
    defaults_.setInteger(trackIndex, DefaultsKey::audioTcTrack);
    defaults_.setInteger(channelIndex, DefaultsKey::audioTcChannel);
    defaults_.setInteger(rangesIndex, DefaultsKey::audioTcReadingMode);
    defaults_.setInteger(algorithmIndex, DefaultsKey::audioTcReadingAlgorithm);
    defaults_.setDouble(offset, DefaultsKey::audioTcOffset);
    defaults_.synchronize();

    AudioTimecodeRequest request;
    request.frameRate = frameRateAtIndex(rateIndex);
    request.track = int32_t(trackIndex) - 1;
    request.channel = int32_t(channelIndex) - 1;
    request.offset = int32_t(offset);
    request.readingRanges = static_cast<LtcReadingRanges>(rangesIndex);
    request.readingAlgorithm = static_cast<LtcReadingAlgorithm>(algorithmIndex);
    return request;
}

std::string ReadAudioTcPanelController::filesSelectedText() const {
    return formatMediaText("%lu File(s) selected", (unsigned long)filesSelected_);
}

}  // namespace vorlane
