#include "QtAlertPresenter.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace vorlane::gui {

namespace {

QtAlertPresenter::Answer& answerForTesting() {
    static QtAlertPresenter::Answer answer;
    return answer;
}

QMessageBox::Icon iconOfStyle(Alert::Style style) {
    switch (style) {
        case Alert::Style::Informational:
            return QMessageBox::Information;
        case Alert::Style::Critical:
            return QMessageBox::Critical;
        default:
            return QMessageBox::Warning;
    }
}

}  // namespace

void QtAlertPresenter::setAnswerForTesting(Answer answer) {
    answerForTesting() = std::move(answer);
}

size_t QtAlertPresenter::runAlert(const Alert& alert) {
    bool unused = false;
    return runAlert(alert, QString(), unused);
}

size_t QtAlertPresenter::runAlert(const Alert& alert, const QString& checkBoxText,
                                  bool& checkBoxOn) {
    if (answerForTesting()) return answerForTesting()(alert);
    QMessageBox box(parent_);
    if (!checkBoxText.isEmpty()) box.setCheckBox(new QCheckBox(checkBoxText, &box));
    box.setIcon(iconOfStyle(alert.style));
    box.setText(QString::fromStdString(alert.messageText).trimmed());
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    std::vector<QPushButton*> buttons;
    for (size_t index = 0; index < alert.buttons.size(); ++index) {
        const auto role = index == alert.cancelButton && index != alert.defaultButton
                              ? QMessageBox::RejectRole
                              : QMessageBox::AcceptRole;
        buttons.push_back(box.addButton(QString::fromStdString(alert.buttons[index]), role));
    }
    if (alert.defaultButton < buttons.size()) box.setDefaultButton(buttons[alert.defaultButton]);
    if (alert.cancelButton < buttons.size()) box.setEscapeButton(buttons[alert.cancelButton]);
    box.exec();
    if (box.checkBox()) checkBoxOn = box.checkBox()->isChecked();
    for (size_t index = 0; index < buttons.size(); ++index)
        if (box.clickedButton() == buttons[index]) return index;
    return alert.cancelButton;
}

}  // namespace vorlane::gui
