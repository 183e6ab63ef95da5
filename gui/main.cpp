// Vorlane Studio: start-up and shut-down around the Qt event loop.
#include <QApplication>

#include "MainWindow.h"
#include "QtMainQueue.h"
#include "app/MainWindowController.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vorlane Studio");
    QApplication::setOrganizationDomain("vorlane.org");
    QApplication::setDesktopFileName("org.vorlane.studio");
    vorlane::gui::QtMainQueue mainQueue;
    vorlane::MainWindowController::applicationWillFinishLaunching();
    int status = 0;
    {
        vorlane::gui::MainWindow window;
        window.show();
        window.addPathsFromArguments(QApplication::arguments().mid(1));
        status = QApplication::exec();
    }
    vorlane::MainWindowController::applicationWillTerminate();
    return status;
}
