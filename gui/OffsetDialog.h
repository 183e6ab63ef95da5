// The offset sheet: shows and forwards to the offset panel's rules (app/OffsetPanelController).
#pragma once

#include <QDialog>

#include "app/OffsetPanelController.h"

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vorlane::gui {

class OffsetDialog : public QDialog {
    Q_OBJECT

  public:
    OffsetDialog(OffsetPanelController& panel, QWidget* parent);

    void activateWithMediaFiles(std::vector<std::shared_ptr<MediaFile>> files);
    OffsetPanelController& panel() { return panel_; }

  public slots:
    void offsetSet();
    void offsetRemove();

  private:
    void refresh();

    OffsetPanelController& panel_;
    QLabel* filesSelected_;
    QComboBox* frameRate_;
    QButtonGroup* units_;
    QDoubleSpinBox* seconds_;
    QSpinBox* frames_;
    QLineEdit* timecode_;
    bool refreshing_ = false;
};

}  // namespace vorlane::gui
