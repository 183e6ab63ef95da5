#include "DesktopSession.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace vorlane::gui {

namespace {

constexpr int kCallTimeoutMilliseconds = 2000;

}  // namespace

void DesktopSession::revealFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    QStringList uris;
    for (const QString& path : paths)
        uris << QUrl::fromLocalFile(path).toString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusInterface fileManager("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                   "org.freedesktop.FileManager1", bus);
        fileManager.setTimeout(kCallTimeoutMilliseconds);
        if (fileManager.isValid()) {
            const QDBusMessage answer = fileManager.call("ShowItems", uris, QString());
            if (answer.type() == QDBusMessage::ReplyMessage) return;
        }
    }
    QSet<QString> folders;
    for (const QString& path : paths)
        folders.insert(QFileInfo(path).absolutePath());
    for (const QString& folder : folders)
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool DesktopSession::preventSleep() {
    if (preventingSleepActive()) return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    QDBusInterface login("org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", bus);
    login.setTimeout(kCallTimeoutMilliseconds);
    if (!login.isValid()) return false;
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        login.call("Inhibit", QString("idle:sleep"), QString("Vorlane Studio"),
                   QString("Vorlane Studio Export Session"), QString("block"));
    if (!reply.isValid()) return false;
    inhibitLock_ = reply.value();
    return preventingSleepActive();
}

void DesktopSession::allowSleep() {
    inhibitLock_ = QDBusUnixFileDescriptor();
}

}  // namespace vorlane::gui
