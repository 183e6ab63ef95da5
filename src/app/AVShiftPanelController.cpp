#include "app/AVShiftPanelController.h"

#include <cstdlib>

#include "media/MediaText.h"
#include "platform/DefaultsKeys.h"

namespace vorlane {

namespace {

double secondsOfShiftText(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

AVShiftPanelController::AVShiftPanelController(UserDefaults& defaults, NotificationCenter& center)
    : defaults_(defaults), center_(center) {}

void AVShiftPanelController::loadPresets() {
    avPresets_.clear();
    const auto stored = defaults_.arrayForKey(DefaultsKey::avShiftPresets);
    if (!stored) return;
    for (const MetadataValue& value : *stored) {
        const MetadataDictionary* entry = value.dictionary();
        if (!entry) continue;
        const auto camera = entry->find("camera");
        const auto shift = entry->find("shift");
        if (camera == entry->end() || shift == entry->end() || !camera->second.string() ||
            !shift->second.string())
            continue;
        avPresets_.push_back({*camera->second.string(), *shift->second.string()});
    }
}

void AVShiftPanelController::savePresets() const {
    MetadataList list;
    for (const Preset& preset : avPresets_)
        list.push_back(MetadataValue(MetadataDictionary{{"camera", MetadataValue(preset.camera)},
                                                        {"shift", MetadataValue(preset.shift)}}));
    defaults_.setObject(MetadataValue(list), DefaultsKey::avShiftPresets);
    defaults_.synchronize();
}

std::string AVShiftPanelController::presetTitle(const Preset& preset) {
    return formatMediaText(
        "%s (%s)", preset.camera.c_str(),
        formatMediaText("%+0.0fms", secondsOfShiftText(preset.shift) * 1000.0).c_str());
}

void AVShiftPanelController::fillPopup() {
    items_.clear();
    for (const Preset& preset : avPresets_)
        items_.push_back(presetTitle(preset));
    selectedItem_ = 0;
}

void AVShiftPanelController::activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files) {
    mediaFiles_ = std::move(files);
    commonShift_ = kCMTimeZero;
    commonCamera_.clear();
    unknownCamera_ = false;
    presetTitle_.clear();
    noPresetTitle_.clear();
    loadPresets();
    fillPopup();

    for (const auto& file : mediaFiles_) {
        const CMTime shift = file->shiftTime();
        if (shift.isValid() && shift != kCMTimeZero) {
            commonShift_ = shift;
            break;
        }
    }
    for (const auto& file : mediaFiles_) {
        const CMTime shift = file->shiftTime();
        if (shift.isValid() && shift != kCMTimeZero && shift != commonShift_)
            commonShift_ = kCMTimeZero;
    }

    std::optional<std::string> camera;
    for (const auto& file : mediaFiles_)
        if ((camera = file->modelname())) break;
    if (camera) commonCamera_ = *camera;
    for (const auto& file : mediaFiles_)
        if (file->modelname() != camera || !camera) {
            commonCamera_ = kUnknownCamera;
            unknownCamera_ = true;
        }

    slider_ = CMTimeGetSeconds(commonShift_) * 100.0;
    updateUI();
}

void AVShiftPanelController::updateUI() {
    if (unknownCamera_) {
        items_.push_back(commonCamera_);
        selectedItem_ = items_.size() - 1;
        addEnabled_ = false;
        removeEnabled_ = false;
        return;
    }
    for (size_t item = 0; item < avPresets_.size(); ++item) {
        if (avPresets_[item].camera != commonCamera_) continue;
        selectedItem_ = item;
        presetTitle_ = items_[item];
        addEnabled_ = false;
        removeEnabled_ = true;
        return;
    }
    noPresetTitle_ = formatMediaText("< %s >", commonCamera_.c_str());
    items_.push_back(noPresetTitle_);
    selectedItem_ = items_.size() - 1;
    addEnabled_ = true;
    removeEnabled_ = false;
}

std::string AVShiftPanelController::sliderLabel() const {
    return formatMediaText("%+0.0f Milliseconds", slider_ * 10.0);
}

void AVShiftPanelController::avShiftSlider(double hundredths) {
    slider_ = hundredths;
    if (unknownCamera_ || selectedItem_ >= items_.size()) return;
    const std::string& selected = items_[selectedItem_];
    if (selected == noPresetTitle_ || selected == presetTitle_) addEnabled_ = true;
}

void AVShiftPanelController::presetSelect(size_t item) {
    if (item >= items_.size()) return;
    selectedItem_ = item;
    if (!selectedItemIsPreset()) return;
    slider_ = secondsOfShiftText(avPresets_[item].shift) * 100.0;
    addEnabled_ = false;
    removeEnabled_ = true;
}

void AVShiftPanelController::presetAdd() {
    if (unknownCamera_) return;
    const Preset preset{commonCamera_, formatMediaText("%2.2f", slider_ / 100.0)};
    if (selectedItemIsPreset()) avPresets_.erase(avPresets_.begin() + long(selectedItem_));
    avPresets_.push_back(preset);
    savePresets();
    fillPopup();
    updateUI();
    addEnabled_ = false;
    removeEnabled_ = true;
}

void AVShiftPanelController::presetRemove(AlertPresenter& alerts) {
    if (!selectedItemIsPreset()) return;
    Alert alert;
    alert.messageText = "Are you sure?\n";
    alert.informativeText =
        formatMediaText("Do you really want to remove \"%s\"?", items_[selectedItem_].c_str());
    alert.buttons = {"Remove Preset", "Cancel"};
    alert.defaultButton = 0;
    alert.cancelButton = 1;
    if (alerts.runAlert(alert) != 0) return;
    avPresets_.erase(avPresets_.begin() + long(selectedItem_));
    savePresets();
    fillPopup();
    updateUI();
    addEnabled_ = !unknownCamera_;
    removeEnabled_ = false;
}

void AVShiftPanelController::setShiftOfFiles(CMTime shift) {
    for (const auto& file : mediaFiles_) {
        file->setAvShift(shift);
        center_.postNotificationName(kUpdateMediaFileNotification, file);
    }
}

void AVShiftPanelController::avShiftSet() {
    setShiftOfFiles(CMTimeMakeWithSeconds(slider_ / 100.0, 600));
}

void AVShiftPanelController::avShiftRemove() {
    setShiftOfFiles(kCMTimeZero);
}

std::string AVShiftPanelController::filesSelectedText() const {
    return formatMediaText("%lu File(s) selected", (unsigned long)mediaFiles_.size());
}

}  // namespace vorlane
