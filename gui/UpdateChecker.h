// The update check's network side: fetches the announcement from the URL in the settings (web
// or file URLs) without blocking the window, and shows what UpdateCheck decides. Nothing is
// contacted while the setting is empty.
#pragma once

#include <QObject>

#include "app/UpdateCheck.h"

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

namespace vorlane::gui {

class QtAlertPresenter;

class UpdateChecker : public QObject {
    Q_OBJECT
  public:
    UpdateChecker(UserDefaults& defaults, QtAlertPresenter& alerts, QWidget* window);

    // Automatic at start, manual from the menu.
    void check(UpdateCheck::Mode mode);

  private:
    void finished(QNetworkReply* reply, UpdateCheck::Mode mode);
    void show(UpdateCheck& check, const std::optional<UpdateCheck::Prompt>& prompt);

    UserDefaults& defaults_;
    QtAlertPresenter& alerts_;
    QWidget* window_;
    QNetworkAccessManager* network_;
};

}  // namespace vorlane::gui
