// Alerts: a title, a text and buttons, shown by the front end, which answers the button chosen.
// The GUI shows a dialog; the command line answers without asking (ConsoleAlertPresenter).
#pragma once

#include <string>
#include <vector>

namespace vorlane {

struct Alert {
    enum class Style { Informational, Warning, Critical };

    Style style = Style::Warning;
    std::string messageText;      // the title line
    std::string informativeText;  // the explanation below it
    std::vector<std::string> buttons;
    size_t defaultButton = 0;  // the button that goes on
    size_t cancelButton = 0;   // the button that backs out
};

class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // Shows the alert and answers the index of the chosen button.
    virtual size_t runAlert(const Alert& alert) = 0;
};

}  // namespace vorlane
