#include "export/XMLExportOptionsController.h"

#include "export/ExportOptionMenus.h"
#include "platform/DefaultsKeys.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace Menus = ExportOptionMenus;

XMLExportOptionsController::XMLExportOptionsController() {
    readXMLType();
    videoFormatSelect(videoFormatIndex_);
}

void XMLExportOptionsController::loadUserDefaults(const UserDefaults& defaults) {
    xmlTypeSelect(defaults.integerForKey(DefaultsKey::xmlType));
    openInFCPChecked_ = defaults.integerForKey(DefaultsKey::xmlOpenInFCP) != 0;
}

void XMLExportOptionsController::saveUserDefaults(UserDefaults& defaults) const {
    defaults.setInteger(xmlTypeIndex_, DefaultsKey::xmlType);
    defaults.setInteger(openInFCPChecked_ ? 1 : 0, DefaultsKey::xmlOpenInFCP);
    defaults.setInteger(frameRateIndex_, DefaultsKey::xmlProjectFrameRate);
}

void XMLExportOptionsController::readSettings() {
    // The kind of document comes from its menu; the boxes stay as the user left them.
    const bool syncedClipsChecked = syncedClipsChecked_;
    readXMLType();
    syncedClipsChecked_ = syncedClipsChecked;
    projectSize_ = {selectedVideoWidth(), selectedVideoHeight()};
    projectFrameRate_ = selectedFrameRate();
    projectDropFrame_ = selectedDropFrame();
    projectInterlaced_ = selectedInterlaced();
    projectAudioSampleRate_ = selectedAudioSampleRate();
    includeSyncedClips_ = syncedClipsChecked_;
    openInFCPX_ = openInFCPChecked_;
}

void XMLExportOptionsController::selectFrameRate(const TCHelper& timecode) {
    if (const auto index = Menus::indexOfFrameRate(timecode.frameRate(), timecode.dropFrame()))
        frameRateIndex_ = *index;
}

void XMLExportOptionsController::selectVideoSize(double width, double height) {
    const auto index = Menus::indexOfVideoSize(width, height);
    if (!index) return;
    if (*index == Menus::kCustomVideoFormatIndex) setCustomVideoSize(width, height);
    videoFormatSelect(*index);
}

void XMLExportOptionsController::setCustomVideoSize(double width, double height) {
    customVideoWidth_ = width;
    customVideoHeight_ = height;
}

void XMLExportOptionsController::xmlTypeSelect(int64_t index) {
    if (index < XMLTypeItemNestedSequences || index > XMLTypeItemFCPXML15) return;
    xmlTypeIndex_ = index;
    readXMLType();
}

void XMLExportOptionsController::videoFormatSelect(int64_t index) {
    videoFormatIndex_ = index;
    customVideoFieldsEnabled_ = index == Menus::kCustomVideoFormatIndex;
    if (customVideoFieldsEnabled_) return;
    const auto format = Menus::videoFormatAtIndex(index, customVideoWidth_, customVideoHeight_);
    customVideoWidth_ = format.width;
    customVideoHeight_ = format.height;
}

void XMLExportOptionsController::readXMLType() {
    const bool fcpxml =
        xmlTypeIndex_ >= XMLTypeItemFCPXML17 && xmlTypeIndex_ <= XMLTypeItemFCPXML15;
    switch (xmlTypeIndex_) {
        case XMLTypeItemNestedSequences:
            xmlType_ = kXMLTypeNestedClips;
            syncedClipsChecked_ = false;
            break;
        case XMLTypeItemLinkedClips:
            xmlType_ = kXMLTypeLinkedClips;
            syncedClipsChecked_ = true;
            break;
        case XMLTypeItemFCPXML17:
        case XMLTypeItemFCPXML16:
        case XMLTypeItemFCPXML15:
            xmlType_ = kXMLTypeFCPXML;
            fcpxVersion_ = xmlTypeIndex_ == XMLTypeItemFCPXML17   ? 1.7
                           : xmlTypeIndex_ == XMLTypeItemFCPXML16 ? 1.6
                                                                  : 1.5;
            syncedClipsChecked_ = true;
            break;
        default:
            return;
    }
    allowedFileType_ = fcpxml ? "fcpxml" : "xml";
    syncedClipsHelpShown_ = xmlTypeIndex_ == XMLTypeItemNestedSequences;
    openInFCPShown_ = fcpxml;
}

double XMLExportOptionsController::selectedFrameRate() const {
    return Menus::frameRateAtIndex(frameRateIndex_).frameRate;
}

bool XMLExportOptionsController::selectedDropFrame() const {
    return Menus::frameRateAtIndex(frameRateIndex_).dropFrame;
}

double XMLExportOptionsController::selectedVideoWidth() const {
    return Menus::videoFormatAtIndex(videoFormatIndex_, customVideoWidth_, customVideoHeight_)
        .width;
}

double XMLExportOptionsController::selectedVideoHeight() const {
    return Menus::videoFormatAtIndex(videoFormatIndex_, customVideoWidth_, customVideoHeight_)
        .height;
}

bool XMLExportOptionsController::selectedInterlaced() const {
    return Menus::videoFormatAtIndex(videoFormatIndex_, customVideoWidth_, customVideoHeight_)
        .interlaced;
}

double XMLExportOptionsController::selectedAudioSampleRate() const {
    return Menus::audioSampleRateAtIndex(audioFormatIndex_);
}

}  // namespace vorlane
