// Alerts as message boxes over a window.
#pragma once

#include <functional>

#include "app/AlertPresenter.h"

class QString;
class QWidget;

namespace vorlane::gui {

class QtAlertPresenter : public AlertPresenter {
  public:
    explicit QtAlertPresenter(QWidget* parent) : parent_(parent) {}
    size_t runAlert(const Alert& alert) override;
    // The same with a check box under the text (none when `checkBoxText` is empty), whose
    // final state goes to `checkBoxOn`.
    size_t runAlert(const Alert& alert, const QString& checkBoxText, bool& checkBoxOn);

    // Tests answer alerts without showing them.
    using Answer = std::function<size_t(const Alert&)>;
    static void setAnswerForTesting(Answer answer);

  private:
    QWidget* parent_;
};

}  // namespace vorlane::gui
