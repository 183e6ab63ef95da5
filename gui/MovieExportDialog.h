// The movie export dialog ("Select Path for Media Export"): synchronised movies or embedded
// timecode, with the movie option view (codec, resize, audio) bound to the options controller of
// src/export, and the destination folder. The folder is checked by the URL validator with every
// check (FAT file system, writability, free space) before the dialog closes.
#pragma once

#include <QDialog>
#include <functional>

#include "app/URLValidator.h"
#include "export/MediaExportOptionsController.h"
#include "platform/UserDefaults.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vorlane::gui {

class MovieExportDialog : public QDialog {
    Q_OBJECT

  public:
    using Confirmed = std::function<void(const std::filesystem::path& folder)>;

    MovieExportDialog(UserDefaults& defaults, URLValidator& validator, QWidget* parent);

    MediaExportOptionsController& options() { return options_; }
    // Loads the stored options and opens; `confirmed` runs after a usable folder was accepted.
    void showDialog(Confirmed confirmed);
    void setDestination(const QString& folder);

  public slots:
    void accept() override;

  private:
    void refresh();
    void chooseDestination();

    UserDefaults& defaults_;
    URLValidator& validator_;
    MediaExportOptionsController options_;
    Confirmed confirmed_;
    QRadioButton* synchronized_;
    QRadioButton* embedTimecode_;
    QComboBox* videoCodec_;
    QComboBox* resize_;
    QComboBox* audio_;
    QLineEdit* destination_;
};

}  // namespace vorlane::gui
