// What the desktop offers the application over D-Bus: showing files in the file manager
// (org.freedesktop.FileManager1, else the folders are opened), and keeping the computer awake
// while an export runs (the login manager's inhibit interface, released when the lock's file
// descriptor is closed).
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QStringList>

namespace vorlane::gui {

class DesktopSession {
  public:
    // Shows the files selected in the file manager; without one on the session bus, opens
    // the folders they are in.
    static void revealFiles(const QStringList& paths);

    // Asks the login manager not to let the computer sleep while idle; true when it agreed.
    bool preventSleep();
    void allowSleep();
    bool preventingSleepActive() const { return inhibitLock_.isValid(); }

  private:
    QDBusUnixFileDescriptor inhibitLock_;
};

}  // namespace vorlane::gui
