// The AV shift sheet: shows and forwards to the AV shift panel's rules
// (app/AVShiftPanelController).
#pragma once

#include <QDialog>

#include "app/AVShiftPanelController.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace vorlane::gui {

class AVShiftDialog : public QDialog {
    Q_OBJECT

  public:
    AVShiftDialog(AVShiftPanelController& panel, AlertPresenter& alerts, QWidget* parent);

    void activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files);

  private:
    void refresh();

    AVShiftPanelController& panel_;
    AlertPresenter& alerts_;
    QLabel* filesSelected_;
    QSlider* slider_;
    QLabel* sliderLabel_;
    QComboBox* presets_;
    QPushButton* add_;
    QPushButton* remove_;
    bool refreshing_ = false;
};

}  // namespace vorlane::gui
