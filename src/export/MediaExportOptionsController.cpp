#include "export/MediaExportOptionsController.h"

#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"

namespace vorlane {
namespace {

// The resize items that the AVC-Intra codecs cannot take.
constexpr int64_t kAVCIntraHiddenResizeTags[] = {0, 2, 7, 8};
constexpr int64_t kFullHDResizeTag = 4;

bool isAVCIntraTag(int64_t tag) {
    return tag >= 18 && tag <= 20;
}

}  // namespace

MediaExportOptionsController::MediaExportOptionsController() {
    videoCodecSelectionPopup(videoCodecTag_);
}

uint32_t MediaExportOptionsController::videoCodecForTag(int64_t tag) {
    switch (tag) {
        case 2:
        case 3:
        case 4:
        case 5:
            return fourCC("avc1");
        case 7:
        case 8:
        case 9:
        case 10:
            return fourCC("hvc1");
        case 12:
            return fourCC("apco");
        case 13:
            return fourCC("apcs");
        case 14:
            return fourCC("apcn");
        case 15:
            return fourCC("apch");
        case 16:
            return fourCC("ap4h");
        case 18:
            return 0x61693500;  // "ai5" and a zero byte
        case 19:
            return 0x61693100;  // "ai1"
        case 20:
            return 0x61693200;  // "ai2"
        default:
            return 0;
    }
}

uint32_t MediaExportOptionsController::videoBitRateForTag(int64_t tag) {
    static constexpr uint32_t kRates[] = {1000000, 2000000, 4000000, 12000000};
    if (tag >= 2 && tag <= 5) return kRates[tag - 2];
    if (tag >= 7 && tag <= 10) return kRates[tag - 7];
    return 0;
}

MediaSize MediaExportOptionsController::videoSizeForTag(int64_t tag) {
    switch (tag) {
        case 2:
            return {3840, 2160};
        case 4:
            return {1920, 1080};
        case 5:
            return {1280, 720};
        case 7:
            return {1024, 576};
        case 8:
            return {640, 360};
        default:
            return {};
    }
}

MediaExportOptionsController::AudioChoice MediaExportOptionsController::audioForTag(int64_t tag) {
    if (tag == 0) return {};
    const uint32_t lpcm = fourCC("lpcm");
    switch (tag) {
        case 3:
            return {lpcm, 44100, 16};
        case 4:
            return {lpcm, 48000, 16};
        case 5:
            return {lpcm, 48000, 24};
        case 6:
            return {lpcm, 96000, 24};
        default:
            return {lpcm, 0, 0};
    }
}

void MediaExportOptionsController::loadUserDefaults(const UserDefaults& defaults) {
    videoResizeTag_ = defaults.integerForKey(DefaultsKey::videoResize);
    audioCodecTag_ = defaults.integerForKey(DefaultsKey::audioCodec);
    videoCodecSelectionPopup(defaults.integerForKey(DefaultsKey::videoCodec));
}

void MediaExportOptionsController::saveUserDefaults(UserDefaults& defaults) const {
    defaults.setInteger(videoCodecTag_, DefaultsKey::videoCodec);
    defaults.setInteger(videoResizeTag_, DefaultsKey::videoResize);
    defaults.setInteger(audioCodecTag_, DefaultsKey::audioCodec);
}

void MediaExportOptionsController::readSettings() {
    videoCodec_ = selectedVideoCodec();
    videoBitRate_ = selectedVideoBitRate();
    videoSize_ = selectedVideoSize();
    const AudioChoice audio = audioForTag(audioCodecTag_);
    audioCodec_ = audio.codec;
    audioSampleRate_ = audio.sampleRate;
    audioBitDepth_ = audio.bitDepth;
    createQTRef_ = qtRefChecked_;
    synchronizedMovieExport_ = synchronizedSelected_;
}

void MediaExportOptionsController::videoCodecSelectionPopup(int64_t tag) {
    videoCodecTag_ = tag;
    if (videoCodecForTag(tag) == 0) {
        videoResizeTag_ = 0;
        videoResizeEnabled_ = false;
    } else {
        videoResizeEnabled_ = true;
    }
    if (isAVCIntraTag(tag)) {
        hiddenResizeTags_.insert(std::begin(kAVCIntraHiddenResizeTags),
                                 std::end(kAVCIntraHiddenResizeTags));
        videoResizeTag_ = kFullHDResizeTag;
    } else {
        hiddenResizeTags_.clear();
    }
}

void MediaExportOptionsController::createQuicktimeRefCheckbox(bool on) {
    qtRefChecked_ = on;
    if (on) {
        videoCodecSelectionPopup(0);
        audioCodecTag_ = 1;
        videoResizeTag_ = 0;
        videoCodecEnabled_ = false;
        videoResizeEnabled_ = false;
    } else {
        videoCodecEnabled_ = true;
    }
}

void MediaExportOptionsController::showCodecTags(int64_t first, int64_t last, bool show) {
    for (int64_t tag = first; tag <= last; ++tag) {
        if (show)
            hiddenCodecTags_.erase(tag);
        else
            hiddenCodecTags_.insert(tag);
    }
}

void MediaExportOptionsController::showHEVCCodecs(bool show) {
    showCodecTags(6, 10, show);
}

void MediaExportOptionsController::showAVCIntraCodecs(bool show) {
    showCodecTags(17, 20, show);
}

void MediaExportOptionsController::showQTReferenceCheckbox(bool enable) {
    qtRefEnabled_ = enable;
}

}  // namespace vorlane
