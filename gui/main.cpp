// Vorlane Studio: start-up and shut-down around the Qt event loop.
//
//   vorlane-studio [PATH...]                    opens the window with the files and folders
//   vorlane-studio --screenshot FILE [PATH...]  saves a picture of the loaded window and quits
#include <QApplication>

#include "MainWindow.h"
#include "QtMainQueue.h"
#include "ScreenshotRun.h"
#include "app/MainWindowController.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vorlane Studio");
    QApplication::setOrganizationDomain("vorlane.org");
    QApplication::setDesktopFileName("org.vorlane.studio");
    QStringList paths = QApplication::arguments().mid(1);
    QString screenshot;
    if (paths.size() >= 2 && paths.front() == "--screenshot") {
        screenshot = paths.at(1);
        paths = paths.mid(2);
    }
    vorlane::gui::QtMainQueue mainQueue;
    vorlane::MainWindowController::applicationWillFinishLaunching();
    int status = 0;
    {
        vorlane::gui::MainWindow window;
        window.show();
        if (screenshot.isEmpty()) window.startUpdateCheck();
        window.addPathsFromArguments(paths);
        if (!screenshot.isEmpty()) new vorlane::gui::ScreenshotRun(window, screenshot);
        status = QApplication::exec();
    }
    vorlane::MainWindowController::applicationWillTerminate();
    return status;
}
