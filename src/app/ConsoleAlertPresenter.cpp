#include "app/ConsoleAlertPresenter.h"

namespace vorlane {

size_t ConsoleAlertPresenter::runAlert(const Alert& alert) {
    const size_t answer = strict_ ? alert.cancelButton : alert.defaultButton;
    const char* kind = alert.style == Alert::Style::Informational ? "note" : "warning";
    output_ << "vorlane: " << kind << ": " << alert.messageText << ". " << alert.informativeText;
    if (answer < alert.buttons.size()) output_ << " [" << alert.buttons[answer] << "]";
    output_ << "\n";
    return answer;
}

}  // namespace vorlane
