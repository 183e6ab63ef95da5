// Alerts for the command line: the alert is printed as a warning and answered without asking,
// with its default button, or, in strict mode, with its cancel button.
#pragma once

#include <ostream>

#include "app/AlertPresenter.h"

namespace vorlane {

class ConsoleAlertPresenter : public AlertPresenter {
  public:
    ConsoleAlertPresenter(std::ostream& output, bool strict) : output_(output), strict_(strict) {}

    size_t runAlert(const Alert& alert) override;

  private:
    std::ostream& output_;
    bool strict_;
};

}  // namespace vorlane
