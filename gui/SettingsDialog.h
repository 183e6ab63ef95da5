// The settings sheet: one control per general setting (app/SettingsTable), loaded from the
// defaults store when shown and saved (and synchronised) when closed with "Save".
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "platform/UserDefaults.h"

class QWidget;

namespace vorlane::gui {

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    SettingsDialog(UserDefaults& defaults, QWidget* parent);

    // Loads the controls and opens the sheet.
    void showSettings();
    void loadUserDefaults();
    void saveUserDefaults();
    QWidget* controlForKey(const std::string& key) const;

  private:
    UserDefaults& defaults_;
    std::map<std::string, QWidget*> controls_;
};

}  // namespace vorlane::gui
