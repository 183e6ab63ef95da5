// The read-audio-timecode sheet: the parameters of app/ReadAudioTcPanelController as menus and
// a field; "Read" answers the request.
#pragma once

#include <QDialog>

#include "app/ReadAudioTcPanelController.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vorlane::gui {

class ReadAudioTcDialog : public QDialog {
    Q_OBJECT

  public:
    ReadAudioTcDialog(ReadAudioTcPanelController& panel, QWidget* parent);

    // Loads the stored choices, shows the count and opens; `onRead` gets the request after
    // "Read".
    void showForFiles(size_t count, std::function<void(const AudioTimecodeRequest&)> onRead);

  private:
    void readTimecode();

    ReadAudioTcPanelController& panel_;
    QLabel* filesSelected_;
    QComboBox* rate_;
    QComboBox* track_;
    QComboBox* channel_;
    QComboBox* ranges_;
    QComboBox* algorithm_;
    QLineEdit* offset_;
    std::function<void(const AudioTimecodeRequest&)> onRead_;
};

}  // namespace vorlane::gui
