#include "StudioTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QThread>
#include <QUrl>

#include "FileListModel.h"
#include "ProgressSheet.h"
#include "TestPaths.h"
#include "mediagen/DemoShoot.h"

namespace vorlane::gui {

namespace fs = std::filesystem;

bool waitUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    return true;
}

std::optional<fs::path> demoShootFolder() {
    const fs::path folder = fs::path(VORLANE_BINARY_DIR) / "test-media" / "demo-shoot";
    std::string message;
    const auto shoot = mediagen::makeDemoShoot(folder, &message);
    EXPECT_TRUE(shoot) << message;
    if (!shoot) return std::nullopt;
    return folder;
}

void drop(MainWindow& window, const fs::path& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
    ASSERT_TRUE(MainWindow::acceptsDrop(data));
    ASSERT_TRUE(window.dropMimeData(data));
}

int rowNamed(MainWindow& window, const QString& name) {
    FileListModel& model = window.fileList();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.data(model.index(row, FileListModel::NameColumn), Qt::DisplayRole).toString() ==
            name)
            return row;
    return -1;
}

QString cell(MainWindow& window, int row, int column) {
    FileListModel& model = window.fileList();
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

void StudioTest::SetUp() {
    shoot = demoShootFolder();
    if (!shoot) GTEST_SKIP() << "the demo shoot could not be made";
    window = std::make_unique<MainWindow>();
    window->show();
}

void StudioTest::TearDown() {
    if (!window) return;
    window->close();
    window.reset();
}

void StudioTest::loadShoot() {
    drop(*window, *shoot);
    ASSERT_TRUE(waitUntil([&] {
        return !window->controller().adding() &&
               !window->application().mediaPool().hasPendingAnalysis();
    }));
    ASSERT_TRUE(waitUntil([&] { return !window->progress().isVisible(); }));
}

}  // namespace vorlane::gui
