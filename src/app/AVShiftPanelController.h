// The AV shift panel: moves the sound of the selected files against their picture by an amount
// per camera model, with presets stored in the user defaults (the factory ones written at first
// start). Plain state for the sheet the GUI shows: the slider (hundredths of a second), the
// preset menu and its add and remove buttons follow the rules below.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AlertPresenter.h"
#include "media/MediaFile.h"
#include "platform/CMTime.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class AVShiftPanelController {
  public:
    struct Preset {
        std::string camera;
        std::string shift;  // seconds, "%2.2f"
    };
    static constexpr const char* kUnknownCamera = "<multiple selection or unknown>";

    explicit AVShiftPanelController(
        UserDefaults& defaults, NotificationCenter& center = NotificationCenter::defaultCenter());

    void loadPresets();
    void savePresets() const;
    const std::vector<Preset>& presets() const { return avPresets_; }
    static std::string presetTitle(const Preset& preset);

    void activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files);

    // Controls.
    void avShiftSlider(double hundredths);
    void presetSelect(size_t item);
    void presetAdd();
    // Asks first; does nothing unless a preset is selected.
    void presetRemove(AlertPresenter& alerts);
    // Buttons: every file gets the shift (or none) and "UpdateMediaFile" is posted for it.
    void avShiftSet();
    void avShiftRemove();

    // What the sheet shows.
    std::string filesSelectedText() const;
    double sliderValue() const { return slider_; }
    std::string sliderLabel() const;
    // The menu: one item per preset, then possibly the camera's own item.
    const std::vector<std::string>& items() const { return items_; }
    size_t selectedItem() const { return selectedItem_; }
    bool addEnabled() const { return addEnabled_; }
    bool removeEnabled() const { return removeEnabled_; }
    const std::string& commonCamera() const { return commonCamera_; }
    CMTime commonShift() const { return commonShift_; }
    bool unknownCamera() const { return unknownCamera_; }

  private:
    void fillPopup();
    void updateUI();
    bool selectedItemIsPreset() const { return selectedItem_ < avPresets_.size(); }
    void setShiftOfFiles(CMTime shift);

    UserDefaults& defaults_;
    NotificationCenter& center_;
    std::vector<std::shared_ptr<MediaFile>> mediaFiles_;
    std::vector<Preset> avPresets_;
    std::vector<std::string> items_;
    size_t selectedItem_ = 0;
    CMTime commonShift_ = kCMTimeZero;
    std::string commonCamera_;
    bool unknownCamera_ = false;
    std::string presetTitle_;
    std::string noPresetTitle_;
    double slider_ = 0.0;
    bool addEnabled_ = false;
    bool removeEnabled_ = false;
};

}  // namespace vorlane
