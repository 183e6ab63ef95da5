#include "UpdateChecker.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QWidget>

#include "QtAlertPresenter.h"

namespace vorlane::gui {
namespace {

// An announcement is a few lines; anything larger is not one.
constexpr qint64 kMaximumDocumentBytes = 64 * 1024;
constexpr int kTransferTimeoutMilliseconds = 15000;

}  // namespace

UpdateChecker::UpdateChecker(UserDefaults& defaults, QtAlertPresenter& alerts, QWidget* window)
    : QObject(window),
      defaults_(defaults),
      alerts_(alerts),
      window_(window),
      network_(new QNetworkAccessManager(this)) {}

void UpdateChecker::check(UpdateCheck::Mode mode) {
    UpdateCheck check(defaults_, mode);
    const QUrl url(QString::fromStdString(check.announcementURL()));
    if (url.isEmpty()) {
        show(check, check.promptWithoutURL());
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMilliseconds);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, mode] { finished(reply, mode); });
}

void UpdateChecker::finished(QNetworkReply* reply, UpdateCheck::Mode mode) {
    reply->deleteLater();
    UpdateCheck check(defaults_, mode);
    std::optional<std::string> text;
    std::string failure;
    if (reply->error() != QNetworkReply::NoError) {
        failure = reply->errorString().toStdString();
    } else {
        const QByteArray data = reply->read(kMaximumDocumentBytes + 1);
        if (data.size() > kMaximumDocumentBytes)
            failure = "it is larger than an announcement can be";
        else
            text = data.toStdString();
    }
    show(check, check.promptForDocument(text, failure));
}

void UpdateChecker::show(UpdateCheck& check, const std::optional<UpdateCheck::Prompt>& prompt) {
    if (!prompt) return;
    bool checkBoxOn = false;
    const size_t button =
        alerts_.runAlert(prompt->alert, QString::fromStdString(prompt->checkBoxText), checkBoxOn);
    if (const auto url = check.answer(button, checkBoxOn)) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(*url)));
        window_->close();  // quits, asking first when an export is running
    }
}

}  // namespace vorlane::gui
