// The settings sheet: one control per general setting (app/SettingsTable) and the update
// announcement URL, loaded from the defaults store when shown and saved (and synchronised) when
// closed with "Save"; a URL the update check cannot use keeps the sheet open with the rule under
// the field. A line below says which professional video formats the libraries handle.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "platform/UserDefaults.h"

class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace vorlane::gui {

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    SettingsDialog(UserDefaults& defaults, QWidget* parent);

    // Loads the controls and opens the sheet.
    void showSettings();
    void loadUserDefaults();
    // False, saving nothing, when the announcement URL is not one the update check can use.
    bool saveUserDefaults();
    QWidget* controlForKey(const std::string& key) const;

  private:
    void addAnnouncementField(QFormLayout& form);

    UserDefaults& defaults_;
    std::map<std::string, QWidget*> controls_;
    QLineEdit* announcementURL_ = nullptr;
    QLabel* announcementProblem_ = nullptr;
};

}  // namespace vorlane::gui
