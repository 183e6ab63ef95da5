// The export dialogs of the XML interchange / FCPXML and AAF exports: the option view of the
// kind (bound to its options controller in src/export), and the destination with a file chooser.
// The destination is checked by the URL validator before the dialog closes; once confirmed, the
// options are saved and read and the dialog hands the destination to its caller.
#pragma once

#include <QDialog>
#include <functional>

#include "app/URLValidator.h"
#include "export/AAFExportOptionsController.h"
#include "export/XMLExportOptionsController.h"
#include "platform/UserDefaults.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vorlane::gui {

class ExportDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Kind { XML, AAF };
    using Confirmed = std::function<void(const std::filesystem::path& destination)>;

    ExportDialog(Kind kind, UserDefaults& defaults, URLValidator& validator, QWidget* parent);

    XMLExportOptionsController& xmlOptions() { return xmlOptions_; }
    AAFExportOptionsController& aafOptions() { return aafOptions_; }

    // Loads the stored options (the preselection from the pool is made by the caller before)
    // and opens the dialog; `confirmed` runs after a valid destination was accepted.
    void showDialog(Confirmed confirmed);
    void setDestination(const QString& path);
    QString destination() const;

  public slots:
    // Checks the destination and, when it may be used, saves and reads the options.
    void accept() override;

  private:
    void buildXMLView();
    void buildAAFView();
    void chooseDestination();
    void refreshXMLView();
    void refreshAAFView();
    QString fileType() const;

    Kind kind_;
    UserDefaults& defaults_;
    URLValidator& validator_;
    XMLExportOptionsController xmlOptions_;
    AAFExportOptionsController aafOptions_;
    Confirmed confirmed_;
    QWidget* options_ = nullptr;
    QComboBox* type_ = nullptr;
    QComboBox* frameRate_ = nullptr;
    QComboBox* videoFormat_ = nullptr;
    QComboBox* audioFormat_ = nullptr;
    QSpinBox* customWidth_ = nullptr;
    QSpinBox* customHeight_ = nullptr;
    QCheckBox* syncedClips_ = nullptr;
    QPushButton* syncedClipsHelp_ = nullptr;
    QCheckBox* openInFCP_ = nullptr;
    QLineEdit* destination_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace vorlane::gui
